// Pages of a PDF laid onto a printer's paper, the way a viewer prints with
// "shrink to fit": each page keeps its proportions, is shrunk (enlarged
// only when asked) to the paper and centred; the paper turns with the page.
#ifndef SCRIVEX_PDF_PAGE_FIT_H_
#define SCRIVEX_PDF_PAGE_FIT_H_

#include <string>

namespace scrivex {

// Writes pages first..last (from 0) of source to a new PDF at out. Without
// a paper (a width or height of 0) the pages keep their own size. With
// expand, smaller pages are enlarged to the paper too. False with *why set.
bool WritePagesOnPaper(const std::string& source, int first, int last, double paperWidth,
                       double paperHeight, const std::string& out, std::string* why,
                       bool expand = false);

}  // namespace scrivex

#endif  // SCRIVEX_PDF_PAGE_FIT_H_
