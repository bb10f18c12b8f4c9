#include "image/tiff_page.h"

#include <gtest/gtest.h>

#include "image/tiff_test_support.h"

namespace scrivex {
namespace {

using namespace tiff_test;

TEST(ReadTiffPage, OneBitPagesKeepInkAsSetBits) {
  ScratchDir dir;
  TiffPage page = MakePage(45, 30, 1);
  FillRect(page, 3, 4, 5, 6);
  for (bool minIsBlack : {false, true}) {
    std::string path = dir.File(minIsBlack ? "black.tif" : "white.tif");
    RawPageOptions options;
    options.minIsBlack = minIsBlack;
    options.compression = COMPRESSION_PACKBITS;
    WriteTestTiff(path, {page}, options);
    std::vector<TiffPage> read = ReadPages(path);
    ASSERT_EQ(read.size(), 1u) << path;
    EXPECT_EQ(read[0].bitsPerPixel, 1);
    EXPECT_EQ(read[0].sourceCompression, COMPRESSION_PACKBITS);
    EXPECT_EQ(CountInk(read[0]), 30) << path;
    EXPECT_TRUE(IsDarkPixel(read[0], 3, 4));
    // Padding after the last pixel of a row stays clear.
    EXPECT_EQ(read[0].bits, page.bits) << path;
  }
}

TEST(ReadTiffPage, GreyColourAndTiledPages) {
  ScratchDir dir;
  TiffPage grey = MakePage(40, 20, 8);
  FillRect(grey, 10, 5, 4, 4);
  TiffPage colour = MakePage(40, 20, 24);
  FillRect(colour, 1, 1, 2, 2);
  colour.bits[3 * 30] = 200;  // a red-ish pixel survives unchanged
  WriteTestTiff(dir.File("grey.tif"), {grey}, {COMPRESSION_LZW, false, 150, 75});
  WriteTestTiff(dir.File("colour.tif"), {colour});
  RawPageOptions tiled;
  tiled.tiled = true;
  WriteTestTiff(dir.File("tiled.tif"), {colour}, tiled);

  std::vector<TiffPage> g = ReadPages(dir.File("grey.tif"));
  ASSERT_EQ(g.size(), 1u);
  EXPECT_EQ(g[0].bitsPerPixel, 8);
  EXPECT_EQ(g[0].bits, grey.bits);
  EXPECT_EQ(g[0].xDpi, 150);
  EXPECT_EQ(g[0].yDpi, 75);
  for (const char* name : {"colour.tif", "tiled.tif"}) {
    std::vector<TiffPage> c = ReadPages(dir.File(name));
    ASSERT_EQ(c.size(), 1u) << name;
    EXPECT_EQ(c[0].bitsPerPixel, 24);
    EXPECT_EQ(c[0].bits, colour.bits) << name;
    EXPECT_EQ(c[0].xDpi, 0);
  }
}

TEST(ReadTiffPage, DamagedFilesGiveAnErrorAndPrintNothing) {
  ScratchDir dir;
  TiffPage page = MakePage(300, 200, 1);
  FillRect(page, 10, 10, 100, 100);
  WriteTestTiff(dir.File("good.tif"), {page, page}, {COMPRESSION_CCITTFAX4});
  std::string good = ReadBytes(dir.File("good.tif"));
  WriteBytes(dir.File("garbage.tif"), "this is not a picture at all, just words");
  WriteBytes(dir.File("header.tif"), good.substr(0, 8));
  WriteBytes(dir.File("half.tif"), good.substr(0, good.size() / 2));
  WriteBytes(dir.File("empty.tif"), "");

  for (const char* name : {"garbage.tif", "header.tif", "half.tif", "empty.tif", "missing.tif"}) {
    ::testing::internal::CaptureStderr();
    auto file = OpenTiff(dir.File(name), "r");
    int count = CountTiffPages(*file);
    bool allRead = count > 0;
    TiffPage read;
    for (int i = 0; i < count && allRead; ++i) allRead = ReadTiffPage(*file, i, read);
    file.reset();
    std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(allRead) << name;
    EXPECT_EQ(printed, "") << name;
  }
  auto file = OpenTiff(dir.File("garbage.tif"), "r");
  EXPECT_EQ(file->handle, nullptr);
  EXPECT_NE(file->lastError, "");
}

TEST(CountTiffPages, BrokenChainOfPagesIsAnError) {
  // The third page's directory lies beyond the cut: the second page points into nothing.
  ScratchDir dir;
  TiffPage page = MakePage(64, 64, 8);
  WriteTestTiff(dir.File("two.tif"), {page, page});
  WriteTestTiff(dir.File("three.tif"), {page, page, page});
  std::string three = ReadBytes(dir.File("three.tif"));
  WriteBytes(dir.File("cut.tif"), three.substr(0, ReadBytes(dir.File("two.tif")).size()));
  auto good = OpenTiff(dir.File("two.tif"), "r");
  EXPECT_EQ(CountTiffPages(*good), 2);
  auto cut = OpenTiff(dir.File("cut.tif"), "r");
  ASSERT_NE(cut->handle, nullptr);
  EXPECT_EQ(CountTiffPages(*cut), 0);
  EXPECT_NE(cut->lastError, "");
}

TEST(WriteTiffPage, EveryCodingReadsBack) {
  ScratchDir dir;
  TiffPage colour = MakePage(70, 50, 24);
  FillRect(colour, 10, 10, 30, 20);
  TiffPage mono = ToBilevel(colour);
  for (int compression : {1, 2, 3, 4, 5, 7, 8, 32773, 32946}) {
    for (TiffPage* page : {&mono, &colour}) {
      std::string path = dir.File("c" + std::to_string(compression) + ".tif");
      page->compression = compression;
      page->xDpi = 200;
      page->yDpi = 100;
      auto file = OpenTiff(path, "w");
      ASSERT_TRUE(WriteTiffPage(*file, *page, 0)) << file->lastError;
      ASSERT_TRUE(CloseTiff(*file)) << file->lastError;
      std::vector<TiffPage> read = ReadPages(path);
      ASSERT_EQ(read.size(), 1u) << compression;
      std::vector<PageInfo> info = ReadPageInfo(path);
      EXPECT_EQ(info[0].xRes, 200.0f);
      EXPECT_EQ(info[0].yRes, 100.0f);
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

}  // namespace
}  // namespace scrivex
