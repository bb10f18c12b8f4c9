#include "driver/run_as_user.h"

#include <optional>

#include "platform/files.h"
#include "platform/logon.h"
#include "platform/process.h"
#include "platform/process_list.h"
#include "platform/replacement_file.h"

namespace scrivex {

int RunAsUser(const std::string& userName, const std::string& password,
              const std::vector<std::string>& arguments, int waitMs) {
  if (!platform::IsPrivileged()) return kErrorPrivilegeNotHeld;
  switch (platform::CheckAccountPassword(userName, password)) {
    case platform::LogonResult::kAccepted: break;
    case platform::LogonResult::kRefused: return kErrorLogonFailure;
    case platform::LogonResult::kUnavailable: return kErrorInvalidData;
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
