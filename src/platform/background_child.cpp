#include "platform/background_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/termination.h"

namespace scrivex::platform {
namespace {

constexpr size_t kTailBytes = 4096;

bool MakePipe(UniqueFd* readEnd, UniqueFd* writeEnd) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return false;
  readEnd->Reset(p[0]);
  writeEnd->Reset(p[1]);
  return true;
}

}  // namespace

BackgroundChild::~BackgroundChild() { Kill(); }

bool BackgroundChild::Start(const std::vector<std::string>& argv, const ChildOptions& options,
                            bool talk) {
  return Launch(argv, options, talk, false);
}

bool BackgroundChild::StartWithMessages(const std::vector<std::string>& argv,
                                        const ChildOptions& options) {
  return Launch(argv, options, false, true);
}

bool BackgroundChild::Launch(const std::vector<std::string>& argv, const ChildOptions& options,
                             bool talk, bool messages) {
  if (pid_ > 0 || argv.empty() || argv[0].empty()) return false;
  result_ = ChildResult{};
  pending_.clear();
  inbox_.clear();
  scanned_ = 0;
  std::vector<std::string> args = argv;
  if (options.confinement) {
    if (!PrepareConfinedCommand(*options.confinement, ConfiguredSandboxMode(), argv, &args,
                                &result_.refusal)) {
      return false;
    }
    if (!RunningConfined()) cap_.Prepare(ChildMemoryMB());
  }
  std::vector<std::string> env = ChildEnvironment(options);
  std::vector<char*> argp, envp;
  for (auto& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  UniqueFd inRead, inWrite, outRead, outWrite, tailRead, tailWrite, errRead, errWrite;
  if (!MakePipe(&tailRead, &tailWrite) || !MakePipe(&errRead, &errWrite)) return false;
  if (talk && (!MakePipe(&inRead, &inWrite) || !MakePipe(&outRead, &outWrite))) return false;
  UniqueFd ourEnd, theirEnd;
  if (messages) {
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return false;
    ourEnd.Reset(sv[0]);
    theirEnd.Reset(sv[1]);
  }
  UniqueFd devNull(open("/dev/null", O_RDWR | O_CLOEXEC));
  const char* workDir =
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();
  const pid_t parent = getpid();

  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    cap_.ApplyInChild();
    dup2(talk ? inRead.get() : devNull.get(), 0);
    dup2(talk ? outWrite.get() : tailWrite.get(), 1);
    dup2(tailWrite.get(), 2);
    if (theirEnd.valid()) {
      // Moved above 4 first: the socket itself may sit on 3 or 4.
      int channel = fcntl(theirEnd.get(), F_DUPFD_CLOEXEC, 10);
      if (channel < 0 || dup2(channel, 3) < 0 || dup2(channel, 4) < 0) _exit(127);
    }
    if (!workDir || chdir(workDir) == 0) execvpe(argp[0], argp.data(), envp.data());
    int err = errno;
    ssize_t ignored = write(errWrite.get(), &err, sizeof err);
    (void)ignored;
    _exit(127);
  }
  setpgid(pid, pid);
  errWrite.Reset();
  int execErr = 0;
  ssize_t got;
  do {
    got = read(errRead.get(), &execErr, sizeof execErr);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof execErr)) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    cap_.Release();
    return false;
  }
  pid_ = pid;
  result_.memoryMB = cap_.megabytes();
  AddBackgroundGroup(pid);
  result_.started = true;
  result_.pid = pid;
  deadline_ = options.timeoutMs > 0 ? TickCountMs() + options.timeoutMs : 0;
  tail_ = std::move(tailRead);
  fcntl(tail_.get(), F_SETFL, O_NONBLOCK);
  if (talk) {
    in_ = std::move(inWrite);
    out_ = std::move(outRead);
  }
  if (messages) {
    channel_ = std::move(ourEnd);
    fcntl(channel_.get(), F_SETFL, O_NONBLOCK);
  }
  return true;
}

void BackgroundChild::Drain() {
  char buf[8192];
  ssize_t got;
  while (tail_.valid() && (got = read(tail_.get(), buf, sizeof buf)) > 0) {
    result_.output.append(buf, static_cast<size_t>(got));
    if (result_.output.size() > 2 * kTailBytes) {
      result_.output.erase(0, result_.output.size() - kTailBytes);
    }
  }
}

