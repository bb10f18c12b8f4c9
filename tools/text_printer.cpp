// The text printer, shipped as windows/system32/notepad.exe:
//   notepad.exe /p FILE
// prints the text file on the default printer, on that printer's paper and
// at its resolution, and ends. Exit 0 when the job was printed, 1 with a
// one-line reason on stderr when it was not, 2 for a wrong command line.
#include <fontconfig/fontconfig.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/path.h"
#include "printer/printer_dc.h"
#include "spool/spooler.h"
#include "text_layout.h"

namespace {

using namespace scrivex;

constexpr const char* kFont = "Monospace 10";
// Margins in inches, as a plain text editor prints.
constexpr double kSideMargin = 0.75;
constexpr double kTopBottomMargin = 1.0;
// A line is laid out a few thousand bytes at a time: pango's layout of one
// paragraph overflows somewhere past 60,000 characters.
constexpr size_t kPieceBytes = 4096;

int Fail(const std::string& text) {
  std::fprintf(stderr, "notepad: %s\n", text.c_str());
  return 1;
}

struct LayoutDeleter {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
struct FontDeleter {
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};
struct IterDeleter {
  void operator()(PangoLayoutIter* iter) const { pango_layout_iter_free(iter); }
};

// Lays the text out on as many pages as it needs, each page going to the
// stream as soon as it is full; false when the context refused a page.
bool PrintText(PrinterDC& dc, std::string_view text) {
  const int width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
  const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  // Small paper keeps at least half its width and height for the text.
  const int left = std::min(static_cast<int>(kSideMargin * dpiX), width / 4);
  const int top = std::min(static_cast<int>(kTopBottomMargin * dpiY), height / 4);
  const int textWidth = width - 2 * left, bottom = height - top;

  if (!StartPage(dc)) return false;
  // One unit of the context is one device pixel, so the font is sized for
  // the printer's resolution.
  std::unique_ptr<PangoLayout, LayoutDeleter> layout(pango_cairo_create_layout(dc.cr));
  pango_cairo_context_set_resolution(pango_layout_get_context(layout.get()), dpiY);
  pango_layout_context_changed(layout.get());
  std::unique_ptr<PangoFontDescription, FontDeleter> font(
      pango_font_description_from_string(kFont));
  pango_layout_set_font_description(layout.get(), font.get());
  pango_layout_set_width(layout.get(), textWidth * PANGO_SCALE);
  pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);

  double y = top;
  bool pageEmpty = true;
  auto nextPage = [&] {
    if (!EndPage(dc) || !StartPage(dc)) return false;
    y = top;
    pageEmpty = true;
    return true;
  };
  // Draws the layout's first `count` visual lines, starting pages as they fill.
  auto drawLines = [&](int count) {
    std::unique_ptr<PangoLayoutIter, IterDeleter> iter(pango_layout_get_iter(layout.get()));
    for (int i = 0; i < count; ++i, pango_layout_iter_next_line(iter.get())) {
      PangoRectangle logical;
      pango_layout_iter_get_line_extents(iter.get(), nullptr, &logical);
      double lineHeight = static_cast<double>(logical.height) / PANGO_SCALE;
      double baseline =
          static_cast<double>(pango_layout_iter_get_baseline(iter.get()) - logical.y) / PANGO_SCALE;
      if (y + lineHeight > bottom && !pageEmpty && !nextPage()) return false;
      cairo_move_to(dc.cr, left, y + baseline);
      pango_cairo_show_layout_line(dc.cr, pango_layout_iter_get_line_readonly(iter.get()));
      y += lineHeight;
      pageEmpty = false;
    }
    return true;
  };

  LineReader reader{text};
  TextLine line;
  std::string pending;  // the line's laid-out text not drawn yet
  while (NextLine(reader, &line)) {
    if (line.newPage && !pageEmpty && !nextPage()) return false;
    // The line goes to pango a piece at a time. The last visual line of a
    // piece is laid out again with the next piece, so the line wraps exactly
    // as it would whole and no character is lost or drawn twice.
    pending.clear();
    int column = 0;
    size_t done = 0;
    do {
      size_t end = PieceEnd(line.text, done, kPieceBytes);
      pending += ExpandTabs(line.text.substr(done, end - done), &column);
      done = end;
      pango_cairo_update_layout(dc.cr, layout.get());
      pango_layout_set_text(layout.get(), pending.data(), static_cast<int>(pending.size()));
      int count = pango_layout_get_line_count(layout.get());
      size_t carried = pending.size();
      if (done < line.text.size() && count > 1) {
        carried = pango_layout_get_line_readonly(layout.get(), count - 1)->start_index;
        --count;
      }
      if (!drawLines(count)) return false;
      pending.erase(0, carried);
    } while (done < line.text.size());
  }
  return EndPage(dc) == 1;
}

int PrintTextFile(const std::string& path) {
  std::string bytes;
  if (!platform::IsRegularFile(path) || !platform::ReadWholeFile(path, &bytes)) {
    return Fail("cannot read \"" + path + "\"");
  }
  const std::string text = DecodeText(std::move(bytes));
  char printer[256] = {};
  uint32_t size = sizeof printer;
  if (!spool::GetDefaultPrinterA(printer, &size)) return Fail("there is no default printer");
  std::unique_ptr<PrinterDC> dc = CreatePrinterDC(printer);
  if (!dc) return Fail(std::string("the default printer \"") + printer + "\" cannot be used");
  platform::PathParts parts = platform::SplitPath(path);
  if (!StartDoc(*dc, parts.name + parts.ext)) return Fail("the print job cannot be started");
  if (!PrintText(*dc, text)) return Fail("a page could not be printed");
  if (!EndDoc(*dc)) return Fail(dc->jobFailure);
  return 0;
}

// The font caches go back too, so a leak checker sees only real leaks. A
// pango worker thread may still hold the font map, and with it fonts, for a
// moment after the last page; cairo's reset aborts while a font is alive, so
// it waits for the map to go and is skipped when it does not.
void FreeFontCaches() {
  GWeakRef map;
  g_weak_ref_init(&map, pango_cairo_font_map_get_default());
  pango_cairo_font_map_set_default(nullptr);
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    GObject* alive = static_cast<GObject*>(g_weak_ref_get(&map));
    gone = alive == nullptr;
    if (alive) {
      g_object_unref(alive);
      g_usleep(5000);
    }
  }
  g_weak_ref_clear(&map);
  if (!gone) return;
  cairo_debug_reset_static_data();
  FcFini();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && platform::EqualsNoCase(args[0], "/p") && !args[1].empty()) {
    int result = PrintTextFile(args[1]);
    FreeFontCaches();
    return result;
  }
  std::fputs("usage: notepad.exe /p FILE\n", stderr);
  return 2;
}
