// A memory cap for one child and everything it starts: a memory cgroup of
// its own below ours where the program may make one (cgroup v2 or v1), else
// a data-size limit set in the child before it starts. Running out of it
// stops the child like running out of time.
#ifndef SCRIVEX_PLATFORM_MEMORY_CAP_H_
#define SCRIVEX_PLATFORM_MEMORY_CAP_H_

#include <string>

#include "platform/unique_fd.h"

namespace scrivex::platform {

// config.ini (ConfigFile()), section "Watchdog", key "ChildMemoryMB"
// (default 2048, 0: none). Read once per run.
constexpr int kDefaultChildMemoryMB = 2048;
int ChildMemoryMB();

class MemoryCap {
 public:
  MemoryCap() = default;
  MemoryCap(const MemoryCap&) = delete;
  MemoryCap& operator=(const MemoryCap&) = delete;
  ~MemoryCap() { Release(); }

  // Makes the cap of `megabytes` (0: none); a cgroup when one can be made.
  void Prepare(long long megabytes);
  // In the forked child before its exec: joins the cgroup, or sets the limit.
  // Only async-signal-safe calls.
  void ApplyInChild() const;
  // The child's group hit the cap (its kernel killed a process for it).
  bool Exceeded() const;
  long long megabytes() const { return megabytes_; }
  // Kills what is left in the group and removes it.
  void Release();

 private:
  long long megabytes_ = 0;
  std::string group_;  // the cgroup's folder, with its trailing "/"
  bool v2_ = false;
  UniqueFd procs_;  // its cgroup.procs, open for the child to join
};

// Removes the caps that killed runs left below our cgroup.
void RemoveStaleMemoryCaps();

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_MEMORY_CAP_H_
