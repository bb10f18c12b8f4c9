#include "platform/process.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

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

namespace {

std::vector<std::string> BuildEnvironment(const ChildOptions& options) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  for (const auto& [name, value] : options.env) {
    std::string prefix = name + "=";
    std::erase_if(env, [&](const std::string& s) { return s.compare(0, prefix.size(), prefix) == 0; });
    if (value) env.push_back(prefix + *value);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> ptrs;
  for (auto& s : strings) ptrs.push_back(s.data());
  ptrs.push_back(nullptr);
  return ptrs;
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
  ChildResult result;
  if (argv.empty() || argv[0].empty()) return result;

  std::vector<std::string> args = argv;
  std::vector<std::string> env = BuildEnvironment(options);
  std::vector<char*> argp = Pointers(args);
  std::vector<char*> envp = Pointers(env);

  UniqueFd errPipe[2];  // reports a failed exec back to us
  int ep[2];
  if (pipe2(ep, O_CLOEXEC) != 0) return result;
  errPipe[0].Reset(ep[0]);
  errPipe[1].Reset(ep[1]);

  UniqueFd outPipe[2];
  if (options.captureOutput && !options.detached) {
    int op[2];
    if (pipe2(op, O_CLOEXEC) != 0) return result;
    outPipe[0].Reset(op[0]);
    outPipe[1].Reset(op[1]);
  }
  UniqueFd devNull;
  if (options.discardOutput || options.detached) devNull.Reset(open("/dev/null", O_RDWR | O_CLOEXEC));
  const char* workDir = options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();

  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    // Child: only async-signal-safe calls from here on.
    if (options.detached) {
      setsid();
      pid_t grandchild = fork();
      if (grandchild < 0) _exit(127);
      if (grandchild > 0) _exit(0);
    }
    if (outPipe[1].valid()) {
      dup2(outPipe[1].get(), 1);
      dup2(outPipe[1].get(), 2);
    } else if (devNull.valid()) {
      dup2(devNull.get(), 0);
      dup2(devNull.get(), 1);
      dup2(devNull.get(), 2);
    }
    if (workDir && chdir(workDir) != 0) {
      int err = errno;
      ssize_t ignored = write(errPipe[1].get(), &err, sizeof err);
      (void)ignored;
      _exit(127);
    }
    execvpe(argp[0], argp.data(), envp.data());
    int err = errno;
    ssize_t ignored = write(errPipe[1].get(), &err, sizeof err);
    (void)ignored;
    _exit(127);
  }

  errPipe[1].Reset();
  outPipe[1].Reset();
  if (outPipe[0].valid()) {
    char buf[8192];
    for (;;) {
      ssize_t got = read(outPipe[0].get(), buf, sizeof buf);
      if (got > 0) {
        result.output.append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        break;
      }
    }
  }
  int execErr = 0;
  ssize_t got;
  do {
    got = read(errPipe[0].get(), &execErr, sizeof execErr);
  } while (got < 0 && errno == EINTR);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof execErr)) return result;  // exec failed
  result.started = true;
  if (options.detached) {
    result.exitedNormally = true;
    result.exitCode = 0;
    return result;
  }
  if (WIFEXITED(status)) {
    result.exitedNormally = true;
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.exitCode = WTERMSIG(status);
  }
  return result;
}

long long TickCountMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace scrivex::platform
