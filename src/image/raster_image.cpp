#include "image/raster_image.h"

#include <Magick++.h>

#include <algorithm>
#include <mutex>

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
