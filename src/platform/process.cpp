#include "platform/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/files.h"
#include "platform/memory_cap.h"
#include "platform/profile.h"
#include "platform/termination.h"
#include "platform/unique_fd.h"

extern char** environ;

namespace scrivex::platform {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  size_t i = 0, n = commandLine.size();
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (i < n && isBlank(commandLine[i])) ++i;
  if (i >= n) return args;

  // The program name: quotes group, backslashes are plain characters.
  std::string program;
  if (commandLine[i] == '"') {
    ++i;
    while (i < n && commandLine[i] != '"') program += commandLine[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !isBlank(commandLine[i])) program += commandLine[i++];
  }
  args.push_back(program);

  for (;;) {
    while (i < n && isBlank(commandLine[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !isBlank(commandLine[i]))) {
      char c = commandLine[i];
      if (c == '\\') {
        size_t slashes = 0;
        while (i < n && commandLine[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && commandLine[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(slashes, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
          arg += '"';  // "" inside quotes is a literal quote
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += c;
        ++i;
      }
    }
    args.push_back(arg);
  }
  return args;
}

std::vector<std::string> ChildEnvironment(const ChildOptions& options) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  for (const auto& [name, value] : options.env) {
    std::string prefix = name + "=";
    std::erase_if(env,
                  [&](const std::string& s) { return s.compare(0, prefix.size(), prefix) == 0; });
    if (value) env.push_back(prefix + *value);
  }
  return env;
}

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> ptrs;
  for (auto& s : strings) ptrs.push_back(s.data());
  ptrs.push_back(nullptr);
  return ptrs;
}

constexpr size_t kOutputTailBytes = 4096;

[[noreturn]] void ReportExecError(int fd) {
  int err = errno;
  ssize_t ignored = write(fd, &err, sizeof err);
  (void)ignored;
  _exit(127);
}

void KeepTail(std::string* output, const char* data, size_t size, bool whole) {
  output->append(data, size);
  if (!whole && output->size() > 2 * kOutputTailBytes) {
    output->erase(0, output->size() - kOutputTailBytes);
  }
}

// A line longer than this is no line a caller waits for: it is kept unread,
// so output without line ends never piles up here.
constexpr size_t kLongestReadLine = 4096;

// The child's output as it arrives: whole lines go to the caller's reader,
// and whatever it does not claim is kept.
struct OutputReader {
  const std::function<bool(const std::string&)>& onLine;
  bool whole;
  std::string partial;  // the start of a line whose end has not come yet

  void Take(const char* data, size_t size, std::string* output) {
    if (!onLine) {
      KeepTail(output, data, size, whole);
      return;
    }
    partial.append(data, size);
    size_t start = 0;
    for (size_t end; (end = partial.find('\n', start)) != std::string::npos; start = end + 1) {
      Offer(start, end, end + 1, output);
    }
    partial.erase(0, start);
    if (partial.size() > kLongestReadLine) {
      KeepTail(output, partial.data(), partial.size(), whole);
      partial.clear();
    }
  }

  // The last line, when the output did not end with one.
  void Finish(std::string* output) {
    if (onLine && !partial.empty()) Offer(0, partial.size(), partial.size(), output);
    partial.clear();
  }

 private:
  void Offer(size_t start, size_t end, size_t next, std::string* output) {
    size_t text = end;
    if (text > start && partial[text - 1] == '\r') --text;
    if (!onLine(partial.substr(start, text - start))) {
      KeepTail(output, partial.data() + start, next - start, whole);
    }
  }
};

// What a started child needs, gathered before the fork. The child may run on
// our memory (vfork) until its exec: it only reads this, and keeps its own
// variables in its own frames.
struct ChildStart {
  const ChildOptions& options;
  const MemoryCap& cap;
  pid_t parent;
  int devNull;
  int outPipe;  // the write end, or -1
  int errPipe;  // the write end, reporting a failed start
  int pidPipe;  // the write end, for a detached child's intermediate
  const std::vector<gid_t>& groups;
  char* const* argv;
  char* const* envp;
};

// The child's side of RunChild: only async-signal-safe calls.
[[noreturn]] __attribute__((noinline)) void StartChildProgram(const ChildStart& start) {
  const ChildOptions& options = start.options;
  signal(SIGPIPE, SIG_DFL);
  if (options.detached) {
    setsid();
    pid_t grandchild = fork();
    if (grandchild < 0) _exit(127);
    if (grandchild > 0) {
      ssize_t ignored = write(start.pidPipe, &grandchild, sizeof grandchild);
      (void)ignored;
      _exit(0);
    }
  } else {
    // A group of its own, killed as a whole on a time-out or a signal to
    // us; and it dies with us, however we end.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != start.parent) _exit(127);
    start.cap.ApplyInChild();
  }
  if (start.devNull >= 0) dup2(start.devNull, 0);
  if (start.outPipe >= 0) {
    dup2(start.outPipe, 1);
    dup2(start.outPipe, 2);
  } else if (start.devNull >= 0 && !options.keepOutput) {
    dup2(start.devNull, 1);
    dup2(start.devNull, 2);
  }
  if (options.identity) {
    // Nothing of ours reaches the other account but the three standard
    // streams (and the pipe that reports a failed start, closed by the exec).
    const unsigned reportFd = static_cast<unsigned>(start.errPipe);
    if (reportFd > 3) close_range(3, reportFd - 1, 0);
    close_range(reportFd + 1, ~0U, 0);
    // Groups first: after setuid nothing may change them any more.
    if (setgroups(start.groups.size(), start.groups.data()) != 0 ||
        setgid(options.identity->gid) != 0 || setuid(options.identity->uid) != 0) {
      ReportExecError(start.errPipe);
    }
  }
  if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
    ReportExecError(start.errPipe);
  }
  execvpe(start.argv[0], start.argv, start.envp);
  ReportExecError(start.errPipe);
}

// Waits for the child, draining its output, until it ends or the deadline
// (0: none) passes; then the child's whole process group is killed.
void WaitForChild(pid_t pid, int outFd, long long deadline, OutputReader& reader,
                  const MemoryCap& cap, ChildResult* result) {
  UniqueFd pidFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  bool exited = false;
  int status = 0;
  while (!exited) {
    if (!pidFd.valid() || outFd < 0) {
      // Without an exit notification, look every few milliseconds.
      pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid || (done < 0 && errno != EINTR)) {
        exited = true;
        break;
      }
    }
    int waitMs = pidFd.valid() || outFd >= 0 ? -1 : 5;
    if (cap.megabytes() > 0) {
      // The kernel stops one process at the cap; the rest goes with it.
      if (cap.Exceeded()) {
        result->outOfMemory = true;
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        break;
      }
      waitMs = waitMs < 0 ? 250 : std::min(waitMs, 250);
    }
    if (deadline > 0) {
      long long left = deadline - TickCountMs();
      if (left <= 0) {
        result->timedOut = true;
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        break;
      }
      waitMs = waitMs < 0 ? static_cast<int>(std::min(left, 1000000LL))
                          : static_cast<int>(std::min<long long>(left, waitMs));
    }
    pollfd fds[2];
    nfds_t n = 0;
    if (outFd >= 0) fds[n++] = {outFd, POLLIN, 0};
    if (pidFd.valid()) fds[n++] = {pidFd.get(), POLLIN, 0};
    int ready = n ? poll(fds, n, waitMs) : (SleepMs(waitMs), 0);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    if (outFd >= 0 && fds[0].revents) {
      char buf[8192];
      ssize_t got = read(outFd, buf, sizeof buf);
      if (got > 0) {
        reader.Take(buf, static_cast<size_t>(got), &result->output);
      } else if (got == 0 || errno != EINTR) {
        outFd = -1;  // end of output; a grandchild may keep it open, so stop reading
      }
    }
    if (pidFd.valid() && fds[n - 1].revents) exited = true;
  }
  if (outFd >= 0) {
    // What the child wrote just before it ended is still in the pipe.
    fcntl(outFd, F_SETFL, O_NONBLOCK);
    char buf[8192];
    ssize_t got;
    while ((got = read(outFd, buf, sizeof buf)) > 0) {
      reader.Take(buf, static_cast<size_t>(got), &result->output);
    }
  }
  reader.Finish(&result->output);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (cap.Exceeded()) result->outOfMemory = true;
  if (WIFEXITED(status)) {
    result->exitedNormally = true;
    result->exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result->exitCode = WTERMSIG(status);
  }
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
  ChildResult result;
  if (argv.empty() || argv[0].empty()) return result;

  std::vector<std::string> args = argv;
  MemoryCap cap;
  if (options.confinement) {
    if (!PrepareConfinedCommand(*options.confinement, ConfiguredSandboxMode(), argv, &args,
                                &result.refusal)) {
      return result;
    }
    if (!options.detached && !RunningConfined()) cap.Prepare(ChildMemoryMB());
    result.memoryMB = cap.megabytes();
  }
  std::vector<std::string> env = ChildEnvironment(options);
  std::vector<char*> argp = Pointers(args);
  std::vector<char*> envp = Pointers(env);

  UniqueFd errPipe[2];  // reports a failed exec back to us
  int ep[2];
  if (pipe2(ep, O_CLOEXEC) != 0) return result;
  errPipe[0].Reset(ep[0]);
  errPipe[1].Reset(ep[1]);

  const bool piped = !options.detached && (options.captureOutput || options.discardOutput);
  UniqueFd outPipe[2];
  if (piped) {
    int op[2];
    if (pipe2(op, O_CLOEXEC) != 0) return result;
    outPipe[0].Reset(op[0]);
    outPipe[1].Reset(op[1]);
  }
  UniqueFd pidPipe[2];  // a detached child's intermediate reports the program's id
  if (options.detached) {
    int pp[2];
    if (pipe2(pp, O_CLOEXEC) != 0) return result;
    pidPipe[0].Reset(pp[0]);
    pidPipe[1].Reset(pp[1]);
  }
  UniqueFd devNull;
  if (piped || options.detached) devNull.Reset(open("/dev/null", O_RDWR | O_CLOEXEC));
  std::vector<gid_t> groups;
  if (options.identity) {
    groups.assign(options.identity->groups.begin(), options.identity->groups.end());
  }
  const ChildStart start{.options = options,
                         .cap = cap,
                         .parent = getpid(),
                         .devNull = devNull.get(),
                         .outPipe = outPipe[1].get(),
                         .errPipe = errPipe[1].get(),
                         .pidPipe = pidPipe[1].get(),
                         .groups = groups,
                         .argv = argp.data(),
                         .envp = envp.data()};

  // A child that only sets up its descriptors and starts the program borrows
  // our memory until the exec (vfork): nothing of ours is copied, and it runs
  // at once on our processor instead of waiting for one while we go on. One
  // that takes another account (setuid reaches every thread of a process) or
  // leaves a grandchild behind gets a copy of its own.
  const bool borrowsMemory = !options.detached && !options.identity;
  pid_t pid = borrowsMemory ? vfork() : fork();
  if (pid < 0) {
    result.startError = errno;
    return result;
  }
  if (pid == 0) StartChildProgram(start);
  // A child of another account sets its group from here too: no race with a
  // signal. (One that borrowed our memory has done it already: we run again
  // only once it has started the program.)
  if (!options.detached && options.identity) setpgid(pid, pid);

  errPipe[1].Reset();
  outPipe[1].Reset();
  pidPipe[1].Reset();
  result.pid = pid;
  int execErr = 0;
  ssize_t got;
  do {
    got = read(errPipe[0].get(), &execErr, sizeof execErr);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof execErr)) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    result.startError = execErr;
    return result;  // exec failed
  }
  result.started = true;
  if (options.detached) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_t program = 0;
    if (read(pidPipe[0].get(), &program, sizeof program) == static_cast<ssize_t>(sizeof program)) {
      result.pid = program;
    } else {
      result.started = false;  // the intermediate could not fork
      result.startError = EAGAIN;
      return result;
    }
    result.exitedNormally = true;
    result.exitCode = 0;
    return result;
  }
  SetRunningChildGroup(pid);
  const long long deadline = options.timeoutMs > 0 ? TickCountMs() + options.timeoutMs : 0;
  if (options.whileRunning && !options.whileRunning()) {
    result.stopped = true;
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
  }
  OutputReader reader{options.onOutputLine, options.captureOutput, {}};
  WaitForChild(pid, outPipe[0].get(), deadline, reader, cap, &result);
  SetRunningChildGroup(0);
  return result;
}

std::string LastOutputLine(std::string output) {
  while (!output.empty() && std::isspace(static_cast<unsigned char>(output.back()))) {
    output.pop_back();
  }
  size_t nl = output.rfind('\n');
  return nl == std::string::npos ? output : output.substr(nl + 1);
}

int WatchdogSeconds() {
  static const int seconds =
      GetProfileInt(ConfigFile(), "Watchdog", "ChildSeconds", kDefaultChildSeconds);
  return seconds < 0 ? 0 : seconds;
}

std::string FindProgram(const std::string& name) {
  if (name.empty()) return "";
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

bool RunningAsRoot() { return geteuid() == 0; }

long long TickCountMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace scrivex::platform
