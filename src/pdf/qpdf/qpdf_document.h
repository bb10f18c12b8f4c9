// Shared qpdf plumbing of the PDF module: opening PDFs quietly, copying pages
// with their form fields, document information entries, and writing a
// document so that the target is replaced in one step.
#ifndef SCRIVEX_PDF_QPDF_QPDF_DOCUMENT_H_
#define SCRIVEX_PDF_QPDF_QPDF_DOCUMENT_H_

#include <functional>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <string>
#include <vector>

namespace scrivex {

// Library warnings are collected in the document, never printed.
void SilencePdf(QPDF& pdf);

// Opens a PDF with an optional password. `recover` lets qpdf rebuild a broken
// cross-reference table; without it such a file is refused. Null on failure,
// with the reason in *error when given. Also pushes inherited page attributes
// (MediaBox, Rotate, Resources) onto the pages so they survive a copy.
std::unique_ptr<QPDF> OpenPdf(const std::string& path, const std::string& password, bool recover,
                              std::string* error);

// The pages, from 1, in the document's order and each once, that a range
// such as "1,3-5", "4-" or "-2" names in a document of `count` pages; pages
// past the end are left out. Empty when it names none or is not a range.
std::vector<int> PagesInRange(const std::string& range, int count);

// Copies every page of `source` into `target` with its annotations and form
// fields (qpdf renames a copied field whose name is already taken), appended
// or, with `atFront`, before the first page, keeping their order. `source` must
// stay alive until `target` is written. Returns the number of pages copied; a
// page that cannot be copied is left out.
int CopyAllPages(QPDF& source, QPDF& target, bool atFront);

// The first warning qpdf logged for `pdf`, empty when there is none.
std::string FirstPdfWarning(QPDF& pdf);

// Sets one entry of the trailer's /Info dictionary (created when missing) to a
// PDF text string made from UTF-8 bytes; key like "/Title".
void SetInfoText(QPDF& pdf, const std::string& key, const std::string& utf8);

struct PdfWriteOptions {
  // Called on the writer before it writes (encryption and the like).
  std::function<void(QPDFWriter&)> configure;
  // Called after writing, before the rename: a non-empty result is the reason
  // to throw the written file away (a damaged source must not replace a file).
  std::function<std::string()> verify;
};

// Writes `pdf` to a fresh file in the folder of `path` and renames it onto
// `path` (through a symbolic link to its target). On any failure the fresh file
// is removed, `path` is left as it was and *error names the reason. An existing
// target's permission bits are kept.
bool WritePdfReplacing(QPDF& pdf, const std::string& path, const PdfWriteOptions& options,
                       std::string* error);

}  // namespace scrivex

#endif  // SCRIVEX_PDF_QPDF_QPDF_DOCUMENT_H_
