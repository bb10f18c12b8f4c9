#include "platform/state_root.h"

#include <filesystem>

#include "platform/files.h"

namespace scrivex::platform {

namespace {
std::string EnsureDirectory(std::string dir) {
  if (dir.back() != '/') dir += '/';
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}
}  // namespace

std::string StateRoot() {
  std::string root = GetEnv("SCRIVEX_HOME");
  if (root.empty()) {
    std::string home = GetEnv("HOME");
    if (home.empty()) home = "/tmp";
    root = home + "/.local/share/scrivex";
  }
  return EnsureDirectory(root);
}

std::string RuntimeDirectory() { return EnsureDirectory(StateRoot() + "run"); }

}  // namespace scrivex::platform
