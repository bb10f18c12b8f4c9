// A printer device context: pages drawn with cairo on the printer's paper at
// its resolution, collected as a PDF print stream that EndDoc submits to the
// printer as a job.
#ifndef SCRIVEX_PRINTER_PRINTER_DC_H_
#define SCRIVEX_PRINTER_PRINTER_DC_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spool/devmode.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace scrivex {

// GetDeviceCaps indexes.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
// The escape that asks a driver to keep the application's page setup.
constexpr int kEscapePostScriptPassthrough = 4109;

struct PrinterDC {
  std::string printer;  // the spooler's spelling
  spool::DEVMODEA settings{};
  double widthPoints = 0;  // the paper, after orientation
  double heightPoints = 0;
  int dpiX = 300;
  int dpiY = 300;
  std::string documentName;  // the job's name in the queue
  std::string streamPath;    // the print stream being written
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;  // one unit is one device pixel
  bool inPage = false;
  std::vector<int> escapes;  // accepted escape codes, in order
  uint32_t lastJobId = 0;
  std::string jobFailure;  // why EndDoc failed, when it did
  ~PrinterDC();
};

// A context for the printer's stored device settings (its paper size code
// or custom width and length, orientation and resolution). Null when there
// is no such printer.
std::unique_ptr<PrinterDC> CreatePrinterDC(const std::string& printerName);
// The same with the given orientation (1 portrait, 2 landscape, anything
// else keeps the stored one) and DMPAPER code in place of the stored ones.
std::unique_ptr<PrinterDC> CreatePrinterDC(const std::string& printerName, int orientation,
                                           int paperSize);
int GetDeviceCaps(const PrinterDC& dc, int index);
// 1 on success, 0 otherwise, as the Windows calls answer.
int StartDoc(PrinterDC& dc, const std::string& documentName);
int StartPage(PrinterDC& dc);
int EndPage(PrinterDC& dc);
// Finishes the stream and submits it to the printer; 0 when the job failed.
int EndDoc(PrinterDC& dc);
// Draws width x height RGBA pixels (8 bits a channel, not premultiplied,
// rows top down) scaled into the rectangle of device pixels on the current
// page, smoothly filtered. 1 on success.
int DrawPixels(PrinterDC& dc, const uint8_t* rgba, int width, int height, int left, int top,
               int destWidth, int destHeight);
// Accepts kEscapePostScriptPassthrough and records it; 0 for others.
int Escape(PrinterDC& dc, int code);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_PRINTER_DC_H_
