#include "api/written_files.h"

#include <cstring>
#include <utility>

namespace scrivex {

void KeepWrittenFiles(WrittenFiles& kept, std::vector<std::string> paths) {
  std::lock_guard<std::mutex> lock(kept.mutex);
  kept.paths = std::move(paths);
}

int CopyWrittenFile(WrittenFiles& kept, int index, char* path, int size) {
  std::lock_guard<std::mutex> lock(kept.mutex);
  if (path == nullptr || index < 0 || static_cast<size_t>(index) >= kept.paths.size()) return -1;
  const std::string& found = kept.paths[static_cast<size_t>(index)];
  if (size < 0 || found.size() >= static_cast<size_t>(size)) return -1;
  std::memcpy(path, found.c_str(), found.size() + 1);
  return static_cast<int>(found.size());
}

}  // namespace scrivex
