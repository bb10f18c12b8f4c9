#include "platform/worker_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace scrivex::platform {

std::optional<WorkerProcess> ForkWorker(const std::function<int(int channel)>& serve) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return std::nullopt;
  UniqueFd parentEnd(ends[0]), childEnd(ends[1]);
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    parentEnd.Reset();
    // A run killed outright takes its workers (and through them their children) along.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    const int code = serve(childEnd.get());
    std::fflush(nullptr);
    _exit(code);
  }
  WorkerProcess worker;
  worker.pid = pid;
  worker.channel = std::move(parentEnd);
  return worker;
}

std::optional<WorkerProcess> StartWorkerProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::nullopt;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return std::nullopt;
  UniqueFd parentEnd(ends[0]), childEnd(ends[1]);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    // Only calls that are safe after fork in a threaded program from here.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (childEnd.get() == kWorkerChannelFd) {
      fcntl(kWorkerChannelFd, F_SETFD, 0);
    } else if (dup2(childEnd.get(), kWorkerChannelFd) < 0) {
      _exit(127);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  WorkerProcess worker;
  worker.pid = pid;
  worker.channel = std::move(parentEnd);
  return worker;
}

std::string ReapWorker(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return "lost";
  }
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
    return "ended with code " + std::to_string(WEXITSTATUS(status));
  return "";
}

void StopWorker(pid_t pid) {
  if (pid > 0) kill(pid, SIGTERM);
}

void KillWorker(pid_t pid) {
  if (pid > 0) kill(pid, SIGKILL);
}

std::optional<ClaimedFolder> ClaimNumberedFolder(const std::string& parent) {
  mkdir(parent.c_str(), 0700);
  struct stat st;
  // The parent lies in the private state folder; still, never a planted link.
  if (lstat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid())
    return std::nullopt;
  for (int n = 0; n < 1024; ++n) {
    const std::string name = parent + std::to_string(n);
    UniqueFd lock(open((name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.valid()) return std::nullopt;
    if (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) continue;  // a live run holds it
    mkdir(name.c_str(), 0700);
    if (lstat(name.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid())
      return std::nullopt;
    ClaimedFolder claimed;
    claimed.path = name + "/";
    claimed.lock = std::move(lock);
    return claimed;
  }
  return std::nullopt;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool OutputCapture::Start() {
  out_.Reset(memfd_create("standard-output", MFD_CLOEXEC));
  err_.Reset(memfd_create("standard-error", MFD_CLOEXEC));
  if (!out_.valid() || !err_.valid()) return false;
  std::fflush(nullptr);
  return dup2(out_.get(), STDOUT_FILENO) >= 0 && dup2(err_.get(), STDERR_FILENO) >= 0;
}

namespace {

// What the file holds; then it is empty again, for the next request.
std::string Drain(int fd) {
  std::string bytes;
  char buffer[65536];
  off_t at = 0;
  ssize_t n;
  while ((n = pread(fd, buffer, sizeof buffer, at)) > 0 || (n < 0 && errno == EINTR)) {
    if (n < 0) continue;
    bytes.append(buffer, static_cast<size_t>(n));
    at += n;
  }
  if (ftruncate(fd, 0) == 0) lseek(fd, 0, SEEK_SET);
  return bytes;
}

}  // namespace

void OutputCapture::Take(std::string* out, std::string* err) {
  std::fflush(stdout);
  std::fflush(stderr);
  *out = out_.valid() ? Drain(out_.get()) : "";
  *err = err_.valid() ? Drain(err_.get()) : "";
}

}  // namespace scrivex::platform
