// The program's run from command line to exit code.
#ifndef SCRIVEX_DRIVER_DRIVER_MAIN_H_
#define SCRIVEX_DRIVER_DRIVER_MAIN_H_

#include <string>
#include <vector>

#include "driver/options.h"
#include "driver/pipeline.h"

namespace scrivex {

constexpr int kQueuePollMs = 5000;
constexpr const char* kQueueMutexName = "Marrow_Inkwell";

// Hands the whole request (the arguments without "-#") to another account;
// the exit code of the hand-off. Not available yet: reports so and returns a
// non-zero, non-success code.
int RunAsUser(const std::string& userName, const std::string& password,
              const std::vector<std::string>& arguments, int waitMs);

// Runs a scanned request (one that asked for no usage text): hands it to
// another account, or queues, converts every file and returns the exit code.
int RunJob(JobRequest& job, const Converters& converters);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_DRIVER_MAIN_H_
