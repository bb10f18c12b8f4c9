#include "platform/sandbox.h"

#include <limits.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/profile.h"

namespace scrivex::platform {
namespace {

// Read-only and only what programs read: no home folders, no /root, no
// /etc/shadow, no /run with the sockets of other services. Each is a mount,
// and mounts are most of a box's start: a box gets the base, the names and
// certificates only with the network, and what its program names.
constexpr const char* kBasePaths[] = {
    "/usr",
    "/etc/fonts",
    "/etc/ld.so.cache",
    "/etc/ld.so.conf",
    "/etc/ld.so.conf.d",
    "/etc/alternatives",
    "/etc/localtime",
    "/var/cache/fontconfig",
    // Folders of the root that a merged /usr makes links.
    "/bin",
    "/sbin",
    "/lib",
    "/lib32",
    "/lib64",
    "/libx32",
};
constexpr const char* kNetworkPaths[] = {
    "/etc/ssl",           "/etc/ca-certificates", "/etc/hosts",    "/etc/resolv.conf",
    "/etc/nsswitch.conf", "/etc/host.conf",       "/etc/gai.conf",
};

constexpr const char* kBoxPath = "/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin";

struct Probe {
  bool usable = false;
  std::string bwrap;
  std::string why;
};

// Whether bubblewrap can make a box here: a container without user
// namespaces refuses them. A forked child tries the namespaces the box
// uses, which costs a millisecond where starting bubblewrap costs ten.
Probe ProbeSandbox() {
  Probe probe;
  probe.bwrap = FindProgram("bwrap");
  if (probe.bwrap.empty()) {
    probe.why = "bubblewrap (bwrap) is not installed";
    return probe;
  }
  pid_t pid = fork();
  if (pid == 0) {
    _exit(unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWPID | CLONE_NEWNET | CLONE_NEWIPC) == 0
              ? 0
              : errno);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    probe.why = "the kernel's namespaces could not be tried";
    return probe;
  }
  probe.usable = WEXITSTATUS(status) == 0;
  if (!probe.usable) {
    probe.why = std::string("the kernel refuses the namespaces a box needs (") +
                std::strerror(WEXITSTATUS(status)) + ")";
  }
  return probe;
}

const Probe& CachedProbe() {
  static std::once_flag once;
  static Probe probe;
  std::call_once(once, [] { probe = ProbeSandbox(); });
  return probe;
}

}  // namespace

SandboxMode ParseSandboxMode(const std::string& text) {
  if (EqualsNoCase(text, "required")) return SandboxMode::kRequired;
  if (EqualsNoCase(text, "off")) return SandboxMode::kOff;
  return SandboxMode::kAuto;
}

SandboxMode ConfiguredSandboxMode() {
  static const SandboxMode mode = ParseSandboxMode(
      GetProfileString(ConfigFile(), "Sandbox", "Mode", "auto"));
  return mode;
}

bool RunningConfined() { return !GetEnv(kConfinedVariable).empty(); }

std::vector<std::string> SystemPaths(const Confinement& box) {
  std::vector<std::string> paths(std::begin(kBasePaths), std::end(kBasePaths));
  if (box.network) paths.insert(paths.end(), std::begin(kNetworkPaths), std::end(kNetworkPaths));
  paths.insert(paths.end(), box.configuration.begin(), box.configuration.end());
  return paths;
}

std::vector<std::string> ConfinedCommand(const std::string& bwrap, const Confinement& box,
                                         const std::vector<std::string>& systemPaths,
                                         const std::vector<std::string>& argv) {
  std::vector<std::string> command = {bwrap,           "--unshare-all", "--die-with-parent",
                                      "--new-session", "--cap-drop",    "ALL"};
  if (box.network) command.push_back("--share-net");
  for (const std::string& path : systemPaths) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;  // not on this system
    char target[4096];
    ssize_t n = -1;
    // A link of the root (/lib -> usr/lib) stays a link, so that the
    // libraries' own paths still resolve.
    if (path.rfind("/etc/", 0) != 0 && S_ISLNK(st.st_mode) &&
        (n = readlink(path.c_str(), target, sizeof target)) > 0) {
      command.insert(command.end(),
                     {"--symlink", std::string(target, static_cast<size_t>(n)), path});
    } else {
      command.insert(command.end(), {"--ro-bind-try", path, path});
    }
  }
  command.insert(command.end(),
                 {"--proc", "/proc", "--dev", "/dev", "--tmpfs", "/dev/shm", "--tmpfs", "/tmp"});
  for (const std::string& path : box.readOnly)
    command.insert(command.end(), {"--ro-bind", path, path});
  for (const std::string& path : box.writable)
    command.insert(command.end(), {"--bind", path, path});
  // Its /tmp is its own: short names for its sockets, gone with the box.
  // Only the system's folders are there to search.
  command.insert(command.end(), {"--setenv", "TMPDIR", "/tmp", "--setenv", "PATH", kBoxPath,
                                 "--setenv", kConfinedVariable, "1", "--"});
  command.insert(command.end(), argv.begin(), argv.end());
  return command;
}

bool PrepareConfinedCommand(const Confinement& box, SandboxMode mode,
                            const std::vector<std::string>& argv, std::vector<std::string>* command,
                            std::string* why) {
  *command = argv;
  if (mode == SandboxMode::kOff || RunningConfined()) return true;
  const Probe& probe = CachedProbe();
  if (!probe.usable) {
    if (mode == SandboxMode::kRequired) {
      *why = "the sandbox is required, and " + probe.why;
      return false;
    }
    static std::once_flag warned;
    std::call_once(warned, [&] {
      std::fprintf(stderr, "scrivex: warning: documents are read without a sandbox: %s\n",
                   probe.why.c_str());
    });
    return true;
  }
  Confinement full = box;
  // Our own helpers (the text printer, the print helper, the office bridge)
  // live in the program directory.
  full.readOnly.insert(full.readOnly.begin(), ProgramDirectory());
  // The program by its real path (a link to it may live in a folder the box
  // does not show); one outside the system folders is shown on its own.
  std::vector<std::string> program = argv;
  char real[PATH_MAX];
  const std::string found = FindProgram(argv[0]);
  if (!found.empty() && realpath(found.c_str(), real)) {
    program[0] = real;
    if (program[0].rfind("/usr/", 0) != 0 && program[0].rfind(ProgramDirectory(), 0) != 0) {
      full.readOnly.push_back(program[0]);
    }
  }
  *command = ConfinedCommand(probe.bwrap, full, SystemPaths(full), program);
  return true;
}

}  // namespace scrivex::platform
