#include "printer/driver_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "common/registry.h"
#include "platform/profile.h"
#include "platform/test_support.h"
#include "printer/quire_settings.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

void SetConfigFile(const std::string& path) {
  KeyHandle key = CreateKey(RegistryRoot::kLocalMachine, kDriverConfigKey);
  WriteStringValue(key, "ConfigFile", path);
  CloseKey(key);
}

// Rows "key=value" joined by "|", "@" before a key of "AutoSave"; "-": the key was not written.
void ExpectRows(const std::string& ini, const std::string& rows) {
  std::stringstream in(rows);
  for (std::string row, key; std::getline(in, row, '|');) {
    key = row.substr(row[0] == '@', row.find('=') - (row[0] == '@'));
    EXPECT_EQ(
        platform::GetProfileString(ini, row[0] == '@' ? "AutoSave" : "AutoSaveOptions", key, "-"),
        row.substr(row.find('=') + 1))
        << row;
  }
}

TEST(DriverSettings, HandOffRowsReadBackFromTheIni) {
  // Output, options "-r X Y -w W -h H -c C" (no record when empty), rows read back.
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"/o/page%03d.tif", "",
       "m_bCreateFileForEachPage=1|@OutputFile=/o/page.tif|m_strColorDepth=-|@IsAutoSave=1"},
      {"/o/a%s.pdf", "", "m_bCreateFileForEachPage=0|@OutputFile=/o/a%s.pdf"},
      {"/o/r.pdf", "2000 150 0 800 0",
       "m_strResolution=300x150|strWidthAndHeight=|bSpecifyWidthHeight=0|.jpg=-quality 100"},
      {"/o/s.png", "-5 1999 640 49999 0",
       "m_strResolution=300x1999|strWidthAndHeight=640x49999|bSpecifyWidthHeight=1"},
      {"/o/x.TIFF", "300 300 0 0 4",
       "@ConvertBMP2TIFQuickMode=1|.tif=-compress Group4 -density 300x300"},
      {"/o/x.pdf", "300 300 0 0 4", "@ConvertBMP2TIFQuickMode=-|.tif=-"},
      {"/o/x.tif", "300 300 0 0 0", "@ConvertBMP2TIFQuickMode=1|.tif=-"},
      {"/o/x.tif", "300 300 0 0 99", "@ConvertBMP2TIFQuickMode=1|.tif=-compress rle"}};
  for (const auto& [output, given, rows] : cases) {
    SCOPED_TRACE(output);
    test::ScratchDir dir;
    SetConfigFile(dir.Path("d.ini"));
    ConversionOptions o;
    bool withOptions = std::sscanf(given, "%d %d %d %d %d", &o.resolutionX, &o.resolutionY,
                                   &o.width, &o.height, &o.tiffCompression) == 5;
    WriteDriverSettings(output, "Inkwell", withOptions ? &o : nullptr);
    ExpectRows(dir.Path("d.ini"), rows);
    EXPECT_EQ(o.resolutionX, 300);  // what later steps of the job see
  }
}

TEST(DriverSettings, ConfigPathOptionAutoSaveSwitchAndCreatorRecord) {
  test::ScratchDir dir;
  std::string path = "stale";
  EXPECT_EQ(GetDriverConfigPath(&path), 0);
  EXPECT_EQ(path, "");
  // A fresh state root: the first hand-off installs the printers and their ini.
  EXPECT_EQ(SetDriverOption("m_bGrayscale", "1"), 1);
  EXPECT_EQ(GetDriverConfigPath(&path), 1);
  EXPECT_EQ(path, spool::InkwellConfigPath());
  SetConfigFile("/" + std::string(kDriverConfigPathBytes - 1, 'a'));
  EXPECT_EQ(GetDriverConfigPath(&path), 1);
  EXPECT_EQ(path, "");  // does not fit the buffer with its terminator
  SetConfigFile(dir.Path("d.ini"));
  EXPECT_EQ(SetDriverOption("m_bGrayscale", "1"), 1);
  WriteDriverSettings("/o/a.pdf", "Inkwell", nullptr);
  DisableDriverAutoSave();
  ExpectRows(dir.Path("d.ini"), "m_bGrayscale=1|@IsAutoSave=0");

  ConversionOptions options;
  options.colorBits = 16, options.resolutionX = 0, options.resolutionY = 600;
  options.width = 800, options.height = 50000, options.orientation = 2, options.rotation = 90;
  WriteCreatorSettings("/o/c.pdf", kCreatorPrinterName, &options);
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
