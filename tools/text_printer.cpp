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
#include <vector>

#include "platform/files.h"
#include "platform/path.h"
#include "platform/spooler.h"
#include "printer/printer_dc.h"

namespace {

using namespace scrivex;

constexpr const char* kFont = "Monospace 10";
constexpr int kTabColumns = 8;
// Margins in inches, as a plain text editor prints.
constexpr double kSideMargin = 0.75;
constexpr double kTopBottomMargin = 1.0;

int Fail(const std::string& text) {
  std::fprintf(stderr, "notepad: %s\n", text.c_str());
  return 1;
}

// One line of the file; a form feed before it starts a new page.
struct TextLine {
  std::string text;
  bool newPage = false;
};

// The file's bytes as valid UTF-8: a byte-order mark dropped (UTF-16 with
// its mark converted), every invalid byte shown as U+FFFD, control
// characters other than the line ends, tab and form feed as blanks.
std::string DecodeText(const std::string& bytes) {
  std::string text = bytes;
  bool utf16le = bytes.starts_with("\xff\xfe"), utf16be = bytes.starts_with("\xfe\xff");
  if (bytes.starts_with("\xef\xbb\xbf")) {
    text = bytes.substr(3);
  } else if (utf16le || utf16be) {
    gsize written = 0;
    gchar* converted = g_convert_with_fallback(bytes.data() + 2, bytes.size() - 2, "UTF-8",
                                               utf16le ? "UTF-16LE" : "UTF-16BE", "\xef\xbf\xbd",
                                               nullptr, &written, nullptr);
    if (converted) {
      text.assign(converted, written);
      g_free(converted);
    }
  }
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  text = valid;
  g_free(valid);
  for (char& c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f') || u == 0x7f) c = ' ';
  }
  return text;
}

// Tabs to blanks at every eighth column; wide characters take two columns.
std::string ExpandTabs(const std::string& line) {
  if (line.find('\t') == std::string::npos) return line;
  std::string out;
  int column = 0;
  for (const char* p = line.c_str(); *p; p = g_utf8_next_char(p)) {
    gunichar c = g_utf8_get_char(p);
    if (c == '\t') {
      int blanks = kTabColumns - column % kTabColumns;
      out.append(blanks, ' ');
      column += blanks;
      continue;
    }
    out.append(p, g_utf8_next_char(p) - p);
    column += g_unichar_iszerowidth(c) ? 0 : g_unichar_iswide(c) ? 2 : 1;
  }
  return out;
}

// Lines end at CR LF, CR or LF; a form feed ends the line and the page. A
// line end at the very end of the file starts no further line.
std::vector<TextLine> SplitLines(const std::string& text) {
  std::vector<TextLine> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n' || c == '\f') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back({"", c == '\f'});
    } else {
      lines.back().text += c;
    }
  }
  if (lines.size() > 1 && lines.back().text.empty()) lines.pop_back();
  for (TextLine& line : lines) line.text = ExpandTabs(line.text);
  return lines;
}

struct LayoutDeleter {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
struct FontDeleter {
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};

// Lays the lines out on as many pages as they need; false when the context
// refused a page.
bool PrintLines(PrinterDC& dc, const std::vector<TextLine>& lines) {
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
    pango_cairo_update_layout(dc.cr, layout.get());
    y = top;
    pageEmpty = true;
    return true;
  };
  for (const TextLine& line : lines) {
    if (line.newPage && !pageEmpty && !nextPage()) return false;
    pango_layout_set_text(layout.get(), line.text.data(), static_cast<int>(line.text.size()));
    PangoLayoutIter* iter = pango_layout_get_iter(layout.get());
    do {
      PangoRectangle logical;
      pango_layout_iter_get_line_extents(iter, nullptr, &logical);
      double lineHeight = static_cast<double>(logical.height) / PANGO_SCALE;
      double baseline =
          static_cast<double>(pango_layout_iter_get_baseline(iter) - logical.y) / PANGO_SCALE;
      if (y + lineHeight > bottom && !pageEmpty && !nextPage()) {
        pango_layout_iter_free(iter);
        return false;
      }
      cairo_move_to(dc.cr, left, y + baseline);
      pango_cairo_show_layout_line(dc.cr, pango_layout_iter_get_line_readonly(iter));
      y += lineHeight;
      pageEmpty = false;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
  }
  return EndPage(dc) == 1;
}

int PrintTextFile(const std::string& path) {
  std::string bytes;
  if (!platform::IsRegularFile(path) || !platform::ReadWholeFile(path, &bytes)) {
    return Fail("cannot read \"" + path + "\"");
  }
  char printer[256] = {};
  uint32_t size = sizeof printer;
  if (!platform::GetDefaultPrinterA(printer, &size)) return Fail("there is no default printer");
  std::unique_ptr<PrinterDC> dc = CreatePrinterDC(printer);
  if (!dc) return Fail(std::string("the default printer \"") + printer + "\" cannot be used");
  platform::PathParts parts = platform::SplitPath(path);
  if (!StartDoc(*dc, parts.name + parts.ext)) return Fail("the print job cannot be started");
  if (!PrintLines(*dc, SplitLines(DecodeText(bytes)))) return Fail("a page could not be printed");
  if (!EndDoc(*dc)) return Fail(dc->jobFailure);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && platform::EqualsNoCase(args[0], "/p") && !args[1].empty()) {
    int result = PrintTextFile(args[1]);
    // The font caches go back too, so a leak checker sees only real leaks.
    pango_cairo_font_map_set_default(nullptr);
    cairo_debug_reset_static_data();
    FcFini();
    return result;
  }
  std::fputs("usage: notepad.exe /p FILE\n", stderr);
  return 2;
}
