#include "common/trace.h"

#include <cstdarg>
#include <cstdio>

#include "platform/files.h"

namespace scrivex {
bool TraceEnabled() {
  static const bool enabled = platform::GetEnv("SCRIVEX_TRACE") == "1";
  return enabled;
}

void TraceMessage(const char* format, ...) {
  if (!TraceEnabled()) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

void ShowLastError(const char* message, const char* unit, int line) {
  TraceMessage("ShowLastError:%s:%s:%d\n", message, unit, line);
}

}  // namespace scrivex
