// Whether the programs conversions hand documents to can start at all: each
// is run once with --version in a scratch home of its own.
#ifndef SCRIVEX_SERVICE_PROGRAM_CHECK_H_
#define SCRIVEX_SERVICE_PROGRAM_CHECK_H_

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scrivex {

// The office and the browser, by the names the conversions look them up by.
const std::vector<std::string>& HelperPrograms();

// True when every program starts and exits 0 within timeoutMs; else why
// names the first that does not.
bool ProgramsStart(const std::vector<std::string>& programs, long long timeoutMs,
                   std::string* why);

// ProgramsStart's answer, kept for a while: starting an office on every
// health probe would cost more than the probe is worth.
class ProgramCheck {
 public:
  ProgramCheck(std::vector<std::string> programs, long long keepMs)
      : programs_(std::move(programs)), keepMs_(keepMs) {}
  ProgramCheck(const ProgramCheck&) = delete;
  ProgramCheck& operator=(const ProgramCheck&) = delete;
  ~ProgramCheck();  // waits for a check under way
  // The kept answer; the first call checks before it answers. An answer
  // older than keepMs is checked again in the background, so a probe never
  // waits for an office to start.
  bool Ok(std::string* why);

 private:
  void Check();

  std::vector<std::string> programs_;
  long long keepMs_;
  std::mutex mutex_;
  long long checkedMs_ = -1;
  bool checking_ = false;
  bool ok_ = false;
  std::string why_;
  std::thread checker_;
};

}  // namespace scrivex

#endif  // SCRIVEX_SERVICE_PROGRAM_CHECK_H_
