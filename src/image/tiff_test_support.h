// Helpers for the image tests: scratch folders, pages drawn in memory, TIFF
// files written and inspected with plain libtiff calls.
#ifndef SCRIVEX_IMAGE_TIFF_TEST_SUPPORT_H_
#define SCRIVEX_IMAGE_TIFF_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "image/tiff_page.h"

namespace scrivex::tiff_test {

namespace fs = std::filesystem;

// A fresh folder under the temp directory, with its own state root.
struct ScratchDir {
  fs::path path;
  ScratchDir() {
    std::random_device rd;
    path =
        fs::temp_directory_path() / ("scrivex-img-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path / "state");
    setenv("SCRIVEX_HOME", (path / "state").c_str(), 1);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string File(const std::string& name) const { return (path / name).string(); }
  // Names of the regular files in the folder, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path)) {
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// White paper: no ink for 1-bit, 255 for grey and colour.
inline TiffPage MakePage(int width, int height, int bitsPerPixel) {
  TiffPage page;
  page.width = width;
  page.height = height;
  page.bitsPerPixel = bitsPerPixel;
  page.bits.assign(static_cast<size_t>(TiffRowStride(width, bitsPerPixel)) * height,
                   bitsPerPixel == 1 ? 0 : 255);
  return page;
}

// Paints a black rectangle.
inline void FillRect(TiffPage& page, int x0, int y0, int w, int h) {
  int stride = TiffRowStride(page.width, page.bitsPerPixel);
  for (int y = y0; y < y0 + h; ++y) {
    uint8_t* row = page.bits.data() + static_cast<size_t>(y) * stride;
    for (int x = x0; x < x0 + w; ++x) {
      if (page.bitsPerPixel == 1) {
        row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      } else {
        int n = page.bitsPerPixel / 8;
        std::fill(row + x * n, row + x * n + n, 0);
      }
    }
  }
}

inline int CountInk(const TiffPage& page) {
  int n = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) n += IsDarkPixel(page, x, y) ? 1 : 0;
  }
  return n;
}

struct RawPageOptions {
  int compression = COMPRESSION_NONE;
  bool minIsBlack = false;  // 1-bit pages only
  float xRes = 0;
  float yRes = 0;
};

inline void WriteTestTiff(const std::string& path, const std::vector<TiffPage>& pages,
                          const RawPageOptions& options = {}) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  for (const TiffPage& page : pages) {
    int bpp = page.bitsPerPixel;
    bool invert = bpp == 1 && options.minIsBlack;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bpp == 1 ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bpp == 24 ? 3 : 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, options.compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 bpp == 24              ? PHOTOMETRIC_RGB
                 : (bpp == 8 || invert) ? PHOTOMETRIC_MINISBLACK
                                        : PHOTOMETRIC_MINISWHITE);
    if (options.xRes > 0) {
      TIFFSetField(tif, TIFFTAG_XRESOLUTION, options.xRes);
      TIFFSetField(tif, TIFFTAG_YRESOLUTION, options.yRes);
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

// One entry per page, "|" between them: "WxH bits/samples cCOMPRESSION XxY dpi",
// with " 2d" for two-dimensional Group 3. Empty when the file is no TIFF.
inline std::string Tags(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return "";
  std::string tags;
  do {
    uint32_t width = 0, height = 0, group3 = 0;
    uint16_t bits = 0, samples = 0, compression = 0;
    float x = 0, y = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &group3);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y);
    tags += (tags.empty() ? "" : "|") + std::to_string(width) + "x" + std::to_string(height) + " " +
            std::to_string(bits) + "/" + std::to_string(samples) + " c" +
            std::to_string(compression) + " " + std::to_string(int(x)) + "x" +
            std::to_string(int(y)) + " dpi" + (group3 & GROUP3OPT_2DENCODING ? " 2d" : "");
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return tags;
}

// Decodes every page with the code under test's reader.
inline std::vector<TiffPage> ReadPages(const std::string& path) {
  std::vector<TiffPage> pages;
  auto file = OpenTiff(path, "r");
  int count = CountTiffPages(*file);
  for (int i = 0; i < count; ++i) {
    TiffPage page;
    if (!ReadTiffPage(*file, i, page)) {
      ADD_FAILURE() << file->lastError;
      return {};
    }
    pages.push_back(std::move(page));
  }
  return pages;
}

}  // namespace scrivex::tiff_test

#endif  // SCRIVEX_IMAGE_TIFF_TEST_SUPPORT_H_
