#include "image/output_check.h"

#include <tiffio.h>

#include <cstdint>
#include <cstring>

#include "image/tiff_page.h"
#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {
namespace {

bool TiffIsWhole(const std::string& path, long long size, std::string* why, int* pageCount) {
  auto file = OpenTiff(path, "r");
  if (!file->handle) {
    *why = file->lastError;
    return false;
  }
  int pages = CountTiffPages(*file);
  if (pages <= 0) {
    *why = file->lastError;
    return false;
  }
  if (pageCount) *pageCount = pages;
  for (int page = 0; page < pages; ++page) {
    if (!TIFFSetDirectory(file->handle, static_cast<tdir_t>(page))) {
      *why = "page " + std::to_string(page + 1) + " cannot be read";
      return false;
    }
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    const bool tiled = TIFFIsTiled(file->handle);
    uint32_t pieces = tiled ? TIFFNumberOfTiles(file->handle) : TIFFNumberOfStrips(file->handle);
    if (!TIFFGetField(file->handle, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(file->handle, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS,
                      &counts)) {
      *why = "page " + std::to_string(page + 1) + " has no image data";
      return false;
    }
    for (uint32_t i = 0; i < pieces; ++i) {
      if (counts[i] == 0 || offsets[i] + counts[i] > static_cast<uint64_t>(size)) {
        *why = "page " + std::to_string(page + 1) + " is cut short";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool IsCompleteImageFile(const std::string& path, const std::string& typeName, std::string* why,
                         int* pages) {
  if (pages) *pages = 1;
  long long size = platform::FileSize(path);
  if (size <= 0) {
    *why = size < 0 ? "it was not written" : "it is empty";
    return false;
  }
  const std::string ext = platform::ToLower(platform::SplitPath(typeName).ext);
  bool whole = true;
  if (ext == ".tif" || ext == ".tiff") {
    return TiffIsWhole(path, size, why, pages);
  } else if (ext == ".png") {
    unsigned char tail[8];
    whole = size >= 20 && platform::ReadFileAt(path, size - 8, tail, sizeof tail) &&
            std::memcmp(tail, "IEND", 4) == 0;
  } else if (ext == ".jpg" || ext == ".jpeg") {
    unsigned char tail[2];
    whole = platform::ReadFileAt(path, size - 2, tail, sizeof tail) && tail[0] == 0xFF &&
            tail[1] == 0xD9;
  } else if (ext == ".bmp") {
    unsigned char head[6];
    whole = size >= 6 && platform::ReadFileAt(path, 0, head, sizeof head) &&
            (head[2] | head[3] << 8 | head[4] << 16 | static_cast<uint32_t>(head[5]) << 24) <=
                static_cast<uint64_t>(size);
  }
  if (!whole) *why = "it is cut short";
  return whole;
}

}  // namespace scrivex
