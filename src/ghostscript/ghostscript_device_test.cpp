#include "ghostscript/ghostscript_device.h"

#include <gtest/gtest.h>

namespace scrivex {
namespace {

TEST(SelectGhostscriptDevice, RepresentativeRows) {
  // clang-format off
  struct Row {
    const char* output;
    int colorBits, compression, device, singleFile;
  } rows[] = {
      {"a.tif", 1, 2, kDeviceTiffCrle, 1},   {"a.TIFF", 1, 3, kDeviceTiffG3, 1},
      {"a.tif", 1, 0, kDeviceTiffG4, 1},     {"a.tif", 1, 88881, kDeviceTiffG4, 1},
      {"a.tiff", 8, 2, kDeviceTiffGray, 1},  {"a.tif", 24, 3, kDeviceTiff24nc, 1},
      {"a.tif", 16, 0, kDeviceTiffG4, 1},    {"a.jpg", 8, 0, kDeviceJpegGray, 0},
      {"a.JPG", 1, 0, kDeviceJpeg, 0},       {"a.bmp", 32, 0, kDeviceBmpMono, 0},
      {"a.pcx", 24, 0, kDevicePcx24b, 0},    {"a.gif", 8, 0, kDeviceTiffG4, 0},
      {"a.PDF", 24, 0, kDevicePdfWrite13, 1}, {"a.png", 8, 0, kDevicePng256, 0},
      {"a.png", 1, 0, kDevicePngMono, 0},    {"a.ps", 24, 0, kDevicePsWrite, 1},
      {"a.eps", 1, 0, kDeviceEpsWrite, 0},   {"noextension", 24, 0, kDeviceTiffG4, 0},
      {"dir.tif/a.png", 24, 0, kDevicePng16m, 0},
  };
  // clang-format on
  for (const Row& row : rows) {
    int singleFile = -7;
    EXPECT_EQ(SelectGhostscriptDevice(row.output, row.colorBits, row.compression, &singleFile),
              row.device)
        << row.output << " " << row.colorBits << " " << row.compression;
    EXPECT_EQ(singleFile, row.singleFile) << row.output;
  }
  EXPECT_EQ(GrayDeviceFor("a.jpeg"), kDeviceJpegGray);
  EXPECT_EQ(GrayDeviceFor("a.png"), kDevicePngGray);
  EXPECT_EQ(GrayDeviceFor("a.pdf"), -1);
  EXPECT_EQ(GrayDeviceFor("a.gif"), -1);
}

TEST(GhostscriptDeviceArguments, AntiAliasingAndTheWritersTheInstallationHas) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceTiff24nc, nullptr),
            (Args{"-sDEVICE=tiff24nc", "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4"}));
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceTiffG4, nullptr), Args{"-sDEVICE=tiffg4"});
  EXPECT_EQ(GhostscriptDeviceArguments(-1, nullptr), Args{"-sDEVICE=pdfwrite"});

  const std::set<std::string> modern = {"ps2write", "eps2write", "png16m"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsMono, &modern), Args{"-sDEVICE=ps2write"});
  const std::set<std::string> old = {"pswrite", "epswrite", "psmono"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceEpsWrite, &old), Args{"-sDEVICE=epswrite"});
  const std::set<std::string> unknown;
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsWrite, &unknown), Args{"-sDEVICE=pswrite"});
}

// Only the device section counts; a real list is read end to end whenever a
// PostScript output is rendered.
TEST(ParseGhostscriptDeviceList, ReadsOnlyTheDeviceSection) {
  EXPECT_EQ(ParseGhostscriptDeviceList("GPL Ghostscript 10.00.0\nAvailable devices:\n"
                                       "   alc1900 ps2write\n   tiffg4\nSearch path:\n   /usr\n"),
            (std::set<std::string>{"alc1900", "ps2write", "tiffg4"}));
  EXPECT_TRUE(ParseGhostscriptDeviceList("no list here").empty());
  EXPECT_TRUE(ListGhostscriptDevices("/nonexistent/gs").empty());
}

}  // namespace
}  // namespace scrivex
