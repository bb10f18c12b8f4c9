#include "main/service/program_check.h"

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

ProgramCheck::~ProgramCheck() {
  if (checker_.joinable()) checker_.join();
}

void ProgramCheck::Check() {
  std::string why;
  const bool ok = ProgramsStart(programs_, 30000, &why);
  std::lock_guard<std::mutex> lock(mutex_);
  ok_ = ok;
  why_ = why;
  checkedMs_ = platform::TickCountMs();
  checking_ = false;
}

bool ProgramCheck::Ok(std::string* why) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (checkedMs_ < 0 && !checking_) {
    checking_ = true;
    lock.unlock();
    Check();
    lock.lock();
  } else if (!checking_ && platform::TickCountMs() - checkedMs_ >= keepMs_) {
    checking_ = true;
    if (checker_.joinable()) checker_.join();  // done: checking_ was false
    checker_ = std::thread([this] { Check(); });
  }
  if (!ok_) *why = why_.empty() ? "the office and browser are being checked" : why_;
  return ok_;
}

}  // namespace scrivex
