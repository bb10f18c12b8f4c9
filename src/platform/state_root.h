// The state root: where hives, locks and shared objects live ($SCRIVEX_HOME,
// default ~/.local/share/scrivex). Named objects are private to one root.
#ifndef SCRIVEX_PLATFORM_STATE_ROOT_H_
#define SCRIVEX_PLATFORM_STATE_ROOT_H_

#include <string>

namespace scrivex::platform {

// The root with a trailing "/", created when missing: $SCRIVEX_HOME, else
// ~/.local/share/scrivex of the account.
std::string StateRoot();
// The root is usable: a directory of this user that nobody else may write.
// False with *error naming the folder and why.
bool CheckStateRoot(std::string* error);
// A folder under the root for locks and shared memory, created when missing.
std::string RuntimeDirectory();

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_STATE_ROOT_H_
