// Diagnostic trace of the Ghostscript runner. The texts are thrown away
// unless SCRIVEX_TRACE=1, which sends them to standard error.
#ifndef SCRIVEX_COMMON_TRACE_H_
#define SCRIVEX_COMMON_TRACE_H_

namespace scrivex {

// True when SCRIVEX_TRACE=1: the trace reaches standard error.
bool TraceEnabled();
void TraceMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Traces "ShowLastError:<message>:<unit>:<line>".
void ShowLastError(const char* message, const char* unit, int line);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_TRACE_H_
