#include "image/tiff_recompress.h"

#include <gtest/gtest.h>

#include "image/tiff_test_support.h"
#include "platform/process.h"

namespace scrivex {
namespace {

using namespace tiff_test;

TiffPage TextPage(int width, int height, int bpp) {
  TiffPage page = MakePage(width, height, bpp);
  for (int y = height / 8; y + 30 < height * 7 / 8; y += 50) {
    for (int x = width / 8; x + 20 < width * 7 / 8; x += 30) FillRect(page, x, y, 18, 28);
  }
  return page;
}

TEST(RecompressTiffFile, FaxCodeResamplesToTheFaxWidth) {
  ScratchDir dir;
  std::string path = dir.File("fax.tif");
  WriteTestTiff(path, {TextPage(1700, 2200, 1)}, {COMPRESSION_NONE, false, 200, 200});
  EXPECT_EQ(RecompressTiffFile(path, kFax204x196G4, 300, 300), 1);
  std::vector<PageInfo> info = ReadPageInfo(path);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0].width, 1728u);
  EXPECT_EQ(info[0].height, 2236u);
  EXPECT_EQ(info[0].xRes, 204.0f);
  EXPECT_EQ(info[0].yRes, 196.0f);
  EXPECT_EQ(info[0].compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(info[0].bitsPerSample, 1);
  EXPECT_EQ(info[0].photometric, PHOTOMETRIC_MINISWHITE);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"fax.tif"});
}

TEST(RecompressTiffFile, EveryFaxCodeAndColourPages) {
  ScratchDir dir;
  struct Case {
    int code;
    float yRes;
    uint16_t compression;
  } cases[] = {{kFax204x98G4, 98, COMPRESSION_CCITTFAX4},
               {kFax204x196G4, 196, COMPRESSION_CCITTFAX4},
               {kFax204x98G3, 98, COMPRESSION_CCITTFAX3},
               {kFax204x196G3, 196, COMPRESSION_CCITTFAX3}};
  for (const Case& c : cases) {
    std::string path = dir.File("page.tif");
    // A colour page becomes a black-and-white fax page.
    WriteTestTiff(path, {TextPage(864, 1100, 24), TextPage(864, 1100, 8)});
    ASSERT_EQ(RecompressTiffFile(path, c.code, 0, 0), 1) << c.code;
    std::vector<PageInfo> info = ReadPageInfo(path);
    ASSERT_EQ(info.size(), 2u);
    for (const PageInfo& p : info) {
      EXPECT_EQ(p.width, 1728u);
      EXPECT_EQ(p.height, 2200u);
      EXPECT_EQ(p.bitsPerSample, 1);
      EXPECT_EQ(p.samplesPerPixel, 1);
      EXPECT_EQ(p.compression, c.compression);
      EXPECT_EQ(p.xRes, 204.0f);
      EXPECT_EQ(p.yRes, c.yRes);
    }
    std::vector<TiffPage> pages = ReadPages(path);
    ASSERT_EQ(pages.size(), 2u);
    // Nearest-pixel doubling: every glyph pixel becomes four.
    EXPECT_EQ(CountInk(pages[0]), 4 * CountInk(TextPage(864, 1100, 1)));
  }
}

TEST(RecompressTiffFile, PackBitsKeepsThreePagesUnderTheSameName) {
  ScratchDir dir;
  std::string path = dir.File("out_0001.tif");
  std::vector<TiffPage> pages = {TextPage(300, 400, 1), MakePage(300, 400, 1),
                                 TextPage(500, 200, 1)};
  WriteTestTiff(path, pages, {COMPRESSION_CCITTFAX4});
  EXPECT_EQ(RecompressTiffFile(path, 32773, 0, 0), 1);
  std::vector<PageInfo> info = ReadPageInfo(path);
  ASSERT_EQ(info.size(), 3u);
  for (const PageInfo& p : info) EXPECT_EQ(p.compression, COMPRESSION_PACKBITS);
  std::vector<TiffPage> read = ReadPages(path);
  ASSERT_EQ(read.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(read[i].bits, pages[i].bits) << i;
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"out_0001.tif"});
}

