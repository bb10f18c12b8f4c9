// Runs a command line as a hidden child and waits for it, throwing its
// output away.
#ifndef SCRIVEX_GHOSTSCRIPT_HIDDEN_PROCESS_H_
#define SCRIVEX_GHOSTSCRIPT_HIDDEN_PROCESS_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace scrivex {

// Environment changes for the child only: a value sets, nullopt removes.
using EnvironmentChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// The command line is split by the Windows argument rules and started without
// a shell. 1 when the child ran to its end, 0 when it could not be started.
// The child's exit status goes to exitCode when given (-1 when not started,
// the signal number when it was killed).
int RunHiddenProcess(const std::string& commandLine, int* exitCode = nullptr,
                     const EnvironmentChanges& env = {});

}  // namespace scrivex

#endif  // SCRIVEX_GHOSTSCRIPT_HIDDEN_PROCESS_H_
