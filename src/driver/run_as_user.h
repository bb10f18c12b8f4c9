// Handing a whole request to another account: the account is logged on and
// the same program started again as that account, in a session of its own.
#ifndef SCRIVEX_DRIVER_RUN_AS_USER_H_
#define SCRIVEX_DRIVER_RUN_AS_USER_H_

#include <string>
#include <vector>

namespace scrivex {

// The codes the hand-off ends with, as the program reports them.
constexpr int kErrorInvalidData = 13;
constexpr int kErrorPrivilegeNotHeld = 1314;
constexpr int kErrorLogonFailure = 1326;

// Checks the password (PAM service "scrivex"), then starts the program again
// with the arguments (program path first, without "-#") as that account:
// its groups, group and user, a new session, our folder and environment with
// HOME, USER and LOGNAME of the account and no SCRIVEX_HOME, so it works in
// its own state folder. 0 once started (waiting up to waitMs for it to end
// when not 0); kErrorLogonFailure for a wrong password or an unknown or
// unusable account; kErrorPrivilegeNotHeld unless we run as root;
// kErrorInvalidData when PAM fails; an errno when the start fails.
// The password of "-# user:-": one line read from fd (standard input), its
// line end stripped, at most kCredentialBytes - 1 bytes kept. Read byte by
// byte, so nothing after the line is consumed; a terminal does not echo it.
// False when the line is empty or cannot be read.
bool ReadPasswordLine(int fd, std::string* password);

int RunAsUser(const std::string& userName, const std::string& password,
              const std::vector<std::string>& arguments, int waitMs);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_RUN_AS_USER_H_
