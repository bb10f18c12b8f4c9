#include "printer/driver_settings.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/registry.h"
#include "pdf/quire_settings.h"
#include "platform/profile.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

void SetConfigFile(const std::string& path) {
  KeyHandle key = CreateKey(RegistryRoot::kLocalMachine, kDriverConfigKey);
  WriteStringValue(key, "ConfigFile", path);
  CloseKey(key);
}

// Rows "key=value" joined by "|"; the value "-" stands for a key not written.
void ExpectRows(const std::string& ini, const std::string& rows) {
  std::stringstream in(rows);
  for (std::string row; std::getline(in, row, '|');) {
    std::string key = row.substr(0, row.find('=')), value = row.substr(row.find('=') + 1);
    bool autoSave =
        std::string(" IsAutoSave OutputFile ConvertBMP2TIFQuickMode ").find(" " + key + " ") !=
        std::string::npos;
    EXPECT_EQ(platform::GetProfileString(ini, autoSave ? "AutoSave" : "AutoSaveOptions", key, "-"),
              value)
        << key;
  }
}

TEST(DriverSettings, HandOffRowsReadBackFromTheIni) {
  struct Case {
    const char* output;
    bool withOptions;
    int resX, resY, width, height, compression;
    const char* rows;
  };
  const Case cases[] = {
      {"/o/page%03d.tif", false, 0, 0, 0, 0, 0,
       "m_bCreateFileForEachPage=1|OutputFile=/o/page.tif|m_strColorDepth=-|IsAutoSave=1"},
      {"/o/a%s.pdf", false, 0, 0, 0, 0, 0, "m_bCreateFileForEachPage=0|OutputFile=/o/a%s.pdf"},
      {"/o/a%", false, 0, 0, 0, 0, 0, "m_bCreateFileForEachPage=0"},
      {"/o/r.pdf", true, 2000, 150, 0, 800, 0,
       "m_strResolution=300x150|strWidthAndHeight=|bSpecifyWidthHeight=0|.jpg=-quality 100"},
      {"/o/s.png", true, -5, 1999, 640, 49999, 0,
       "m_strResolution=300x1999|strWidthAndHeight=640x49999|bSpecifyWidthHeight=1"},
      {"/o/x.TIFF", true, 300, 300, 0, 0, 4,
       "ConvertBMP2TIFQuickMode=1|.tif=-compress Group4 -density 300x300"},
      {"/o/x.pdf", true, 300, 300, 0, 0, 4, "ConvertBMP2TIFQuickMode=-|.tif=-"},
      {"/o/x.tif", true, 300, 300, 0, 0, 0, "ConvertBMP2TIFQuickMode=1|.tif=-"},
      {"/o/x.tif", true, 300, 300, 0, 0, 99, "ConvertBMP2TIFQuickMode=1|.tif=-compress rle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    test::ScratchDir dir;
    SetConfigFile(dir.Path("d.ini"));
    ConversionOptions options;
    options.resolutionX = c.resX, options.resolutionY = c.resY;
    options.width = c.width, options.height = c.height, options.tiffCompression = c.compression;
    WriteDriverSettings(c.output, c.withOptions ? &options : nullptr);
    ExpectRows(dir.Path("d.ini"), c.rows);
    EXPECT_EQ(options.resolutionX, c.withOptions ? 300 : 0);  // what later steps of the job see
  }
}

TEST(DriverSettings, ConfigPathOptionAndAutoSaveSwitch) {
  test::ScratchDir dir;
  std::string path = "stale";
  EXPECT_EQ(GetDriverConfigPath(&path), 0);
  EXPECT_EQ(path, "");
  EXPECT_EQ(SetDriverOption("m_bGrayscale", "1"), 0);  // no file named
  SetConfigFile("/" + std::string(kDriverConfigPathBytes - 1, 'a'));
  EXPECT_EQ(GetDriverConfigPath(&path), 1);
  EXPECT_EQ(path, "");  // does not fit the buffer with its terminator
  SetConfigFile(dir.Path("d.ini"));
  EXPECT_EQ(SetDriverOption("m_bGrayscale", "1"), 1);
  WriteDriverSettings("/o/a.pdf", nullptr);
  DisableDriverAutoSave();
  ExpectRows(dir.Path("d.ini"), "m_bGrayscale=1|IsAutoSave=0");
}

TEST(DriverSettings, CreatorRecordForOneJob) {
  test::ScratchDir dir;
  ConversionOptions options;
  options.colorBits = 16, options.resolutionX = 0, options.resolutionY = 600;
  options.width = 800, options.height = 50000, options.orientation = 2, options.rotation = 90;
  WriteCreatorSettings("/o/c.pdf", &options);
  QuireSettings r;
  LoadQuireSettings(&r);
  EXPECT_EQ(std::tuple(r.automaticOutput, r.automaticDirectory, r.pageSelect, r.bitcount),
            std::tuple(1, "/o/c.pdf", 10, 24));
  EXPECT_EQ(std::tuple(r.xResolution, r.yResolution, options.resolutionX),
            std::tuple(300, 600, 300));
  EXPECT_EQ(std::tuple(r.pageW, r.pageH, r.orientation, r.generalPageRotateAngle),
            std::tuple(0, 0, 2, 90));
}

}  // namespace
}  // namespace scrivex
