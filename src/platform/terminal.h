// Whether a person is at the program's console: a prompt that waits for a key
// only makes sense then; in a pipe or a script loop it would block the run or
// eat the input meant for later commands.
#ifndef SCRIVEX_PLATFORM_TERMINAL_H_
#define SCRIVEX_PLATFORM_TERMINAL_H_

#include <cstdio>

namespace scrivex::platform {

// True when both standard input and standard output are terminals.
bool InteractiveConsole();

// True when standard error is a terminal: a person watches it, so a line
// that shows how far the work got may be drawn there.
bool StandardErrorIsTerminal();
// The width of standard error's terminal in columns; 0 when it cannot be told.
int StandardErrorColumns();

// The process's standard output as a stream of its own (not inherited by
// children); from then on file descriptor 1, for this process and its
// children, writes to standard error. Null when it cannot be done.
std::FILE* TakeStandardOutput();

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_TERMINAL_H_
