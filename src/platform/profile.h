// Private-profile (ini) files: case-insensitive sections and keys, other
// content and order kept, file and section created on write, atomic replace.
#ifndef SCRIVEX_PLATFORM_PROFILE_H_
#define SCRIVEX_PLATFORM_PROFILE_H_

#include <string>

namespace scrivex::platform {

std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& defaultValue);
int GetProfileInt(const std::string& file, const std::string& section, const std::string& key,
                  int defaultValue);
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_PROFILE_H_
