#include "image/tiff_page.h"

#include <gtest/gtest.h>

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
  const std::pair<const char*, const TiffPage*> files[] = {{"white.tif", &mono},
                                                           {"black.tif", &mono},
                                                           {"grey.tif", &grey},
                                                           {"colour.tif", &colour},
                                                           {"tiled.tif", &colour}};
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
  TiffPage colour = MakePage(70, 50, 24);
  FillRect(colour, 10, 10, 30, 20);
  colour.xDpi = 200;
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

}  // namespace
}  // namespace scrivex
