#include "printer/device_settings.h"

#include <gtest/gtest.h>

#include "platform/spooler.h"
#include "platform/test_support.h"
#include "printer/default_printer.h"
#include "printer/driver_settings.h"

namespace scrivex {
namespace {

using platform::DM_PAPERLENGTH, platform::DM_PAPERSIZE, platform::DM_PAPERWIDTH;
constexpr uint32_t kSides = DM_PAPERWIDTH | DM_PAPERLENGTH, kPaper = kSides | DM_PAPERSIZE;

DEVMODEA Stored(const std::string& printerName) {
  platform::PrinterHandle printer;
  platform::PrinterInfo2 info;
  uint32_t needed = 0;
  EXPECT_TRUE(platform::OpenPrinter(printerName, &printer));
  EXPECT_TRUE(platform::GetPrinter(printer, 2, &info, &needed));
  platform::ClosePrinter(&printer);
  return info.devMode;
}

TEST(DeviceSettings, ParsePaperSizeFillsOnlyUsableFields) {
  struct Case {
    const char* text;
    uint32_t fields;
    int size, width, length;
  } cases[] = {
      {"11x17in", kSides, 0, 792, 1224},
      {"215.9x279.4mm", kSides, 0, 611, 792},
      {"612X792PT", kSides, 0, 612, 792},
      {"32767x1pt", kSides, 0, 32767, 1},
      {"8", DM_PAPERSIZE, 8, 0, 0},
      {"0", DM_PAPERSIZE, 1, 0, 0},
      {"abc", DM_PAPERSIZE, 1, 0, 0},
      {"0x11in", 0, 9, 0, 0},
      {"-8.5x11", 0, 9, 0, 0},
      {"0.5x100pt", 0, 9, 0, 0},
      {"500x11in", 0, 9, 0, 0},
      {"1e30x1e30", 0, 9, 0, 0},
      {"99999", 0, 9, 0, 0},
      {"99999999999999999999", 0, 9, 0, 0},
  };
  for (const Case& c : cases) {
    DEVMODEA dm{};
    dm.dmPaperSize = 9;
    EXPECT_EQ(ParsePaperSize(c.text, &dm), 1) << c.text;
    EXPECT_EQ(std::tuple(dm.dmFields, dm.dmPaperSize, dm.dmPaperWidth, dm.dmPaperLength),
              std::tuple(c.fields, c.size, c.width, c.length))
        << c.text;
  }
  DEVMODEA dm{};
  EXPECT_EQ(ParsePaperSize("", &dm), 0);
}

TEST(DeviceSettings, RequestedFieldsApplyInTableOrder) {
  test::ScratchDir dir;
  DEVMODEA in{};
  in.dmFields = DM_PAPERSIZE | DM_PAPERWIDTH | platform::DM_ORIENTATION;
  in.dmPaperSize = 9, in.dmPaperWidth = 1000, in.dmPaperLength = 2000, in.dmOrientation = 2;
  ASSERT_EQ(ApplyPrinterDeviceSettings("inkwell", &in), 1);
  DEVMODEA dm = Stored("Inkwell");
  EXPECT_EQ(std::tuple(dm.dmFields & kPaper, dm.dmPaperSize, dm.dmPaperWidth, dm.dmPaperLength),
            std::tuple(DM_PAPERWIDTH, 0, 1000, 0));
  EXPECT_EQ(dm.dmOrientation, 2);
  in.dmFields = DM_PAPERSIZE;  // a code clears the sides again
  ASSERT_EQ(ApplyPrinterDeviceSettings("Inkwell", &in), 1);
  dm = Stored("Inkwell");
  EXPECT_EQ(std::tuple(dm.dmFields & kPaper, dm.dmPaperSize, dm.dmPaperWidth),
            std::tuple(DM_PAPERSIZE, 9, 0));
  EXPECT_EQ(ApplyPrinterDeviceSettings("No Such Printer", &in), 0);
  std::string names, mode;
  ASSERT_EQ(GetPrinterDevice("inkwell", &names, &mode), 1);
  EXPECT_STREQ(names.c_str() + names[2], "Inkwell");  // after the driver's name at offset 8
}

TEST(DeviceSettings, HandOffAppliesThePaperSizeAndTheDefaultPrinterComesBack) {
  test::ScratchDir dir;
  TargetPrinterName = "inkwell";
  ConversionOptions options;
  options.paperSize = "8.5x14in";
  WriteCreatorSettings(dir.Path("a.pdf"), &options);
  options.paperSize = "0x0";  // names no field: nothing applied
  WriteDriverSettings(dir.Path("a.pdf"), &options);
  EXPECT_EQ(std::tuple(Stored("Inkwell").dmPaperSize, Stored("Inkwell").dmPaperLength),
            std::tuple(0, 1008));
  WriteDriverSettings(dir.Path("a.pdf"), &(options = ConversionOptions()));
  EXPECT_EQ(Stored("Inkwell").dmPaperSize, 1);  // the default paper size 1, every time

  auto defaultPrinter = [] {
    char name[256] = {};
    uint32_t size = sizeof name;
    return platform::GetDefaultPrinterA(name, &size) ? std::string(name) : "";
  };
  std::optional<std::string> saved = SwitchDefaultPrinter();
  EXPECT_EQ(std::tuple(saved.value_or("-"), defaultPrinter()),
            std::tuple(kCreatorPrinterName, "Inkwell"));
  RestoreDefaultPrinter(&*saved);
  EXPECT_EQ(std::tuple(*saved, defaultPrinter()), std::tuple("", kCreatorPrinterName));
  TargetPrinterName = "No Such Printer";
  EXPECT_FALSE(SwitchDefaultPrinter().has_value());
  EXPECT_EQ(defaultPrinter(), kCreatorPrinterName);
  TargetPrinterName = kCreatorPrinterName;
}

}  // namespace
}  // namespace scrivex
