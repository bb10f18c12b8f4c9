#include "apps/image_print.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "common/failure_reason.h"
#include "image/raster_image.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "printer/default_printer.h"
#include "printer/printer_dc.h"

namespace scrivex {
namespace {

std::string DefaultPrinterName(const PrinterFunctionTable& spooler) {
  char buffer[256] = {};
  uint32_t size = sizeof buffer;
  return spooler.getDefaultPrinter(buffer, &size) ? buffer : "";
}

// Everything after the image is loaded, through the loaded spooler.
int PrintLoadedImage(const RasterImage& image, const std::string& path, std::string printerName,
                     int orientation, int paperSize, int copies,
                     const PrinterFunctionTable& spooler, std::string* why) {
  // A network printer becomes known through a connection to it.
  if (printerName.starts_with("\\\\")) spooler.addPrinterConnection(printerName.c_str());
  if (printerName.empty()) printerName = DefaultPrinterName(spooler);
  std::unique_ptr<PrinterDC> dc = CreatePrinterDC(printerName, orientation, paperSize);
  if (!dc) {
    NoteFailure(why, "there is no printer \"" + printerName + "\" to print the image on");
    return 0;
  }
  Rect page{0, 0, GetDeviceCaps(*dc, HORZRES), GetDeviceCaps(*dc, VERTRES)};
  Rect fitted = FitRect(page, image.width, image.height);
  Escape(*dc, kEscapePostScriptPassthrough);
  platform::PathParts parts = platform::SplitPath(path);
  if (!BeginPrintJob(*dc, parts.name + parts.ext, why)) return 0;
  for (int copy = 0; copy < copies; ++copy) {
    if (!StartPage(*dc) ||
        !DrawPixels(*dc, image.rgba.data(), image.width, image.height, fitted.left, fitted.top,
                    fitted.right - fitted.left, fitted.bottom - fitted.top) ||
        !EndPage(*dc)) {
      // The context is dropped unprinted: no partial job reaches the printer.
      NoteFailure(why, "the image could not be drawn on the printer's page");
      return 0;
    }
  }
  return EndPrintJob(*dc, why);
}

// The decoder's file: "scrivex-rgba W H" and a newline, then W*H*4 bytes.
bool ReadDecodedImage(const std::string& path, RasterImage* image) {
  std::string data;
  if (!platform::ReadWholeFile(path, &data)) return false;
  size_t nl = data.find('\n');
  if (nl == std::string::npos || nl > 64) return false;
  int width = 0, height = 0;
  char tail = 0;
  if (std::sscanf(data.substr(0, nl).c_str(), "scrivex-rgba %d %d%c", &width, &height, &tail) !=
          2 ||
      width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) {
    return false;
  }
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  if (data.size() - nl - 1 != bytes) return false;
  image->width = width;
  image->height = height;
  image->rgba.assign(data.begin() + static_cast<long>(nl) + 1, data.end());
  return true;
}

}  // namespace

int LoadImageInBox(const std::string& path, RasterImage* image, std::string* why) {
  why->clear();
  *image = {};
  // The signature alone, read here, sends every other document its own way
  // without starting a decoder.
  if (DetectRasterFormat(path).empty()) return 0;
  platform::StagingFolder work;
  if (!work.CreateIn(platform::TempDirectory(), why)) return 0;
  const std::string decoded = work.path() + "decoded.rgba";
  platform::ChildOptions options;
  options.captureOutput = true;
  options.timeoutMs = 1000LL * platform::WatchdogSeconds();
  options.confinement = platform::Confinement{};
  options.confinement->readOnly = {platform::FullPath(path)};
  options.confinement->writable = {work.path()};
  options.confinement->configuration = platform::kImageConfiguration;
  options.env = {{"TMPDIR", work.path()}, {"HOME", work.path()}};
  platform::ChildResult r = platform::RunChild(
      {platform::ProgramDirectory() + kImageDecoderName, platform::FullPath(path), decoded},
      options);
  if (!r.started) {
    *why = "the image decoder could not be started" + (r.refusal.empty() ? "" : ": " + r.refusal);
  } else if (r.outOfMemory) {
    *why = "the image decoder ran out of memory (" + std::to_string(r.memoryMB) + " MB)";
  } else if (r.timedOut) {
    *why = "the image decoder ran out of time";
  } else if (r.exitedNormally && r.exitCode == 3) {
    return 0;  // no image after all
  } else if (!r.exitedNormally || r.exitCode != 0) {
    std::string said = platform::LastOutputLine(r.output);
    *why = said.empty() ? "the image decoder failed" : said;
  } else if (!ReadDecodedImage(decoded, image)) {
    *why = "the image decoder wrote no usable image";
  } else {
    return 1;
  }
  return 0;
}

Rect FitRect(const Rect& page, int imageWidth, int imageHeight) {
  int width = page.right - page.left, height = page.bottom - page.top;
  if (imageWidth <= 0 || imageHeight <= 0 || width <= 0 || height <= 0) return page;
  double imageRatio = static_cast<double>(imageWidth) / imageHeight;
  double pageRatio = static_cast<double>(width) / height;
  if (imageRatio > pageRatio) {
    int fittedHeight = static_cast<int>(static_cast<double>(width) * imageHeight / imageWidth);
    int top = (height - fittedHeight) / 2;
    return {page.left, page.top + top, page.right, page.top + top + fittedHeight};
  }
  if (imageRatio < pageRatio) {
    int fittedWidth = static_cast<int>(static_cast<double>(height) * imageWidth / imageHeight);
    int left = (width - fittedWidth) / 2;
    return {page.left + left, page.top, page.left + left + fittedWidth, page.bottom};
  }
  return page;
}

// With no window system there is no parent window to disable and no message
// queue for an abort procedure to pump: the job is the document alone.
int BeginPrintJob(PrinterDC& dc, const std::string& documentName, std::string* why) {
  if (StartDoc(dc, documentName) > 0) return 1;
  NoteFailure(why, "the print job for \"" + documentName + "\" could not be started");
  return 0;
}

int EndPrintJob(PrinterDC& dc, std::string* why) {
  if (EndDoc(dc) > 0) return 1;
  NoteFailure(why, dc.jobFailure.empty() ? "the print job failed" : dc.jobFailure);
  return 0;
}

int PrintImageFile(const std::string& path, const std::string& printerName, int orientation,
                   int paperSize, int copies, std::string* why) {
  if (path.empty()) return 0;
  RasterImage image;
  std::string error;
  if (!LoadImageInBox(path, &image, &error)) {
    // Not an image at all is no failure: the caller prints it another way.
    platform::PathParts parts = platform::SplitPath(path);
    if (!error.empty()) NoteFailure(why, parts.name + parts.ext + ": " + error);
    return 0;
  }
  std::optional<PrinterModule> spooler = LoadPrinterFunctions();
  if (!spooler) {
    NoteFailure(why, "the printer spooler cannot be reached");
    return 0;
  }
  int result = PrintLoadedImage(image, path, printerName, orientation, paperSize,
                                std::max(copies, 1), spooler->functions, why);
  UnloadPrinterFunctions(&spooler);
  return result;
}

}  // namespace scrivex
