#include "driver/run_as_user.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "driver/options.h"
#include "platform/files.h"
#include "platform/logon.h"
#include "platform/process.h"
#include "platform/process_list.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

constexpr size_t kLongestLine = 4096;

// Echo off on a terminal for as long as the password is typed.
class QuietTerminal {
 public:
  explicit QuietTerminal(int fd) : fd_(fd) {
    if (!isatty(fd) || tcgetattr(fd, &saved_) != 0) return;
    struct termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet_ = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    if (quiet_) std::fputs("Password: ", stderr);
  }
  ~QuietTerminal() {
    if (!quiet_) return;
    tcsetattr(fd_, TCSAFLUSH, &saved_);
    std::fputs("\n", stderr);
  }
  QuietTerminal(const QuietTerminal&) = delete;
  QuietTerminal& operator=(const QuietTerminal&) = delete;

 private:
  int fd_;
  struct termios saved_ {};
  bool quiet_ = false;
};

}  // namespace

bool ReadPasswordLine(int fd, std::string* password) {
  platform::EraseSecret(password);
  password->clear();
  QuietTerminal terminal(fd);
  std::string line;
  line.reserve(kLongestLine);  // never reallocated: no stray copies
  char c = 0;
  for (;;) {
    ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    if (line.size() < kLongestLine) line.push_back(c);
  }
  c = 0;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const bool read = !line.empty();
  if (read) *password = line.substr(0, kCredentialBytes - 1);
  platform::EraseSecret(&line);
  return read;
}

int RunAsUser(const std::string& userName, const std::string& password,
              const std::vector<std::string>& arguments, int waitMs) {
  if (!platform::IsPrivileged()) return kErrorPrivilegeNotHeld;
  switch (platform::CheckAccountPassword(userName, password)) {
    case platform::LogonResult::kAccepted:
      break;
    case platform::LogonResult::kRefused:
      return kErrorLogonFailure;
    case platform::LogonResult::kUnavailable:
      return kErrorInvalidData;
  }
  std::optional<platform::Account> account = platform::FindAccount(userName);
  if (!account) return kErrorLogonFailure;
  const std::string program = platform::ExecutableFile();
  if (program.empty() || arguments.empty()) return kErrorInvalidData;

  platform::ChildOptions options;
  options.detached = true;  // a new session; nobody waits for it
  options.keepOutput = true;
  options.identity = platform::ChildOptions::Identity{account->uid, account->gid, account->groups};
  // Its own state folder, never ours: our hives decide what our later runs start.
  options.env = {{"HOME", account->home},
                 {"USER", account->name},
                 {"LOGNAME", account->name},
                 {"SCRIVEX_HOME", std::nullopt},
                 // Our private temporary folder is none of theirs.
                 {"TMPDIR", platform::PrivateTempFolder::OriginalValue()}};
  std::vector<std::string> argv = arguments;
  argv[0] = program;
  platform::ChildResult started = platform::RunChild(argv, options);
  if (!started.started) return started.startError != 0 ? started.startError : kErrorInvalidData;

  for (long long waited = 0; waitMs > 0 && waited < waitMs; waited += 50) {
    std::optional<uint32_t> code = platform::ProcessExitCode(static_cast<uint32_t>(started.pid));
    if (!code || *code != platform::STILL_ACTIVE) break;
    platform::SleepMs(50);
  }
  return 0;
}

}  // namespace scrivex
