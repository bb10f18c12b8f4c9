#include "platform/replacement_file.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <vector>

#include "platform/files.h"
#include "platform/output_target.h"
#include "platform/path.h"
#include "platform/unique_fd.h"

namespace scrivex::platform {
namespace {

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

// Only letters and digits survive: the name must mean nothing to a child
// that reads orders out of file names.
std::string PlainExtension(const std::string& ext) {
  std::string plain = ".";
  for (char c : ext) {
    if (std::isalnum(static_cast<unsigned char>(c))) plain += c;
  }
  return plain.size() > 1 ? plain : ".tmp";
}

mode_t NewFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

void SyncDirectory(const std::string& dir) {
  UniqueFd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) fsync(fd.get());
}

}  // namespace

bool ReplacementFile::Create(const std::string& target, std::string* error, bool keepExtension) {
  Discard();
  if (target.empty()) {
    SetError(error, "no file name");
    return false;
  }
  // Another account's link, or a pipe where the file should be, is refused;
  // a link of our own is replaced at its end.
  std::string why;
  std::optional<std::string> resolved = ResolveOutputTarget(target, &why);
  if (!resolved) {
    SetError(error, why);
    return false;
  }
  struct stat st;
  const bool isLink = lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  target_ = isLink ? *resolved : target;
  PathParts parts = SplitPath(target_);
  std::string dir = parts.dir.empty() ? "./" : parts.dir;
  RemoveStaleStaging(dir);
  std::string ext = keepExtension ? PlainExtension(parts.ext) : ".tmp";
  std::string name = dir + kStagingPrefix + std::to_string(getpid()) + "-XXXXXX" + ext;
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  int fd = mkostemps(buf.data(), static_cast<int>(ext.size()), O_CLOEXEC);
  if (fd < 0) {
    SetError(error, Reason("cannot create a file in " + dir));
    return false;
  }
  fd_ = fd;
  path_ = buf.data();
  return true;
}

std::FILE* ReplacementFile::Stream() {
  if (!stream_ && fd_ >= 0) stream_ = fdopen(fd_, "w+b");
  return stream_;
}

bool ReplacementFile::CloseOwn() {
  bool ok = true;
  if (stream_) {
    ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
    ok = std::fclose(stream_) == 0 && ok;
  } else if (fd_ >= 0) {
    ok = close(fd_) == 0;
  }
  stream_ = nullptr;
  fd_ = -1;
  return ok;
}

bool ReplacementFile::Commit(std::string* error) {
  if (path_.empty()) {
    SetError(error, "nothing to commit");
    return false;
  }
  bool ok = CloseOwn();
  if (!ok) SetError(error, Reason("cannot write " + path_));
  if (ok) {
    // A child may have written or replaced the file by name: sync what the
    // name holds now, not the descriptor we created.
    UniqueFd fd(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    ok = fd.valid() && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && fsync(fd.get()) == 0;
    if (!ok) SetError(error, Reason("cannot sync " + path_));
  }
  if (ok) {
    struct stat old;
    mode_t mode = stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    chmod(path_.c_str(), mode);
    ok = rename(path_.c_str(), target_.c_str()) == 0;
    if (!ok) SetError(error, Reason("cannot replace " + target_));
  }
  if (!ok) {
    Discard();
    return false;
  }
  PathParts parts = SplitPath(target_);
  SyncDirectory(parts.dir.empty() ? "." : parts.dir);
  path_.clear();
  return true;
}

void ReplacementFile::Discard() {
  CloseOwn();
  if (!path_.empty()) unlink(path_.c_str());
  path_.clear();
}

StagingFolder::~StagingFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool StagingFolder::Create(const std::string& target, std::string* error) {
  PathParts parts = SplitPath(target);
  return CreateIn(parts.dir.empty() ? "./" : parts.dir, error);
}

bool StagingFolder::CreateIn(const std::string& dir, std::string* error) {
  RemoveStaleStaging(dir);
  std::string name = dir + kStagingPrefix + std::to_string(getpid()) + "-XXXXXX";
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    SetError(error, Reason("cannot create a folder in " + dir));
    return false;
  }
  path_ = std::string(buf.data()) + "/";
  return true;
}

namespace {
void SleepMsForCleanup(int ms) {
  struct timespec t = {0, ms * 1000000L};
  nanosleep(&t, nullptr);
}
std::optional<std::string> g_originalTmpdir;
bool g_inPrivateTemp = false;
}  // namespace

PrivateTempFolder::PrivateTempFolder() {
  const char* old = getenv("TMPDIR");
  std::optional<std::string> original = old ? std::optional<std::string>(old) : std::nullopt;
  // Without a folder of its own the run goes on in the shared one.
  if (!folder_.CreateIn(TempDirectory())) return;
  g_originalTmpdir = original;
  g_inPrivateTemp = true;
  setenv("TMPDIR", folder_.path().c_str(), 1);
  entered_ = true;
}

PrivateTempFolder::~PrivateTempFolder() {
  if (!entered_) return;
  // A child that was just stopped may still be closing files in it.
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::error_code ec;
    std::filesystem::remove_all(folder_.path(), ec);
    if (!std::filesystem::exists(folder_.path(), ec)) break;
    SleepMsForCleanup(5);
  }
  g_inPrivateTemp = false;
  if (g_originalTmpdir) {
    setenv("TMPDIR", g_originalTmpdir->c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

std::optional<std::string> PrivateTempFolder::OriginalValue() {
  if (g_inPrivateTemp) return g_originalTmpdir;
  const char* now = getenv("TMPDIR");
  return now ? std::optional<std::string>(now) : std::nullopt;
}

std::string PrivateTempFolder::OriginalDirectory() {
  return g_inPrivateTemp ? TempDirectoryOf(g_originalTmpdir.value_or("")) : TempDirectory();
}

void RemoveStaleStaging(const std::string& folder) {
  static std::set<std::string> seen;
  std::string dir = folder.empty() ? "./" : folder;
  if (!seen.insert(dir).second) return;
  const std::string prefix = kStagingPrefix;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-') continue;
    // Only our own: in a shared folder another account's entry is its business.
    struct stat st;
    if (lstat(entry.path().c_str(), &st) != 0 || st.st_uid != geteuid()) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // its owner runs
    std::error_code ignored;
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

}  // namespace scrivex::platform
