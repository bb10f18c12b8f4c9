// The PDF module's one export: the functions the program calls, done here
// with qpdf.
#include "pdf/pdf_module.h"

extern "C" __attribute__((visibility("default"))) const scrivex::PdfModule* scrivex_pdf_module() {
  static const scrivex::PdfModule module = {
      .version = SCRIVEX_VERSION_TEXT,
      .countPages = &scrivex::CountPdfPages,
      .isSingleEmptyPage = &scrivex::IsSingleEmptyPagePdf,
      .splitPages = &scrivex::SplitPdfPages,
      .writePagesInRange = &scrivex::WritePagesInRange,
      .writePagesOnPaper = &scrivex::WritePagesOnPaper,
      .mergeParts = &scrivex::MergePdfParts,
  };
  return &module;
}
