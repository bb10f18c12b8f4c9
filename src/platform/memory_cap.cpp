#include "platform/memory_cap.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/profile.h"

namespace scrivex::platform {
namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's shadow memory counts as data: a data limit would stop
// every instrumented child at its start.
constexpr bool kDataLimitUsable = false;
#else
constexpr bool kDataLimitUsable = true;
#endif

constexpr const char* kGroupPrefix = "scrivex-";

bool WriteText(const std::string& path, const std::string& text) {
  UniqueFd fd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
  return fd.valid() &&
         write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// The folder below which we may make groups: ours, in the memory hierarchy
// (v2 when its memory controller is there, else v1); empty when none.
std::string OwnGroup(bool* v2) {
  std::string table;
  if (!ReadWholeFile("/proc/self/cgroup", &table)) return "";
  std::istringstream lines(table);
  std::string line, v1Path, v2Path;
  while (std::getline(lines, line)) {
    size_t a = line.find(':'), b = line.find(':', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    std::string controllers = line.substr(a + 1, b - a - 1), path = line.substr(b + 1);
    if (controllers.empty()) v2Path = path;
    std::istringstream names(controllers);
    std::string name;
    while (std::getline(names, name, ',')) {
      if (name == "memory") v1Path = path;
    }
  }
  std::string controllers;
  if (!v2Path.empty() && ReadWholeFile("/sys/fs/cgroup/cgroup.controllers", &controllers) &&
      controllers.find("memory") != std::string::npos) {
    *v2 = true;
    return "/sys/fs/cgroup" + (v2Path == "/" ? "" : v2Path) + "/";
  }
  if (!v1Path.empty() && IsDirectory("/sys/fs/cgroup/memory")) {
    *v2 = false;
    return "/sys/fs/cgroup/memory" + (v1Path == "/" ? "" : v1Path) + "/";
  }
  return "";
}

// Kills what runs in a group and removes it; false when it stays.
bool RemoveGroup(const std::string& group) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::string procs;
    if (ReadWholeFile(group + "cgroup.procs", &procs)) {
      std::istringstream pids(procs);
      long pid;
      while (pids >> pid) kill(static_cast<pid_t>(pid), SIGKILL);
    }
    std::string dir = group.substr(0, group.size() - 1);
    if (rmdir(dir.c_str()) == 0 || errno == ENOENT) return true;
    SleepMs(2);
  }
  return false;
}

long long ReadCounter(const std::string& file, const std::string& key) {
  std::string text;
  if (!ReadWholeFile(file, &text)) return 0;
  std::istringstream lines(text);
  std::string name;
  long long value;
  while (lines >> name >> value) {
    if (name == key) return value;
  }
  return 0;
}

}  // namespace

int ChildMemoryMB() {
  static const int megabytes = GetProfileInt(ConfigFile(), "Watchdog",
                                             "ChildMemoryMB", kDefaultChildMemoryMB);
  return megabytes < 0 ? 0 : megabytes;
}

void MemoryCap::Prepare(long long megabytes) {
  Release();
  megabytes_ = megabytes > 0 ? megabytes : 0;
  if (megabytes_ == 0) return;
  static std::atomic<int> counter{0};
  std::string parent = OwnGroup(&v2_);
  if (parent.empty()) return;
  RemoveStaleMemoryCaps();
  std::string group =
      parent + kGroupPrefix + std::to_string(getpid()) + "-" + std::to_string(counter++) + "/";
  if (mkdir(group.c_str(), 0700) != 0) return;
  const std::string bytes = std::to_string(megabytes_ << 20);
  bool limited = v2_ ? WriteText(group + "memory.max", bytes)
                     : WriteText(group + "memory.limit_in_bytes", bytes);
  if (limited) {
    if (v2_) {
      WriteText(group + "memory.swap.max", "0");
      WriteText(group + "memory.oom.group", "1");  // the whole child goes, as on a time-out
    } else {
      WriteText(group + "memory.memsw.limit_in_bytes", bytes);
    }
    procs_.Reset(open((group + "cgroup.procs").c_str(), O_WRONLY | O_CLOEXEC));
  }
  group_ = group;
  if (!limited || !procs_.valid()) Release();
}

void MemoryCap::ApplyInChild() const {
  if (megabytes_ == 0) return;
  if (procs_.valid()) {
    if (write(procs_.get(), "0", 1) == 1) return;
  }
  if (kDataLimitUsable) {
    const rlim_t bytes = static_cast<rlim_t>(megabytes_) << 20;
    rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_DATA, &limit);
  }
}

bool MemoryCap::Exceeded() const {
  if (group_.empty()) return false;
  return v2_ ? ReadCounter(group_ + "memory.events", "oom_kill") > 0
             : ReadCounter(group_ + "memory.oom_control", "oom_kill") > 0;
}

void MemoryCap::Release() {
  procs_.Reset();
  if (!group_.empty()) RemoveGroup(group_);
  group_.clear();
}

void RemoveStaleMemoryCaps() {
  static std::atomic<bool> done{false};
  if (done.exchange(true)) return;
  bool v2 = false;
  std::string parent = OwnGroup(&v2);
  if (parent.empty()) return;
  std::error_code ec;
  const std::string prefix = kGroupPrefix;
  for (const auto& entry : std::filesystem::directory_iterator(parent, ec)) {
    std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid <= 0 || pid == getpid() || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
      continue;
    }
    RemoveGroup(entry.path().string() + "/");
  }
}

}  // namespace scrivex::platform
