// The text printer's reading of a file: its bytes as clean UTF-8, its lines
// one at a time, tabs as blanks, and the pieces a long line is laid out in.
#ifndef SCRIVEX_TOOLS_TEXT_LAYOUT_H_
#define SCRIVEX_TOOLS_TEXT_LAYOUT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace scrivex {

// The file's bytes as valid UTF-8: a byte-order mark dropped (UTF-16 with
// its mark decoded), every invalid byte or UTF-16 unit shown as U+FFFD,
// control characters other than the line ends, tab and form feed as blanks.
// The bytes are given up, so a large file is held about twice, not more.
std::string DecodeText(std::string bytes);

// UTF-16 units (after the mark) appended as UTF-8; an unpaired surrogate and
// an odd trailing byte each become one U+FFFD, the rest is kept.
void AppendUtf16(std::string_view units, bool bigEndian, std::string* out);

// A position in decoded text, read line by line.
struct LineReader {
  std::string_view text;
  size_t pos = 0;
  bool started = false;
  bool afterFormFeed = false;
};

// One line of the text, without its end; a form feed before it starts a new page.
struct TextLine {
  std::string_view text;
  bool newPage = false;
};

// The next line: lines end at CR LF, CR or LF, and a form feed ends the line
// and the page. Empty text is one empty line; a line end at the very end
// starts no further line. False when there are no more.
bool NextLine(LineReader& reader, TextLine* line);

// Tabs to blanks at every eighth column, wide characters taking two;
// *column is where the text starts on its line and is moved past it, so a
// line expanded piece by piece comes out as if expanded whole.
std::string ExpandTabs(std::string_view text, int* column);

// Where a piece of the line that starts at `start` ends: at most maxBytes
// on, never inside a UTF-8 character, and always past `start` while the
// line has text left.
size_t PieceEnd(std::string_view line, size_t start, size_t maxBytes);

}  // namespace scrivex

#endif  // SCRIVEX_TOOLS_TEXT_LAYOUT_H_
