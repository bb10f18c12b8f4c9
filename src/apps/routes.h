// The printing routes the input-type dispatch chooses from. Each prints the
// input to the default printer (TargetPrinterName, made the default by the
// dispatch) and answers non-zero when the application printed.
#ifndef SCRIVEX_APPS_ROUTES_H_
#define SCRIVEX_APPS_ROUTES_H_

#include <string>
#include <vector>

#include "common/conversion_options.h"

namespace scrivex {

int PrintWithWord(const std::string& input, const std::string& output,
                  const ConversionOptions* options);
// Appends the file of every printed sheet to *outputFiles.
int PrintWithExcel(const std::string& input, const std::string& output,
                   const ConversionOptions* options, std::vector<std::string>* outputFiles);
int PrintWithPowerPoint(const std::string& input, const std::string& output,
                        const ConversionOptions* options);
int PrintWithVisio(const std::string& input, const std::string& output,
                   const ConversionOptions* options);
int PrintWithAcrobat(const std::string& input, const std::string& output);
int PrintHtmlWithCreator(const std::string& input, const std::string& output,
                         const ConversionOptions* options);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_ROUTES_H_
