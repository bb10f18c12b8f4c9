// The printing routes the input-type dispatch chooses from. Each prints the
// job's input to the default printer (the job's printer, made the default by
// the dispatch) and answers non-zero when the application printed; a route
// that fails notes why in the job.
#ifndef SCRIVEX_APPS_ROUTES_H_
#define SCRIVEX_APPS_ROUTES_H_

#include <string>

#include "apps/print_job.h"

namespace scrivex {

struct AutomationError;

int PrintWithWord(PrintJob& job);
// Appends the file of every printed sheet that is to be joined into the
// output to job.outputFiles.
int PrintWithExcel(PrintJob& job);
int PrintWithPowerPoint(PrintJob& job);
int PrintWithVisio(PrintJob& job);
// Quits the applications (and the HTML creator) kept running by -D.
void QuitKeptApplications(PrintRun& run);
// The paper code a sheet is given for the -f text: its number (1 for none),
// or kUserDefinedPaper for a width and length.
int SheetPaperCode(const std::string& paperSize);
// 1 when the worksheet has nothing to print.
int IsSheetEmpty(Dispatch& worksheet);

int PrintWithAcrobat(PrintJob& job);

// Notes why an application's member failed: an exception the application
// raised, in its own words; any other error after `context`.
void NoteAutomationError(PrintJob& job, const std::string& context, const AutomationError& e);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_ROUTES_H_
