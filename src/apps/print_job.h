// One document on its way through a virtual printer, and what the printing
// road keeps for a whole run. Every step of the road gets the job: what was
// asked, where the printer's driver announces its files and where a failed
// step notes why. Nothing of a print lives anywhere else, so prints in one
// process never touch each other's state.
#ifndef SCRIVEX_APPS_PRINT_JOB_H_
#define SCRIVEX_APPS_PRINT_JOB_H_

#include <memory>
#include <string>
#include <vector>

#include "common/conversion_options.h"
#include "common/progress_report.h"
#include "platform/replacement_file.h"
#include "printer/completion_mapping.h"

namespace scrivex {

class Dispatch;

// The office's second try at a document it died over: writes the pages a
// range names ("1,3-5"; empty: all) as a PDF. *why holds the first try's
// reason: 1 written; 0 failed too, *why naming both; -1 when the office did
// not die over it, *why as it was. It lives with the office servers.
using OfficeRetryFunction = int (*)(const std::string& input, const std::string& pdfPath,
                                    const std::string& pageRange, std::string* why);

// The office applications the routes drive, by route.
enum OfficeApplication { kWord, kExcel, kPowerPoint, kVisio, kOfficeApplications };

// What the printing road keeps from one document to the next.
struct PrintRun {
  // The applications -D keeps running; QuitKeptApplications ends them.
  std::shared_ptr<Dispatch> kept[kOfficeApplications];
  // The HTML creator -D keeps, and its browser with it.
  std::shared_ptr<Dispatch> keptQuire;
  // Null: no second try.
  OfficeRetryFunction officeRetry = nullptr;
};

// The files a route printed one by one (the Excel sheets), in order. Sheet
// files that are only parts of the output live in a private folder that goes
// with the list.
struct OutputFileList {
  std::vector<std::string> files;
  platform::StagingFolder privateFolder;
};

struct PrintJob {
  std::string input;
  std::string output;
  std::string printer;
  // A copy, the defaults when the caller gave none: the settings hand-off
  // corrects the resolution in it.
  ConversionOptions options;
  // What the settings hand-off and the sheet join take: null when the caller
  // gave no options (they then hand over fewer settings), else &options.
  ConversionOptions* handOff = nullptr;
  PrintRun* run = nullptr;
  std::string* why = nullptr;  // the conversion's failure reason (NoteFailure)
  ProgressSink progress;       // how far the print got; empty: nobody watches
  CompletionMapping completion;
  OutputFileList outputFiles;
};

}  // namespace scrivex

#endif  // SCRIVEX_APPS_PRINT_JOB_H_
