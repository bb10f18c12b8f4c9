#include "platform/path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace scrivex::platform {

PathParts SplitPath(const std::string& path) {
  PathParts parts;
  size_t slash = path.find_last_of('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  parts.dir = path.substr(0, nameStart);
  std::string file = path.substr(nameStart);
  size_t dot = file.find_last_of('.');
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string::npos || dot == 0) {
    parts.name = file;
  } else {
    parts.name = file.substr(0, dot);
    parts.ext = file.substr(dot);
  }
  return parts;
}

std::string MakePath(const std::string& drive, const std::string& dir, const std::string& name,
                     const std::string& ext) {
  std::string path = drive + dir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  if (!ext.empty()) {
    if (ext[0] != '.') path += '.';
    path += ext;
  }
  return path;
}

std::string FullPath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return path;
  std::string base = cwd.string();
  if (base.empty() || base.back() != '/') base += '/';
  std::string rel = path;
  while (rel.size() >= 2 && rel.compare(0, 2, "./") == 0) rel.erase(0, 2);
  if (rel == ".") rel.clear();
  return base + rel;
}

std::string PercentEncode(std::string_view text, std::string_view keep) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || (c != 0 && keep.find(static_cast<char>(c)) != std::string_view::npos)) {
      out += static_cast<char>(c);
    } else {
      out += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out;
}

std::string ToLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ToLower(a) == ToLower(b);
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool HasExtension(const std::string& path, const std::string& ext) {
  return EqualsNoCase(SplitPath(path).ext, ext);
}

}  // namespace scrivex::platform
