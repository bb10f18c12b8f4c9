#include "image/blank_pages.h"

#include <gtest/gtest.h>

#include "image/tiff_test_support.h"
#include "platform/profile.h"

namespace scrivex {
namespace {

using namespace tiff_test;

// Rows of glyph-sized marks, like a page of text.
TiffPage TextPage(int width, int height, int bpp, int firstRow = 200) {
  TiffPage page = MakePage(width, height, bpp);
  for (int y = firstRow; y + 30 < height - 200; y += 45) {
    for (int x = 220; x + 14 < width - 220; x += 20) FillRect(page, x, y, 12, 25);
  }
  return page;
}

// Small dots where the thumbnail samples: they would count if they stayed.
TiffPage SpeckPage(int width, int height) {
  TiffPage page = MakePage(width, height, 1);
  for (int y = 300; y < height - 300; y += 20) FillRect(page, 400 + (y % 200), y, 3, 3);
  return page;
}

struct BlankPagesTest : ::testing::Test {
  ScratchDir dir;
  std::string config = dir.File("config.ini");
  std::string output;

  int Measure(TiffPage& page, int index = 0) {
    ::testing::internal::CaptureStdout();
    int blank = MeasureBlankPage(index, page, config);
    output = ::testing::internal::GetCapturedStdout();
    return blank;
  }
  int Remove(const std::string& in, const std::string& out) {
    ::testing::internal::CaptureStdout();
    int result = RemoveBlankTiffPages(in, out, nullptr, config);
    output = ::testing::internal::GetCapturedStdout();
    return result;
  }
};

TEST_F(BlankPagesTest, CountsDarkThumbnailRowsAgainstTheThreshold) {
  // 2480 x 3508 gives a 248 x 350 thumbnail; 86 dark rows are blank, 87 not.
  for (int rows : {86, 87}) {
    TiffPage page = MakePage(2480, 3508, 1);
    for (int ty = 20; ty < 20 + rows; ++ty) FillRect(page, 300, ty * 3508 / 350, 1500, 1);
    int blank = Measure(page, 4);
    EXPECT_EQ(blank, rows == 86 ? 1 : 0);
    EXPECT_EQ(output, rows == 86 ? "Page(5), Black points are 0.10, Blank page = Yes\n"
                                 : "Page(5), Black points are 0.10, Blank page = No\n");
  }
}

TEST_F(BlankPagesTest, TinyPagesAndTheFrame) {
  TiffPage narrow = MakePage(9, 500, 1);
  EXPECT_EQ(Measure(narrow), 1);
  EXPECT_EQ(output, "Page(1), Black points are 0.00, Blank page = Yes\n");
  // Under 410 pixels the frame strips cover the whole thumbnail.
  TiffPage small = MakePage(409, 1000, 24);
  FillRect(small, 0, 0, 409, 1000);
  EXPECT_EQ(Measure(small), 1);
  // Marks in the outer tenth of the thumbnail never count.
  TiffPage margins = MakePage(1000, 1000, 8);
  FillRect(margins, 0, 0, 1000, 195);
  FillRect(margins, 0, 0, 195, 1000);
  FillRect(margins, 810, 0, 190, 1000);
  EXPECT_EQ(Measure(margins), 1);
}

TEST_F(BlankPagesTest, ThresholdComesFromConfigIni) {
  TiffPage white = MakePage(1000, 1400, 8);
  EXPECT_EQ(Measure(white), 1);  // no file: 0.1
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0"));
  EXPECT_EQ(ReadBlankThreshold(config), 0.0);
  EXPECT_EQ(Measure(white), 0);  // nothing is below 0
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0.6"));
  TiffPage text = TextPage(1000, 1400, 8);
  EXPECT_EQ(Measure(text), 1);
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0.25"));
  EXPECT_EQ(Measure(text), 0);
  EXPECT_NE(BlankPageConfigFile().find("/config.ini"), std::string::npos);
}

TEST_F(BlankPagesTest, SpecksAreRemovedBeforeJudging) {
  TiffPage specks = SpeckPage(1000, 1400);
  int before = CountInk(specks);
  ASSERT_GT(before, 0);
  EXPECT_EQ(Measure(specks), 1);
  EXPECT_EQ(CountInk(specks), 0);
  // The same dots on a grey page are not despeckled and count.
  TiffPage grey = MakePage(1000, 1400, 8);
  for (int y = 300; y < 1100; y += 20) FillRect(grey, 400 + (y % 200), y, 3, 3);
  EXPECT_EQ(Measure(grey), 0);
}

TEST_F(BlankPagesTest, InPlaceKeepsTheOtherPagesInOrder) {
  std::string path = dir.File("scan.tif");
  TiffPage first = TextPage(1000, 1400, 1);
  TiffPage last = TextPage(1200, 1400, 1, 300);
  WriteTestTiff(path, {first, MakePage(1000, 1400, 1), SpeckPage(1000, 1400), last},
                {COMPRESSION_CCITTFAX4, false, 300, 300});
  EXPECT_EQ(Remove(path, path), 1);
  std::vector<PageInfo> info = ReadPageInfo(path);
  ASSERT_EQ(info.size(), 2u);
  EXPECT_EQ(info[0].width, 1000u);
  EXPECT_EQ(info[1].width, 1200u);
  EXPECT_EQ(info[0].compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(info[1].xRes, 300.0f);
  std::vector<TiffPage> pages = ReadPages(path);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].bits, first.bits);
  EXPECT_EQ(pages[1].bits, last.bits);
  EXPECT_NE(output.find("Page(2), Black points are 0.00, Blank page = Yes\n"), std::string::npos);
  EXPECT_NE(output.find("Page(3), Black points are 0.00, Blank page = Yes\n"), std::string::npos);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"scan.tif"});
}