TEST(RecompressTiffFile, GroupThreeOneAndTwoDimensionalAndNone) {
  ScratchDir dir;
  std::string path = dir.File("g3.tif");
  TiffPage page = TextPage(640, 480, 1);
  WriteTestTiff(path, {page});
  ASSERT_EQ(RecompressTiffFile(path, 3, 0, 0), 1);
  std::vector<PageInfo> info = ReadPageInfo(path);
  EXPECT_EQ(info[0].compression, COMPRESSION_CCITTFAX3);
  EXPECT_EQ(info[0].group3Options & GROUP3OPT_2DENCODING, 0u);

  ASSERT_EQ(RecompressTiffFile(path, kGroup3TwoDimensional, 0, 0), 1);
  info = ReadPageInfo(path);
  EXPECT_EQ(info[0].compression, COMPRESSION_CCITTFAX3);
  EXPECT_NE(info[0].group3Options & GROUP3OPT_2DENCODING, 0u);

  ASSERT_EQ(RecompressTiffFile(path, 1, 0, 0), 1);
  info = ReadPageInfo(path);
  EXPECT_EQ(info[0].compression, COMPRESSION_NONE);
  std::vector<TiffPage> read = ReadPages(path);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].bits, page.bits);
}

TEST(RecompressTiffFile, ResolutionTags) {
  ScratchDir dir;
  std::string path = dir.File("res.tif");
  WriteTestTiff(path, {TextPage(200, 200, 8)}, {COMPRESSION_NONE, false, 72, 72});
  ASSERT_EQ(RecompressTiffFile(path, 1, 150, 300), 1);
  std::vector<PageInfo> info = ReadPageInfo(path);
  EXPECT_EQ(info[0].xRes, 150.0f);
  EXPECT_EQ(info[0].yRes, 300.0f);
  ASSERT_EQ(RecompressTiffFile(path, 1, 0, -1), 1);  // the page's own values stay
  info = ReadPageInfo(path);
  EXPECT_EQ(info[0].xRes, 150.0f);
  EXPECT_EQ(info[0].yRes, 300.0f);
  ASSERT_EQ(RecompressTiffFile(path, 1, 600, 0), 1);
  info = ReadPageInfo(path);
  EXPECT_EQ(info[0].xRes, 600.0f);
  EXPECT_EQ(info[0].yRes, 300.0f);
}

TEST(RecompressTiffFile, DefaultAndRequestedCodingsForColour) {
  ScratchDir dir;
  std::string path = dir.File("rgb.tif");
  WriteTestTiff(path, {TextPage(120, 90, 24)});
  ASSERT_EQ(RecompressTiffFile(path, 0, 0, 0), 1);
  std::vector<PageInfo> info = ReadPageInfo(path);
  EXPECT_EQ(info[0].compression, COMPRESSION_LZW);
  EXPECT_EQ(info[0].samplesPerPixel, 3);
  ASSERT_EQ(RecompressTiffFile(path, 7, 0, 0), 1);
  EXPECT_EQ(ReadPageInfo(path)[0].compression, COMPRESSION_JPEG);
  ASSERT_EQ(RecompressTiffFile(path, 32809, 0, 0), 1);  // no encoder: the default
  EXPECT_EQ(ReadPageInfo(path)[0].compression, COMPRESSION_LZW);
  ASSERT_EQ(RecompressTiffFile(path, 3, 0, 0), 1);
  info = ReadPageInfo(path);
  EXPECT_EQ(info[0].compression, COMPRESSION_CCITTFAX3);
  EXPECT_EQ(info[0].bitsPerSample, 1);
}

// A two-page file whose second page holds far fewer bytes than it needs.
void WriteDamagedSecondPage(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  std::vector<uint8_t> data(100 * 100, 200);
  for (int page = 0; page < 2; ++page) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 100);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 100);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 100);
    TIFFWriteRawStrip(tif, 0, data.data(), page == 0 ? 10000 : 10);
    TIFFWriteDirectory(tif);
  }
  TIFFClose(tif);
}

