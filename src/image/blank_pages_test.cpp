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
TiffPage SpeckPage(int width, int height, int bpp = 1) {
  TiffPage page = MakePage(width, height, bpp);
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
  int Measure(TiffPage&& page, int index = 0) { return Measure(page, index); }
  int Remove(const std::string& in, const std::string& out) {
    ::testing::internal::CaptureStdout();
    int result = RemoveBlankTiffPages(in, out, nullptr, config);
    output = ::testing::internal::GetCapturedStdout();
    return result;
  }
};

TEST_F(BlankPagesTest, ThresholdFromConfigAndItsEdge) {
  // 2480 x 3508 gives a 248 x 350 thumbnail; 86 dark rows are blank, 87 not.
  for (int rows : {86, 87}) {
    TiffPage page = MakePage(2480, 3508, 1);
    for (int ty = 20; ty < 20 + rows; ++ty) FillRect(page, 300, ty * 3508 / 350, 1500, 1);
    EXPECT_EQ(Measure(page, 4), rows == 86 ? 1 : 0);
    EXPECT_EQ(output, std::string("Page(5), Black points are 0.10, Blank page = ") +
                          (rows == 86 ? "Yes\n" : "No\n"));
  }
  TiffPage text = TextPage(1000, 1400, 8);
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0.6"));
  EXPECT_EQ(Measure(text), 1);
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0.25"));
  EXPECT_EQ(Measure(text), 0);
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0"));
  EXPECT_EQ(Measure(MakePage(1000, 1400, 8)), 0);  // nothing is below 0
}

TEST_F(BlankPagesTest, TinyPagesFrameAndSpecks) {
  EXPECT_EQ(Measure(MakePage(9, 500, 1)), 1);
  EXPECT_EQ(output, "Page(1), Black points are 0.00, Blank page = Yes\n");
  // Marks in the outer tenth of the thumbnail never count.
  TiffPage margins = MakePage(1000, 1000, 8);
  FillRect(margins, 0, 0, 1000, 195);
  FillRect(margins, 0, 0, 195, 1000);
  FillRect(margins, 810, 0, 190, 1000);
  EXPECT_EQ(Measure(margins), 1);
  // Specks go before judging a 1-bit page, and the page loses them; grey pages keep theirs.
  TiffPage specks = SpeckPage(1000, 1400);
  EXPECT_EQ(Measure(specks), 1);
  EXPECT_EQ(CountInk(specks), 0);
  EXPECT_EQ(Measure(SpeckPage(1000, 1400, 8)), 0);
}

TEST_F(BlankPagesTest, InPlaceKeepsTheOtherPagesInOrder) {
  std::string path = dir.File("scan.tif");
  TiffPage first = TextPage(1000, 1400, 1);
  TiffPage last = TextPage(1200, 1400, 1, 300);
  WriteTestTiff(path, {first, MakePage(1000, 1400, 1), SpeckPage(1000, 1400), last},
                {COMPRESSION_CCITTFAX4, false, 300, 300});
  EXPECT_EQ(Remove(path, path), 1);
  EXPECT_EQ(Tags(path), "1000x1400 1/1 c4 300x300 dpi|1200x1400 1/1 c4 300x300 dpi");
  std::vector<TiffPage> pages = ReadPages(path);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].bits, first.bits);
  EXPECT_EQ(pages[1].bits, last.bits);
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
  EXPECT_EQ(pages[1].bits, colour.bits);

  // No blank page: in place the file is untouched.
  WriteTestTiff(in, {textWithSpeck, text});
  before = ReadBytes(in);
  EXPECT_EQ(Remove(in, in), 1);
  EXPECT_EQ(ReadBytes(in), before);
}

TEST_F(BlankPagesTest, EveryPageBlankBadNamesAndDamagedInputsWriteNothing) {
  std::string blank = dir.File("blank.tif");
  std::string in = dir.File("in.tif");
  std::string out = dir.File("out.tif");
  WriteTestTiff(blank, {MakePage(1000, 1400, 1), SpeckPage(1000, 1400)});
  WriteTestTiff(in, {TextPage(1000, 1400, 1)});
  std::string blankBefore = ReadBytes(blank);
  std::string damaged = ReadBytes(in);
  WriteBytes(in, damaged.substr(0, damaged.size() - 40));
  WriteBytes(out, "keep me");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Remove(blank, blank), 0);
  EXPECT_EQ(Remove(blank, out), 0);
  EXPECT_EQ(Remove(blank, dir.File("out.pdf")), 0);
  EXPECT_EQ(Remove(dir.File("in.png"), out), 0);
  EXPECT_EQ(Remove(in, out), 0);
  EXPECT_EQ(Remove(dir.File("missing.tif"), out), 0);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("Every page of " + blank + " is blank"), std::string::npos) << printed;
  EXPECT_NE(printed.find("error loading " + in + "\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("error loading " + dir.File("missing.tif")), std::string::npos);
  EXPECT_EQ(ReadBytes(blank), blankBefore);
  EXPECT_EQ(ReadBytes(out), "keep me");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"blank.tif", "in.tif", "out.tif"}));
}

}  // namespace
}  // namespace scrivex
