#include "image/raster_image.h"

#include <Magick++.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <string_view>

#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {
namespace {

// Bounds for one decode: a 600 dpi A3 page fits, a crafted header that asks
// for gigapixels fails at once. The decoder has a time limit too, but running
// out of it ends the whole process, so work is bounded by size alone.
constexpr MagickCore::MagickSizeType kMaxSide = 16000;
constexpr MagickCore::MagickSizeType kMaxArea = 128'000'000;
constexpr MagickCore::MagickSizeType kMaxMemory = 256ull << 20;
constexpr MagickCore::MagickSizeType kMaxMap = 512ull << 20;
constexpr MagickCore::MagickSizeType kMaxDisk = 1ull << 30;
constexpr long long kMaxFileBytes = 256ll << 20;
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

void InitializeDecoder() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    Magick::ResourceLimits::width(kMaxSide);
    Magick::ResourceLimits::height(kMaxSide);
    Magick::ResourceLimits::area(kMaxArea);
    Magick::ResourceLimits::memory(kMaxMemory);
    Magick::ResourceLimits::map(kMaxMap);
    Magick::ResourceLimits::disk(kMaxDisk);
  });
}

// "client: reason `name' @ where" -> "reason".
std::string DecoderMessage(const std::string& what) {
  size_t start = what.find(": ");
  start = start == std::string::npos ? 0 : start + 2;
  size_t end = std::min(what.find(" `", start), what.find(" @ ", start));
  return what.substr(start, end == std::string::npos ? std::string::npos : end - start);
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

int LoadRasterImage(const std::string& path, RasterImage* image, std::string* why) {
  why->clear();
  *image = {};
  std::string format = DetectRasterFormat(path);
  if (format.empty()) return 0;
  if (platform::FileSize(path) > kMaxFileBytes) {
    *why = "the image file is too large to print";
    return 0;
  }
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) {
    *why = "the image file cannot be read";
    return 0;
  }
  InitializeDecoder();
  try {
    Magick::Image decoded;
    decoded.quiet(true);  // warnings (odd tags, trailing bytes) do not stop a read
    // The format found above, never the decoder's own guess; the bytes go in
    // as a blob, so the file's name is never parsed for coder prefixes or
    // frame ranges.
    decoded.magick(format);
    decoded.subImage(0);
    decoded.subRange(1);
    decoded.read(Magick::Blob(bytes.data(), bytes.size()));
    size_t width = decoded.columns(), height = decoded.rows();
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
      *why = "the image is empty or larger than " + std::to_string(kMaxSide) + " pixels a side";
      return 0;
    }
    MagickCore::ColorspaceType space = decoded.colorSpace();
    if (space != MagickCore::sRGBColorspace && space != MagickCore::RGBColorspace &&
        space != MagickCore::GRAYColorspace) {
      decoded.colorSpace(MagickCore::sRGBColorspace);
    }
    std::vector<uint8_t> rgba(width * height * 4);
    decoded.write(0, 0, width, height, "RGBA", MagickCore::CharPixel, rgba.data());
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->rgba = std::move(rgba);
    return 1;
  } catch (const std::exception& e) {
    *why = "the image does not decode: " + DecoderMessage(e.what());
    return 0;
  }
}

}  // namespace scrivex
