// Logging an account on: its password checked by PAM (service "scrivex") and
// the identity a process started for it takes.
#ifndef SCRIVEX_PLATFORM_LOGON_H_
#define SCRIVEX_PLATFORM_LOGON_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace scrivex::platform {

constexpr const char* kPamService = "scrivex";

struct Account {
  std::string name;
  unsigned uid = 0;
  unsigned gid = 0;
  std::vector<unsigned> groups;  // every group of the account, its own first
  std::string home;
};

// The account of that name from the password and group databases.
std::optional<Account> FindAccount(const std::string& name);

enum class LogonResult { kAccepted, kRefused, kUnavailable };
// Authenticates the password and checks the account is usable now.
// kRefused: wrong password, unknown, locked or expired account; kUnavailable:
// PAM itself failed.
LogonResult CheckAccountPassword(const std::string& user, const std::string& password);

// Only a privileged process may start one for another account.
bool IsPrivileged();

// Overwrites memory holding a secret; the compiler may not drop it.
void EraseSecret(void* data, size_t size);
void EraseSecret(std::string* secret);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_LOGON_H_
