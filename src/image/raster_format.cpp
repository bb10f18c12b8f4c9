// Telling a raster image's format by its first bytes. Kept apart from the
// decoder so the program, which only sniffs, does not load the decoding
// library at every start.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "image/raster_image.h"
#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {
namespace {

constexpr size_t kHeadBytes = 32;

uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t Le32(std::string_view b, size_t at) {
  return Le16(b, at) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}
bool OneOf(int value, std::initializer_list<int> allowed) {
  for (int a : allowed) {
    if (value == a) return true;
  }
  return false;
}

// Targa has no signature at its start. A version 2 file ends in one; any
// other is taken only with its ".tga" name and a header that makes sense.
bool LooksLikeTarga(const std::string& path, std::string_view head, long long size) {
  if (head.size() < 18) return false;
  int mapType = static_cast<uint8_t>(head[1]), type = static_cast<uint8_t>(head[2]);
  int depth = static_cast<uint8_t>(head[16]);
  bool sane = mapType <= 1 && OneOf(type, {1, 2, 3, 9, 10, 11}) &&
              (mapType == 1) == OneOf(type, {1, 9}) && OneOf(depth, {8, 15, 16, 24, 32}) &&
              Le16(head, 12) > 0 && Le16(head, 14) > 0;
  if (!sane) return false;
  char footer[18] = {};
  if (size >= 44 && platform::ReadFileAt(path, size - 18, footer, sizeof footer) &&
      std::memcmp(footer, "TRUEVISION-XFILE.", 18) == 0) {
    return true;
  }
  return platform::HasExtension(path, ".tga");
}

// A wireless bitmap has no signature at all: two zero bytes, the width and
// the height as variable-length numbers, one bit a pixel. Taken only with its
// ".wbmp" name and a size that matches the header exactly.
bool LooksLikeWbmp(const std::string& path, std::string_view head, long long size) {
  if (!platform::HasExtension(path, ".wbmp") || head.size() < 4 || head[0] != 0 || head[1] != 0) {
    return false;
  }
  size_t at = 2;
  long long sides[2] = {};
  for (long long& side : sides) {
    for (int n = 0;; ++n) {
      if (at >= head.size() || n == 3) return false;
      uint8_t byte = static_cast<uint8_t>(head[at++]);
      side = side << 7 | (byte & 0x7f);
      if (!(byte & 0x80)) break;
    }
  }
  return sides[0] > 0 && sides[1] > 0 &&
         size == static_cast<long long>(at) + (sides[0] + 7) / 8 * sides[1];
}

}  // namespace

std::string DetectRasterFormat(const std::string& path) {
  long long size = platform::FileSize(path);
  if (!platform::IsRegularFile(path) || size < 4) return "";
  char buffer[kHeadBytes] = {};
  size_t length = static_cast<size_t>(std::min<long long>(size, kHeadBytes));
  if (!platform::ReadFileAt(path, 0, buffer, length)) return "";
  std::string_view head(buffer, length);
  auto starts = [&](std::string_view magic) { return head.substr(0, magic.size()) == magic; };
  auto byte = [&](size_t at) { return at < head.size() ? static_cast<uint8_t>(head[at]) : -1; };

  using namespace std::string_view_literals;
  if (starts("\x89PNG\r\n\x1a\n"sv)) return "PNG";
  if (starts("\x8aMNG\r\n\x1a\n"sv)) return "MNG";
  if (starts("GIF87a"sv) || starts("GIF89a"sv)) return "GIF";
  if (starts("\xff\xd8\xff"sv)) return "JPEG";
  if (starts("II*\0"sv) || starts("MM\0*"sv) || starts("II+\0"sv) || starts("MM\0+"sv)) {
    return "TIFF";
  }
  if (starts("\0\0\0\x0cjP  \r\n\x87\n"sv)) return "JP2";
  if (starts("\xff\x4f\xff\x51"sv)) return "J2K";
  if (starts("\x59\xa6\x6a\x95"sv)) return "SUN";
  if (starts("\xb1\x68\xde\x3a"sv)) return "DCX";
  if (starts("8BPS\0"sv) && OneOf(byte(5), {1, 2})) return "PSD";
  // Two letters alone are too weak: the info header's size must be a known one.
  if (starts("BM"sv) && head.size() >= 18 &&
      OneOf(Le32(head, 14), {12, 40, 52, 56, 64, 108, 124})) {
    return "BMP";
  }
  if (byte(0) == 'P' && byte(1) >= '1' && byte(1) <= '7' &&
      OneOf(byte(2), {' ', '\t', '\r', '\n'})) {
    return "PNM";
  }
  if (byte(0) == 0x0a && OneOf(byte(1), {0, 2, 3, 4, 5}) && OneOf(byte(2), {0, 1}) &&
      OneOf(byte(3), {1, 2, 4, 8})) {
    return "PCX";
  }
  // Icons and cursors: a zero word, the type, a count and a first entry
  // whose reserved byte is zero.
  if ((starts("\0\0\1\0"sv) || starts("\0\0\2\0"sv)) && head.size() >= 22 && Le16(head, 4) > 0 &&
      byte(9) == 0) {
    return byte(2) == 1 ? "ICO" : "CUR";
  }
  if (LooksLikeTarga(path, head, size)) return "TGA";
  if (LooksLikeWbmp(path, head, size)) return "WBMP";
  return "";
}

}  // namespace scrivex
