#include "image/tiff_page.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace scrivex {
namespace {

// libtiff's own allocations for one strip or tile; damaged headers can ask for
// far more than any real page needs.
constexpr tmsize_t kMaxLibtiffAllocation = 512 * 1024 * 1024;

int OnTiffError(TIFF*, void* userData, const char* module, const char* fmt, va_list ap) {
  auto* file = static_cast<TiffFile*>(userData);
  char text[1024];
  std::vsnprintf(text, sizeof text, fmt, ap);
  file->lastError = (module && *module) ? std::string(module) + ": " + text : text;
  return 1;  // handled: nothing printed by libtiff
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // unknown tags and the like are no concern of ours
}

void Fail(TiffFile& file, const std::string& message) {
  if (file.lastError.empty()) file.lastError = file.path + ": " + message;
}

int ToDpi(float value, uint16_t unit) {
  if (!(value > 0) || !std::isfinite(value) || unit == RESUNIT_NONE) return 0;
  double dpi = unit == RESUNIT_CENTIMETER ? value * 2.54 : value;
  if (dpi > 1e6) return 0;
  return static_cast<int>(std::lround(dpi));
}

void MaskRowPadding(TiffPage& page) {
  if (page.bitsPerPixel != 1 || page.width % 8 == 0) return;
  int stride = TiffRowStride(page.width, 1);
  int last = page.width / 8;
  uint8_t mask = static_cast<uint8_t>(0xFF << (8 - page.width % 8));
  for (int y = 0; y < page.height; ++y) {
    uint8_t* row = page.bits.data() + static_cast<size_t>(y) * stride;
    row[last] &= mask;
    std::memset(row + last + 1, 0, stride - last - 1);
  }
}

bool ReadScanlines(TiffFile& file, TiffPage& page, size_t rowBytes, bool invert) {
  TIFF* tif = file.handle;
  if (static_cast<uint64_t>(TIFFScanlineSize64(tif)) != rowBytes) {
    Fail(file, "unexpected scanline size");
    return false;
  }
  std::vector<uint8_t> line(rowBytes);
  int stride = TiffRowStride(page.width, page.bitsPerPixel);
  for (int y = 0; y < page.height; ++y) {
    if (TIFFReadScanline(tif, line.data(), static_cast<uint32_t>(y), 0) < 0) {
      Fail(file, "cannot read row " + std::to_string(y));
      return false;
    }
    uint8_t* row = page.bits.data() + static_cast<size_t>(y) * stride;
    for (size_t i = 0; i < rowBytes; ++i) row[i] = invert ? ~line[i] : line[i];
  }
  MaskRowPadding(page);
  return true;
}

bool ReadThroughRgba(TiffFile& file, TiffPage& page) {
  std::vector<uint32_t> raster(static_cast<size_t>(page.width) * page.height);
  if (!TIFFReadRGBAImageOriented(file.handle, page.width, page.height, raster.data(),
                                 ORIENTATION_TOPLEFT, 1)) {
    Fail(file, "cannot decode page");
    return false;
  }
  int stride = TiffRowStride(page.width, page.bitsPerPixel);
  for (int y = 0; y < page.height; ++y) {
    uint8_t* row = page.bits.data() + static_cast<size_t>(y) * stride;
    for (int x = 0; x < page.width; ++x) {
      uint32_t p = raster[static_cast<size_t>(y) * page.width + x];
      // Colours come premultiplied: laying them over white paper adds 255 - alpha.
      int white = 255 - static_cast<int>(TIFFGetA(p));
      int r = std::min(255, static_cast<int>(TIFFGetR(p)) + white);
      int g = std::min(255, static_cast<int>(TIFFGetG(p)) + white);
      int b = std::min(255, static_cast<int>(TIFFGetB(p)) + white);
      if (page.bitsPerPixel == 24) {
        row[3 * x] = static_cast<uint8_t>(r);
        row[3 * x + 1] = static_cast<uint8_t>(g);
        row[3 * x + 2] = static_cast<uint8_t>(b);
      } else {
        int grey = (r * 299 + g * 587 + b * 114) / 1000;
        if (page.bitsPerPixel == 8) {
          row[x] = static_cast<uint8_t>(grey);
        } else if (grey < 128) {
          row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
      }
    }
  }
  return true;
}

bool IsCcitt(int compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4;
}

bool IsDeflateLike(int compression) {
  return compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
         compression == COMPRESSION_DEFLATE || compression == COMPRESSION_LZMA ||
         compression == COMPRESSION_ZSTD;
}

}  // namespace

int TiffRowStride(int width, int bitsPerPixel) {
  if (bitsPerPixel == 1) return (width + 31) / 32 * 4;
  return width * (bitsPerPixel / 8);
}

bool IsDarkPixel(const TiffPage& page, int x, int y) {
  const uint8_t* row =
      page.bits.data() + static_cast<size_t>(y) * TiffRowStride(page.width, page.bitsPerPixel);
  switch (page.bitsPerPixel) {
    case 1:
      return (row[x / 8] & (0x80 >> (x % 8))) != 0;
    case 8:
      return row[x] < 128;
    default: {
      const uint8_t* p = row + 3 * x;
      return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000 < 128;
    }
  }
}

TiffPage ToBilevel(const TiffPage& page) {
  TiffPage out = page;
  out.bitsPerPixel = 1;
  int stride = TiffRowStride(page.width, 1);
  out.bits.assign(static_cast<size_t>(stride) * page.height, 0);
  for (int y = 0; y < page.height; ++y) {
    uint8_t* row = out.bits.data() + static_cast<size_t>(y) * stride;
    for (int x = 0; x < page.width; ++x) {
      if (IsDarkPixel(page, x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return out;
}

TiffFile::~TiffFile() {
  if (handle) TIFFClose(handle);
}

std::unique_ptr<TiffFile> OpenTiff(const std::string& path, const char* mode) {
  auto file = std::make_unique<TiffFile>();
  file->path = path;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) {
    file->lastError = path + ": out of memory";
    return file;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, file.get());
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, file.get());
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibtiffAllocation);
  // Memory mapping stays on: libtiff 4.5.0 rejects uncompressed tiles read without it.
  file->handle = TIFFOpenExt(path.c_str(), mode, options);
  TIFFOpenOptionsFree(options);
  if (!file->handle) Fail(*file, "cannot open as TIFF");
  return file;
}

int CountTiffPages(TiffFile& file) {
  if (!file.handle) return 0;
  file.lastError.clear();
  int count = static_cast<int>(TIFFNumberOfDirectories(file.handle));
  // A broken chain of pages would silently lose the pages after the break.
  if (!file.lastError.empty()) return 0;
  if (count <= 0) Fail(file, "no pages");
  return count;
}

bool ReadTiffPage(TiffFile& file, int index, TiffPage& page) {
  page = TiffPage();
  file.lastError.clear();  // a failure reports what went wrong with this page
  TIFF* tif = file.handle;
  // Pages read in order step to the next directory instead of walking from the first.
  bool next = tif && index > 0 && TIFFCurrentDirectory(tif) == static_cast<tdir_t>(index - 1);
  if (!tif || index < 0 ||
      !(next ? TIFFReadDirectory(tif) : TIFFSetDirectory(tif, static_cast<tdir_t>(index)))) {
    Fail(file, "cannot read page " + std::to_string(index + 1));
    return false;
  }
  uint32_t width = 0, height = 0;
  uint16_t bps = 1, spp = 1, photometric = 0, compression = COMPRESSION_NONE;
  uint16_t orientation = ORIENTATION_TOPLEFT, planar = PLANARCONFIG_CONTIG;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) {
    photometric = spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
  }
  if (width == 0 || height == 0 || static_cast<long long>(width) * height > kMaxTiffPagePixels) {
    Fail(file, "page " + std::to_string(index + 1) + " has an unsupported size " +
                   std::to_string(width) + "x" + std::to_string(height));
    return false;
  }
  float xRes = 0, yRes = 0;
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xRes)) page.xDpi = ToDpi(xRes, unit);
  if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yRes)) page.yDpi = ToDpi(yRes, unit);
  page.width = static_cast<int>(width);
  page.height = static_cast<int>(height);
  page.sourceCompression = compression;
  uint32_t group3Options = 0;
  if (compression == COMPRESSION_CCITTFAX3 &&
      TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &group3Options) &&
      (group3Options & GROUP3OPT_2DENCODING)) {
    page.sourceFlags = kTiffFlagTwoDimensional;
  }

  bool grey =
      spp == 1 && (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
  page.bitsPerPixel = grey ? (bps == 1 ? 1 : 8) : 24;
  page.bits.assign(static_cast<size_t>(TiffRowStride(page.width, page.bitsPerPixel)) * page.height,
                   0);

  bool plainStrips = !TIFFIsTiled(tif) && orientation == ORIENTATION_TOPLEFT;
  bool ok;
  if (plainStrips && grey && (bps == 1 || bps == 8)) {
    size_t rowBytes = bps == 1 ? (width + 7) / 8 : width;
    // Our 1-bit pages keep ink as 1; grey pages keep black as 0.
    bool invert = (bps == 1) == (photometric == PHOTOMETRIC_MINISBLACK);
    ok = ReadScanlines(file, page, rowBytes, invert);
  } else if (plainStrips && photometric == PHOTOMETRIC_RGB && spp == 3 && bps == 8 &&
             planar == PLANARCONFIG_CONTIG) {
    ok = ReadScanlines(file, page, static_cast<size_t>(width) * 3, false);
  } else {
    ok = ReadThroughRgba(file, page);
  }
  if (!ok) page = TiffPage();
  return ok;
}

