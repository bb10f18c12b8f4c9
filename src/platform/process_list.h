// The running processes, read from /proc, and stopping one of them.
#ifndef SCRIVEX_PLATFORM_PROCESS_LIST_H_
#define SCRIVEX_PLATFORM_PROCESS_LIST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace scrivex::platform {

// The exit code a process that has not ended reports.
constexpr uint32_t STILL_ACTIVE = 259;

struct ProcessEntry {
  uint32_t pid = 0;
  std::string name;  // base name of its executable; "unknown" when that cannot be read
};

// Every process, by rising id; none when /proc cannot be read.
std::optional<std::vector<ProcessEntry>> ListProcesses();
uint32_t CurrentProcessId();
// STILL_ACTIVE while it runs; the exit status of one that ended and is not
// yet reaped; none when the process is gone or nothing can be read.
std::optional<uint32_t> ProcessExitCode(uint32_t pid);
// Whether we may signal it at all.
bool CanStopProcess(uint32_t pid);
// SIGKILL; false when it could not be sent.
bool StopProcess(uint32_t pid);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_PROCESS_LIST_H_
