// The program's run from command line to exit code.
#ifndef SCRIVEX_DRIVER_DRIVER_MAIN_H_
#define SCRIVEX_DRIVER_DRIVER_MAIN_H_

#include <optional>
#include <string>
#include <vector>

#include "driver/options.h"
#include "driver/pipeline.h"
#include "driver/run_as_user.h"

namespace scrivex {

constexpr int kQueuePollMs = 5000;
constexpr const char* kQueueMutexName = "Marrow_Inkwell";

// What the command line alone settles, before the run queues: --version,
// --help (0), the usage text of -? or of a missing input (1), a refused
// value or stray argument (-1, the reason on standard error). Otherwise the
// warnings go to standard error and there is no exit code yet.
std::optional<int> AnswerCommandLine(const JobRequest& job);

// Runs a scanned request (one that asked for no usage text): refuses a bad
// -# value with -1, hands it to another account (the password is erased
// from the request), or queues, converts every file and returns the exit code.
// Each input's record goes to reporting.onFile when set.
int RunJob(JobRequest& job, const Converters& converters, const Reporting& reporting = {});

// --json: the command line answered and the run made as above, with one JSON
// line per input on standard output and every other line on standard error;
// the exit code as Linux tools give it: 0 when every input converted, 1 when
// one failed or nothing matched, 2 for bad arguments (0 for --help and
// --version).
int RunJobWithRecords(JobRequest& job, const Converters& converters);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_DRIVER_MAIN_H_
