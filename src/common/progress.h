// The process-wide progress callback of the PostScript-to-image functions.
#ifndef SCRIVEX_COMMON_PROGRESS_H_
#define SCRIVEX_COMMON_PROGRESS_H_

#include <string>

namespace scrivex {

// Returns 0 to stop the remaining post-processing, anything else to go on.
using ProgressCallback = int (*)(const char* path, const char* message, int value);

// Replaces any earlier callback; null removes it.
void SetProgressCallback(ProgressCallback cb);
// The callback's result, or 1 when none is set.
int InvokeProgressCallback(const std::string& path, const char* message, int value);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_PROGRESS_H_
