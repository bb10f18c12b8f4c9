// The input-type dispatch: how a document gets printed to the virtual
// printer, and the routes that need no automation.
#ifndef SCRIVEX_APPS_PRINT_DOCUMENT_H_
#define SCRIVEX_APPS_PRINT_DOCUMENT_H_

#include <string>
#include <vector>

#include "common/conversion_options.h"

namespace scrivex {

// Prints the input to TargetPrinterName. The files the driver announced for
// this job are appended to *produced when given; the result is their number.
int PrintDocument(const std::string& input, const std::string& output,
                  const ConversionOptions* options, std::vector<std::string>* produced = nullptr);

// The office's second try at a document it died over: writes the pages a
// range names ("1,3-5"; empty: all) as a PDF; 1 written, 0 failed too (the
// reason says both), -1 when the office did not die over it. It lives with
// the office servers and is installed beside them; until then there is none.
using OfficeRetryFunction = int (*)(const std::string& input, const std::string& pdfPath,
                                    const std::string& pageRange);
void SetOfficeRetryFunction(OfficeRetryFunction retry);

// A printed PDF's pages are known: what the printer made (one PDF or TIFF,
// or a file a page) must hold each of them. False with the reason noted when
// it does not; true when the count cannot be told (a DCX, MNG or metafile
// series is counted by its files).
bool MadeEveryPage(const std::string& pdfInput, const std::vector<std::string>& made);

// Prints the input to the output: 1 when the driver announced at least one
// file. DCX and MNG outputs are printed to PNG pages in a private folder that
// the image converter joins into the output.
int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions* options);

int ShellPrintDocument(const std::string& input, const std::string& output,
                       const ConversionOptions* options, int handOff);
int PrintTextWithNotepad(const std::string& input, const std::string& output,
                         const ConversionOptions* options);
int ShellPrintPdf(const std::string& input);

// Runs a printing program in a box: it reads the input and the spool, writes
// only a folder of its own, and the jobs it printed there are submitted to
// the default printer once it ended with 0. 1 when printed, else 0 with the
// reason noted. Runs under the watchdog and the memory cap; `configuration`
// names the system settings its program reads (see sandbox.h).
int RunBoxedPrinter(const std::vector<std::string>& command, const std::string& input,
                    const std::vector<std::string>& configuration);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_PRINT_DOCUMENT_H_
