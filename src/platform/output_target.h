// Whether a name may be written: other accounts must not be able to steer
// an output of ours onto a file of their choice through links, nor stall a
// run with a pipe or a device where a file should be.
#ifndef SCRIVEX_PLATFORM_OUTPUT_TARGET_H_
#define SCRIVEX_PLATFORM_OUTPUT_TARGET_H_

#include <optional>
#include <string>

namespace scrivex::platform {

// Resolves the links in path, one by one, and returns where a write to it
// lands (made absolute, links and "." resolved; a missing last component, or
// a link to a file not made yet, is kept as a name to create). Refused, with
// *why set, when any link on the way is owned by an account other than us
// and root, or lies in a world-writable sticky folder (like /tmp) while
// neither we nor the folder's owner made it (the kernel's rule for protected
// links, whether or not the kernel enforces it), and when what the name ends
// at exists but is not a regular file (a directory, FIFO, device or socket).
// Links of our own are followed.
std::optional<std::string> ResolveOutputTarget(const std::string& path, std::string* why);

// The same check when only the verdict is needed.
bool CheckOutputTarget(const std::string& path, std::string* why);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_OUTPUT_TARGET_H_
