// The paper-size codes every printer, application object and page request of
// the program knows: one table. Also the reading of a -f text, so the command
// line refuses what no printer could use.
#ifndef SCRIVEX_COMMON_PAPER_SIZES_H_
#define SCRIVEX_COMMON_PAPER_SIZES_H_

#include <string>

namespace scrivex {

// A paper as its code names it: portrait width and height in its own unit,
// "in" or "mm", as the paper is defined; the name -f takes for it, if any.
struct PaperSize {
  int code;
  double width, height;
  const char* unit;
  const char* name;
};

// Largest value of the printer record's 16-bit paper fields.
constexpr int kMaxPaperField = 32767;

// The paper of a code; null for a code the table does not know.
const PaperSize* FindPaperSize(int code);

// The paper of a name, letter case ignored; null for a name the table does
// not know.
const PaperSize* FindPaperByName(const std::string& name);

// The paper of a code in points (width, height, portrait); false for a code
// the table does not know.
bool PaperSizePoints(int paperSize, double* width, double* height);

// A side of a WxH paper in the printer record's tenths of a millimetre
// (rounded), value given in a unit of factor points; 0 when it is less than a
// point or does not fit the 16-bit field (3276.7 mm).
int PaperTenthsOfMm(float value, float factor);

// The codes the table knows and the names -f takes, for messages: "1-18, 20"
// and "Letter, Legal".
std::string KnownPaperCodes();
std::string KnownPaperNames();

// Reads a -f text as the printers will: a paper name becomes its code, a code
// must be in the table, and "WxH" with an optional unit "in" (the default),
// "mm" or "pt" (letter case ignored) must have usable sides. *stored is what
// the job keeps; false with *why when no printer could use the text. An
// empty text is the printer's first paper, "1".
bool ReadPaperText(const std::string& text, std::string* stored, std::string* why);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_PAPER_SIZES_H_
