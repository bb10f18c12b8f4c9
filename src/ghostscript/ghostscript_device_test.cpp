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
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceTiff24nc, nullptr),
            " -sDEVICE=tiff24nc -dTextAlphaBits=4 -dGraphicsAlphaBits=4");
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceTiffG4, nullptr), " -sDEVICE=tiffg4");
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePng16m, nullptr), " -sDEVICE=png16m");
  EXPECT_EQ(GhostscriptDeviceArguments(-1, nullptr), " -sDEVICE=pdfwrite");

  const std::set<std::string> modern = {"ps2write", "eps2write", "png16m"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsWrite, &modern), " -sDEVICE=ps2write");
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceEpsWrite, &modern), " -sDEVICE=eps2write");
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsMono, &modern), " -sDEVICE=ps2write");
  const std::set<std::string> old = {"pswrite", "epswrite", "psmono"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceEpsWrite, &old), " -sDEVICE=epswrite");
  const std::set<std::string> unknown;
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsWrite, &unknown), " -sDEVICE=pswrite");
}

TEST(ParseGhostscriptDeviceList, ReadsTheDeviceSectionOfTheInstalledGhostscript) {
  const std::string help =
      "GPL Ghostscript 10.00.0 (2022-09-21)\n"
      "Available devices:\n"
      "   alc1900 ps2write eps2write\n"
      "   tiffg4 png16m\n"
      "Search path:\n"
      "   /usr/share/ghostscript/10.00.0/Resource/Init :\n";
  EXPECT_EQ(ParseGhostscriptDeviceList(help),
            (std::set<std::string>{"alc1900", "ps2write", "eps2write", "tiffg4", "png16m"}));
  EXPECT_TRUE(ParseGhostscriptDeviceList("no list here").empty());
  EXPECT_TRUE(ListGhostscriptDevices("/nonexistent/gs").empty());
  const std::set<std::string>& devices = ListGhostscriptDevices("/usr/bin/gs");
  if (devices.empty()) GTEST_SKIP() << "no Ghostscript at /usr/bin/gs";
  EXPECT_TRUE(devices.count("tiffg4"));
  EXPECT_TRUE(devices.count("pdfwrite"));
}

}  // namespace
}  // namespace scrivex
