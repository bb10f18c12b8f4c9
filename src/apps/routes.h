// The printing routes the input-type dispatch chooses from. Each prints the
// input to the default printer (TargetPrinterName, made the default by the
// dispatch) and answers non-zero when the application printed.
#ifndef SCRIVEX_APPS_ROUTES_H_
#define SCRIVEX_APPS_ROUTES_H_

#include <string>
#include <vector>

#include "common/conversion_options.h"
#include "platform/replacement_file.h"

namespace scrivex {

class Dispatch;

// The files a route printed one by one (the Excel sheets), in order. Sheet
// files that are only parts of the output live in a private folder that goes
// with the list.
struct OutputFileList {
  std::vector<std::string> files;
  platform::StagingFolder privateFolder;
};

int PrintWithWord(const std::string& input, const std::string& output,
                  const ConversionOptions* options);
// Appends the file of every printed sheet that is to be joined into the
// output to *outputFiles.
int PrintWithExcel(const std::string& input, const std::string& output,
                   const ConversionOptions* options, OutputFileList* outputFiles);
int PrintWithPowerPoint(const std::string& input, const std::string& output,
                        const ConversionOptions* options);
int PrintWithVisio(const std::string& input, const std::string& output,
                   const ConversionOptions* options);
// Quits the applications kept running by -D.
void QuitKeptApplications();
// The paper code a sheet is given for the -f text: its number (1 for none),
// or kUserDefinedPaper for a width and length.
int SheetPaperCode(const std::string& paperSize);
// 1 when the worksheet has nothing to print.
int IsSheetEmpty(Dispatch& worksheet);

int PrintWithAcrobat(const std::string& input, const std::string& output);
int PrintHtmlWithCreator(const std::string& input, const std::string& output,
                         const ConversionOptions* options);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_ROUTES_H_
