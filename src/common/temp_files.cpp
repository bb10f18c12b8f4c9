#include "common/temp_files.h"

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

}  // namespace scrivex
