// The paper-size codes every printer, application object and page request of
// the program knows: one table.
#ifndef SCRIVEX_PRINTER_PAPER_SIZES_H_
#define SCRIVEX_PRINTER_PAPER_SIZES_H_

namespace scrivex {

// A paper as its code names it: portrait width and height in its own unit,
// "in" or "mm", as the paper is defined.
struct PaperSize {
  int code;
  double width, height;
  const char* unit;
};

// The paper of a code; null for a code the table does not know.
const PaperSize* FindPaperSize(int code);

// The paper of a code in points (width, height, portrait); false for a code
// the table does not know.
bool PaperSizePoints(int paperSize, double* width, double* height);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_PAPER_SIZES_H_
