#include "driver/temp_files.h"

#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {

std::string GetTempDirectory() { return platform::TempDirectory(); }

std::string MakeTempFileName(const std::string& extension) {
  std::string name = platform::CreateUniqueFile(GetTempDirectory(), "pdf");
  if (name.empty()) return name;
  platform::RemoveFile(name);
  return name + extension;
}

std::string MakeTempFileNameBeside(const std::string& path, const std::string& prefix) {
  platform::PathParts parts = platform::SplitPath(path);
  std::string dir = parts.drive + parts.dir;
  std::string unique = platform::CreateUniqueFile(dir.empty() ? "./" : dir, prefix);
  if (unique.empty()) return "";
  platform::RemoveFile(unique);
  return unique + parts.ext;
}

}  // namespace scrivex
