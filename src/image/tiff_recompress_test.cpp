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
  EXPECT_EQ(Tags(path), "1728x2236 1/1 c4 204x196 dpi");  // Group 4
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"fax.tif"});

  // Colour and grey pages become black-and-white fax pages.
  WriteTestTiff(path, {TextPage(864, 1100, 24), TextPage(864, 1100, 8)});
  ASSERT_EQ(RecompressTiffFile(path, kFax204x98G3, 0, 0), 1);
  EXPECT_EQ(Tags(path), "1728x2200 1/1 c3 204x98 dpi|1728x2200 1/1 c3 204x98 dpi");
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
  EXPECT_EQ(Tags(path),
            "300x400 1/1 c32773 0x0 dpi|300x400 1/1 c32773 0x0 dpi|"
            "500x200 1/1 c32773 0x0 dpi");
  std::vector<TiffPage> read = ReadPages(path);
  ASSERT_EQ(read.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(read[i].bits, pages[i].bits) << i;
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"out_0001.tif"});
}

// Each step re-encodes what the step before wrote; tiffinfo decodes every result.
TEST(RecompressTiffFile, CodingsAndResolutionsInTurn) {
  ScratchDir dir;
  std::string path = dir.File("page.tif");
  WriteTestTiff(path, {TextPage(120, 90, 24)}, {COMPRESSION_NONE, false, 72, 72});
  struct Step {
    int code, resX, resY;
    const char* tags;
  } steps[] = {
      {0, 0, 0, "120x90 8/3 c5 72x72 dpi"},      // LZW
      {7, 0, 0, "120x90 8/3 c7 72x72 dpi"},      // JPEG
      {32809, 0, 0, "120x90 8/3 c5 72x72 dpi"},  // no encoder: the default
      {3, 0, 0, "120x90 1/1 c3 72x72 dpi"},
      {kGroup3TwoDimensional, 0, 0, "120x90 1/1 c3 72x72 dpi 2d"},
      {1, 150, 300, "120x90 1/1 c1 150x300 dpi"},
      {1, 0, -1, "120x90 1/1 c1 150x300 dpi"},  // the page's own values stay
      {1, 600, 0, "120x90 1/1 c1 600x300 dpi"},
      {kFax204x98G4, 0, 0, "1728x1296 1/1 c4 204x98 dpi"},
  };
  for (const Step& s : steps) {
    ASSERT_EQ(RecompressTiffFile(path, s.code, s.resX, s.resY), 1) << s.code;
    EXPECT_EQ(Tags(path), s.tags);
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
  EXPECT_EQ(Tags(destination), "100x100 1/1 c3 0x0 dpi 2d|100x100 1/1 c3 0x0 dpi 2d");

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
