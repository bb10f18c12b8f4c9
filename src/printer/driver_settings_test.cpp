#include "printer/driver_settings.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "common/registry.h"
#include "pdf/quire_settings.h"
#include "platform/profile.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

// A state root whose "ConfigFile" names an ini file in the scratch folder.
struct DriverConfig {
  test::ScratchDir dir;
  std::string ini = dir.Path("driver.ini");
  DriverConfig() {
    KeyHandle key = CreateKey(RegistryRoot::kLocalMachine, kDriverConfigKey);
    WriteStringValue(key, "ConfigFile", ini);
    CloseKey(key);
  }
  std::string Read(const char* section, const char* key) const {
    return platform::GetProfileString(ini, section, key, "<absent>");
  }
};

TEST(DriverSettings, HandOffRowsReadBackFromTheIni) {
  struct Expect {
    const char* section;
    const char* key;
    const char* value;
  };
  struct Case {
    const char* output;
    bool withOptions;
    int resX, resY, width, height, compression;
    std::vector<Expect> expected;
  };
  const std::vector<Case> cases = {
      {"/out/page%03d.tif",
       false,
       0,
       0,
       0,
       0,
       0,
       {{"AutoSaveOptions", "m_bCreateFileForEachPage", "1"},
        {"AutoSave", "OutputFile", "/out/page.tif"},
        {"AutoSave", "FinishedMessageType", "FileMapping"},
        {"AutoSaveOptions", "m_strColorDepth", "<absent>"}}},
      {"/out/p%d/x%4d.png",
       false,
       0,
       0,
       0,
       0,
       0,
       {{"AutoSaveOptions", "m_bCreateFileForEachPage", "1"},
        {"AutoSave", "OutputFile", "/out/p%d/x.png"}}},
      {"/out/a%s.pdf",
       false,
       0,
       0,
       0,
       0,
       0,
       {{"AutoSaveOptions", "m_bCreateFileForEachPage", "0"},
        {"AutoSave", "OutputFile", "/out/a%s.pdf"}}},
      {"/out/a%", false, 0, 0, 0, 0, 0, {{"AutoSaveOptions", "m_bCreateFileForEachPage", "0"}}},
      {"/out/r.pdf",
       true,
       2000,
       150,
       0,
       800,
       0,
       {{"AutoSaveOptions", "m_strResolution", "300x150"},
        {"AutoSaveOptions", "strWidthAndHeight", ""},
        {"AutoSaveOptions", "bSpecifyWidthHeight", "0"},
        {"AutoSave", "ConvertBMP2TIFQuickMode", "<absent>"},
        {"AutoSaveOptions", ".jpg", "-quality 100"}}},
      {"/out/s.png",
       true,
       -5,
       1999,
       640,
       49999,
       0,
       {{"AutoSaveOptions", "m_strResolution", "300x1999"},
        {"AutoSaveOptions", "strWidthAndHeight", "640x49999"},
        {"AutoSaveOptions", "bSpecifyWidthHeight", "1"}}},
      {"/out/x.TIFF",
       true,
       300,
       300,
       0,
       0,
       4,
       {{"AutoSave", "ConvertBMP2TIFQuickMode", "1"},
        {"AutoSaveOptions", ".tif", "-compress Group4 -density 300x300"}}},
      {"/out/x.pdf",
       true,
       300,
       300,
       0,
       0,
       4,
       {{"AutoSave", "ConvertBMP2TIFQuickMode", "<absent>"},
        {"AutoSaveOptions", ".tif", "<absent>"}}},
      {"/out/x.tif",
       true,
       300,
       300,
       0,
       0,
       0,
       {{"AutoSave", "ConvertBMP2TIFQuickMode", "1"}, {"AutoSaveOptions", ".tif", "<absent>"}}},
      {"/out/x.tiff",
       true,
       2400,
       200,
       0,
       0,
       5,
       {{"AutoSave", "ConvertBMP2TIFQuickMode", "0"},
        {"AutoSaveOptions", ".tif", "-compress LZW -density 300x200"}}},
      {"/out/x.tif",
       true,
       300,
       300,
       0,
       0,
       99,
       {{"AutoSave", "ConvertBMP2TIFQuickMode", "1"},
        {"AutoSaveOptions", ".tif", "-compress rle"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    DriverConfig config;
    ConversionOptions options;
    std::tie(options.resolutionX, options.resolutionY) = std::pair(c.resX, c.resY);
    std::tie(options.width, options.height) = std::pair(c.width, c.height);
    options.tiffCompression = c.compression;
    WriteDriverSettings(c.output, c.withOptions ? &options : nullptr);
    EXPECT_EQ(config.Read("AutoSave", "IsAutoSave"), "1");
    for (const Expect& e : c.expected) EXPECT_EQ(config.Read(e.section, e.key), e.value) << e.key;
    if (c.withOptions) {  // the corrected resolution is what later steps see
      EXPECT_EQ(config.Read("AutoSaveOptions", "m_strResolution"),
                std::to_string(options.resolutionX) + "x" + std::to_string(options.resolutionY));
    }
  }
}

TEST(DriverSettings, ConfigPathOptionAndAutoSaveSwitch) {
  test::ScratchDir dir;
  std::string path = "stale";
  EXPECT_EQ(GetDriverConfigPath(&path), 0);  // no key
  EXPECT_EQ(path, "");
  EXPECT_EQ(SetDriverOption("m_bGrayscale", "1"), 0);  // no file named

  KeyHandle key = CreateKey(RegistryRoot::kLocalMachine, kDriverConfigKey);
  WriteStringValue(key, "ConfigFile", "/" + std::string(kDriverConfigPathBytes - 1, 'a'));
  EXPECT_EQ(GetDriverConfigPath(&path), 1);
  EXPECT_EQ(path, "");  // does not fit the buffer with its terminator
  WriteStringValue(key, "ConfigFile", dir.Path("d.ini"));
  CloseKey(key);

  EXPECT_EQ(SetDriverOption("m_bGrayscale", "1"), 1);
  WriteDriverSettings("/out/a.pdf", nullptr);
  DisableDriverAutoSave();
  EXPECT_EQ(platform::GetProfileString(dir.Path("d.ini"), "AutoSaveOptions", "m_bGrayscale", ""),
            "1");
  EXPECT_EQ(platform::GetProfileString(dir.Path("d.ini"), "AutoSave", "IsAutoSave", ""), "0");
}

TEST(DriverSettings, CreatorRecordForOneJob) {
  test::ScratchDir dir;
  ConversionOptions options;
  options.colorBits = 16;
  options.resolutionX = 0;
  options.resolutionY = 600;
  options.width = 800;
  options.height = 50000;
  options.orientation = 2;
  options.rotation = 90;
  WriteCreatorSettings("/out/c.pdf", &options);
  QuireSettings record;
  LoadQuireSettings(&record);
  EXPECT_EQ(record.automaticOutput, 1);
  EXPECT_EQ(record.automaticDirectory, "/out/c.pdf");
  EXPECT_EQ(record.pageSelect, 10);
  EXPECT_EQ(record.bitcount, 24);
  EXPECT_EQ(std::pair(record.xResolution, record.yResolution), std::pair(300, 600));
  EXPECT_EQ(options.resolutionX, 300);
  EXPECT_EQ(std::pair(record.pageW, record.pageH), std::pair(0, 0));
  EXPECT_EQ(std::pair(record.orientation, record.generalPageRotateAngle), std::pair(2, 90));

  WriteCreatorSettings("/out/d.pdf", nullptr);
  LoadQuireSettings(&record);
  EXPECT_EQ(record.pageSelect, 1);
  EXPECT_EQ(record.automaticDirectory, "/out/d.pdf");
}

}  // namespace
}  // namespace scrivex
