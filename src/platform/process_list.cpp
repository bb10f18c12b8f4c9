#include "platform/process_list.h"

#include <dirent.h>
#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

namespace scrivex::platform {

namespace {

bool ParsePid(const char* text, uint32_t* pid) {
  if (text == nullptr || *text < '1' || *text > '9') return false;
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 10);
  if (*end != '\0' || value > UINT32_MAX) return false;
  *pid = static_cast<uint32_t>(value);
  return true;
}

std::string ExecutableName(uint32_t pid) {
  char buf[PATH_MAX];
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return "unknown";
  std::string path(buf, static_cast<size_t>(n));
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() ? "unknown" : name;
}

}  // namespace

std::optional<std::vector<ProcessEntry>> ListProcesses() {
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return std::nullopt;
  std::vector<ProcessEntry> list;
  while (dirent* entry = readdir(proc.get())) {
    uint32_t pid = 0;
    if (ParsePid(entry->d_name, &pid)) list.push_back({pid, ExecutableName(pid)});
  }
  std::sort(list.begin(), list.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return list;
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

std::optional<uint32_t> ProcessExitCode(uint32_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return std::nullopt;
  // The name in parentheses may hold blanks and parentheses: fields follow the last ")".
  size_t close = text.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 1));
  std::string state;
  fields >> state;
  if (state != "Z" && state != "X") return STILL_ACTIVE;
  // Ended: its exit status is the last field (readable by whoever may trace it).
  std::string field, last;
  while (fields >> field) last = field;
  if (last.empty()) return std::nullopt;
  int status = std::atoi(last.c_str());
  if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
  return std::nullopt;
}

bool CanStopProcess(uint32_t pid) {
  return pid != 0 && pid <= INT_MAX && kill(static_cast<pid_t>(pid), 0) == 0;
}

bool StopProcess(uint32_t pid) {
  return pid != 0 && pid <= INT_MAX && kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

}  // namespace scrivex::platform
