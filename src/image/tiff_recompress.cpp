#include "image/tiff_recompress.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/failure_reason.h"
#include "platform/files.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

int ReportFailure(const std::string& text, std::string* why, const ProgressSink& progress = {}) {
  HideProgress(progress);
  std::fprintf(stderr, "%s\n", text.c_str());
  NoteFailure(why, text);
  return 1;
}

}  // namespace

TiffPage ResampleNearest(const TiffPage& page, int newWidth, int newHeight) {
  TiffPage out = page;
  out.width = newWidth;
  out.height = newHeight;
  int srcStride = TiffRowStride(page.width, page.bitsPerPixel);
  int stride = TiffRowStride(newWidth, page.bitsPerPixel);
  out.bits.assign(static_cast<size_t>(stride) * newHeight, 0);
  int bytesPerPixel = page.bitsPerPixel / 8;
  std::vector<int> columns(newWidth);
  for (int x = 0; x < newWidth; ++x) {
    columns[x] = static_cast<int>(static_cast<long long>(x) * page.width / newWidth);
  }
  for (int y = 0; y < newHeight; ++y) {
    int sy = static_cast<int>(static_cast<long long>(y) * page.height / newHeight);
    const uint8_t* src = page.bits.data() + static_cast<size_t>(sy) * srcStride;
    uint8_t* dst = out.bits.data() + static_cast<size_t>(y) * stride;
    for (int x = 0; x < newWidth; ++x) {
      int sx = columns[x];
      if (page.bitsPerPixel == 1) {
        if (src[sx / 8] & (0x80 >> (sx % 8))) dst[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      } else {
        std::memcpy(dst + x * bytesPerPixel, src + sx * bytesPerPixel, bytesPerPixel);
      }
    }
  }
  return out;
}

bool ResampleForFax(TiffPage& page, int verticalDpi, int compression) {
  if (page.width <= 0 || page.height <= 0) return false;
  long long newHeight = static_cast<long long>(
      static_cast<double>(static_cast<long long>(page.height) * kFaxWidth) / page.width);
  if (newHeight > kMaxTiffPagePixels / kFaxWidth) return false;
  page = ResampleNearest(page, kFaxWidth, static_cast<int>(std::max(newHeight, 1LL)));
  page.xDpi = kFaxHorizontalDpi;
  page.yDpi = verticalDpi;
  page.compression = compression;
  return true;
}

bool ApplyCompressionCode(TiffPage& page, int code) {
  switch (code) {
    case COMPRESSION_NONE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_LZW:
    case COMPRESSION_JPEG:
      page.compression = code;
      return true;
    case kFax204x98G4:
      return ResampleForFax(page, 98, COMPRESSION_CCITTFAX4);
    case kFax204x196G4:
      return ResampleForFax(page, 196, COMPRESSION_CCITTFAX4);
    case kFax204x98G3:
      return ResampleForFax(page, 98, COMPRESSION_CCITTFAX3);
    case kFax204x196G3:
      return ResampleForFax(page, 196, COMPRESSION_CCITTFAX3);
    case kGroup3TwoDimensional:
      page.compression = COMPRESSION_CCITTFAX3;
      page.flags |= kTiffFlagTwoDimensional;
      return true;
    default:
      return true;
  }
}

int ReencodeTiffPages(const std::string& source, const std::string& destination, int compression,
                      int resolutionX, int resolutionY, std::string* why,
                      const ProgressSink& progress) {
  // Pages go to a new file beside the destination, which is replaced only
  // when every page made it.
  platform::ReplacementFile temp;
  std::string error;
  if (!temp.Create(destination, &error)) return ReportFailure(error, why, progress);
  {
    auto in = OpenTiff(source, "r");
    if (!in->handle) return ReportFailure(in->lastError, why, progress);
    // A source past the classic 4 GiB limit needs a BigTIFF for its pages.
    auto out = OpenTiff(temp.path(), TIFFIsBigTIFF(in->handle) ? "w8" : "w");
    if (!out->handle) return ReportFailure(out->lastError, why, progress);
    int count = CountTiffPages(*in);
    if (count <= 0) return ReportFailure(in->lastError, why, progress);
    TiffPage page;
    for (int i = 0; i < count; ++i) {
      ReportPage(progress, kWritingTiffStage, i + 1, count);
      if (!ReadTiffPage(*in, i, page)) return ReportFailure(in->lastError, why, progress);
      if (resolutionX > 0) page.xDpi = resolutionX;
      if (resolutionY > 0) page.yDpi = resolutionY;
      if (!ApplyCompressionCode(page, compression)) {
        return ReportFailure(
            source + ": page " + std::to_string(i + 1) + " is too long to become a fax page", why,
            progress);
      }
      if (!WriteTiffPage(*out, page, i)) return ReportFailure(out->lastError, why, progress);
    }
    if (!CloseTiff(*out)) return ReportFailure(out->lastError, why, progress);
  }
  if (!temp.Commit(&error)) return ReportFailure(error, why, progress);
  return 0;
}

int RecompressTiffFile(const std::string& path, int compression, int resolutionX, int resolutionY,
                       std::string* why, const ProgressSink& progress) {
  if (!platform::FileExists(path)) return 0;
  if (ReencodeTiffPages(path, path, compression, resolutionX, resolutionY, why, progress) != 0)
    return 0;
  return platform::FileExists(path) ? 1 : 0;
}

}  // namespace scrivex
