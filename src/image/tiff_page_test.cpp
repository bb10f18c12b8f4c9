#include "image/tiff_page.h"

#include <gtest/gtest.h>

#include "image/tiff_recompress.h"
#include "image/tiff_test_support.h"
#include "platform/process.h"

namespace scrivex {
namespace {

using namespace tiff_test;

TEST(ReadTiffPage, EveryLayoutReadsAsWritten) {
  ScratchDir dir;
  TiffPage mono = MakePage(45, 30, 1);  // odd width: row padding stays clear
  FillRect(mono, 3, 4, 5, 6);
  WriteTestTiff(dir.Path("white.tif"), {mono}, COMPRESSION_PACKBITS);
  WriteTestTiff(dir.Path("black.tif"), {mono}, COMPRESSION_PACKBITS, true);
  TiffPage grey = MakePage(40, 20, 8, 150);
  grey.yDpi = 75;
  FillRect(grey, 10, 5, 4, 4);
  WriteTestTiff(dir.Path("grey.tif"), {grey}, COMPRESSION_LZW);
  TiffPage colour = MakePage(40, 20, 24);
  FillRect(colour, 1, 1, 2, 2);
  colour.bits[3 * 30] = 200;
  WriteTestTiff(dir.Path("colour.tif"), {colour});
  platform::RunChild(
      {"tiffcp", "-t", "-w", "16", "-l", "16", dir.Path("colour.tif"), dir.Path("tiled.tif")});
  // clang-format off
  const std::pair<const char*, const TiffPage*> files[] = {
      {"white.tif", &mono}, {"black.tif", &mono}, {"grey.tif", &grey}, {"colour.tif", &colour},
      {"tiled.tif", &colour}};
  // clang-format on
  for (const auto& [name, page] : files) {
    std::vector<TiffPage> read = ReadPages(dir.Path(name));
    ASSERT_EQ(read.size(), 1u) << name;
    EXPECT_EQ(read[0].bitsPerPixel, page->bitsPerPixel) << name;
    EXPECT_EQ(read[0].bits, page->bits) << name;
  }
  EXPECT_EQ(Tags(dir.Path("grey.tif")), "40x20 8 c5 150x75 dpi");
}

// No page may be dropped silently: a file cut before its last pages'
// directories counts no pages at all. libtiff prints nothing itself.
TEST(ReadTiffPage, DamagedFilesGiveAnErrorAndPrintNothing) {
  ScratchDir dir;
  TiffPage page = MakePage(300, 200, 1);
  FillRect(page, 10, 10, 100, 100);
  WriteTestTiff(dir.Path("good.tif"), {page, page}, COMPRESSION_CCITTFAX4);
  std::string good = ReadBytes(dir.Path("good.tif"));
  dir.Write("garbage.tif", "this is not a picture at all, just words");
  dir.Write("header.tif", good.substr(0, 8));
  dir.Write("half.tif", good.substr(0, good.size() / 2));
  WriteTestTiff(dir.Path("three.tif"), {page, page, page}, COMPRESSION_CCITTFAX4);
  dir.Write("cut.tif", ReadBytes(dir.Path("three.tif")).substr(0, good.size()));
  for (const char* name : {"garbage.tif", "header.tif", "half.tif", "missing.tif", "cut.tif"}) {
    ::testing::internal::CaptureStderr();
    auto file = OpenTiff(dir.Path(name), "r");
    int count = CountTiffPages(*file);
    bool allRead = count > 0;
    TiffPage read;
    for (int i = 0; i < count && allRead; ++i) allRead = ReadTiffPage(*file, i, read);
    EXPECT_FALSE(allRead) << name;
    EXPECT_NE(file->lastError, "") << name;
    file.reset();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << name;
  }
  EXPECT_EQ(CountTiffPages(*OpenTiff(dir.Path("good.tif"), "r")), 2);
}

TEST(WriteTiffPage, EveryCodingReadsBack) {
  ScratchDir dir;
  TiffPage colour = MakePage(70, 50, 24, 200);
  FillRect(colour, 10, 10, 30, 20);
  colour.yDpi = 100;
  TiffPage mono = ToBilevel(colour);
  for (int compression : {1, 2, 3, 4, 5, 7, 8, 32773, 32946}) {
    for (TiffPage* page : {&mono, &colour}) {
      std::string path = dir.Path("c" + std::to_string(compression) + ".tif");
      page->compression = compression;
      auto file = OpenTiff(path, "w");
      ASSERT_TRUE(WriteTiffPage(*file, *page, 0)) << file->lastError;
      ASSERT_TRUE(CloseTiff(*file)) << file->lastError;
      std::vector<TiffPage> read = ReadPages(path);
      ASSERT_EQ(read.size(), 1u) << compression;
      EXPECT_EQ(read[0].yDpi, 100);
      if (compression == 7) {
        EXPECT_EQ(CountInk(read[0]), 600) << "JPEG keeps the dark area's size";
      } else {
        EXPECT_EQ(read[0].bits, ChooseTiffCoding(compression, page->bitsPerPixel).needsBilevel
                                    ? mono.bits
                                    : page->bits)
            << compression << " at " << page->bitsPerPixel;
      }
    }
  }
}

TEST(RecompressTiffFile, FaxCodesResampleToTheFaxWidth) {
  ScratchDir dir;
  std::string path = dir.Path("fax.tif");
  // Colour and grey pages become black-and-white fax pages; nearest-pixel
  // doubling makes every dark pixel four.
  TiffPage colour = MakePage(864, 1100, 24), grey = MakePage(864, 1100, 8);
  FillRect(colour, 100, 150, 30, 20);
  FillRect(grey, 100, 150, 30, 20);
  WriteTestTiff(path, {colour, grey});
  ASSERT_EQ(RecompressTiffFile(path, kFax204x98G3, 0, 0), 1);
  ASSERT_EQ(Tags(path), "1728x2200 1 c3 204x98 dpi|1728x2200 1 c3 204x98 dpi");
  EXPECT_EQ(CountInk(ReadPages(path)[1]), 4 * 30 * 20);
}

// Each step re-encodes what the step before wrote.
TEST(RecompressTiffFile, CodingsAndResolutionsInTurn) {
  ScratchDir dir;
  std::string path = dir.Path("page.tif");
  WriteTestTiff(path, {MakePage(120, 90, 24, 72)});
  struct Step {
    int code, resX, resY;
    const char* tags;
  } steps[] = {
      {0, 0, 0, "120x90 24 c5 72x72 dpi"},      // LZW
      {32809, 0, 0, "120x90 24 c5 72x72 dpi"},  // no encoder: the default
      {kGroup3TwoDimensional, 0, 0, "120x90 1 c3 72x72 dpi 2d"},
      {1, 150, 300, "120x90 1 c1 150x300 dpi"},
      {1, 0, -1, "120x90 1 c1 150x300 dpi"},  // the page's own values stay
      {1, 600, 0, "120x90 1 c1 600x300 dpi"},
      {kFax204x98G4, 0, 0, "1728x1296 1 c4 204x98 dpi"},
  };
  for (const Step& s : steps) {
    ASSERT_EQ(RecompressTiffFile(path, s.code, s.resX, s.resY), 1) << s.code;
    EXPECT_EQ(Tags(path), s.tags);
  }
}

}  // namespace
}  // namespace scrivex
