#include "servers/office_print.h"

#include "common/temp_files.h"
#include "pdf/page_fit.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/path.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

// A temporary file that goes with its holder.
struct ScratchFile {
  explicit ScratchFile(const char* ext) : path(MakeTempFileName(ext)) {
    if (path.empty()) RaiseOfficeError("no temporary file for the print stream");
  }
  ~ScratchFile() { platform::RemoveFile(path); }
  std::string path;
};

}  // namespace

void RaiseOfficeError(const std::string& why) { throw AutomationError(DISP_E_EXCEPTION, why); }

void PrintOfficeDocument(const std::string& input, const OfficeExportOptions& what,
                         const std::string& printer, double paperWidth, double paperHeight) {
  std::string target = printer;
  if (target.empty()) {
    char name[256];
    uint32_t size = sizeof name;
    if (!spool::GetDefaultPrinterA(name, &size)) {
      RaiseOfficeError("there is no default printer to print to");
    }
    target = name;
  }
  ScratchFile pdf(".pdf");
  std::string why;
  if (ExportOfficePdf(input, pdf.path, what, nullptr, &why) != 1) {
    RaiseOfficeError(why.empty() ? "the office could not print " + input : why);
  }
  std::string stream = pdf.path;
  ScratchFile fitted(".pdf");
  if (paperWidth > 0 && paperHeight > 0) {
    const int pages = CountPdfPages(pdf.path, false, &why);
    if (pages < 1 || !WritePagesOnPaper(pdf.path, 0, pages - 1, paperWidth, paperHeight,
                                        fitted.path, &why, true)) {
      RaiseOfficeError("the pages could not be laid onto the zoom paper: " + why);
    }
    stream = fitted.path;
  }
  spool::SubmittedJob job;
  if (!spool::SubmitPrintJob(target, stream, platform::SplitPath(input).name, &job)) {
    RaiseOfficeError("the print job to \"" + target + "\" failed: " + job.failure);
  }
}

OfficeDocumentInfo OpenOfficeDocument(const std::string& input, const char* kind) {
  OfficeDocumentInfo info;
  std::string why;
  if (InspectOfficeDocument(input, &info, &why) != 1)
    RaiseOfficeError(why.empty() ? "the office could not open " + input : why);
  if (info.kind != kind) {
    RaiseOfficeError(input + " is not a " + kind + " (the office reads it as a " + info.kind + ")");
  }
  return info;
}

std::string PageSpan(int from, int to) {
  if (from < 1) from = 1;
  if (to < from)
    RaiseOfficeError("no pages from " + std::to_string(from) + " to " + std::to_string(to));
  return std::to_string(from) + "-" + std::to_string(to);
}

}  // namespace scrivex
