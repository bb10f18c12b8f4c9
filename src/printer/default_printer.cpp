#include "printer/default_printer.h"

#include "common/child_process.h"
#include "common/registry.h"
#include "platform/process.h"

namespace scrivex {

namespace {

constexpr size_t kClassNameBytes = 260;
constexpr size_t kCommandBytes = 2048;

std::string ReadClassesDefault(const std::string& keyPath, size_t bytes) {
  std::string value;
  KeyHandle key = OpenKey(RegistryRoot::kClassesRoot, keyPath);
  if (key == nullptr) return value;
  ReadStringValue(key, "", &value, bytes);
  CloseKey(key);
  return value;
}

}  // namespace

std::vector<std::string> RegisteredOpenCommand(const std::string& address) {
  const std::string className = ReadClassesDefault(".htm", kClassNameBytes);
  if (className.empty()) return {};
  // The registered command is split on its own, before the address joins it,
  // so quotes in an address can never add arguments.
  std::vector<std::string> argv = platform::SplitCommandLine(
      ReadClassesDefault(className + "\\shell\\open\\command", kCommandBytes));
  if (argv.empty()) return {};
  for (size_t i = 0; i < argv.size(); ++i) {
    size_t placeholder = argv[i].find("%1");
    if (placeholder == std::string::npos) continue;
    std::string before = argv[i].substr(0, placeholder);
    argv.resize(i);
    if (!before.empty()) argv.push_back(before);
    break;
  }
  argv.push_back(address);
  return argv;
}

int OpenUrlInBrowser(const std::string& address) {
  if (address.empty()) return 0;
  HiddenProcessOptions quiet;
  quiet.noteFailure = false;  // a missing xdg-open only means: try the registered browser
  int exitCode = -1;
  if (RunHiddenProcess({"xdg-open", address}, &exitCode, quiet) == 1 && exitCode == 0) return 1;
  std::vector<std::string> argv = RegisteredOpenCommand(address);
  if (argv.empty()) return 0;
  return RunCommandLine(argv, /*detached=*/true) == 0 ? 1 : 0;
}

}  // namespace scrivex
