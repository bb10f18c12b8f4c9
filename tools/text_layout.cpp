#include "text_layout.h"

#include <glib.h>

#include <cstdint>

namespace scrivex {
namespace {

constexpr int kTabColumns = 8;
constexpr char kReplacement[] = "\xef\xbf\xbd";

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xc0 | c >> 6));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | c >> 12));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else {
    out->push_back(static_cast<char>(0xf0 | c >> 18));
    out->push_back(static_cast<char>(0x80 | (c >> 12 & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  }
}

// The length of the well-formed UTF-8 character at p (at most n bytes
// there), 0 when the bytes there are not one.
size_t Utf8Length(const unsigned char* p, size_t n) {
  unsigned char b = p[0];
  if (b < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xbf;  // the second byte's range
  if (b >= 0xc2 && b <= 0xdf) {
    length = 2;
  } else if (b >= 0xe0 && b <= 0xef) {
    length = 3;
    if (b == 0xe0) low = 0xa0;   // no overlong forms
    if (b == 0xed) high = 0x9f;  // no surrogates
  } else if (b >= 0xf0 && b <= 0xf4) {
    length = 4;
    if (b == 0xf0) low = 0x90;
    if (b == 0xf4) high = 0x8f;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (n < length || p[1] < low || p[1] > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0;
  }
  return length;
}

// Controls other than the line ends, tab and form feed would draw as boxes
// or nothing; each is one byte in UTF-8.
void BlankControls(std::string* text) {
  for (char& c : *text) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f') || u == 0x7f) c = ' ';
  }
}

}  // namespace

void AppendUtf16(std::string_view units, bool bigEndian, std::string* out) {
  auto unitAt = [&](size_t i) -> uint32_t {
    auto a = static_cast<unsigned char>(units[i]), b = static_cast<unsigned char>(units[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  size_t i = 0;
  for (; i + 1 < units.size(); i += 2) {
    uint32_t unit = unitAt(i);
    if (unit >= 0xd800 && unit <= 0xdbff && i + 3 < units.size()) {
      uint32_t next = unitAt(i + 2);
      if (next >= 0xdc00 && next <= 0xdfff) {
        AppendUtf8(0x10000 + ((unit - 0xd800) << 10) + (next - 0xdc00), out);
        i += 2;
        continue;
      }
    }
    if (unit >= 0xd800 && unit <= 0xdfff) {
      out->append(kReplacement);
    } else {
      AppendUtf8(unit, out);
    }
  }
  if (i < units.size()) out->append(kReplacement);
}

std::string DecodeText(std::string bytes) {
  std::string text;
  std::string_view in = bytes;
  bool utf16le = in.starts_with("\xff\xfe"), utf16be = in.starts_with("\xfe\xff");
  if (utf16le || utf16be) {
    in.remove_prefix(2);
    text.reserve(in.size());
    AppendUtf16(in, utf16be, &text);
  } else {
    if (in.starts_with("\xef\xbb\xbf")) in.remove_prefix(3);
    text.reserve(in.size());
    auto p = reinterpret_cast<const unsigned char*>(in.data());
    size_t n = in.size(), i = 0;
    while (i < n) {
      // Runs of ASCII are copied whole.
      size_t run = i;
      while (run < n && p[run] < 0x80) ++run;
      text.append(in.data() + i, run - i);
      i = run;
      if (i == n) break;
      size_t length = Utf8Length(p + i, n - i);
      if (length == 0) {
        text.append(kReplacement);
        ++i;
      } else {
        text.append(in.data() + i, length);
        i += length;
      }
    }
  }
  // The file's bytes go before the caller lays the text out.
  std::string().swap(bytes);
  BlankControls(&text);
  return text;
}

bool NextLine(LineReader& reader, TextLine* line) {
  std::string_view text = reader.text;
  if (reader.started && reader.pos >= text.size()) return false;
  reader.started = true;
  size_t end = text.find_first_of("\r\n\f", reader.pos);
  if (end == std::string_view::npos) end = text.size();
  line->text = text.substr(reader.pos, end - reader.pos);
  line->newPage = reader.afterFormFeed;
  reader.afterFormFeed = end < text.size() && text[end] == '\f';
  reader.pos = end + 1;
  if (end < text.size() && text[end] == '\r' && reader.pos < text.size() &&
      text[reader.pos] == '\n') {
    ++reader.pos;
  }
  return true;
}

std::string ExpandTabs(std::string_view text, int* column) {
  std::string out;
  out.reserve(text.size());
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    if (*p == '\t') {
      int blanks = kTabColumns - *column % kTabColumns;
      out.append(blanks, ' ');
      *column += blanks;
      ++p;
      continue;
    }
    const char* next = g_utf8_next_char(p);
    if (next > end) next = end;
    gunichar c = g_utf8_get_char_validated(p, end - p);
    out.append(p, next - p);
    if (c < 0x80) {
      ++*column;
    } else if (c != static_cast<gunichar>(-1) && c != static_cast<gunichar>(-2)) {
      *column += g_unichar_iszerowidth(c) ? 0 : g_unichar_iswide(c) ? 2 : 1;
    }
    p = next;
  }
  return out;
}

size_t PieceEnd(std::string_view line, size_t start, size_t maxBytes) {
  if (start >= line.size()) return line.size();
  size_t end = start + (maxBytes == 0 ? 1 : maxBytes);
  if (end >= line.size()) return line.size();
  size_t cut = end;
  // Back to the first byte of the character the cut falls in.
  while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80) --cut;
  if (cut > start) return cut;
  // A piece too small for its first character: the character whole.
  cut = start + 1;
  while (cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80) ++cut;
  return cut;
}

}  // namespace scrivex
