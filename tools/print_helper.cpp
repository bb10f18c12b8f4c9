// print-helper FILE: prints a document on the default printer, as the shell's
// "print" verb does for the types the program registers: office documents
// through the office bridge, PostScript and EPS made PDF by Ghostscript, a PDF
// as it is. Exit 0 when the printer printed it; otherwise the reason on
// standard error and 1 (2 for a wrong command line).
#include <cstdio>
#include <string>
#include <vector>

#include "common/failure_reason.h"
#include "common/progress_report.h"
#include "ghostscript/ghostscript_command.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"
#include "servers/office_bridge.h"
#include "spool/spooler.h"

namespace {

using namespace scrivex;

int Fail(const std::string& why) {
  std::fprintf(stderr, "print-helper: %s\n", why.c_str());
  return 1;
}

std::string Noted(const std::string& why, const std::string& otherwise) {
  return why.empty() ? otherwise : why;
}

// Makes the document's print stream, a PDF, in the folder (a PDF is its own);
// empty, or why not. Its stages go to `progress`.
std::string MakeStream(const std::string& file, const std::string& folder, std::string* stream,
                       const ProgressSink& progress) {
  std::string why;
  if (platform::HasExtension(file, ".pdf")) {
    *stream = file;
    return CountPdfPages(file, true, &why) > 0 ? "" : "not a PDF that opens: " + why;
  }
  *stream = folder + "stream.pdf";
  if (platform::HasExtension(file, ".ps") || platform::HasExtension(file, ".eps")) {
    RenderRequest request;
    request.inputPath = file;
    request.outputPath = *stream;
    request.device = kDevicePdfWrite;
    request.progress = progress;
    int exitCode = -1;
    if (RunGhostscript(request, &why, &exitCode) != 1 || exitCode != 0) {
      return Noted(why,
                   "Ghostscript could not read it (exit code " + std::to_string(exitCode) + ")");
    }
    if (CountPdfPages(*stream, false, &why) < 1 || IsSingleEmptyPagePdf(*stream)) {
      return "it shows no page";
    }
    return "";
  }
  ReportStage(progress, "opening in the office");
  if (ExportOfficePdf(file, *stream, {}, nullptr, &why) == 1) return "";
  // An office that died over it gets one more try, with its own converter.
  ReportStage(progress, "converting with the office's own converter");
  return RetryWithOfficeConverter(file, *stream, "", &why) == 1
             ? ""
             : Noted(why, "the office could not print it");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fputs("usage: print-helper FILE\n", stderr);
    return 2;
  }
  const std::string file = platform::FullPath(argv[1]);
  if (!platform::IsRegularFile(file)) return Fail("no such file: " + file);
  const std::string printer = spool::DefaultPrinterName();
  if (printer.empty()) return Fail("there is no default printer");

  platform::StagingFolder work;
  std::string why;
  if (!work.CreateIn(platform::TempDirectory(), &why)) return Fail(why);
  std::string stream;
  // The program that started us shows these when someone watches.
  why = MakeStream(file, work.path(), &stream, ProgressLinesWhenAsked());
  EndOffice();
  if (!why.empty()) return Fail(file + ": " + why);

  spool::SubmittedJob job;
  platform::PathParts parts = platform::SplitPath(file);
  if (!spool::SubmitPrintJob(printer, stream, parts.name + parts.ext, &job)) {
    return Fail("the printer \"" + printer + "\" did not print " + file +
                (job.failure.empty() ? "" : ": " + job.failure));
  }
  return 0;
}
