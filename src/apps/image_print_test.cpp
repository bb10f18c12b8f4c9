#include "apps/image_print.h"

#include <gtest/gtest.h>

#include "common/failure_reason.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/test_support.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

TEST(FitRect, TheImageKeepsItsProportionsCentredOnThePage) {
  Rect page{0, 0, 4800, 6800};
  EXPECT_EQ(FitRect(page, 1000, 500), (Rect{0, 2200, 4800, 4600}));
  EXPECT_EQ(FitRect(page, 500, 1000), (Rect{700, 0, 4100, 6800}));
  EXPECT_EQ(FitRect(page, 480, 680), page);
}

// A picture printed on the Inkwell printer with its real driver.
TEST(PrintImageFile, OnePageOfThePaperAskedForAndHonestResults) {
  const std::string driver = platform::GetEnv("SCRIVEX_BIN") + "/printers/inkwell-driver";
  if (!platform::FileExists(driver)) GTEST_SKIP() << "no Inkwell driver built";
  test::ScratchDir dir;
  std::string png = dir.Path("picture.png");
  ASSERT_EQ(platform::RunChild({"convert", "-size", "300x150", "gradient:red-blue", png}).exitCode,
            0);
  spool::PrinterHandle printer;
  spool::PrinterInfo2 info;
  uint32_t needed = 0;
  ASSERT_TRUE(spool::OpenPrinter("Inkwell", &printer) &&
              spool::GetPrinter(printer, 2, &info, &needed));
  info.driverProgram = {driver};
  ASSERT_TRUE(spool::SetPrinter(printer, 2, info));
  spool::ClosePrinter(&printer);
  auto output = [&](std::vector<std::string> argv) {
    argv.back() = dir.Path(argv.back());
    platform::ChildOptions capture;
    capture.captureOutput = true;
    return platform::RunChild(argv, capture).output;
  };
  std::string why;
  auto print = [&](const std::string& file, const std::string& key, const std::string& value) {
    const std::string ini = spool::InkwellConfigPath();
    platform::WriteProfileString(ini, "AutoSave", "IsAutoSave", "1");
    platform::WriteProfileString(ini, "AutoSave", "OutputFile", dir.Path(file));
    platform::WriteProfileString(ini, "AutoSaveOptions", key, value);
    why.clear();
    return PrintImageFile(png, "Inkwell", 1, 9, 1, &why);
  };

  ASSERT_EQ(print("out.pdf", ".tif", "-compress Group4 -density 100x100"), 1) << why;
  EXPECT_NE(output({"pdfinfo", "out.pdf"}).find("Page size:       595.276 x 841.89"),
            std::string::npos);
  EXPECT_NE(output({"pdfimages", "-list", "out.pdf"}).find("  300   150  rgb"), std::string::npos)
      << "the picture at its own resolution";
  ASSERT_EQ(print("out.tif", "m_strColorDepth", "1"), 1) << why;
  EXPECT_NE(output({"tiffinfo", "out.tif"}).find("CCITT Group 4"), std::string::npos);

  // Not an image: no failure, the caller prints it another way.
  why.clear();
  EXPECT_EQ(PrintImageFile(dir.Write("notes.png", "some text\n"), "Inkwell", 1, 9, 1, &why), 0);
  EXPECT_EQ(why, "");
  // A printer that does not exist, and a job its driver refuses, fail with a reason.
  EXPECT_EQ(PrintImageFile(png, "No Such Printer", 1, 9, 1, &why), 0);
  EXPECT_NE(why, "");
  why.clear();
  EXPECT_EQ(PrintImageFile(png, kCreatorPrinterName, 1, 9, 1, &why), 0);
  EXPECT_NE(why, "");
}

}  // namespace
}  // namespace scrivex
