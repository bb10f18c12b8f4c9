#include "ghostscript/hidden_process.h"

#include "ghostscript/trace.h"
#include "platform/process.h"

namespace scrivex {

int RunHiddenProcess(const std::string& commandLine, int* exitCode, const EnvironmentChanges& env) {
  TraceMessage("%s:%s:%d\n", commandLine.c_str(), __FILE__, __LINE__);
  if (exitCode) *exitCode = -1;
  std::vector<std::string> argv = platform::SplitCommandLine(commandLine);
  if (argv.empty()) {
    ShowLastError("CreateProcess fail: empty command line", __FILE__, __LINE__);
    return 0;
  }
  platform::ChildOptions options;
  // The output is never looked at; sending it nowhere keeps a chatty child
  // from ever blocking on a full pipe. A trace collects it instead.
  options.discardOutput = !TraceEnabled();
  options.captureOutput = TraceEnabled();
  options.env = env;
  platform::ChildResult child = platform::RunChild(argv, options);
  if (!child.started) {
    TraceMessage("CreateProcess fail, %s:%s:%d\n", argv[0].c_str(), __FILE__, __LINE__);
    return 0;
  }
  if (!child.output.empty()) TraceMessage("%s\n", child.output.c_str());
  if (exitCode) *exitCode = child.exitCode;
  return 1;
}

}  // namespace scrivex