void BackgroundChild::Reap(bool block) {
  if (pid_ <= 0) return;
  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) return;
  Drain();
  if (done == pid_) {
    if (WIFEXITED(status)) {
      result_.exitedNormally = true;
      result_.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      result_.exitCode = WTERMSIG(status);
    }
  }
  // Whatever the program left running in its group goes with it.
  kill(-pid_, SIGKILL);
  if (cap_.Exceeded()) result_.outOfMemory = true;
  cap_.Release();
  RemoveBackgroundGroup(pid_);
  pid_ = 0;
  in_.Reset();
  out_.Reset();
  tail_.Reset();
  channel_.Reset();
}

bool BackgroundChild::Expired() {
  if (pid_ > 0 && cap_.Exceeded()) {
    // Its kernel stopped one process at the cap: the rest goes, as on a time-out.
    result_.outOfMemory = true;
    Kill();
    return true;
  }
  if (pid_ <= 0 || deadline_ == 0 || TickCountMs() < deadline_) return false;
  result_.timedOut = true;
  Kill();
  return true;
}

bool BackgroundChild::Running() {
  if (pid_ <= 0 || Expired()) return false;
  Drain();
  Reap(false);
  return pid_ > 0;
}

bool BackgroundChild::Wait(long long ms) {
  const long long end = ms < 0 ? 0 : TickCountMs() + ms;
  while (Running()) {
    if (ms >= 0 && TickCountMs() >= end) return false;
    if (ms < 0 && deadline_ == 0) {
      Reap(true);
      return true;
    }
    SleepMs(10);
  }
  return true;
}

void BackgroundChild::Kill() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  Reap(true);
}

void BackgroundChild::RestartClock(long long timeoutMs) {
  if (pid_ > 0) deadline_ = timeoutMs > 0 ? TickCountMs() + timeoutMs : 0;
}

bool BackgroundChild::WriteLine(const std::string& line) {
  if (!in_.valid()) return false;
  std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(in_.get(), data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool BackgroundChild::ReadLine(std::string* line, long long ms) {
  const long long end = TickCountMs() + (ms < 0 ? 0 : ms);
  for (;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      *line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return true;
    }
    if (!out_.valid() || Expired()) return false;
    long long left = ms < 0 ? 1000 : end - TickCountMs();
    if (deadline_ > 0) left = std::min(left, deadline_ - TickCountMs());
    if (ms >= 0 && left <= 0) return false;
    pollfd fds[2] = {{out_.get(), POLLIN, 0}, {tail_.get(), POLLIN, 0}};
    int ready = poll(fds, 2, static_cast<int>(std::max(0LL, std::min(left, 1000LL))));
    if (ready < 0 && errno != EINTR) return false;
    if (fds[1].revents) Drain();
    if (ready > 0 && fds[0].revents) {
      char buf[8192];
      ssize_t got = read(out_.get(), buf, sizeof buf);
      if (got > 0) {
        pending_.append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        Reap(true);  // the child closed its output: it is ending
        return false;
      }
    }
  }
}

bool BackgroundChild::SendMessage(const std::string& message) {
  if (!channel_.valid()) return false;
  std::string data = message;
  data.push_back('\0');
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = send(channel_.get(), data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      if (Expired()) return false;
      pollfd fd = {channel_.get(), POLLOUT, 0};
      poll(&fd, 1, 100);
      continue;
    }
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool BackgroundChild::ReadMessage(std::string* message, long long ms) {
  const long long end = TickCountMs() + (ms < 0 ? 0 : ms);
  for (;;) {
    size_t nul = inbox_.find('\0', scanned_);
    if (nul != std::string::npos) {
      message->assign(inbox_, 0, nul);
      inbox_.erase(0, nul + 1);
      scanned_ = 0;
      return true;
    }
    scanned_ = inbox_.size();
    if (!channel_.valid() || Expired()) return false;
    // A message that has begun is waited for to its end.
    long long left = inbox_.empty() ? end - TickCountMs() : 1000;
    if (deadline_ > 0) left = std::min(left, deadline_ - TickCountMs());
    pollfd fds[2] = {{channel_.get(), POLLIN, 0}, {tail_.get(), POLLIN, 0}};
    int ready = poll(fds, 2, static_cast<int>(std::max(0LL, std::min(left, 1000LL))));
    if (ready < 0 && errno != EINTR) return false;
    if (fds[1].revents) Drain();
    if (ready > 0 && fds[0].revents) {
      char buf[65536];
      ssize_t got = read(channel_.get(), buf, sizeof buf);
      if (got > 0) {
        inbox_.append(buf, static_cast<size_t>(got));
        continue;
      }
      if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        channel_.Reset();  // the child closed its end: it is ending
        return false;
      }
    }
    if (inbox_.empty() && TickCountMs() >= end) return false;
  }
}

}  // namespace scrivex::platform
