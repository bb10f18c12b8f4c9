#include "image/raster_image.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"

namespace scrivex {
namespace {

// A 2 x 1 RGB PNG: a red pixel, then a blue one.
const std::string kTinyPng(
    "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x01\x08\x02\0\0\0\x7b\x40\xe8\xdd\0\0\0\x0d"
    "IDAT\x78\xda\x63\xf8\xcf\0\x04\xff\x01\x07\0\x01\xff\x3d\x7d\x8c\x49\0\0\0\0IEND\xae\x42\x60"
    "\x82",
    70);
// Headers that claim 60000 x 60000 and 15000 x 15000 pixels over a few bytes of data.
const std::string kBombIhdrTail("\x08\x02\0\0\0", 5);
const std::string kBombData(
    "\0\0\0\x0cIDAT\x78\xda\x63\x60\xa0\x3d\0\0\0\x64\0\x01\xb8\x99\xef\x99\0\0\0\0IEND\xae\x42\x60"
    "\x82",
    36);
std::string Bomb(const std::string& side, const std::string& crc) {
  return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) + side + side + kBombIhdrTail + crc +
         kBombData;
}

TEST(RasterImage, ContentDecidesOnlyRasterFormatsAreReadAndBombsFail) {
  test::ScratchDir dir;
  RasterImage image;
  std::string why;
  // The name says JPEG, the content PNG: the content wins.
  std::string png = dir.Write("photo.jpg", kTinyPng);
  EXPECT_EQ(DetectRasterFormat(png), "PNG");
  ASSERT_EQ(LoadRasterImage(png, &image, &why), 1) << why;
  ASSERT_EQ(image.width, 2);
  ASSERT_EQ(image.height, 1);
  EXPECT_EQ(image.rgba, (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));

  for (const char* refused :
       {"%!PS-Adobe-3.0\n/Times-Roman findfont 12 scalefont setfont\nshowpage\n",
        "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" "
        "height=\"10\"/>\n",
        "just some text, nothing to draw\n"}) {
    std::string path = dir.Write("picture.png", refused);
    EXPECT_EQ(LoadRasterImage(path, &image, &why), 0) << refused;
    EXPECT_EQ(why, "") << refused;
  }
  // Targa has no signature: its name and a sane header are needed.
  std::string tga("\0\0\x02\0\0\0\0\0\0\0\0\0\x01\0\x01\0\x18\0\x10\x20\x30", 21);
  EXPECT_EQ(DetectRasterFormat(dir.Write("dot.tga", tga)), "TGA");
  EXPECT_EQ(DetectRasterFormat(dir.Write("dot.dat", tga)), "");

  // Decompression bombs are refused before their pixels are made.
  for (const std::string& bomb : {Bomb(std::string("\0\0\xea\x60", 4), "\x0f\xb0\xe2\x15"),
                                  Bomb(std::string("\0\0\x3a\x98", 4), "\x51\x76\x5e\xf2")}) {
    std::string path = dir.Write("bomb.png", bomb);
    EXPECT_EQ(LoadRasterImage(path, &image, &why), 0);
    EXPECT_NE(why, "");
  }
}

}  // namespace
}  // namespace scrivex
