#include "printer/printer_dc.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include "common/paper_sizes.h"
#include "common/temp_files.h"
#include "platform/files.h"
#include "platform/shared_library.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

// cairo's functions, from the library the first document a run prints opens:
// runs that never print load neither it nor the X11 libraries it brings.
// clang-format off
#define SCRIVEX_CAIRO_FUNCTIONS(X)  \
  X(cairo_clip)                     \
  X(cairo_create)                   \
  X(cairo_destroy)                  \
  X(cairo_get_source)               \
  X(cairo_identity_matrix)          \
  X(cairo_image_surface_create)     \
  X(cairo_image_surface_get_data)   \
  X(cairo_image_surface_get_stride) \
  X(cairo_paint)                    \
  X(cairo_pattern_set_filter)       \
  X(cairo_pdf_surface_create)       \
  X(cairo_rectangle)                \
  X(cairo_restore)                  \
  X(cairo_save)                     \
  X(cairo_scale)                    \
  X(cairo_set_source_surface)       \
  X(cairo_show_page)                \
  X(cairo_status)                   \
  X(cairo_surface_destroy)          \
  X(cairo_surface_finish)           \
  X(cairo_surface_flush)            \
  X(cairo_surface_mark_dirty)       \
  X(cairo_surface_status)           \
  X(cairo_translate)
// clang-format on

struct Cairo {
  platform::SharedLibrary library;
#define SCRIVEX_CAIRO_POINTER(name) decltype(&::name) name = nullptr;
  SCRIVEX_CAIRO_FUNCTIONS(SCRIVEX_CAIRO_POINTER)
#undef SCRIVEX_CAIRO_POINTER
  std::string failure;  // why it could not be loaded
};

const Cairo& LoadedCairo() {
  static const Cairo cairo = [] {
    Cairo loaded;
    bool bound = loaded.library.Open(SCRIVEX_CAIRO_LIBRARY, &loaded.failure);
#define SCRIVEX_CAIRO_BIND(name) \
  bound = bound && loaded.library.Bind(#name, &loaded.name, &loaded.failure);
    SCRIVEX_CAIRO_FUNCTIONS(SCRIVEX_CAIRO_BIND)
#undef SCRIVEX_CAIRO_BIND
    if (!bound) loaded.library = platform::SharedLibrary();
    return loaded;
  }();
  return cairo;
}

std::unique_ptr<PrinterDC> ContextFor(const std::string& printer, const spool::DEVMODEA& d) {
  auto dc = std::make_unique<PrinterDC>();
  dc->printer = printer;
  dc->settings = d;
  double width = 0, height = 0;
  // A custom width and length (tenths of a millimetre) win over the code.
  if ((d.dmFields & spool::DM_PAPERWIDTH) && (d.dmFields & spool::DM_PAPERLENGTH) &&
      d.dmPaperWidth > 0 && d.dmPaperLength > 0) {
    width = d.dmPaperWidth * 72.0 / 254.0;
    height = d.dmPaperLength * 72.0 / 254.0;
  } else if (!PaperSizePoints(d.dmPaperSize, &width, &height)) {
    PaperSizePoints(spool::DMPAPER_LETTER, &width, &height);
  }
  if (d.dmOrientation == spool::DMORIENT_LANDSCAPE) std::swap(width, height);
  dc->widthPoints = width;
  dc->heightPoints = height;
  if (d.dmPrintQuality > 0) dc->dpiX = d.dmPrintQuality;
  dc->dpiY = d.dmYResolution > 0 ? d.dmYResolution : dc->dpiX;
  return dc;
}

}  // namespace

PrinterDC::~PrinterDC() {
  // A context and a surface come only from a loaded cairo.
  if (cr) LoadedCairo().cairo_destroy(cr);
  if (surface) LoadedCairo().cairo_surface_destroy(surface);
  if (!streamPath.empty()) platform::RemoveFile(streamPath);
}

std::unique_ptr<PrinterDC> CreatePrinterDC(const std::string& printerName) {
  spool::PrinterHandle printer;
  spool::PrinterInfo2 info;
  uint32_t needed = 0;
  if (!spool::OpenPrinter(printerName, &printer)) return nullptr;
  bool read = spool::GetPrinter(printer, 2, &info, &needed);
  spool::ClosePrinter(&printer);
  if (!read) return nullptr;
  return ContextFor(info.printerName, info.devMode);
}

