#include "printer/printer_dc.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include "pdf/pdf_document.h"
#include "platform/test_support.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

// Pages drawn on the context reach the printer's driver as one PDF stream of
// the printer's paper.
TEST(PrinterDC, PaperResolutionAndTheSubmittedStream) {
  test::ScratchDir dir;
  auto dc = CreatePrinterDC("inkwell");
  ASSERT_TRUE(dc);
  EXPECT_EQ(dc->printer, "Inkwell");
  EXPECT_EQ(GetDeviceCaps(*dc, HORZRES), 2550);  // Letter at 300 dpi
  EXPECT_EQ(GetDeviceCaps(*dc, VERTRES), 3300);
  EXPECT_FALSE(CreatePrinterDC("no such printer"));

  // A4 landscape at 200 dpi, and a driver that keeps the stream it is given.
  spool::PrinterHandle printer;
  spool::PrinterInfo2 info;
  uint32_t needed = 0;
  ASSERT_TRUE(spool::OpenPrinter("Inkwell", &printer));
  ASSERT_TRUE(spool::GetPrinter(printer, 2, &info, &needed));
  info.devMode.dmPaperSize = 9;
  info.devMode.dmOrientation = spool::DMORIENT_LANDSCAPE;
  info.devMode.dmPrintQuality = info.devMode.dmYResolution = 200;
  dir.Write("driver.sh", "cp \"$1\" '" + dir.Path("kept.pdf") + "'\n");
  info.driverProgram = {"/bin/sh", dir.Path("driver.sh")};
  ASSERT_TRUE(spool::SetPrinter(printer, 2, info));
  spool::ClosePrinter(&printer);

  dc = CreatePrinterDC("Inkwell");
  EXPECT_EQ(GetDeviceCaps(*dc, HORZRES), 2339);  // 297 mm
  EXPECT_EQ(GetDeviceCaps(*dc, LOGPIXELSY), 200);
  // Orientation and paper given for one job: A3 portrait.
  EXPECT_EQ(GetDeviceCaps(*CreatePrinterDC("Inkwell", 1, 8), VERTRES), 3307);  // 420 mm
  EXPECT_EQ(Escape(*dc, kEscapePostScriptPassthrough), 1);
  EXPECT_EQ(Escape(*dc, 1), 0);
  EXPECT_EQ(StartPage(*dc), 0) << "no document yet";
  ASSERT_EQ(StartDoc(*dc, "test"), 1);
  for (int page = 0; page < 2; ++page) {
    ASSERT_EQ(StartPage(*dc), 1);
    cairo_rectangle(dc->cr, 100, 100, 1000, 500);
    cairo_fill(dc->cr);
    ASSERT_EQ(EndPage(*dc), 1);
  }
  ASSERT_EQ(EndDoc(*dc), 1);
  double area = 0;
  EXPECT_EQ(CountPdfPages(dir.Path("kept.pdf"), false, nullptr, &area), 2);
  EXPECT_NEAR(area / 2, 297 * 210 * (72 / 25.4) * (72 / 25.4), 50);
}

}  // namespace
}  // namespace scrivex
