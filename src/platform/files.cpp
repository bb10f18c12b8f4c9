#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/output_target.h"
#include "platform/path.h"
#include "platform/replacement_file.h"
#include "platform/unique_fd.h"

namespace scrivex::platform {

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

long long FileSize(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

bool RemoveFile(const std::string& path) { return !path.empty() && unlink(path.c_str()) == 0; }

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  // link + unlink refuses an existing target atomically on one file system.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST || FileExists(to)) return false;
  if (errno == EXDEV || errno == EPERM || errno == EOPNOTSUPP) {
    if (!CopyFileTo(from, to, true)) return false;
    unlink(from.c_str());
    return true;
  }
  return false;
}

bool MoveFileReplace(const std::string& from, const std::string& to, std::string* why) {
  std::string ignored;
  if (!why) why = &ignored;
  if (from.empty() || to.empty()) {
    *why = "no file name";
    return false;
  }
  if (!CheckOutputTarget(to, why)) return false;
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) {
    *why = "cannot move " + from + " to " + to + ": " + std::strerror(errno);
    return false;
  }
  // Across file systems: copy next to the target, then rename over it.
  ReplacementFile copy;
  if (!copy.Create(to, why)) return false;
  if (!CopyFileTo(from, copy.path(), false)) {
    *why = "cannot copy " + from + " to " + copy.path();
    return false;
  }
  if (!copy.Commit(why)) return false;
  unlink(from.c_str());
  return true;
}

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    ssize_t w = write(fd, data + done, size - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.valid()) return false;
  struct stat st;
  if (fstat(in.get(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  UniqueFd out(open(to.c_str(), flags, st.st_mode & 0777));
  if (!out.valid()) return false;
  std::vector<char> buf(1 << 16);
  for (;;) {
    ssize_t n = read(in.get(), buf.data(), buf.size());
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out.get(), buf.data(), static_cast<size_t>(n))) return false;
  }
  return out.Reset();
}

bool WriteFileAtomically(const std::string& path, const std::string& data) {
  ReplacementFile file;
  return file.Create(path) && WriteAll(file.fd(), data.data(), data.size()) && file.Commit();
}

UniqueFd LockExistingFile(const std::string& path) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    // A FIFO would block the open for ever: never waited for, never locked.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (fd.valid() && (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) return UniqueFd();
    if (!fd.valid()) return fd;
    while (flock(fd.get(), LOCK_EX) != 0) {
      if (errno != EINTR) return UniqueFd();
    }
    struct stat held, now;
    if (fstat(fd.get(), &held) == 0 && stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
        held.st_ino == now.st_ino) {
      return fd;
    }
  }
  return UniqueFd();
}

bool ReadWholeFile(const std::string& path, std::string* data) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  std::string text;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.append(buf, static_cast<size_t>(n));
  }
  *data = std::move(text);
  return true;
}

namespace {

bool MatchFrom(const char* p, const char* n) {
  // Iterative glob with single-star backtracking.
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (*n) {
    if (*p == '*') {
      starP = p++;
      starN = n;
    } else if (*p == '?' || std::tolower(static_cast<unsigned char>(*p)) ==
                                std::tolower(static_cast<unsigned char>(*n))) {
      ++p;
      ++n;
    } else if (starP) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  if (MatchFrom(pattern.c_str(), name.c_str())) return true;
  // A trailing ".*" also matches names without a dot, as "*.*" matches everything.
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos) {
    return MatchFrom(pattern.c_str(), (name + ".").c_str());
  }
  return false;
}

std::vector<DirEntry> FindFiles(const std::string& pattern) {
  std::vector<DirEntry> entries;
  PathParts parts = SplitPath(pattern);
  std::string dir = parts.dir.empty() ? "./" : parts.dir;
  std::string namePattern = parts.name + parts.ext;
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (!d) return entries;
  while (struct dirent* e = readdir(d.get())) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchesWildcard(namePattern, name)) continue;
    DirEntry entry;
    entry.name = name;
    entry.isDirectory = IsDirectory(dir + name);
    entries.push_back(std::move(entry));
  }
  return entries;
}

namespace {

// The file mapped at the address: its path as /proc/self/maps shows it (links
// resolved); empty when the address lies in no file's mapping.
std::string MappedFileAt(uintptr_t address) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> maps(std::fopen("/proc/self/maps", "re"),
                                                       std::fclose);
  if (!maps) return "";
  char line[PATH_MAX + 128];
  while (std::fgets(line, sizeof line, maps.get())) {
    unsigned long long low = 0, high = 0;
    int pathAt = 0;
    if (std::sscanf(line, "%llx-%llx %*s %*s %*s %*s %n", &low, &high, &pathAt) < 2) continue;
    if (address < low || address >= high || pathAt <= 0 || line[pathAt] != '/') continue;
    std::string path(line + pathAt);
    while (!path.empty() && path.back() == '\n') path.pop_back();
    // A file replaced since it was loaded: its folder is still the one.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
    return path;
  }
  return "";
}

}  // namespace

