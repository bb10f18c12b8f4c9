#include "printer/default_printer.h"

#include <cstdio>
#include <source_location>

#include "common/child_process.h"
#include "common/registry.h"
#include "platform/path.h"
#include "platform/process.h"
#include "printer/driver_settings.h"
#include "spool/spooler.h"

namespace scrivex {

namespace {

constexpr size_t kDefaultPrinterBytes = 256;

// The spooler's exports under the names the program looks them up by.
constexpr PrinterFunctionTable kSpoolerExports = {
    spool::SetDefaultPrinterA, spool::GetDefaultPrinterA, spool::AddPrinterConnectionA};

// "<source file>:<line> - <text>", as the loader's log lines read.
void LogLoaderLine(const char* text, std::source_location where = std::source_location::current()) {
  WriteDebugLog("%s:%u - %s\n", platform::SplitPath(where.file_name()).name.c_str(), where.line(),
                text);
}

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

std::optional<PrinterModule> LoadPrinterFunctions() {
  PrinterModule module{spool::SpoolDirectory(), kSpoolerExports};
  if (module.spoolDirectory.empty()) {
    LogLoaderLine("LoadLibrary(WINSPOOL.DRV) fail");
    return std::nullopt;
  }
  const PrinterFunctionTable& functions = module.functions;
  if (!functions.setDefaultPrinter || !functions.getDefaultPrinter ||
      !functions.addPrinterConnection) {
    LogLoaderLine("Can't find MyGetDefaultPrinterFunc or MySetDefaultPrinterFunc");
    std::optional<PrinterModule> loaded = module;
    UnloadPrinterFunctions(&loaded);
    return std::nullopt;
  }
  return module;
}

void UnloadPrinterFunctions(std::optional<PrinterModule>* module) {
  if (module) module->reset();
}

std::optional<std::string> SwitchDefaultPrinter(const std::string& printer) {
  std::string saved;
  bool switched = false;
  // A spooler that cannot be loaded counts as a failed switch.
  std::optional<PrinterModule> module = LoadPrinterFunctions();
  if (module) {
    char buffer[kDefaultPrinterBytes] = {};
    uint32_t size = sizeof buffer;
    // The spooler's changes are whole-file replacements under its lock:
    // they hold the moment the call returns, so no pause is needed to settle.
    if (module->functions.getDefaultPrinter(buffer, &size)) saved = buffer;
    switched = module->functions.setDefaultPrinter(printer.c_str());
    UnloadPrinterFunctions(&module);
  }
  if (!switched) {
    // The question box, answered No: there is nobody to ask.
    std::fputs(
        "Can't locate the Brindle Converter and Creator product in this computer.Would you like "
        "to download it from our web site?\n",
        stderr);
    return std::nullopt;
  }
  return saved;
}

void RestoreDefaultPrinter(std::string* savedName) {
  if (savedName == nullptr || savedName->empty()) return;
  std::optional<PrinterModule> module = LoadPrinterFunctions();
  if (module) module->functions.setDefaultPrinter(savedName->c_str());
  UnloadPrinterFunctions(&module);
  savedName->clear();
}

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
  // A missing xdg-open only means: try the registered browser.
  int exitCode = -1;
  if (RunHiddenProcess({"xdg-open", address}, &exitCode) == 1 && exitCode == 0) return 1;
  std::vector<std::string> argv = RegisteredOpenCommand(address);
  if (argv.empty()) return 0;
  return RunCommandLine(argv, /*detached=*/true) == 0 ? 1 : 0;
}

}  // namespace scrivex
