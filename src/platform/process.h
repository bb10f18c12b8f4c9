// Child processes: command-line splitting by the Windows argument rules and
// starting programs directly, without a shell.
#ifndef SCRIVEX_PLATFORM_PROCESS_H_
#define SCRIVEX_PLATFORM_PROCESS_H_

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sandbox.h"

namespace scrivex::platform {

// Splits a command line the way CommandLineToArgv does.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

struct ChildOptions {
  bool detached = false;       // return at once; nobody waits for the child
  bool captureOutput = false;  // collect stdout and stderr into ChildResult::output
  bool discardOutput = false;  // keep only the last few KiB of stdout and stderr
  // With either of those: each line the child prints (without its line end),
  // as it comes, while the output is still drained. A line it answers true
  // for is the caller's and is left out of ChildResult::output.
  std::function<bool(const std::string& line)> onOutputLine;
  // Milliseconds the child may run; 0: no limit. When they run out, the
  // child's process group is killed.
  long long timeoutMs = 0;
  // The child's current folder; empty: ours.
  std::string workingDirectory;
  // Environment changes for the child: a value sets, nullopt removes.
  std::vector<std::pair<std::string, std::optional<std::string>>> env;
  // A detached child keeps our standard output and error (input stays /dev/null).
  bool keepOutput = false;
  // Run as this account: its groups, group and user are taken before the exec
  // (the caller must be privileged), and nothing is started when one fails.
  struct Identity {
    unsigned uid = 0;
    unsigned gid = 0;
    std::vector<unsigned> groups;
  };
  std::optional<Identity> identity;
  // A child that reads a document: it runs in a box (see sandbox.h) and
  // under the memory cap of config.ini (see memory_cap.h).
  std::optional<Confinement> confinement;
  // Called once a waited-for child has started, before the wait: the
  // caller's own work that can go on while the child runs. Answering false
  // stops the child (its process group is killed; ChildResult::stopped).
  std::function<bool()> whileRunning;
};

// Our environment with the options' changes: what a child starts with.
std::vector<std::string> ChildEnvironment(const ChildOptions& options);

struct ChildResult {
  bool started = false;
  int pid = 0;                  // the started program's process id (also for a detached child)
  bool exitedNormally = false;  // false: killed by a signal
  int exitCode = -1;            // exit status, or the signal number when killed
  bool timedOut = false;        // killed because its time ran out
  bool stopped = false;         // killed because whileRunning said so
  int startError = 0;           // errno of the step that kept the program from starting
  std::string refusal;          // why it was not started, when it was refused a box
  bool outOfMemory = false;     // stopped because it reached its memory cap
  long long memoryMB = 0;       // that cap
  std::string output;
};

// The last non-blank line a child wrote (trailing white space dropped);
// empty when it wrote none: what a failure's reason quotes.
std::string LastOutputLine(std::string output);

// Starts argv[0] (searched in PATH when it holds no "/") and, unless detached,
// waits for it while draining its output. A waited-for child runs in a
// process group of its own and is killed when this process dies.
ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

// The time limit of every child: config.ini (ConfigFile()), section
// "Watchdog", key "ChildSeconds" (default 900, 0: no limit). Read once per run.
constexpr int kDefaultChildSeconds = 900;
int WatchdogSeconds();

// The full path of a program found in PATH (as execvp would find it); empty
// when there is none.
std::string FindProgram(const std::string& name);
// We run as the superuser (some programs need to be told).
bool RunningAsRoot();

// Milliseconds from a fixed point; for elapsed times.
long long TickCountMs();
void SleepMs(int ms);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_PROCESS_H_
