#include "driver/run_command.h"

#include "platform/process.h"

namespace scrivex {

bool IsSafeArgument(const std::string& arg) { return arg.find('"') == std::string::npos; }

std::string QuoteArgument(const std::string& arg) {
  size_t keep = arg.find_last_not_of('\\');
  size_t trailing = keep == std::string::npos ? arg.size() : arg.size() - keep - 1;
  return '"' + arg + std::string(trailing, '\\') + '"';
}

std::string QuoteCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!IsSafeArgument(arg)) return "";
    if (!line.empty()) line += ' ';
    line += QuoteArgument(arg);
  }
  return line;
}

int RunCommandLine(const std::string& commandLine) {
  if (commandLine.empty()) return -1;
  // No 2047-character cut: it would silently drop the end of a long
  // document-information text or a closing quote.
  std::string line = commandLine;
  platform::ChildOptions options;
  if (!line.empty() && line.back() == '&') {
    line.pop_back();
    options.detached = true;
  } else if (!line.empty() && line.back() == '|') {
    line.pop_back();
  }
  std::vector<std::string> argv = platform::SplitCommandLine(line);
  if (argv.empty()) return -1;
  platform::ChildResult result = platform::RunChild(argv, options);
  if (!result.started) return -1;
  return result.exitCode;
}

}  // namespace scrivex
