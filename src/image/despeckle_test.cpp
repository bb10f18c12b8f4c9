#include "image/despeckle.h"

#include <gtest/gtest.h>

#include "image/tiff_test_support.h"

namespace scrivex {
namespace {

using tiff_test::CountInk;
using tiff_test::FillRect;
using tiff_test::MakePage;

void Despeckle(TiffPage& page) { DespeckleBitmap(page.bits.data(), page.width, page.height, 100); }

TEST(DespeckleBitmap, ClearsAnIsolatedDot) {
  TiffPage page = MakePage(200, 150, 1);
  FillRect(page, 80, 60, 3, 3);
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 0);
}

TEST(DespeckleBitmap, KeepsAThinLineSixtyPixelsLong) {
  TiffPage page = MakePage(200, 150, 1);
  FillRect(page, 50, 70, 60, 1);
  FillRect(page, 150, 20, 1, 60);  // and a vertical one
  FillRect(page, 10, 10, 2, 2);    // while a dot beside them goes
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 120);
  EXPECT_FALSE(IsDarkPixel(page, 10, 10));
}

TEST(DespeckleBitmap, ShortLineIsASpeck) {
  TiffPage page = MakePage(200, 150, 1);
  FillRect(page, 50, 70, 49, 1);  // 49 pixels, 48 wide between its extremes
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 0);
}

TEST(DespeckleBitmap, SizeLimitIsAHundredPixels) {
  TiffPage page = MakePage(300, 150, 1);
  FillRect(page, 20, 20, 9, 11);    // 99 pixels: a speck
  FillRect(page, 120, 20, 10, 10);  // 100 pixels: kept
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 100);
  EXPECT_TRUE(IsDarkPixel(page, 125, 25));
}

TEST(DespeckleBitmap, KeepsGroupsOnTheBorder) {
  TiffPage page = MakePage(200, 150, 1);
  FillRect(page, 0, 40, 2, 2);    // left edge
  FillRect(page, 198, 80, 2, 2);  // right edge
  FillRect(page, 100, 0, 3, 2);   // top edge
  FillRect(page, 60, 148, 3, 2);  // bottom edge
  FillRect(page, 120, 99, 3, 3);  // inside: cleared
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 4 + 4 + 6 + 6);
  EXPECT_FALSE(IsDarkPixel(page, 121, 100));
}

TEST(DespeckleBitmap, LonePixelInTheFirstColumnIsCleared) {
  // The first pixel of a group is not tested for the border.
  TiffPage page = MakePage(64, 64, 1);
  FillRect(page, 0, 30, 1, 1);
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 0);
}

TEST(DespeckleBitmap, LargeAreasSurviveTheGroupCap) {
  // 22500 pixels: growth stops at the cap, and the rest must not turn into specks.
  TiffPage page = MakePage(400, 300, 1);
  FillRect(page, 100, 50, 150, 150);
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 150 * 150);
}

TEST(DespeckleBitmap, KeepsDiagonallyConnectedMarks) {
  TiffPage page = MakePage(200, 200, 1);
  for (int i = 0; i < 80; ++i) FillRect(page, 40 + i, 40 + i, 1, 1);
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 80);
}

TEST(DespeckleBitmap, OddWidthsUseThePaddedStride) {
  TiffPage page = MakePage(37, 41, 1);
  FillRect(page, 33, 20, 2, 2);
  FillRect(page, 5, 5, 30, 1);  // 30 long: a speck too (under 50 wide, under 100 pixels)
  Despeckle(page);
  EXPECT_EQ(CountInk(page), 0);
}

}  // namespace
}  // namespace scrivex
