#include "platform/named_objects.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/state_root.h"
#include "platform/unique_fd.h"

namespace scrivex::platform {

NamedMutex::~NamedMutex() { Close(); }

NamedMutex::Result NamedMutex::Create(const std::string& name) {
  Close();
  std::string path = RuntimeDirectory() + name + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Result::kFailed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    return err == EWOULDBLOCK ? Result::kAlreadyExists : Result::kFailed;
  }
  fd_ = fd;
  return Result::kCreated;
}

void NamedMutex::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

// The job counter: every queued or running process holds a lock on a file of
// its own in the jobs folder. The count is the number of held locks, so a
// process that crashed stops counting the moment its locks are gone.
namespace {

std::string JobsDirectory() {
  std::string dir = RuntimeDirectory() + "jobs/";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

int g_jobFd = -1;
pid_t g_jobPid = 0;  // a forked child does not inherit its parent's place
std::string g_jobPath;

int CountLiveJobs() {
  std::string dir = JobsDirectory();
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (!d) return 0;
  int count = 0;
  while (struct dirent* e = readdir(d.get())) {
    std::string name = e->d_name;
    if (name.rfind("job-", 0) != 0) continue;
    std::string path = dir + name;
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) continue;
    if (flock(fd.get(), LOCK_SH | LOCK_NB) != 0) {
      ++count;  // held by a live process
    } else {
      unlink(path.c_str());  // left behind by a process that died
    }
  }
  return count;
}

}  // namespace

int RaiseJobCounter() {
  if (g_jobFd >= 0 && g_jobPid != getpid()) {
    close(g_jobFd);
    g_jobFd = -1;
  }
  if (g_jobFd < 0) {
    std::string dir = JobsDirectory();
    std::string tmp = dir + "new-" + std::to_string(getpid()) + ".XXXXXX";
    std::vector<char> buf(tmp.begin(), tmp.end());
    buf.push_back('\0');
    int fd = mkostemp(buf.data(), O_CLOEXEC);
    if (fd >= 0) {
      // Locked before it gets the name the counters look at.
      std::string path = dir + "job-" + std::string(buf.data()).substr(dir.size() + 4);
      if (flock(fd, LOCK_EX) == 0 && rename(buf.data(), path.c_str()) == 0) {
        g_jobFd = fd;
        g_jobPid = getpid();
        g_jobPath = path;
      } else {
        unlink(buf.data());
        close(fd);
      }
    }
  }
  return CountLiveJobs();
}

int LowerJobCounter() {
  if (g_jobFd >= 0 && g_jobPid == getpid()) {
    unlink(g_jobPath.c_str());
    close(g_jobFd);
    g_jobFd = -1;
    g_jobPath.clear();
  }
  return CountLiveJobs();
}

int ReadJobCounter() { return CountLiveJobs(); }

}  // namespace scrivex::platform
