#include "main/service/stored_zip.h"

#include <zlib.h>

#include <cstdint>
#include <limits>

namespace scrivex {

namespace {

void Put16(std::string* out, uint32_t value) {
  out->push_back(static_cast<char>(value & 0xff));
  out->push_back(static_cast<char>((value >> 8) & 0xff));
}

void Put32(std::string* out, uint32_t value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}

// The fields a local header and a central record share, from "version
// needed" to the name's length.
void PutCommon(std::string* out, uint32_t crc, uint32_t size, size_t nameLength) {
  Put16(out, 10);      // version needed: 1.0, stored
  Put16(out, 0x0800);  // names in UTF-8
  Put16(out, 0);       // stored
  Put16(out, 0);       // time 00:00
  Put16(out, 0x21);    // date 1980-01-01
  Put32(out, crc);
  Put32(out, size);  // compressed
  Put32(out, size);  // uncompressed
  Put16(out, static_cast<uint32_t>(nameLength));
}

}  // namespace

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  constexpr size_t kLimit = std::numeric_limits<uint32_t>::max();
  if (entries.size() > 0xffff) return "";
  std::string archive, directory;
  for (const auto& [name, data] : entries) {
    if (data.size() >= kLimit || name.size() > 0xffff || archive.size() >= kLimit) return "";
    const uint32_t crc = static_cast<uint32_t>(
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uInt>(data.size())));
    const uint32_t size = static_cast<uint32_t>(data.size());
    const uint32_t offset = static_cast<uint32_t>(archive.size());
    Put32(&archive, 0x04034b50);
    PutCommon(&archive, crc, size, name.size());
    Put16(&archive, 0);  // no extra field
    archive += name;
    archive += data;

    Put32(&directory, 0x02014b50);
    Put16(&directory, 0x0314);  // made by: Unix, 2.0
    PutCommon(&directory, crc, size, name.size());
    Put16(&directory, 0);                 // extra
    Put16(&directory, 0);                 // comment
    Put16(&directory, 0);                 // disk
    Put16(&directory, 0);                 // internal attributes
    Put32(&directory, 0100644u << 16);    // a regular file, rw-r--r--
    Put32(&directory, offset);
    directory += name;
  }
  if (archive.size() + directory.size() >= kLimit) return "";
  const uint32_t directoryOffset = static_cast<uint32_t>(archive.size());
  archive += directory;
  Put32(&archive, 0x06054b50);
  Put16(&archive, 0);
  Put16(&archive, 0);
  Put16(&archive, static_cast<uint32_t>(entries.size()));
  Put16(&archive, static_cast<uint32_t>(entries.size()));
  Put32(&archive, static_cast<uint32_t>(directory.size()));
  Put32(&archive, directoryOffset);
  Put16(&archive, 0);  // no comment
  return archive;
}

}  // namespace scrivex
