#include "platform/terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace scrivex::platform {

bool InteractiveConsole() { return isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1; }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int StandardErrorColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

std::FILE* TakeStandardOutput() {
  std::fflush(stdout);
  const int saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved < 0) return nullptr;
  if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    close(saved);
    return nullptr;
  }
  std::FILE* stream = fdopen(saved, "w");
  if (stream == nullptr) close(saved);
  return stream;
}

}  // namespace scrivex::platform
