// Helpers for the image tests: pages drawn in memory, TIFF files written with
// plain libtiff calls and read back with the reader under test.
#ifndef SCRIVEX_IMAGE_TIFF_TEST_SUPPORT_H_
#define SCRIVEX_IMAGE_TIFF_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/tiff_page.h"
#include "platform/test_support.h"

namespace scrivex::tiff_test {

using namespace scrivex::test;

// White paper: no ink for 1-bit, 255 for grey and colour.
inline TiffPage MakePage(int width, int height, int bitsPerPixel, int dpi = 0) {
  TiffPage page;
  page.width = width;
  page.height = height;
  page.bitsPerPixel = bitsPerPixel;
  page.xDpi = page.yDpi = dpi;
  page.bits.assign(static_cast<size_t>(TiffRowStride(width, bitsPerPixel)) * height,
                   bitsPerPixel == 1 ? 0 : 255);
  return page;
}

// Paints a black rectangle.
inline void FillRect(TiffPage& page, int x0, int y0, int w, int h) {
  int stride = TiffRowStride(page.width, page.bitsPerPixel);
  int n = page.bitsPerPixel / 8;
  for (int y = y0; y < y0 + h; ++y) {
    uint8_t* row = page.bits.data() + static_cast<size_t>(y) * stride;
    for (int x = x0; x < x0 + w; ++x) {
      if (n == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      std::fill(row + x * n, row + x * n + n, 0);
    }
  }
}

inline int CountInk(const TiffPage& page) {
  int n = 0;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) n += IsDarkPixel(page, x, y) ? 1 : 0;
  return n;
}

// Strips of 16 rows, the pages' own resolution; 1-bit pages as min-is-white
// unless minIsBlack.
inline void WriteTestTiff(const std::string& path, const std::vector<TiffPage>& pages,
                          int compression = COMPRESSION_NONE, bool minIsBlack = false) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  for (const TiffPage& page : pages) {
    int bpp = page.bitsPerPixel;
    bool invert = bpp == 1 && minIsBlack;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bpp == 1 ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bpp == 24 ? 3 : 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 bpp == 24              ? PHOTOMETRIC_RGB
                 : (bpp == 8 || invert) ? PHOTOMETRIC_MINISBLACK
                                        : PHOTOMETRIC_MINISWHITE);
    if (page.xDpi > 0) {
      TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(page.xDpi));
      TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(page.yDpi));
      TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    int stride = TiffRowStride(page.width, bpp);
    std::vector<uint8_t> row(stride);
    for (int y = 0; y < page.height; ++y) {
      std::copy_n(page.bits.begin() + static_cast<long>(y) * stride, stride, row.begin());
      if (invert) {
        for (auto& b : row) b = static_cast<uint8_t>(~b);
      }
      ASSERT_GE(TIFFWriteScanline(tif, row.data(), y, 0), 0);
    }
    ASSERT_TRUE(TIFFWriteDirectory(tif));
  }
  TIFFClose(tif);
}

// Decodes every page with the reader under test.
inline std::vector<TiffPage> ReadPages(const std::string& path) {
  auto file = OpenTiff(path, "r");
  std::vector<TiffPage> pages(CountTiffPages(*file));
  for (size_t i = 0; i < pages.size(); ++i) {
    if (!ReadTiffPage(*file, static_cast<int>(i), pages[i])) ADD_FAILURE() << file->lastError;
  }
  return pages;
}

// One entry per page, "|" between them, as the reader sees it:
// "WxH bits cCOMPRESSION XxY dpi", with " 2d" for two-dimensional Group 3.
inline std::string Tags(const std::string& path) {
  std::string tags;
  for (const TiffPage& p : ReadPages(path)) {
    tags += (tags.empty() ? "" : "|") + std::to_string(p.width) + "x" + std::to_string(p.height) +
            " " + std::to_string(p.bitsPerPixel) + " c" + std::to_string(p.sourceCompression) +
            " " + std::to_string(p.xDpi) + "x" + std::to_string(p.yDpi) + " dpi" +
            (p.sourceFlags & kTiffFlagTwoDimensional ? " 2d" : "");
  }
  return tags;
}

}  // namespace scrivex::tiff_test

#endif  // SCRIVEX_IMAGE_TIFF_TEST_SUPPORT_H_