TEST(RecompressTiffFile, FailureLeavesTheFileByteIdentical) {
  ScratchDir dir;
  std::string path = dir.File("bad.tif");
  WriteDamagedSecondPage(path);
  ASSERT_EQ(ReadPageInfo(path).size(), 2u);
  std::string before = ReadBytes(path);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RecompressTiffFile(path, 32773, 200, 200), 0);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed, "");
  EXPECT_EQ(printed.find('\n'), printed.size() - 1) << "one line: " << printed;
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"bad.tif"});

  WriteBytes(path, "II*\0garbage that only starts like a TIFF");
  before = ReadBytes(path);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RecompressTiffFile(path, 88881, 0, 0), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"bad.tif"});

  EXPECT_EQ(RecompressTiffFile(dir.File("missing.tif"), 1, 0, 0), 0);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"bad.tif"});
}

TEST(ReencodeTiffPages, WritesAnotherFileAndKeepsTheSource) {
  ScratchDir dir;
  std::string source = dir.File("in.tif");
  std::string destination = dir.File("out.tif");
  WriteTestTiff(source, {TextPage(100, 100, 1), TextPage(100, 100, 1)});
  std::string before = ReadBytes(source);
  WriteBytes(destination, "old content");
  EXPECT_EQ(ReencodeTiffPages(source, destination, 88884, 0, 0), 0);
  EXPECT_EQ(ReadBytes(source), before);
  EXPECT_EQ(ReadPageInfo(destination).size(), 2u);

  // A damaged source leaves an existing destination alone.
  std::string written = ReadBytes(destination);
  WriteDamagedSecondPage(source);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ReencodeTiffPages(source, destination, 1, 0, 0), 1);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadBytes(destination), written);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.tif", "out.tif"}));

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ReencodeTiffPages(source, dir.File("no/such/folder/x.tif"), 1, 0, 0), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
}

TEST(RecompressTiffFile, OutputsDecodeCleanlyWithTiffinfo) {
  ScratchDir dir;
  std::string path = dir.File("pages.tif");
  for (int code : {0, 1, 3, 5, 7, 32773, kFax204x98G4, kFax204x196G3, kGroup3TwoDimensional}) {
    WriteTestTiff(path, {TextPage(700, 500, 1), TextPage(333, 222, 8), TextPage(640, 480, 24)});
    ASSERT_EQ(RecompressTiffFile(path, code, 100, 100), 1) << code;
    platform::ChildOptions options;
    options.captureOutput = true;
    platform::ChildResult run = platform::RunChild({"tiffinfo", "-D", path}, options);
    if (!run.started) GTEST_SKIP() << "tiffinfo is not installed";
    EXPECT_EQ(run.exitCode, 0) << code;
    EXPECT_EQ(run.output.find("rror"), std::string::npos) << code << ": " << run.output;
    EXPECT_EQ(run.output.find("arning"), std::string::npos) << code << ": " << run.output;
    EXPECT_EQ(ReadPageInfo(path).size(), 3u);
  }
}

TEST(ResampleForFax, HeightFollowsTheAspect) {
  TiffPage page = MakePage(2480, 3508, 8);
  ASSERT_TRUE(ResampleForFax(page, 98, COMPRESSION_CCITTFAX4));
  EXPECT_EQ(page.width, 1728);
  EXPECT_EQ(page.height, 2444);  // 3508 * 1728 / 2480 = 2444.3
  EXPECT_EQ(page.xDpi, 204);
  EXPECT_EQ(page.yDpi, 98);
  EXPECT_EQ(page.compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(page.bits.size(), 1728u * 2444u);

  // A thin strip would become a fax page far beyond any real one.
  TiffPage strip = MakePage(20, 1000, 1);
  EXPECT_FALSE(ResampleForFax(strip, 196, COMPRESSION_CCITTFAX4));
  EXPECT_EQ(strip.width, 20);
}

}  // namespace
}  // namespace scrivex
