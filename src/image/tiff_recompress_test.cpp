#include "image/tiff_recompress.h"

#include <gtest/gtest.h>

#include "image/tiff_test_support.h"

namespace scrivex {
namespace {

using namespace tiff_test;

TiffPage TextPage(int width, int height, int bpp, int dpi = 0) {
  TiffPage page = MakePage(width, height, bpp, dpi);
  for (int y = height / 8; y + 30 < height * 7 / 8; y += 50) {
    for (int x = width / 8; x + 20 < width * 7 / 8; x += 30) FillRect(page, x, y, 18, 28);
  }
  return page;
}

TEST(RecompressTiffFile, FaxCodesResampleToTheFaxWidthWithinTheLimit) {
  ScratchDir dir;
  std::string path = dir.Path("fax.tif");
  // Colour and grey pages become black-and-white fax pages.
  WriteTestTiff(path, {TextPage(864, 1100, 24), TextPage(864, 1100, 8)});
  ASSERT_EQ(RecompressTiffFile(path, kFax204x98G3, 0, 0), 1);
  EXPECT_EQ(Tags(path), "1728x2200 1 c3 204x98 dpi|1728x2200 1 c3 204x98 dpi");
  // Nearest-pixel doubling: every glyph pixel becomes four.
  EXPECT_EQ(CountInk(ReadPages(path)[0]), 4 * CountInk(TextPage(864, 1100, 1)));

  // A thin strip would become a fax page far beyond any real one.
  TiffPage strip = MakePage(20, 1000, 1);
  EXPECT_FALSE(ResampleForFax(strip, 196, COMPRESSION_CCITTFAX4));
  EXPECT_EQ(strip.width, 20);
}

// Each step re-encodes what the step before wrote.
TEST(RecompressTiffFile, CodingsAndResolutionsInTurn) {
  ScratchDir dir;
  std::string path = dir.Path("page.tif");
  WriteTestTiff(path, {TextPage(120, 90, 24, 72)});
  struct Step {
    int code, resX, resY;
    const char* tags;
  } steps[] = {
      {0, 0, 0, "120x90 24 c5 72x72 dpi"},      // LZW
      {7, 0, 0, "120x90 24 c7 72x72 dpi"},      // JPEG
      {32809, 0, 0, "120x90 24 c5 72x72 dpi"},  // no encoder: the default
      {kGroup3TwoDimensional, 0, 0, "120x90 1 c3 72x72 dpi 2d"},
      {1, 150, 300, "120x90 1 c1 150x300 dpi"},
      {1, 0, -1, "120x90 1 c1 150x300 dpi"},  // the page's own values stay
      {1, 600, 0, "120x90 1 c1 600x300 dpi"},
      {kFax204x98G4, 0, 0, "1728x1296 1 c4 204x98 dpi"},
  };
  for (const Step& s : steps) {
    ASSERT_EQ(RecompressTiffFile(path, s.code, s.resX, s.resY), 1) << s.code;
    EXPECT_EQ(Tags(path), s.tags);
  }
}

}  // namespace
}  // namespace scrivex
