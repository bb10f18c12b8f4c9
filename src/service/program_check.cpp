#include "service/program_check.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/replacement_file.h"

namespace scrivex {

const std::vector<std::string>& HelperPrograms() {
  static const std::vector<std::string> programs = {"soffice", "chromium"};
  return programs;
}

bool ProgramsStart(const std::vector<std::string>& programs, long long timeoutMs,
                   std::string* why) {
  for (const std::string& program : programs) {
    const std::string path = platform::FindProgram(program);
    if (path.empty()) {
      *why = program + " cannot be found";
      return false;
    }
    // Whatever it writes at start (a profile, a lock) goes with this folder.
    platform::StagingFolder home;
    std::string error;
    if (!home.CreateIn(platform::TempDirectory(), &error)) {
      *why = "no scratch folder to start " + program + ": " + error;
      return false;
    }
    platform::ChildOptions options;
    options.captureOutput = true;
    options.timeoutMs = timeoutMs;
    for (const char* name : {"HOME", "TMPDIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
      options.env.emplace_back(name, home.path());
    const platform::ChildResult r = platform::RunChild({path, "--version"}, options);
    if (!r.started || r.timedOut || !r.exitedNormally || r.exitCode != 0) {
      const std::string last = platform::LastOutputLine(r.output);
      *why = program + " cannot start" +
             (!r.started   ? std::string(" (not started)")
              : r.timedOut ? " (no answer in " + std::to_string(timeoutMs / 1000) + " s)"
                           : " (exit " + std::to_string(r.exitCode) + ")") +
             (last.empty() ? "" : ": " + last);
      return false;
    }
  }
  return true;
}

bool ProgramCheck::Ok(std::string* why) {
  std::lock_guard<std::mutex> lock(mutex_);
  const long long now = platform::TickCountMs();
  if (checkedMs_ < 0 || now - checkedMs_ >= keepMs_) {
    why_.clear();
    ok_ = ProgramsStart(programs_, 30000, &why_);
    checkedMs_ = platform::TickCountMs();
  }
  if (!ok_) *why = why_;
  return ok_;
}

}  // namespace scrivex
