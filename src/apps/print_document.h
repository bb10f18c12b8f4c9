// The input-type dispatch: how a document gets printed to the virtual
// printer, and the routes that need no automation.
#ifndef SCRIVEX_APPS_PRINT_DOCUMENT_H_
#define SCRIVEX_APPS_PRINT_DOCUMENT_H_

#include <string>
#include <vector>

#include "common/conversion_options.h"

namespace scrivex {

// Seconds the shell route waits for the printing application.
constexpr int kShellPrintTimeoutSeconds = 30;

// Prints the input to TargetPrinterName. The files the driver announced for
// this job are appended to *produced when given; the result is their number.
int PrintDocument(const std::string& input, const std::string& output,
                  const ConversionOptions* options, std::vector<std::string>* produced = nullptr);

int ShellPrintDocument(const std::string& input, const std::string& output,
                       const ConversionOptions* options, int handOff);
int PrintTextWithNotepad(const std::string& input, const std::string& output,
                         const ConversionOptions* options);
int ShellPrintPdf(const std::string& input);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_PRINT_DOCUMENT_H_
