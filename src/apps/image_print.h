// The image printer: a raster image drawn by the program itself on one page
// of a printer, scaled to fit with its aspect ratio kept.
#ifndef SCRIVEX_APPS_IMAGE_PRINT_H_
#define SCRIVEX_APPS_IMAGE_PRINT_H_

#include <string>

#include "image/raster_image.h"

namespace scrivex {

struct PrinterDC;

// The decoder program beside the scrivex program, and the largest side it hands back.
constexpr const char* kImageDecoderName = "image-decoder";
constexpr int kMaxImageSide = 16000;

// Decodes the image in a box: the decoder program reads it, and only its
// pixels come back. As LoadRasterImage: 1 decoded; 0 with *why empty when
// the file is no raster image read here, else with the reason.
int LoadImageInBox(const std::string& path, RasterImage* image, std::string* why);

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const Rect&) const = default;
};

// The largest rectangle of the image's proportions centred in the page.
Rect FitRect(const Rect& page, int imageWidth, int imageHeight);

// Prints the image, copies times, each on a page of its own, on the named
// printer (the default printer for an empty name) with the given orientation
// (1 portrait, 2 landscape) and paper size code. 1 when the job was printed;
// 0 when the file is not a raster image this printer reads, or with a noted
// reason in *why when it does not decode or the job cannot be printed.
int PrintImageFile(const std::string& path, const std::string& printerName, int orientation,
                   int paperSize, int copies, std::string* why);

// A print job on the context: 1 when the document started. EndPrintJob ends
// the document, which submits the job: 1 when it was printed. A failure's
// reason goes to *why.
int BeginPrintJob(PrinterDC& dc, const std::string& documentName, std::string* why);
int EndPrintJob(PrinterDC& dc, std::string* why);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_IMAGE_PRINT_H_
