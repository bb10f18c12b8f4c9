// The program's run from command line to exit code.
#ifndef SCRIVEX_DRIVER_DRIVER_MAIN_H_
#define SCRIVEX_DRIVER_DRIVER_MAIN_H_

#include "driver/pipeline.h"

namespace scrivex {

constexpr int kQueuePollMs = 5000;
constexpr const char* kQueueMutexName = "Marrow_Inkwell";

// Hands the whole request to another account; the exit code of the hand-off.
// Not available yet: reports so and returns a non-zero, non-success code.
int RunAsUser(const std::string& userName, const std::string& password,
              const std::string& commandLine, int waitMs);

int DriverMain(int argc, const char* const* argv, const Converters& converters);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_DRIVER_MAIN_H_
