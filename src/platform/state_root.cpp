#include "platform/state_root.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/path.h"

namespace scrivex::platform {

namespace {
std::string EnsureDirectory(std::string dir) {
  if (dir.empty()) return dir;
  if (dir.back() != '/') dir += '/';
  std::error_code ec;
  std::filesystem::path path(dir.substr(0, dir.size() - 1));
  std::filesystem::create_directories(path.parent_path(), ec);
  mkdir(path.c_str(), 0700);  // private from the start
  return dir;
}
}  // namespace

namespace {

// The account's own home: $HOME, else the password database; never a
// shared temporary folder.
std::string AccountHome() {
  std::string home = GetEnv("HOME");
  if (!home.empty() && home[0] == '/') return home;
  struct passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

std::string RootPath() {
  std::string root = GetEnv("SCRIVEX_HOME");
  if (!root.empty()) return FullPath(root);
  std::string home = AccountHome();
  return home.empty() ? "" : home + "/.local/share/scrivex";
}

}  // namespace

std::string StateRoot() { return EnsureDirectory(RootPath()); }

bool CheckStateRoot(std::string* error) {
  std::string root = RootPath();
  if (root.empty()) {
    *error = "no state folder: neither SCRIVEX_HOME nor a home directory is set";
    return false;
  }
  EnsureDirectory(root);
  struct stat st;
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = "the state folder " + root + " is not a directory";
  } else if (st.st_uid != geteuid()) {
    *error = "the state folder " + root + " belongs to another user";
  } else if (st.st_mode & (S_IWGRP | S_IWOTH)) {
    *error = "the state folder " + root + " is writable by others";
  } else if (access(root.c_str(), W_OK) != 0) {
    *error = "the state folder " + root + " cannot be written";
  } else {
    return true;
  }
  return false;
}

std::string RuntimeDirectory() { return EnsureDirectory(StateRoot() + "run"); }

}  // namespace scrivex::platform
