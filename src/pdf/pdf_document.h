// What the program asks of PDF files: their pages counted, split, cut to a
// range. The work is done with qpdf in the PDF module (pdf_module.h), which
// the first call opens.
#ifndef SCRIVEX_PDF_PDF_DOCUMENT_H_
#define SCRIVEX_PDF_PDF_DOCUMENT_H_

#include <functional>
#include <string>
#include <vector>

namespace scrivex {

// The number of pages of a PDF that opens (rebuilding a broken
// cross-reference table when `recover`), or -1 with *why set. With `area`,
// also the sum of the pages' areas in square points (crop box, else media
// box).
int CountPdfPages(const std::string& path, bool recover, std::string* why, double* area = nullptr);

// True for a PDF of one page that draws nothing: what Ghostscript writes for
// a PostScript job that never showed a page.
bool IsSingleEmptyPagePdf(const std::string& path);

// Writes each page of a PDF as a PDF of its own, named by `pagePath(n)` for
// page n (from 1). The files written go to *written; false with *why set.
bool SplitPdfPages(const std::string& path, const std::function<std::string(int)>& pagePath,
                   std::vector<std::string>* written, std::string* why);

// Writes the pages of `source` that `range` names (empty: all) to `target`,
// replacing it only once complete. False with *why set when the range names
// no page of the document or the PDF does not open.
bool WritePagesInRange(const std::string& source, const std::string& range,
                       const std::string& target, std::string* why);

}  // namespace scrivex

#endif  // SCRIVEX_PDF_PDF_DOCUMENT_H_