TEST_F(BlankPagesTest, ToAnotherFileLeavesTheInputAlone) {
  std::string in = dir.File("in.tiff");
  std::string out = dir.File("out.TIF");
  TiffPage text = TextPage(1000, 1400, 1);
  TiffPage textWithSpeck = text;
  FillRect(textWithSpeck, 900, 50, 2, 2);
  TiffPage colour = TextPage(1000, 1400, 24);
  WriteTestTiff(in, {MakePage(1000, 1400, 1), textWithSpeck, colour});
  std::string before = ReadBytes(in);
  WriteBytes(out, "an older output");
  EXPECT_EQ(Remove(in, out), 1);
  EXPECT_EQ(ReadBytes(in), before);
  std::vector<TiffPage> pages = ReadPages(out);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].bits, text.bits) << "the written page lacks the speck";
  EXPECT_EQ(pages[1].bitsPerPixel, 24);
  EXPECT_EQ(pages[1].bits, colour.bits);
}

TEST_F(BlankPagesTest, NoBlankPage) {
  std::string in = dir.File("in.tif");
  TiffPage text = TextPage(1000, 1400, 1);
  FillRect(text, 900, 50, 2, 2);
  WriteTestTiff(in, {text, text});
  std::string before = ReadBytes(in);
  EXPECT_EQ(Remove(in, in), 1);
  EXPECT_EQ(ReadBytes(in), before) << "in place without blank pages: untouched";
  EXPECT_EQ(Remove(in, dir.File("copy.tif")), 1);
  EXPECT_EQ(ReadPages(dir.File("copy.tif")).size(), 2u);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"copy.tif", "in.tif"}));
}

TEST_F(BlankPagesTest, EveryPageBlankWritesNothing) {
  std::string in = dir.File("blank.tif");
  std::string out = dir.File("out.tif");
  WriteTestTiff(in, {MakePage(1000, 1400, 1), SpeckPage(1000, 1400)});
  std::string before = ReadBytes(in);
  WriteBytes(out, "keep me");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Remove(in, in), 0);
  EXPECT_EQ(Remove(in, out), 0);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("Every page of " + in + " is blank"), std::string::npos) << printed;
  EXPECT_EQ(ReadBytes(in), before);
  EXPECT_EQ(ReadBytes(out), "keep me");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"blank.tif", "out.tif"}));
}

TEST_F(BlankPagesTest, BadNamesAndDamagedInputs) {
  std::string in = dir.File("in.tif");
  WriteTestTiff(in, {TextPage(1000, 1400, 1)});
  EXPECT_EQ(Remove(in, dir.File("out.pdf")), 0);
  EXPECT_EQ(Remove(dir.File("in.png"), dir.File("out.tif")), 0);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"in.tif"});

  std::string out = dir.File("out.tif");
  WriteBytes(out, "keep me");
  std::string damaged = ReadBytes(in);
  WriteBytes(in, damaged.substr(0, damaged.size() - 40));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Remove(in, out), 0);
  EXPECT_EQ(Remove(dir.File("missing.tif"), out), 0);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("error loading " + in + "\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("error loading " + dir.File("missing.tif")), std::string::npos);
  EXPECT_EQ(ReadBytes(out), "keep me");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.tif", "out.tif"}));
}

}  // namespace
}  // namespace scrivex
