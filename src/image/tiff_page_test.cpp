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
  WriteTestTiff(dir.File("white.tif"), {mono}, {COMPRESSION_PACKBITS});
  WriteTestTiff(dir.File("black.tif"), {mono}, {COMPRESSION_PACKBITS, true});
  TiffPage grey = MakePage(40, 20, 8);
  FillRect(grey, 10, 5, 4, 4);
  WriteTestTiff(dir.File("grey.tif"), {grey}, {COMPRESSION_LZW, false, 150, 75});
  TiffPage colour = MakePage(40, 20, 24);
  FillRect(colour, 1, 1, 2, 2);
  colour.bits[3 * 30] = 200;
  WriteTestTiff(dir.File("colour.tif"), {colour});
  platform::ChildResult tiled = platform::RunChild(
      {"tiffcp", "-t", "-w", "16", "-l", "16", dir.File("colour.tif"), dir.File("tiled.tif")}, {});
  ASSERT_TRUE(tiled.started && tiled.exitCode == 0) << "tiffcp makes the tiled copy";

  struct Expected {
    const char* name;
    const TiffPage* page;
  } files[] = {{"white.tif", &mono},
               {"black.tif", &mono},
               {"grey.tif", &grey},
               {"colour.tif", &colour},
               {"tiled.tif", &colour}};
  for (const Expected& e : files) {
    std::vector<TiffPage> read = ReadPages(dir.File(e.name));
    ASSERT_EQ(read.size(), 1u) << e.name;
    EXPECT_EQ(read[0].bitsPerPixel, e.page->bitsPerPixel) << e.name;
    EXPECT_EQ(read[0].bits, e.page->bits) << e.name;
  }
  EXPECT_EQ(ReadPages(dir.File("black.tif"))[0].sourceCompression, COMPRESSION_PACKBITS);
  EXPECT_EQ(ReadPages(dir.File("grey.tif"))[0].yDpi, 75);
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
  // A cut at the length of a two-page file: the second page points into nothing.
  TiffPage grey = MakePage(64, 64, 8);
  WriteTestTiff(dir.File("two.tif"), {grey, grey});
  WriteTestTiff(dir.File("three.tif"), {grey, grey, grey});
  WriteBytes(dir.File("cut.tif"),
             ReadBytes(dir.File("three.tif")).substr(0, ReadBytes(dir.File("two.tif")).size()));

  for (const char* name :
       {"garbage.tif", "header.tif", "half.tif", "empty.tif", "missing.tif", "cut.tif"}) {
    ::testing::internal::CaptureStderr();
    auto file = OpenTiff(dir.File(name), "r");
    int count = CountTiffPages(*file);
    bool allRead = count > 0;
    TiffPage read;
    for (int i = 0; i < count && allRead; ++i) allRead = ReadTiffPage(*file, i, read);
    EXPECT_FALSE(allRead) << name;
    EXPECT_NE(file->lastError, "") << name;
    file.reset();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << name;
  }
  EXPECT_EQ(CountTiffPages(*OpenTiff(dir.File("two.tif"), "r")), 2);
  EXPECT_EQ(CountTiffPages(*OpenTiff(dir.File("cut.tif"), "r")), 0);
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
      EXPECT_NE(Tags(path).find(" 200x100 dpi"), std::string::npos) << Tags(path);
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
