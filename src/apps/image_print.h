// The image printer: a raster image drawn by the program itself on one page
// of a printer, scaled to fit with its aspect ratio kept.
#ifndef SCRIVEX_APPS_IMAGE_PRINT_H_
#define SCRIVEX_APPS_IMAGE_PRINT_H_

#include <string>

namespace scrivex {

struct PrinterDC;

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const Rect&) const = default;
};

// The largest rectangle of the image's proportions centred in the page.
Rect FitRect(const Rect& page, int imageWidth, int imageHeight);

// Prints the image on the named printer with the given orientation
// (1 portrait, 2 landscape) and paper size code; 0 when the file is not a
// raster image this printer reads (or the printer cannot be used).
int PrintImageFile(const std::string& path, const std::string& printerName, int orientation,
                   int paperSize, int copies);

// A print job on the context: 1 when the document started.
int BeginPrintJob(PrinterDC& dc, const std::string& documentName);
void EndPrintJob(PrinterDC& dc);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_IMAGE_PRINT_H_
