// Progress and error messages of the page selector on standard error, wrapped
// at 78 columns. The column is shared by every run in the process.
#ifndef SCRIVEX_POSTSCRIPT_REPORT_MESSAGE_H_
#define SCRIVEX_POSTSCRIPT_REPORT_MESSAGE_H_

#include <string>

namespace scrivex {

enum ReportFlags {
  kFreshLine = 1,    // start on a new line
  kProgramName = 2,  // prefix "<program>: "
  kFatal = 4,        // end the selector run after writing
  kFatalError = kFreshLine | kProgramName | kFatal,
};

// Thrown by a fatal message; caught where the selector run ends, never beyond.
struct SelectorFatal {};

// The name used by kProgramName (the selector's argv[0]).
void SetMessageProgramName(const std::string& name);
// Characters on the current line of standard error.
int MessageColumn();

// printf-style; the text is cut to 255 characters. Throws SelectorFatal when
// kFatal is set.
void ReportMessage(int flags, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_REPORT_MESSAGE_H_
