#include "common/child_process.h"

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

int RunHiddenProcess(const std::vector<std::string>& argv, int* exitCode,
                     const HiddenProcessOptions& options) {
  if (exitCode) *exitCode = -1;
  if (TraceEnabled()) TraceMessage("%s:%s:%d\n", FormatCommandLine(argv).c_str(), __FILE__, __LINE__);
  if (argv.empty() || argv[0].empty()) {
    ShowLastError("CreateProcess fail: empty command line", __FILE__, __LINE__);
    return 0;
  }
  platform::ChildOptions child;
  // The output is never looked at; sending it nowhere keeps a chatty child
  // from ever blocking on a full pipe. A trace collects it instead.
  child.discardOutput = !TraceEnabled();
  child.captureOutput = TraceEnabled();
  child.env = options.env;
  child.workingDirectory = options.workingDirectory;
  platform::ChildResult result = platform::RunChild(argv, child);
  if (!result.started) {
    TraceMessage("CreateProcess fail, %s:%s:%d\n", argv[0].c_str(), __FILE__, __LINE__);
    return 0;
  }
  if (!result.output.empty()) TraceMessage("%s\n", result.output.c_str());
  if (exitCode) *exitCode = result.exitCode;
  return 1;
}

int RunCommandLine(const std::vector<std::string>& argv, bool detached) {
  if (argv.empty() || argv[0].empty()) return -1;
  platform::ChildOptions options;
  options.detached = detached;
  platform::ChildResult result = platform::RunChild(argv, options);
  return result.started ? result.exitCode : -1;
}

}  // namespace scrivex
