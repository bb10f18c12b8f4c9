// Confinement of the children that read documents: each runs inside
// bubblewrap with a read-only view of the system folders it needs, the files
// it was given, one private writable folder, a private /tmp, its own pid and
// IPC namespaces and, unless asked, no network. config.ini (ConfigFile()),
// section "Sandbox", key "Mode": auto (confined where the kernel
// allows it, a warning per run where not), required (nothing runs
// unconfined), off (no confinement: unsafe for documents from outside).
#ifndef SCRIVEX_PLATFORM_SANDBOX_H_
#define SCRIVEX_PLATFORM_SANDBOX_H_

#include <string>
#include <vector>

namespace scrivex::platform {

enum class SandboxMode { kAuto, kRequired, kOff };

struct Confinement {
  bool network = false;
  // Files or folders the child sees read-only, each at its own path.
  std::vector<std::string> readOnly;
  // Folders it may write, at their own path.
  std::vector<std::string> writable;
  // The system's settings its program reads beyond the libraries, fonts and
  // (with the network) names and certificates every box has: "/etc/...".
  std::vector<std::string> configuration;
};

// Settings of the programs that run boxed.
inline const std::vector<std::string> kOfficeConfiguration = {
    "/etc/libreoffice", "/etc/python3", "/etc/python3.11", "/etc/papersize", "/etc/mime.types"};
inline const std::vector<std::string> kBrowserConfiguration = {"/etc/chromium", "/etc/chromium.d"};
inline const std::vector<std::string> kImageConfiguration = {"/etc/ImageMagick-6"};
inline const std::vector<std::string> kGhostscriptConfiguration = {"/etc/ghostscript",
                                                                   "/etc/papersize"};

// "auto", "required" or "off" (any case); anything else reads as auto.
SandboxMode ParseSandboxMode(const std::string& text);
// The mode of config.ini; read once per run.
SandboxMode ConfiguredSandboxMode();

// Set in a confined child's environment: its own children are inside the
// same box already and are not boxed again.
constexpr const char* kConfinedVariable = "SCRIVEX_CONFINED";
bool RunningConfined();

// The bubblewrap command that runs argv in the box: the system folders that
// exist of `systemPaths`, then the box's own files, then argv. Pure.
std::vector<std::string> ConfinedCommand(const std::string& bwrap, const Confinement& box,
                                         const std::vector<std::string>& systemPaths,
                                         const std::vector<std::string>& argv);

// The read-only system folders and files the box's program may need (its
// libraries, fonts, configuration); ConfinedCommand leaves out those this
// system lacks.
std::vector<std::string> SystemPaths(const Confinement& box);

// What to run for argv under `box` in `mode`: true with *command confined,
// or unconfined where the mode allows it (auto prints one warning per run,
// off nothing); false with *why when the mode requires a box that cannot be
// had. Probes once per run whether bubblewrap can confine here.
bool PrepareConfinedCommand(const Confinement& box, SandboxMode mode,
                            const std::vector<std::string>& argv, std::vector<std::string>* command,
                            std::string* why);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_SANDBOX_H_