std::unique_ptr<PrinterDC> CreatePrinterDC(const std::string& printerName, int orientation,
                                           int paperSize) {
  std::unique_ptr<PrinterDC> stored = CreatePrinterDC(printerName);
  if (!stored) return nullptr;
  spool::DEVMODEA d = stored->settings;
  if (orientation == spool::DMORIENT_PORTRAIT || orientation == spool::DMORIENT_LANDSCAPE) {
    d.dmOrientation = static_cast<int16_t>(orientation);
    d.dmFields |= spool::DM_ORIENTATION;
  }
  // A paper code replaces a custom width and length.
  d.dmPaperSize = static_cast<int16_t>(paperSize);
  d.dmFields = (d.dmFields | spool::DM_PAPERSIZE) & ~(spool::DM_PAPERWIDTH | spool::DM_PAPERLENGTH);
  return ContextFor(stored->printer, d);
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

int StartDoc(PrinterDC& dc, const std::string& documentName) {
  if (dc.surface) return 0;
  const Cairo& c = LoadedCairo();
  if (!c.library.valid()) {
    dc.jobFailure = "cairo cannot be loaded: " + c.failure;
    return 0;
  }
  dc.documentName = documentName.empty() ? "document" : documentName;
  dc.streamPath = MakeTempFileName(".pdf");
  if (dc.streamPath.empty()) return 0;
  dc.surface = c.cairo_pdf_surface_create(dc.streamPath.c_str(), dc.widthPoints, dc.heightPoints);
  if (c.cairo_surface_status(dc.surface) != CAIRO_STATUS_SUCCESS) return 0;
  dc.cr = c.cairo_create(dc.surface);
  return 1;
}

int StartPage(PrinterDC& dc) {
  if (!dc.cr || dc.inPage) return 0;
  const Cairo& c = LoadedCairo();
  c.cairo_identity_matrix(dc.cr);
  // The application draws in device pixels, as on a printer.
  c.cairo_scale(dc.cr, 72.0 / dc.dpiX, 72.0 / dc.dpiY);
  dc.inPage = true;
  return 1;
}

int EndPage(PrinterDC& dc) {
  if (!dc.cr || !dc.inPage) return 0;
  const Cairo& c = LoadedCairo();
  c.cairo_show_page(dc.cr);
  dc.inPage = false;
  return c.cairo_status(dc.cr) == CAIRO_STATUS_SUCCESS ? 1 : 0;
}

int EndDoc(PrinterDC& dc) {
  if (!dc.surface || dc.inPage) return 0;
  const Cairo& c = LoadedCairo();
  c.cairo_destroy(dc.cr);
  dc.cr = nullptr;
  c.cairo_surface_finish(dc.surface);
  bool written = c.cairo_surface_status(dc.surface) == CAIRO_STATUS_SUCCESS;
  c.cairo_surface_destroy(dc.surface);
  dc.surface = nullptr;
  if (!written) {
    dc.jobFailure = "the print stream could not be written";
    return 0;
  }
  spool::SubmittedJob job;
  bool printed = spool::SubmitPrintJob(dc.printer, dc.streamPath, dc.documentName, &job);
  dc.lastJobId = job.jobId;
  dc.jobFailure = printed ? "" : job.failure.empty() ? "the print job failed" : job.failure;
  return printed ? 1 : 0;
}

int Escape(PrinterDC& dc, int code) {
  if (code != kEscapePostScriptPassthrough) return 0;
  dc.escapes.push_back(code);
  return 1;
}

int DrawPixels(PrinterDC& dc, const uint8_t* rgba, int width, int height, int left, int top,
               int destWidth, int destHeight) {
  if (!dc.cr || !dc.inPage || !rgba || width <= 0 || height <= 0 || destWidth <= 0 ||
      destHeight <= 0) {
    return 0;
  }
  const Cairo& c = LoadedCairo();
  size_t pixels = static_cast<size_t>(width) * height;
  bool opaque = true;
  for (size_t i = 0; i < pixels && opaque; ++i) opaque = rgba[i * 4 + 3] == 255;
  // An opaque image goes without an alpha channel, so the stream carries no soft mask.
  cairo_surface_t* image = c.cairo_image_surface_create(
      opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width, height);
  if (c.cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
    c.cairo_surface_destroy(image);
    return 0;
  }
  c.cairo_surface_flush(image);
  unsigned char* data = c.cairo_image_surface_get_data(image);
  int stride = c.cairo_image_surface_get_stride(image);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = rgba + static_cast<size_t>(y) * width * 4;
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x, in += 4) {
      // cairo keeps native-endian ARGB with the colour premultiplied by alpha.
      uint32_t a = in[3];
      auto premultiplied = [a](uint32_t channel) { return (channel * a + 127) / 255; };
      out[x] =
          a << 24 | premultiplied(in[0]) << 16 | premultiplied(in[1]) << 8 | premultiplied(in[2]);
    }
  }
  c.cairo_surface_mark_dirty(image);

  c.cairo_save(dc.cr);
  c.cairo_rectangle(dc.cr, left, top, destWidth, destHeight);
  c.cairo_clip(dc.cr);
  c.cairo_translate(dc.cr, left, top);
  c.cairo_scale(dc.cr, static_cast<double>(destWidth) / width,
                static_cast<double>(destHeight) / height);
  c.cairo_set_source_surface(dc.cr, image, 0, 0);
  c.cairo_pattern_set_filter(c.cairo_get_source(dc.cr), CAIRO_FILTER_GOOD);
  c.cairo_paint(dc.cr);
  c.cairo_restore(dc.cr);
  c.cairo_surface_destroy(image);
  return c.cairo_status(dc.cr) == CAIRO_STATUS_SUCCESS ? 1 : 0;
}

}  // namespace scrivex
