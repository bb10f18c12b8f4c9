// Ending the program on SIGINT, SIGTERM or SIGHUP without leaving anything
// behind: the running child's process group is killed at once, the program
// notices the request, cleans up on its normal paths and then ends with the
// same signal. SIGPIPE is ignored: a closed output fails writes, and the
// batch still ends and cleans up.
#ifndef SCRIVEX_PLATFORM_TERMINATION_H_
#define SCRIVEX_PLATFORM_TERMINATION_H_

#include <sys/types.h>

namespace scrivex::platform {

void InstallTerminationHandlers();
// The signal that asked the program to end, 0 when none did.
int TerminationSignal();
// Ends the process with the signal that asked for it (when one did).
void EndWithTerminationSignal();

// The process group of the child being waited for (0: none); RunChild keeps it.
void SetRunningChildGroup(pid_t group);
// Process groups of children running in the background, killed the same way.
void AddBackgroundGroup(pid_t group);
void RemoveBackgroundGroup(pid_t group);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_TERMINATION_H_
