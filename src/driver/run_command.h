// Running child programs from a command line.
#ifndef SCRIVEX_DRIVER_RUN_COMMAND_H_
#define SCRIVEX_DRIVER_RUN_COMMAND_H_

#include <string>
#include <vector>

namespace scrivex {

// Runs a command line (split by the Windows argument rules, no shell) and
// returns the child's exit code. A trailing "&" starts it detached (result 0
// at once); a trailing "|" is dropped. -1 when it is empty or cannot be
// started; the signal number when the child was killed.
int RunCommandLine(const std::string& commandLine);

// One argument in double quotes; a trailing run of backslashes is doubled so
// it cannot swallow the closing quote. The argument must hold no quote.
std::string QuoteArgument(const std::string& arg);
// Joins arguments into one command line, each in double quotes. Empty when an
// argument holds a double quote, which could smuggle options into the child.
std::string QuoteCommandLine(const std::vector<std::string>& args);
bool IsSafeArgument(const std::string& arg);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_RUN_COMMAND_H_
