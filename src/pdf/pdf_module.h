// The PDF module. The program's PDF work (pdf_document.h, page_fit.h,
// pdf_merge.h) is done with qpdf, whose library, with those it brings
// (gnutls among them), takes longer to load than the rest of the program
// takes to start. So that work lives in a module of its own beside the
// program, opened by the first call that needs it: runs that never read a
// PDF never load qpdf. The functions those headers declare open it and call
// it; the module holds their qpdf code (qpdf/), which the tools program
// links directly.
#ifndef SCRIVEX_PDF_PDF_MODULE_H_
#define SCRIVEX_PDF_PDF_MODULE_H_

#include <cstddef>
#include <string>

#include "pdf/page_fit.h"
#include "pdf/pdf_document.h"
#include "pdf/pdf_merge.h"
#include "platform/shared_library.h"

namespace scrivex {

// The module's file in the program directory, and the function it exports,
// which returns its PdfModule.
inline constexpr char kPdfModuleFile[] = "scrivex-pdf.so";
inline constexpr char kPdfModuleEntry[] = "scrivex_pdf_module";

struct PdfModule {
  // The record's size and the version of the build that made the module:
  // the program uses no module of another build.
  size_t size = sizeof(PdfModule);
  const char* version = "";
  decltype(&CountPdfPages) countPages = nullptr;
  decltype(&IsSingleEmptyPagePdf) isSingleEmptyPage = nullptr;
  decltype(&SplitPdfPages) splitPages = nullptr;
  decltype(&WritePagesInRange) writePagesInRange = nullptr;
  decltype(&WritePagesOnPaper) writePagesOnPaper = nullptr;
  decltype(&MergePdfParts) mergeParts = nullptr;
};

// Opens the module in `file` (kept open by *library) and checks that it is
// of this build; null with *why set when it cannot be used.
const PdfModule* OpenPdfModule(const std::string& file, platform::SharedLibrary* library,
                               std::string* why);

}  // namespace scrivex

#endif  // SCRIVEX_PDF_PDF_MODULE_H_