std::string ExecutableFile() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string ProgramDirectory() {
  // The file holding this code: the program, or libscrivex.so when another
  // program loaded the library; both sit in the program directory.
  static const std::string dir = [] {
    std::string file = MappedFileAt(reinterpret_cast<uintptr_t>(&MappedFileAt));
    if (file.empty()) file = ExecutableFile();
    if (file.empty()) return std::string("./");
    std::string folder = SplitPath(file).dir;
    // The printer drivers and the text printer live in folders of the
    // program directory; they share its config.ini, converters and helpers.
    for (const char* sub : {"printers/", "windows/system32/"}) {
      const std::string tail = std::string("/") + sub;
      if (folder.size() > tail.size() &&
          folder.compare(folder.size() - tail.size(), tail.size(), tail) == 0) {
        return folder.substr(0, folder.size() - tail.size() + 1);
      }
    }
    return folder;
  }();
  return dir;
}

std::string ConfigFile() {
  return ChooseConfigFile(ProgramDirectory() + "config.ini", kSystemConfigFile);
}

std::string ChooseConfigFile(const std::string& besideProgram, const std::string& system) {
  if (FileExists(besideProgram) || !FileExists(system)) return besideProgram;
  return system;
}

std::string TempDirectory() { return TempDirectoryOf(GetEnv("TMPDIR")); }

std::string TempDirectoryOf(std::string dir) {
  if (dir.empty() || !IsDirectory(dir)) dir = "/tmp";
  // Children may run in other folders: the name must not depend on ours.
  dir = FullPath(dir);
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::string CreateUniqueFile(const std::string& dir, const std::string& prefix) {
  std::string templ = dir;
  if (!templ.empty() && templ.back() != '/') templ += '/';
  templ += prefix + "XXXXXX.tmp";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  int fd = mkstemps(buf.data(), 4);
  if (fd < 0) return "";
  close(fd);
  return std::string(buf.data());
}

std::FILE* OpenAnonymousTempFile() {
  std::string dir = TempDirectory();
  int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // File systems without unnamed files: a named one, unlinked at once.
    std::string name = CreateUniqueFile(dir, "scratch");
    if (name.empty()) return nullptr;
    fd = open(name.c_str(), O_RDWR | O_CLOEXEC);
    unlink(name.c_str());
    if (fd < 0) return nullptr;
  }
  std::FILE* file = fdopen(fd, "w+b");
  if (!file) close(fd);
  return file;
}

namespace {

long long MtimeNs(const struct stat& st) {
  return st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

void Walk(const std::string& dir, const std::string& rel, int depth, int maxDepth,
          std::set<std::pair<dev_t, ino_t>>* seen,
          const std::function<void(const std::string&, long long)>& onDirectory,
          const std::function<void(const std::string&, bool)>& onFile) {
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (!d) return;
  struct stat st;
  if (fstat(dirfd(d.get()), &st) != 0 || !seen->insert({st.st_dev, st.st_ino}).second) return;
  onDirectory(rel, MtimeNs(st));
  std::vector<std::pair<std::string, bool>> entries;  // name, is a directory
  while (dirent* e = readdir(d.get())) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    bool isDir = e->d_type == DT_DIR;
    bool isFile = e->d_type == DT_REG;
    if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
      struct stat target;
      if (fstatat(dirfd(d.get()), e->d_name, &target, 0) == 0) {
        isDir = S_ISDIR(target.st_mode);
        isFile = S_ISREG(target.st_mode);
      }
    }
    if (isDir || isFile) entries.emplace_back(e->d_name, isDir);
  }
  d.reset();
  std::sort(entries.begin(), entries.end());
  for (const auto& [name, isDir] : entries) {
    if (!isDir) {
      onFile(dir + "/" + name, depth == 0);
    } else if (depth < maxDepth) {
      Walk(dir + "/" + name, rel + "/" + name, depth + 1, maxDepth, seen, onDirectory, onFile);
    }
  }
}

}  // namespace

void WalkDirectoryTree(
    const std::string& root, int maxDepth,
    const std::function<void(const std::string& relative, long long mtimeNs)>& onDirectory,
    const std::function<void(const std::string& path, bool atTop)>& onFile) {
  std::set<std::pair<dev_t, ino_t>> seen;
  Walk(root, ".", 0, maxDepth, &seen, onDirectory, onFile);
}

bool FileTimeAndSize(const std::string& path, long long* mtimeNs, long long* size) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  *mtimeNs = MtimeNs(st);
  *size = static_cast<long long>(st.st_size);
  return true;
}

std::string CreateUniqueDirectory(const std::string& parent, const std::string& prefix) {
  std::string pattern = parent + prefix + "XXXXXX";
  return mkdtemp(pattern.data()) ? pattern : "";
}

bool ReadFileAt(const std::string& path, long long offset, void* buffer, size_t size) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd.valid() && offset >= 0 &&
         pread(fd.get(), buffer, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

bool SyncFile(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd.valid() && fsync(fd.get()) == 0;
}

bool IsPrivateDirectory(const std::string& dir) {
  struct stat st;
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool IsWritableDirectory(const std::string& dir) {
  return IsDirectory(dir) && access(dir.c_str(), W_OK | X_OK) == 0;
}

bool DiskIsFull(const std::string& dir) {
  struct statvfs fs;
  return statvfs(dir.c_str(), &fs) == 0 && fs.f_bavail == 0;
}

std::string CurrentDirectory() {
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  return ec ? std::string() : cwd.string();
}

std::string GetEnv(const std::string& name) {
  const char* v = getenv(name.c_str());
  return v ? std::string(v) : std::string();
}

}  // namespace scrivex::platform
