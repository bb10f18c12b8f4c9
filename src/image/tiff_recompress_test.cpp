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

TEST(RecompressTiffFile, FaxCodesResampleToTheFaxWidth) {
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
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"fax.tif"});

  // Colour and grey pages become black-and-white fax pages.
  WriteTestTiff(path, {TextPage(864, 1100, 24), TextPage(864, 1100, 8)});
  ASSERT_EQ(RecompressTiffFile(path, kFax204x98G3, 0, 0), 1);
  for (const PageInfo& p : ReadPageInfo(path)) {
    EXPECT_EQ(p.width, 1728u);
    EXPECT_EQ(p.height, 2200u);
    EXPECT_EQ(p.samplesPerPixel, 1);
    EXPECT_EQ(p.compression, COMPRESSION_CCITTFAX3);
    EXPECT_EQ(p.yRes, 98.0f);
  }
  std::vector<TiffPage> pages = ReadPages(path);
  ASSERT_EQ(pages.size(), 2u);
  // Nearest-pixel doubling: every glyph pixel becomes four.
  EXPECT_EQ(CountInk(pages[0]), 4 * CountInk(TextPage(864, 1100, 1)));

  // A thin strip would become a fax page far beyond any real one.
  TiffPage strip = MakePage(20, 1000, 1);
  EXPECT_FALSE(ResampleForFax(strip, 196, COMPRESSION_CCITTFAX4));
  EXPECT_EQ(strip.width, 20);
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

// Each step re-encodes the page the step before wrote; tiffinfo decodes every result.
TEST(RecompressTiffFile, CodingsAndResolutionsInTurn) {
  ScratchDir dir;
  std::string path = dir.File("page.tif");
  WriteTestTiff(path, {TextPage(120, 90, 24)}, {COMPRESSION_NONE, false, 72, 72});
  struct Step {
    int code, resX, resY;
    uint16_t compression;
    bool twoDimensional;
    uint16_t bitsPerSample;
    float xRes, yRes;
  } steps[] = {
      {0, 0, 0, COMPRESSION_LZW, false, 8, 72, 72},
      {7, 0, 0, COMPRESSION_JPEG, false, 8, 72, 72},
      {32809, 0, 0, COMPRESSION_LZW, false, 8, 72, 72},  // no encoder: the default
      {3, 0, 0, COMPRESSION_CCITTFAX3, false, 1, 72, 72},
      {kGroup3TwoDimensional, 0, 0, COMPRESSION_CCITTFAX3, true, 1, 72, 72},
      {1, 150, 300, COMPRESSION_NONE, false, 1, 150, 300},
      {1, 0, -1, COMPRESSION_NONE, false, 1, 150, 300},  // the page's own values stay
      {1, 600, 0, COMPRESSION_NONE, false, 1, 600, 300},
      {kFax204x98G4, 0, 0, COMPRESSION_CCITTFAX4, false, 1, 204, 98},
  };
  for (const Step& s : steps) {
    ASSERT_EQ(RecompressTiffFile(path, s.code, s.resX, s.resY), 1) << s.code;
    std::vector<PageInfo> info = ReadPageInfo(path);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].compression, s.compression) << s.code;
    EXPECT_EQ((info[0].group3Options & GROUP3OPT_2DENCODING) != 0, s.twoDimensional) << s.code;
    EXPECT_EQ(info[0].bitsPerSample, s.bitsPerSample) << s.code;
    EXPECT_EQ(info[0].xRes, s.xRes) << s.code;
    EXPECT_EQ(info[0].yRes, s.yRes) << s.code;
    platform::ChildOptions options;
    options.captureOutput = true;
    platform::ChildResult run = platform::RunChild({"tiffinfo", "-D", path}, options);
    EXPECT_TRUE(run.started && run.exitCode == 0) << s.code;
    EXPECT_EQ(run.output.find("rror"), std::string::npos) << s.code << ": " << run.output;
    EXPECT_EQ(run.output.find("arning"), std::string::npos) << s.code << ": " << run.output;
  }
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

  WriteBytes(path, "II*\0garbage that only starts like a TIFF");
  before = ReadBytes(path);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RecompressTiffFile(path, 88881, 0, 0), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ReadBytes(path), before);
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

  // A damaged source, or a folder that is not there: the destination stays.
  std::string written = ReadBytes(destination);
  WriteDamagedSecondPage(source);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ReencodeTiffPages(source, destination, 1, 0, 0), 1);
  EXPECT_EQ(ReencodeTiffPages(source, dir.File("no/such/folder/x.tif"), 1, 0, 0), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ReadBytes(destination), written);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.tif", "out.tif"}));
}

}  // namespace
}  // namespace scrivex
