#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/state_root.h"

namespace scrivex::platform {
namespace {

constexpr const char* kNewSuffix = ".new-";

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

// Held by a live creator: its exclusive lock is there.
bool IsHeld(int fd) {
  if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
    flock(fd, LOCK_UN);
    return false;
  }
  return errno == EWOULDBLOCK;
}

bool SameFile(int fd, const std::string& path) {
  struct stat held, named;
  return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

// Removes what has the name unless a live creator holds it; false when one does.
bool RemoveUnlessHeld(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (fd.valid() && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && IsHeld(fd.get())) {
    return false;
  }
  unlink(path.c_str());  // a dead run's block, a link, a FIFO: gone
  return true;
}

// Half-made blocks of runs that died between making and naming them.
void RemoveStaleNewBlocks(const std::string& dir, const std::string& name) {
  const std::string prefix = name + kNewSuffix;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) {
      RemoveUnlessHeld(entry.path().string());
    }
  }
}

}  // namespace

std::string SharedMemory::PathOf(const std::string& name) {
  return RuntimeDirectory() + name + ".block";
}

bool SharedMemory::Map(UniqueFd fd, size_t size, std::string* why) {
  void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  fd_ = std::move(fd);
  if (view == MAP_FAILED) {
    *why = Reason("the block cannot be mapped");
    return false;
  }
  data_ = static_cast<unsigned char*>(view);
  size_ = size;
  return true;
}

bool SharedMemory::Create(const std::string& name, size_t size, std::string* why) {
  Close();
  std::string ignored;
  if (!why) why = &ignored;
  const std::string path = PathOf(name);
  const std::string dir = RuntimeDirectory();
  RemoveStaleNewBlocks(dir, name);
  for (int attempt = 0; attempt < 2; ++attempt) {
    // Made under a private name and locked before it takes its own, so no
    // other run ever sees it unheld; link() never replaces an existing name.
    std::string made = dir + name + kNewSuffix + "XXXXXX";
    std::vector<char> buf(made.begin(), made.end());
    buf.push_back('\0');
    UniqueFd fd(mkostemp(buf.data(), O_CLOEXEC));  // mode 0600, a new file
    if (!fd.valid()) {
      *why = Reason("the block cannot be made in " + dir);
      return false;
    }
    made = buf.data();
    bool ready = fchmod(fd.get(), 0600) == 0 && flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
                 ftruncate(fd.get(), static_cast<off_t>(size)) == 0;
    if (!ready) {
      *why = Reason("the block " + made + " cannot be prepared");
      unlink(made.c_str());
      return false;
    }
    int linked = link(made.c_str(), path.c_str());
    int linkError = errno;
    unlink(made.c_str());
    if (linked == 0) {
      created_ = path;
      if (Map(std::move(fd), size, why)) return true;
      Close();
      return false;
    }
    if (linkError != EEXIST) {
      errno = linkError;
      *why = Reason("the block " + path + " cannot be named");
      return false;
    }
    if (!RemoveUnlessHeld(path)) {
      *why = "the block " + path + " is in use by another run";
      return false;
    }
  }
  *why = "the block " + path + " keeps being made by another run";
  return false;
}

bool SharedMemory::OpenExisting(const std::string& name, size_t size, std::string* why) {
  Close();
  std::string ignored;
  if (!why) why = &ignored;
  const std::string path = PathOf(name);
  UniqueFd fd(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    *why = Reason("the block " + path + " cannot be opened");
    return false;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = "the block " + path + " is not a file";
  } else if (st.st_uid != geteuid()) {
    *why = "the block " + path + " belongs to another account";
  } else if ((st.st_mode & 07777) != 0600) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    *why = "the block " + path + " is open to others (mode " + mode + ")";
  } else if (static_cast<size_t>(st.st_size) != size) {
    *why = "the block " + path + " has the wrong size";
  } else if (!IsHeld(fd.get())) {
    *why = "the block " + path + " was left by a run that ended";
  } else {
    return Map(std::move(fd), size, why);
  }
  return false;
}

void SharedMemory::Close() {
  if (data_) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
  // Only the block we made goes, not whatever took its name since.
  if (!created_.empty() && fd_.valid() && SameFile(fd_.get(), created_)) unlink(created_.c_str());
  created_.clear();
  fd_.Reset();
}

}  // namespace scrivex::platform
