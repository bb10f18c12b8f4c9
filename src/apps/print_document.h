// The input-type dispatch: how a document gets printed to the virtual
// printer, and the routes that need no automation.
#ifndef SCRIVEX_APPS_PRINT_DOCUMENT_H_
#define SCRIVEX_APPS_PRINT_DOCUMENT_H_

#include <string>
#include <vector>

#include "apps/print_job.h"
#include "common/conversion_options.h"
#include "common/progress_report.h"

namespace scrivex {

// Some route prints files of this extension (".doc", ".png"; any case):
// the dispatch's own, the raster images the image printer reads and the
// print helper's types. Others would need a print command registered by hand.
bool HasPrintRoute(const std::string& ext);

// Prints the input to the printer, with the options or, without, their
// defaults. The files the driver announced for this job are appended to
// *produced when given; the result is their number. A failure's reason goes
// to *why. How far it got (the application's stages, the driver's pages)
// goes to `progress`.
int PrintDocument(const std::string& input, const std::string& output,
                  const ConversionOptions* options, const std::string& printer, PrintRun& run,
                  std::string* why, std::vector<std::string>* produced = nullptr,
                  const ProgressSink& progress = {});

// A printed PDF's pages are known: what the printer made (one PDF or TIFF,
// or a file a page) must hold each of them. False with the reason noted in
// *why when it does not; true when the count cannot be told (a DCX, MNG or
// metafile series is counted by its files).
bool MadeEveryPage(const std::string& pdfInput, const std::vector<std::string>& made,
                   std::string* why);

// Prints the input to the output: 1 when the driver announced at least one
// file. DCX and MNG outputs are printed to PNG pages in a private folder that
// the image converter joins into the output. The files written go to
// *written when given.
int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions& options, const std::string& printer,
                                 PrintRun& run, std::string* why,
                                 std::vector<std::string>* written = nullptr,
                                 const ProgressSink& progress = {});

int ShellPrintDocument(PrintJob& job);
int PrintTextWithNotepad(PrintJob& job);
int ShellPrintPdf(PrintJob& job);

// Runs a printing program in a box: it reads the input and the spool, writes
// only a folder of its own, and the jobs it printed there are submitted to
// the default printer once it ended with 0. True when printed, else false
// with the reason noted in *why. Runs under the watchdog and the memory cap;
// `configuration` names the system settings its program reads (see
// sandbox.h). A program of ours that reports its stages (see
// progress_report.h) has them passed on to `progress`.
bool RunBoxedPrinter(const std::vector<std::string>& command, const std::string& input,
                     const std::vector<std::string>& configuration, std::string* why,
                     const ProgressSink& progress = {});

}  // namespace scrivex

#endif  // SCRIVEX_APPS_PRINT_DOCUMENT_H_
