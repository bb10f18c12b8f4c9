#include "postscript/report_message.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace scrivex {

namespace {

constexpr int kWrapColumn = 78;
constexpr size_t kMessageBuffer = 256;

int g_column = 0;
std::string g_programName = "psselect";

void WritePiece(const char* text, size_t length) {
  if (length != 0 && g_column != 0 && g_column + static_cast<long>(length) > kWrapColumn) {
    std::fputc('\n', stderr);
    g_column = 0;
  }
  std::fwrite(text, 1, length, stderr);
  g_column += static_cast<int>(length);
}

}  // namespace

void SetMessageProgramName(const std::string& name) { g_programName = name; }

int MessageColumn() { return g_column; }

void ReportMessage(int flags, const char* format, ...) {
  char buffer[kMessageBuffer];
  size_t used = 0;
  if (flags & kFreshLine) {
    if (g_column != 0) std::fputc('\n', stderr);
    g_column = 0;
  }
  if (flags & kProgramName) {
    int n = std::snprintf(buffer, sizeof buffer, "%s: ", g_programName.c_str());
    used = n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof buffer - 1);
  }
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer + used, sizeof buffer - used, format, args);
  va_end(args);

  // Each line of the text goes out as one piece; a piece that would run past
  // the wrap column starts a new line.
  const char* piece = buffer;
  while (*piece != '\0') {
    const char* newline = std::strchr(piece, '\n');
    if (newline == nullptr) {
      WritePiece(piece, std::strlen(piece));
      break;
    }
    WritePiece(piece, static_cast<size_t>(newline - piece));
    std::fputc('\n', stderr);
    g_column = 0;
    piece = newline + 1;
  }
  std::fflush(stderr);
  if (flags & kFatal) throw SelectorFatal{};
}

}  // namespace scrivex
