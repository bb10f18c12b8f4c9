// Path splitting and joining. A path splits into drive (always empty here),
// directory (with its trailing "/"), file name, and extension (with its dot).
#ifndef SCRIVEX_PLATFORM_PATH_H_
#define SCRIVEX_PLATFORM_PATH_H_

#include <string>
#include <string_view>

namespace scrivex::platform {

struct PathParts {
  std::string drive;
  std::string dir;
  std::string name;
  std::string ext;
};

PathParts SplitPath(const std::string& path);
std::string MakePath(const std::string& drive, const std::string& dir, const std::string& name,
                     const std::string& ext);
// A relative path made absolute against the current directory (no symlinks
// resolved, "." and ".." left as they are). Empty stays empty.
std::string FullPath(const std::string& path);

std::string ToLower(std::string text);
// Every byte but letters, digits and those in `keep` as "%xx" (lower-case
// hex), so the text fits a file name, an address or a field.
std::string PercentEncode(std::string_view text, std::string_view keep);
bool EqualsNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);
// True when the path's extension equals ext ("." included), ignoring case.
bool HasExtension(const std::string& path, const std::string& ext);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_PATH_H_
