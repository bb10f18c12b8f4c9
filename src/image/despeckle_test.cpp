#include "image/despeckle.h"

#include <gtest/gtest.h>

#include "image/tiff_test_support.h"

namespace scrivex {
namespace {

using namespace tiff_test;

struct Rect {
  int x, y, w, h;
};

TEST(DespeckleBitmap, GroupsUnderTheLimitsGoOthersStay) {
  // clang-format off
  struct Case {
    const char* what;
    int width, height;
    std::vector<Rect> marks;
    int inkLeft;
  } cases[] = {
      {"60-pixel lines stay, the dot beside them goes",
       200, 150, {{50, 70, 60, 1}, {150, 20, 1, 60}, {10, 10, 2, 2}}, 120},
      {"49-pixel line", 200, 150, {{50, 70, 49, 1}}, 0},
      {"99 pixels go, 100 stay", 300, 150, {{20, 20, 9, 11}, {120, 20, 10, 10}}, 100},
      {"groups on each border stay, the one inside goes",
       200, 150, {{0, 40, 2, 2}, {198, 80, 2, 2}, {100, 0, 3, 2}, {60, 148, 3, 2}, {120, 99, 3, 3}},
       20},
      // The first pixel of a group is not tested for the border.
      {"lone pixel in the first column", 64, 64, {{0, 30, 1, 1}}, 0},
      {"large area beyond the group cap", 400, 300, {{100, 50, 150, 150}}, 150 * 150},
      {"odd width, padded stride", 37, 41, {{33, 20, 2, 2}, {5, 5, 30, 1}}, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    TiffPage page = MakePage(c.width, c.height, 1);
    for (const Rect& r : c.marks) FillRect(page, r.x, r.y, r.w, r.h);
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
