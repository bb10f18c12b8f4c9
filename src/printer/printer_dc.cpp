#include "printer/printer_dc.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include "common/temp_files.h"
#include "platform/files.h"
#include "platform/spooler.h"

namespace scrivex {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

struct PaperEntry {
  int code;
  double width, height;  // millimetres, portrait
};

// The common DMPAPER codes.
constexpr PaperEntry kPapers[] = {
    {1, 215.9, 279.4},     // Letter
    {2, 215.9, 279.4},     // Letter small
    {3, 279.4, 431.8},     // Tabloid
    {4, 431.8, 279.4},     // Ledger
    {5, 215.9, 355.6},     // Legal
    {6, 139.7, 215.9},     // Statement
    {7, 184.15, 266.7},    // Executive
    {8, 297, 420},         // A3
    {9, 210, 297},         // A4
    {10, 210, 297},        // A4 small
    {11, 148, 210},        // A5
    {12, 250, 354},        // B4 (JIS)
    {13, 182, 257},        // B5 (JIS)
    {14, 215.9, 330.2},    // Folio
    {15, 215, 275},        // Quarto
    {20, 104.775, 241.3},  // Envelope #10
    {27, 110, 220},        // Envelope DL
    {28, 162, 229},        // Envelope C5
    {34, 176, 250},        // Envelope B5
};

}  // namespace

PrinterDC::~PrinterDC() {
  if (cr) cairo_destroy(cr);
  if (surface) cairo_surface_destroy(surface);
  if (!streamPath.empty()) platform::RemoveFile(streamPath);
}

bool PaperSizePoints(int paperSize, double* width, double* height) {
  for (const PaperEntry& paper : kPapers) {
    if (paper.code == paperSize) {
      *width = paper.width * kPointsPerMm;
      *height = paper.height * kPointsPerMm;
      return true;
    }
  }
  return false;
}

std::unique_ptr<PrinterDC> CreatePrinterDC(const std::string& printerName) {
  platform::PrinterHandle printer;
  platform::PrinterInfo2 info;
  uint32_t needed = 0;
  if (!platform::OpenPrinter(printerName, &printer)) return nullptr;
  bool read = platform::GetPrinter(printer, 2, &info, &needed);
  platform::ClosePrinter(&printer);
  if (!read) return nullptr;
  auto dc = std::make_unique<PrinterDC>();
  dc->printer = info.printerName;
  dc->settings = info.devMode;
  const platform::DEVMODEA& d = info.devMode;
  double width = 0, height = 0;
  // A custom width and length (tenths of a millimetre) win over the code.
  if ((d.dmFields & platform::DM_PAPERWIDTH) && (d.dmFields & platform::DM_PAPERLENGTH) &&
      d.dmPaperWidth > 0 && d.dmPaperLength > 0) {
    width = d.dmPaperWidth / 10.0 * kPointsPerMm;
    height = d.dmPaperLength / 10.0 * kPointsPerMm;
  } else if (!PaperSizePoints(d.dmPaperSize, &width, &height)) {
    PaperSizePoints(platform::DMPAPER_LETTER, &width, &height);
  }
  if (d.dmOrientation == platform::DMORIENT_LANDSCAPE) std::swap(width, height);
  dc->widthPoints = width;
  dc->heightPoints = height;
  if (d.dmPrintQuality > 0) dc->dpiX = d.dmPrintQuality;
  dc->dpiY = d.dmYResolution > 0 ? d.dmYResolution : dc->dpiX;
  return dc;
}

int GetDeviceCaps(const PrinterDC& dc, int index) {
  switch (index) {
    case HORZRES:
      return static_cast<int>(dc.widthPoints / 72.0 * dc.dpiX + 0.5);
    case VERTRES:
      return static_cast<int>(dc.heightPoints / 72.0 * dc.dpiY + 0.5);
    case LOGPIXELSX:
      return dc.dpiX;
    case LOGPIXELSY:
      return dc.dpiY;
    default:
      return 0;
  }
}

int StartDoc(PrinterDC& dc, const std::string& /*documentName*/) {
  if (dc.surface) return 0;
  dc.streamPath = MakeTempFileName(".pdf");
  if (dc.streamPath.empty()) return 0;
  dc.surface = cairo_pdf_surface_create(dc.streamPath.c_str(), dc.widthPoints, dc.heightPoints);
  if (cairo_surface_status(dc.surface) != CAIRO_STATUS_SUCCESS) return 0;
  dc.cr = cairo_create(dc.surface);
  return 1;
}

int StartPage(PrinterDC& dc) {
  if (!dc.cr || dc.inPage) return 0;
  cairo_identity_matrix(dc.cr);
  // The application draws in device pixels, as on a printer.
  cairo_scale(dc.cr, 72.0 / dc.dpiX, 72.0 / dc.dpiY);
  dc.inPage = true;
  return 1;
}

int EndPage(PrinterDC& dc) {
  if (!dc.cr || !dc.inPage) return 0;
  cairo_show_page(dc.cr);
  dc.inPage = false;
  return cairo_status(dc.cr) == CAIRO_STATUS_SUCCESS ? 1 : 0;
}

int EndDoc(PrinterDC& dc) {
  if (!dc.surface || dc.inPage) return 0;
  cairo_destroy(dc.cr);
  dc.cr = nullptr;
  cairo_surface_finish(dc.surface);
  bool written = cairo_surface_status(dc.surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(dc.surface);
  dc.surface = nullptr;
  if (!written) return 0;
  platform::SubmittedJob job;
  bool printed = platform::SubmitPrintJob(dc.printer, dc.streamPath, "document", &job);
  dc.lastJobId = job.jobId;
  return printed ? 1 : 0;
}

int Escape(PrinterDC& dc, int code) {
  if (code != kEscapePostScriptPassthrough) return 0;
  dc.escapes.push_back(code);
  return 1;
}

}  // namespace scrivex
