// The exported Inkwell_* functions of libscrivex: the printing machinery of
// the program, reached without its command line (no options record, no queue).
#include <cstdio>
#include <mutex>
#include <string>

#include "api/written_files.h"
#include "apps/print_document.h"
#include "common/conversion_options.h"
#include "common/url.h"
#include "platform/path.h"
#include "platform/process_list.h"
#include "platform/state_root.h"
#include "printer/device_settings.h"
#include "printer/driver_settings.h"
#include "scrivex/inkwell.h"
#include "servers/office_bridge.h"
#include "servers/register_servers.h"

namespace {

// What the program's main does before its first conversion, once per process.
void PrepareOnFirstUse() {
  static std::once_flag once;
  std::call_once(once, [] { scrivex::RegisterServers(); });
}

// What the library keeps from one call to the next: the printer its caller
// named last, and the printing road's own. One conversion at a time: the
// default printer and the driver's block are the state root's.
struct Library {
  Library() { printing.officeRetry = scrivex::RetryWithOfficeConverter; }
  std::mutex busy;
  std::string printer;
  scrivex::PrintRun printing;
  scrivex::WrittenFiles written;
};

Library& TheLibrary() {
  static Library library;
  return library;
}

// The state folder decides which programs later runs start: only ours.
bool StateRootUsable(const char* function) {
  std::string error;
  if (scrivex::platform::CheckStateRoot(&error)) return true;
  std::fprintf(stderr, "%s: %s\n", function, error.c_str());
  return false;
}

}  // namespace

extern "C" {

int Inkwell_SetOptions(const char* key, const char* value) {
  if (key == nullptr || value == nullptr) return -1;
  if (!StateRootUsable("Inkwell_SetOptions")) return 0;
  return scrivex::SetDriverOption(key, value);
}

int Inkwell_ConvertToImage(const char* inputPath, const char* outputPath, const char* printerName) {
  if (inputPath == nullptr || outputPath == nullptr) return -1;
  if (!StateRootUsable("Inkwell_ConvertToImage")) return 0;
  PrepareOnFirstUse();
  Library& library = TheLibrary();
  std::lock_guard<std::mutex> lock(library.busy);
  scrivex::KeepWrittenFiles(library.written, {});
  // An empty name leaves the printer named before.
  if (printerName != nullptr && *printerName != '\0') {
    library.printer = std::string(printerName).substr(0, scrivex::kPrinterNameBytes - 1);
  }
  if (library.printer.empty()) {
    // An empty name would leave the print to whatever printer is the default,
    // with settings handed to another.
    std::fputs("Inkwell_ConvertToImage: no printer was named yet\n", stderr);
    return 0;
  }
  // The drivers run in other folders: they get full paths.
  std::string input = inputPath;
  if (!scrivex::HasUrlPrefix(input)) input = scrivex::platform::FullPath(input);
  std::string output = scrivex::platform::FullPath(outputPath);

  std::string reason;
  std::vector<std::string> written;
  int result = scrivex::PrintDocument(input, output, nullptr, library.printer, library.printing,
                                      &reason, &written);
  if (result <= 0) written.clear();
  scrivex::KeepWrittenFiles(library.written, std::move(written));
  if (result <= 0) {
    // Where the command line would end or report the file, the caller gets
    // 0 and the reason.
    std::fprintf(stderr, "Inkwell_ConvertToImage: %s: %s\n", input.c_str(),
                 reason.empty() ? "nothing was produced" : reason.c_str());
  }
  return result;
}

int Inkwell_GetWrittenFile(int index, char* path, int size) {
  return scrivex::CopyWrittenFile(TheLibrary().written, index, path, size);
}

int Inkwell_ChangePrinterSettings(const char* printerName, const ScrivexDevMode* settings) {
  if (printerName == nullptr || settings == nullptr) return -1;
  if (!StateRootUsable("Inkwell_ChangePrinterSettings")) return 0;
  int result = scrivex::ApplyPrinterDeviceSettings(printerName, settings);
  if (result == 0) {
    std::fprintf(stderr, "Inkwell_ChangePrinterSettings: the settings of \"%s\" cannot be read\n",
                 printerName);
  }
  return result;
}

int Inkwell_KillProcess(const char* name) {
  if (name == nullptr) return -1;
  if (*name == '\0') {
    // It would match every process, this one included.
    std::fputs("Inkwell_KillProcess: an empty name matches every process; nothing stopped\n",
               stderr);
    return 0;
  }
  auto processes = scrivex::platform::ListProcesses();
  if (!processes) return 0;
  const std::string wanted = name;
  const uint32_t self = scrivex::platform::CurrentProcessId();
  for (const scrivex::platform::ProcessEntry& process : *processes) {
    if (!scrivex::platform::StartsWithNoCase(process.name, wanted)) continue;
    if (process.pid == self) continue;  // an export never ends its caller
    std::printf("%s (PID to terminate: %u)\n", process.name.c_str(), process.pid);
    if (!scrivex::platform::CanStopProcess(process.pid)) continue;
    std::optional<uint32_t> exitCode = scrivex::platform::ProcessExitCode(process.pid);
    if (!exitCode) {
      std::printf("Could not get ExitCode.\n");
      continue;
    }
    std::printf("Exit code for %s: %u\n", name, *exitCode);
    scrivex::platform::StopProcess(process.pid);
    std::printf("Process: %u, was succesful terminated.\n", *exitCode);
  }
  std::fflush(stdout);
  return 1;
}

}  // extern "C"
