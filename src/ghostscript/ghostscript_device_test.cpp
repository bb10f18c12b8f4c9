#include "ghostscript/ghostscript_device.h"

#include <gtest/gtest.h>

namespace scrivex {
namespace {

struct DeviceRow {
  const char* output;
  int colorBits;
  int compression;
  int device;
  int singleFile;
};

TEST(SelectGhostscriptDevice, EveryRowOfTheTable) {
  const DeviceRow rows[] = {
      {"a.tif", 1, 2, kDeviceTiffCrle, 1},      {"a.tif", 1, 3, kDeviceTiffG3, 1},
      {"a.tif", 1, 5, kDeviceTiffLzw, 1},       {"a.tif", 1, 32773, kDeviceTiffPack, 1},
      {"a.tif", 1, 4, kDeviceTiffG4, 1},        {"a.tif", 1, 0, kDeviceTiffG4, 1},
      {"a.tif", 1, 88881, kDeviceTiffG4, 1},    {"a.TIFF", 1, 3, kDeviceTiffG3, 1},
      {"a.tiff", 8, 2, kDeviceTiffGray, 1},     {"a.tif", 12, 0, kDeviceTiff12nc, 1},
      {"a.tif", 24, 3, kDeviceTiff24nc, 1},     {"a.tif", 32, 0, kDeviceTiff32nc, 1},
      {"a.tif", 16, 0, kDeviceTiffG4, 1},       {"a.tif", 0, 0, kDeviceTiffG4, 1},
      {"a.jpg", 8, 0, kDeviceJpegGray, 0},      {"a.jpeg", 24, 0, kDeviceJpeg, 0},
      {"a.JPG", 1, 0, kDeviceJpeg, 0},          {"a.bmp", 8, 0, kDeviceBmp256, 0},
      {"a.bmp", 24, 0, kDeviceBmp16m, 0},       {"a.bmp", 1, 0, kDeviceBmpMono, 0},
      {"a.bmp", 32, 0, kDeviceBmpMono, 0},      {"a.tga", 24, 0, kDeviceTiffG4, 0},
      {"a.pcx", 8, 0, kDevicePcx256, 0},        {"a.pcx", 24, 0, kDevicePcx24b, 0},
      {"a.pcx", 1, 0, kDevicePcxMono, 0},       {"a.gif", 8, 0, kDeviceTiffG4, 0},
      {"a.pdf", 1, 4, kDevicePdfWrite13, 1},    {"a.PDF", 24, 0, kDevicePdfWrite13, 1},
      {"a.png", 8, 0, kDevicePng256, 0},        {"a.png", 24, 0, kDevicePng16m, 0},
      {"a.png", 1, 0, kDevicePngMono, 0},       {"a.ps", 24, 0, kDevicePsWrite, 1},
      {"a.eps", 1, 0, kDeviceEpsWrite, 0},      {"a.xyz", 24, 0, kDeviceTiffG4, 0},
      {"noextension", 24, 0, kDeviceTiffG4, 0}, {"dir.tif/a.png", 24, 0, kDevicePng16m, 0},
  };
  for (const DeviceRow& row : rows) {
    int singleFile = -7;
    EXPECT_EQ(SelectGhostscriptDevice(row.output, row.colorBits, row.compression, &singleFile),
              row.device)
        << row.output << " " << row.colorBits << " " << row.compression;
    EXPECT_EQ(singleFile, row.singleFile) << row.output;
  }
  EXPECT_EQ(SelectGhostscriptDevice("a.png", 24, 0, nullptr), kDevicePng16m);
}

TEST(GrayDeviceFor, OnlyRasterTypesRenderedDirectly) {
  EXPECT_EQ(GrayDeviceFor("a.tif"), kDeviceTiffGray);
  EXPECT_EQ(GrayDeviceFor("a.jpeg"), kDeviceJpegGray);
  EXPECT_EQ(GrayDeviceFor("a.png"), kDevicePngGray);
  EXPECT_EQ(GrayDeviceFor("a.bmp"), kDeviceBmpGray);
  EXPECT_EQ(GrayDeviceFor("a.pcx"), kDevicePcxGray);
  EXPECT_EQ(GrayDeviceFor("a.pdf"), -1);
  EXPECT_EQ(GrayDeviceFor("a.ps"), -1);
  EXPECT_EQ(GrayDeviceFor("a.gif"), -1);
}

TEST(GhostscriptDeviceArguments, AntiAliasingPerDevice) {
  const std::string both = " -dTextAlphaBits=4 -dGraphicsAlphaBits=4";
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceTiff24nc, nullptr), " -sDEVICE=tiff24nc" + both);
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceTiffG4, nullptr), " -sDEVICE=tiffg4");
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePdfWrite13, nullptr),
            " -sDEVICE=pdfwrite -dCompatibilityLevel=1.3");
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceBmp256, nullptr), " -sDEVICE=bmp256" + both);
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceBmp32b, nullptr), " -sDEVICE=bmp32b" + both);
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceJpeg, nullptr), " -sDEVICE=jpeg" + both);
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePcx24b, nullptr), " -sDEVICE=pcx24b" + both);
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceBmp16m, nullptr), " -sDEVICE=bmp16m" + both);
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceTiff32nc, nullptr), " -sDEVICE=tiff32nc" + both);
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePng16m, nullptr), " -sDEVICE=png16m");
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceJpegGray, nullptr), " -sDEVICE=jpeggray");
  EXPECT_EQ(GhostscriptDeviceArguments(26 + 3, nullptr), " -sDEVICE=pdfwrite");
  EXPECT_EQ(GhostscriptDeviceArguments(-1, nullptr), " -sDEVICE=pdfwrite");
  EXPECT_EQ(GhostscriptDeviceName(kDeviceTiffG32d), "tiffg32d");
  EXPECT_EQ(GhostscriptDeviceName(kDevicePcx256), "pcx256");
}

