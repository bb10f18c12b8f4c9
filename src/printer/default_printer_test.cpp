#include "printer/default_printer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "common/conversion_options.h"
#include "common/registry.h"
#include "platform/process.h"
#include "platform/test_support.h"
#include "printer/device_settings.h"
#include "printer/driver_settings.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

void RegisterOpenCommand(const std::string& command) {
  for (const auto& [path, value] : {std::pair<std::string, std::string>{".htm", "testhtml"},
                                    {"testhtml\\shell\\open\\command", command}}) {
    KeyHandle key = CreateKey(RegistryRoot::kClassesRoot, path);
    WriteStringValue(key, "", value);
    CloseKey(key);
  }
}

TEST(OpenUrl, TheAddressReachesTheRegisteredBrowserAsOneArgument) {
  const std::string address = "http://h/\"; rm x; \" -p \"a b\" %1 \\\"";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"web --url=%1 -z", {"web", "--url=", address}}, {"web -a", {"web", "-a", address}}};
  test::ScratchDir dir;
  for (const auto& [command, expected] : cases) {
    RegisterOpenCommand(command);
    EXPECT_EQ(RegisteredOpenCommand(address), expected) << command;
  }
  // Without xdg-open the registered command runs, with the address as one argument.
  test::ScopedEnv env;
  env.Set("PATH", dir.Path("bin"));
  RegisterOpenCommand("/bin/sh -c \"printf %s \\\"$0\\\" >" + dir.Path("arg") + "\" %1");
  ASSERT_EQ(OpenUrlInBrowser(address), 1);
  for (int i = 0; i < 400 && test::ReadBytes(dir.Path("arg")) != address; ++i)
    platform::SleepMs(25);
  EXPECT_EQ(test::ReadBytes(dir.Path("arg")), address);
}

TEST(DefaultPrinter, SwitchAndRestoreRoundTrip) {
  test::ScratchDir dir;
  auto defaultPrinter = [] {
    char name[256] = {};
    uint32_t size = sizeof name;
    return spool::GetDefaultPrinterA(name, &size) ? std::string(name) : "";
  };
  std::optional<std::string> saved = SwitchDefaultPrinter("inkwell");
  EXPECT_EQ(std::tuple(saved.value_or("-"), defaultPrinter()),
            std::tuple(kCreatorPrinterName, "Inkwell"));
  RestoreDefaultPrinter(&*saved);
  EXPECT_EQ(std::tuple(*saved, defaultPrinter()), std::tuple("", kCreatorPrinterName));
  EXPECT_FALSE(SwitchDefaultPrinter("No Such Printer").has_value());
  EXPECT_EQ(defaultPrinter(), kCreatorPrinterName);
}

using spool::DM_PAPERLENGTH, spool::DM_PAPERSIZE, spool::DM_PAPERWIDTH;
constexpr uint32_t kPaper = DM_PAPERWIDTH | DM_PAPERLENGTH | DM_PAPERSIZE;

DEVMODEA Stored(const std::string& printerName) {
  std::string names, mode;
  EXPECT_EQ(GetPrinterDevice(printerName, &names, &mode), 1);
  DEVMODEA dm{};
  std::memcpy(&dm, mode.data(), std::min(mode.size(), sizeof dm));
  return dm;
}

TEST(DeviceSettings, ParsePaperSizeFillsOnlyUsableFields) {
  // text>dmFields:dmPaperSize:dmPaperWidth x dmPaperLength, from a record holding size 9.
  std::stringstream cases(
      "11x17in>12:0:2794x4318 215.9x279.4mm>12:0:2159x2794 612X792PT>12:0:2159x2794 "
      "9288x1pt>12:0:32766x4 9289x1pt>0:9:0x0 8>2:8:0x0 0>2:1:0x0 abc>2:1:0x0 0x11in>0:9:0x0 "
      "-8.5x11>0:9:0x0 0.5x100pt>0:9:0x0 500x11in>0:9:0x0 99999>0:9:0x0");
  for (std::string c; cases >> c;) {
    DEVMODEA dm{};
    dm.dmPaperSize = 9;
    EXPECT_EQ(ParsePaperSize(c.substr(0, c.find('>')), &dm), 1) << c;
    EXPECT_EQ(c.substr(c.find('>') + 1),
              std::to_string(dm.dmFields) + ":" + std::to_string(dm.dmPaperSize) + ":" +
                  std::to_string(dm.dmPaperWidth) + "x" + std::to_string(dm.dmPaperLength));
  }
  DEVMODEA dm{};
  EXPECT_EQ(ParsePaperSize("", &dm), 0);
}

TEST(DeviceSettings, FieldsApplyInTableOrderAndEveryHandOffAppliesThePaper) {
  test::ScratchDir dir;
  DEVMODEA in{};
  in.dmFields = DM_PAPERSIZE | DM_PAPERWIDTH | spool::DM_ORIENTATION;
  in.dmPaperSize = 9, in.dmPaperWidth = 1000, in.dmPaperLength = 2000, in.dmOrientation = 2;
  ASSERT_EQ(ApplyPrinterDeviceSettings("inkwell", &in), 1);
  DEVMODEA dm = Stored("Inkwell");
  EXPECT_EQ(std::tuple(dm.dmFields & kPaper, dm.dmPaperSize, dm.dmPaperWidth, dm.dmPaperLength),
            std::tuple(DM_PAPERWIDTH, 0, 1000, 0));
  EXPECT_EQ(dm.dmOrientation, 2);
  EXPECT_EQ(ApplyPrinterDeviceSettings("No Such Printer", &in), 0);
  std::string names, mode;
  GetPrinterDevice("inkwell", &names, &mode);
  EXPECT_STREQ(names.c_str() + names[2], "Inkwell");  // after the driver's name at offset 8

  ConversionOptions options;
  options.paperSize = "8.5x14in";
  WriteCreatorSettings(dir.Path("a.pdf"), "inkwell", &options);
  options.paperSize = "0x0";  // names no field: nothing applied
  WriteDriverSettings(dir.Path("a.pdf"), "inkwell", &options);
  EXPECT_EQ(std::tuple(Stored("Inkwell").dmPaperSize, Stored("Inkwell").dmPaperLength),
            std::tuple(0, 3556));  // 14 in in tenths of a millimetre
  options = ConversionOptions();
  WriteDriverSettings(dir.Path("a.pdf"), "inkwell", &options);
  EXPECT_EQ(Stored("Inkwell").dmPaperSize, 1);  // the default paper size 1, every time
}

}  // namespace
}  // namespace scrivex
