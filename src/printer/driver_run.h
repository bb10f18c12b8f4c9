// One run of a printer driver, as the spooler starts it for each job:
//   <driver> <print stream> <printer name> <job id> <state root>
#ifndef SCRIVEX_PRINTER_DRIVER_RUN_H_
#define SCRIVEX_PRINTER_DRIVER_RUN_H_

#include <functional>
#include <string>
#include <vector>

#include "common/progress_report.h"

namespace scrivex {

// Writes the job's files (*written, in page order); *announce says whether
// they go to the completion mapping. False with *why set when the job failed
// or wrote nothing it was asked to. How far it got goes to `progress`, for
// the program that printed when it watches.
using JobWriter =
    std::function<bool(const std::string& stream, std::vector<std::string>* written, bool* announce,
                       std::string* why, const ProgressSink& progress)>;

// Takes the state root the spooler names, writes the job, announces its
// files, and takes the job out of the queue. The exit code: 0 done, 1 the
// job failed (its reason on standard error), 2 a wrong command line.
int RunPrinterDriver(int argc, char** argv, const std::string& driverName,
                     const JobWriter& writeJob);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_DRIVER_RUN_H_