TEST(GhostscriptDeviceArguments, ReplacesPostScriptWritersTheInstallationLacks) {
  const std::set<std::string> modern = {"ps2write", "eps2write", "png16m"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsWrite, &modern), " -sDEVICE=ps2write");
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceEpsWrite, &modern), " -sDEVICE=eps2write");
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsMono, &modern), " -sDEVICE=ps2write");
  const std::set<std::string> old = {"pswrite", "epswrite", "psmono"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsWrite, &old), " -sDEVICE=pswrite");
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceEpsWrite, &old), " -sDEVICE=epswrite");
  const std::set<std::string> unknown;
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsWrite, &unknown), " -sDEVICE=pswrite");
}

TEST(ParseGhostscriptDeviceList, ReadsTheDeviceSection) {
  const std::string help =
      "GPL Ghostscript 10.00.0 (2022-09-21)\n"
      "Usage: gs [switches] [file1.ps file2.ps ...]\n"
      "Available devices:\n"
      "   alc1900 ps2write eps2write\n"
      "   tiffg4 png16m\n"
      "Search path:\n"
      "   /usr/share/ghostscript/10.00.0/Resource/Init :\n";
  std::set<std::string> devices = ParseGhostscriptDeviceList(help);
  EXPECT_EQ(devices,
            (std::set<std::string>{"alc1900", "ps2write", "eps2write", "tiffg4", "png16m"}));
  EXPECT_TRUE(ParseGhostscriptDeviceList("no list here").empty());
}

TEST(ListGhostscriptDevices, AsksTheInstalledGhostscript) {
  const std::set<std::string>& devices = ListGhostscriptDevices("/usr/bin/gs");
  if (devices.empty()) GTEST_SKIP() << "no Ghostscript at /usr/bin/gs";
  EXPECT_TRUE(devices.count("tiffg4"));
  EXPECT_TRUE(devices.count("pdfwrite"));
  EXPECT_TRUE(ListGhostscriptDevices("/nonexistent/gs").empty());
}

}  // namespace
}  // namespace scrivex
