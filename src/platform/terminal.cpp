#include "platform/terminal.h"

#include <unistd.h>

namespace scrivex::platform {

bool InteractiveConsole() { return isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1; }

}  // namespace scrivex::platform
