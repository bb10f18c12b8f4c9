#include "common/child_process.h"

#include "common/failure_reason.h"
#include "common/trace.h"
#include "platform/process.h"

namespace scrivex {

std::string FormatCommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& arg : argv) {
    if (!line.empty()) line += ' ';
    line += '"';
    size_t slashes = 0;
    for (char c : arg) {
      if (c == '\\') {
        ++slashes;
      } else {
        // Backslashes before a quote are doubled, the quote escaped.
        if (c == '"') line.append(slashes + 1, '\\');
        slashes = 0;
      }
      line += c;
    }
    line.append(slashes, '\\');
    line += '"';
  }
  return line;
}

namespace {

std::string ProgramName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The last few non-empty lines a child printed, as one line.
std::string LastLines(const std::string& output) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  std::string text;
  size_t first = lines.size() > 3 ? lines.size() - 3 : 0;
  for (size_t i = first; i < lines.size(); ++i) text += (text.empty() ? "" : " / ") + lines[i];
  return text;
}

// Runs the child under the watchdog (platform::WatchdogSeconds); notes why
// when it fails.
platform::ChildResult RunWatched(const std::vector<std::string>& argv,
                                 platform::ChildOptions options, std::string* why) {
  options.timeoutMs = 1000LL * platform::WatchdogSeconds();
  platform::ChildResult result = platform::RunChild(argv, options);
  NoteChildFailure(argv[0], result, why);
  return result;
}

}  // namespace

void NoteChildFailure(const std::string& program, const platform::ChildResult& result,
                      std::string* why) {
  if (why == nullptr || result.stopped) return;
  std::string name = ProgramName(program);
  if (!result.started) {
    NoteFailure(why, name + (result.refusal.empty() ? " could not be started"
                                                    : " was not started: " + result.refusal));
  } else if (result.outOfMemory) {
    NoteFailure(why, name + " ran out of memory (" + std::to_string(result.memoryMB) +
                         " MB) and was stopped");
  } else if (result.timedOut) {
    NoteFailure(why, name + " ran out of time after " +
                         std::to_string(platform::WatchdogSeconds()) + " seconds and was stopped");
  } else if (!result.exitedNormally) {
    NoteFailure(why, name + " was killed by signal " + std::to_string(result.exitCode));
  } else if (result.exitCode != 0) {
    std::string said = LastLines(result.output);
    NoteFailure(why, name + " failed with exit status " + std::to_string(result.exitCode) +
                         (said.empty() ? "" : ": " + said));
  }
}

int RunHiddenProcess(const std::vector<std::string>& argv, int* exitCode,
                     const HiddenProcessOptions& options) {
  if (exitCode) *exitCode = -1;
  if (TraceEnabled())
    TraceMessage("%s:%s:%d\n", FormatCommandLine(argv).c_str(), __FILE__, __LINE__);
  if (argv.empty() || argv[0].empty()) {
    ShowLastError("CreateProcess fail: empty command line", __FILE__, __LINE__);
    return 0;
  }
  platform::ChildOptions child;
  // The output is kept only for a failure's reason (a trace shows it all);
  // draining it keeps a chatty child from ever blocking on a full pipe.
  child.discardOutput = !TraceEnabled();
  child.captureOutput = TraceEnabled();
  child.env = options.env;
  child.workingDirectory = options.workingDirectory;
  child.confinement = options.confinement;
  child.onOutputLine = options.onOutputLine;
  child.whileRunning = options.whileRunning;
  platform::ChildResult result = RunWatched(argv, child, options.why);
  if (!result.started) {
    TraceMessage("CreateProcess fail, %s:%s:%d\n", argv[0].c_str(), __FILE__, __LINE__);
    return 0;
  }
  if (!result.output.empty()) TraceMessage("%s\n", result.output.c_str());
  if (options.outputTail) *options.outputTail = result.output;
  if (result.timedOut || result.outOfMemory || result.stopped) return 0;
  if (exitCode) *exitCode = result.exitCode;
  return 1;
}

int RunCommandLine(const std::vector<std::string>& argv, bool detached, std::string* why) {
  if (argv.empty() || argv[0].empty()) return -1;
  platform::ChildOptions options;
  options.detached = detached;
  options.discardOutput = true;
  platform::ChildResult result = RunWatched(argv, options, detached ? nullptr : why);
  return result.started && !result.timedOut ? result.exitCode : -1;
}

}  // namespace scrivex
