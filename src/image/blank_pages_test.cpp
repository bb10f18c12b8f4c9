#include "image/blank_pages.h"

#include <gtest/gtest.h>

#include <array>

#include "image/despeckle.h"
#include "image/tiff_test_support.h"
#include "platform/profile.h"

namespace scrivex {
namespace {

using namespace tiff_test;

// Rows of glyph-sized marks, like a page of text.
TiffPage TextPage(int width, int height, int bpp, int firstRow = 200) {
  TiffPage page = MakePage(width, height, bpp, 300);
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
  std::string config = dir.Path("config.ini");
  std::string output;  // what the last call printed

  int Measure(TiffPage& page, int index = 0) {
    ::testing::internal::CaptureStdout();
    int blank = MeasureBlankPage(index, page, config);
    output = ::testing::internal::GetCapturedStdout();
    return blank;
  }
  int Measure(TiffPage&& page) { return Measure(page); }
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
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0.6"));
  EXPECT_EQ(Measure(TextPage(1000, 1400, 8)), 1);
  ASSERT_TRUE(platform::WriteProfileString(config, "BlankTIF", "blackpoints", "0.25"));
  EXPECT_EQ(Measure(TextPage(1000, 1400, 8)), 0);
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

// Blank pages go, the others keep their order, coding and resolution, and a
// 1-bit page loses its specks.
TEST_F(BlankPagesTest, KeepsThePagesThatAreNotBlank) {
  std::string in = dir.Path("in.tiff"), out = dir.Path("out.TIF");
  TiffPage text = TextPage(1000, 1400, 1), colour = TextPage(1200, 1400, 24, 300);
  TiffPage textWithSpeck = text;
  FillRect(textWithSpeck, 900, 50, 2, 2);
  WriteTestTiff(in, {MakePage(1000, 1400, 1), textWithSpeck, SpeckPage(1000, 1400), colour},
                COMPRESSION_LZW);
  EXPECT_EQ(Remove(in, out), 1);
  EXPECT_EQ(Tags(out), "1000x1400 1 c5 300x300 dpi|1200x1400 24 c5 300x300 dpi");
  std::vector<TiffPage> pages = ReadPages(out);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].bits, text.bits);
  EXPECT_EQ(pages[1].bits, colour.bits);
  EXPECT_EQ(Remove(in, in), 1);
  EXPECT_EQ(Tags(in), Tags(out));
  // No blank page: in place the file is not even rewritten.
  std::string before = ReadBytes(out);
  EXPECT_EQ(Remove(out, out), 1);
  EXPECT_EQ(ReadBytes(out), before);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.tiff", "out.TIF"}));
  EXPECT_EQ(Remove(in, dir.Path("out.pdf")), 0);  // TIFF names only
}

TEST(DespeckleBitmap, GroupsUnderTheLimitsGoOthersStay) {
  // clang-format off
  struct Case {
    const char* what;
    int width, height;
    std::vector<std::array<int, 4>> marks;  // x, y, width, height
    int inkLeft;
  } cases[] = {
      // A group's extent is measured without its first pixel.
      {"51-pixel lines go, 52 stay", 200, 150,
       {{50, 70, 51, 1}, {50, 100, 52, 1}, {150, 10, 1, 51}, {170, 10, 1, 52}}, 104},
      {"99 pixels go, 100 stay", 300, 150, {{20, 20, 9, 11}, {120, 20, 10, 10}}, 100},
      {"groups on each border stay, the one inside goes",
       200, 150, {{0, 40, 2, 2}, {198, 80, 2, 2}, {100, 0, 3, 2}, {60, 148, 3, 2}, {120, 99, 3, 3}},
       20},
      {"large area beyond the group cap", 400, 300, {{100, 50, 150, 150}}, 150 * 150},
      {"odd width, padded stride", 37, 41, {{33, 20, 2, 2}, {5, 5, 30, 1}}, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    TiffPage page = MakePage(c.width, c.height, 1);
    for (const auto& [x, y, w, h] : c.marks) FillRect(page, x, y, w, h);
    DespeckleBitmap(page.bits.data(), page.width, page.height, 100);
    EXPECT_EQ(CountInk(page), c.inkLeft) << c.what;
  }
  TiffPage diagonal = MakePage(200, 200, 1);
  for (int i = 0; i < 80; ++i) FillRect(diagonal, 40 + i, 40 + i, 1, 1);
  DespeckleBitmap(diagonal.bits.data(), 200, 200, 100);
  EXPECT_EQ(CountInk(diagonal), 80) << "diagonal neighbours are one group";
}

}  // namespace
}  // namespace scrivex
