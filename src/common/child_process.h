// Child processes: always started from an argument vector, never through a
// shell, so no file name or text can turn into an option or a command. The
// one-line command-line form exists only for traces and length limits.
#ifndef SCRIVEX_COMMON_CHILD_PROCESS_H_
#define SCRIVEX_COMMON_CHILD_PROCESS_H_

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/process.h"

namespace scrivex {

// Environment changes for the child only: a value sets, nullopt removes.
using EnvironmentChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct HiddenProcessOptions {
  EnvironmentChanges env;
  std::string workingDirectory;  // empty: ours
  std::string* why = nullptr;    // gets why a failed run failed (NoteFailure)
  // A child that reads a document runs boxed, under the memory cap.
  std::optional<platform::Confinement> confinement;
  // Receives the last few KiB the child printed, for callers that read its
  // messages even when it ended with 0.
  std::string* outputTail = nullptr;
  // Each line the child prints, as it comes; the lines it claims (true) are
  // left out of the tail and of a failure's reason (see platform::ChildOptions).
  std::function<bool(const std::string& line)> onOutputLine;
  // The caller's work while the child runs; false stops the child (see
  // platform::ChildOptions).
  std::function<bool()> whileRunning;
};

// Runs a child without a window and waits for it, keeping only the tail of
// its output (a trace shows all of it). 1 when the child ran to its end, 0
// when it could not be started, ran out of time or memory or was stopped by
// whileRunning (its process group is killed). The child's exit status goes to exitCode when given (-1 when not
// started or out of time, the signal number when it was killed). A child that
// fails notes why in options.why, with the last lines it printed.
int RunHiddenProcess(const std::vector<std::string>& argv, int* exitCode = nullptr,
                     const HiddenProcessOptions& options = {});

// The child's exit code; 0 at once for a detached child; -1 when argv is
// empty, the program cannot be started or runs out of time; the signal
// number when killed. Its output is kept back; a failure notes why in *why.
int RunCommandLine(const std::vector<std::string>& argv, bool detached = false,
                   std::string* why = nullptr);

// Notes why a child failed (not started, out of time, killed, a non-zero
// exit with its last lines); nothing for a child that ended with 0 or that
// its caller stopped, who knows why.
void NoteChildFailure(const std::string& program, const platform::ChildResult& result,
                      std::string* why);

// The arguments as one line, each in double quotes with quotes and trailing
// backslashes escaped: what a trace prints and what length limits measure.
std::string FormatCommandLine(const std::vector<std::string>& argv);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_CHILD_PROCESS_H_