TiffCoding ChooseTiffCoding(int requested, int bitsPerPixel) {
  bool configured = requested > 0 && requested <= 0xFFFF &&
                    TIFFIsCODECConfigured(static_cast<uint16_t>(requested));
  if (configured) {
    if (requested == COMPRESSION_CCITTFAX3 || requested == COMPRESSION_CCITTFAX4) {
      return {requested, bitsPerPixel != 1};
    }
    if (requested == COMPRESSION_NONE || requested == COMPRESSION_PACKBITS ||
        IsDeflateLike(requested)) {
      return {requested, false};
    }
    if (requested == COMPRESSION_JPEG && bitsPerPixel != 1) return {requested, false};
  }
  return {bitsPerPixel == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW, false};
}

bool WriteTiffPage(TiffFile& file, const TiffPage& page, int pageIndex) {
  TIFF* tif = file.handle;
  file.lastError.clear();
  if (!tif || page.width <= 0 || page.height <= 0 || page.bits.empty()) {
    Fail(file, "no page to write");
    return false;
  }
  TiffCoding coding = ChooseTiffCoding(page.compression, page.bitsPerPixel);
  TiffPage bilevel;
  const TiffPage* src = &page;
  if (coding.needsBilevel) {
    bilevel = ToBilevel(page);
    src = &bilevel;
  }
  int bpp = src->bitsPerPixel;
  int compression = coding.compression;
  TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(src->width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(src->height));
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pageIndex), static_cast<uint16_t>(0));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bpp == 1 ? 1 : 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bpp == 24 ? 3 : 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  if (bpp == 1) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  } else if (bpp == 8) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  } else if (compression == COMPRESSION_JPEG) {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
  } else {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  }
  uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0);
  if (compression == COMPRESSION_CCITTFAX3) {
    TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS,
                 (src->flags & kTiffFlagTwoDimensional) ? GROUP3OPT_2DENCODING : 0);
  }
  if (IsCcitt(compression)) rowsPerStrip = static_cast<uint32_t>(src->height);  // one strip a page
  if (IsDeflateLike(compression) && bpp != 1)
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (compression == COMPRESSION_JPEG) {
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 75);
    if (bpp == 24) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    rowsPerStrip = (rowsPerStrip + 15) / 16 * 16;
  }
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  int xDpi = src->xDpi > 0 ? src->xDpi : src->yDpi;
  int yDpi = src->yDpi > 0 ? src->yDpi : src->xDpi;
  if (xDpi > 0) {
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(xDpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(yDpi));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  int stride = TiffRowStride(src->width, bpp);
  // libtiff may code a row in place (predictors), so it gets a scratch copy.
  std::vector<uint8_t> row(static_cast<size_t>(stride));
  for (int y = 0; y < src->height; ++y) {
    std::memcpy(row.data(), src->bits.data() + static_cast<size_t>(y) * stride, row.size());
    if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0) {
      Fail(file, "cannot write page " + std::to_string(pageIndex + 1));
      return false;
    }
  }
  if (!TIFFWriteDirectory(tif)) {
    Fail(file, "cannot write page " + std::to_string(pageIndex + 1));
    return false;
  }
  return true;
}

bool CloseTiff(TiffFile& file) {
  if (!file.handle) return false;
  std::string before = file.lastError;
  file.lastError.clear();
  TIFFClose(file.handle);
  file.handle = nullptr;
  bool ok = file.lastError.empty();
  if (ok) file.lastError = before;
  return ok;
}

}  // namespace scrivex
