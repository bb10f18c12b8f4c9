// The default printer: the applications print to it, so the target printer
// is made the default for one print and the previous default put back after.
// Also the shell's "open" for web addresses.
#ifndef SCRIVEX_PRINTER_DEFAULT_PRINTER_H_
#define SCRIVEX_PRINTER_DEFAULT_PRINTER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace scrivex {

// The three spooler entry points the program looks up by name.
struct PrinterFunctionTable {
  bool (*setDefaultPrinter)(const char* name) = nullptr;
  bool (*getDefaultPrinter)(char* buffer, uint32_t* size) = nullptr;
  bool (*addPrinterConnection)(const char* name) = nullptr;
};

// A loaded spooler: the folder it keeps its printers in and its entry points.
struct PrinterModule {
  std::string spoolDirectory;
  PrinterFunctionTable functions;
};

// None, with a line in the debug log, when the spooler cannot be reached or
// lacks one of the three.
std::optional<PrinterModule> LoadPrinterFunctions();
// Releases the module.
void UnloadPrinterFunctions(std::optional<PrinterModule>* module);

// Makes the printer the default printer. The previous default's name
// (empty when there was none), or none when the switch failed: then one line
// on stderr says so and the caller decides: the command line ends with
// kSwitchFailedExitCode, a library call fails its conversion.
std::optional<std::string> SwitchDefaultPrinter(const std::string& printer);
constexpr int kSwitchFailedExitCode = 0;
// Makes the saved name the default again and empties it; nothing for an empty name.
void RestoreDefaultPrinter(std::string* savedName);

// Opens an address or a file: xdg-open first, then the open command of the
// ".htm" class under HKEY_CLASSES_ROOT, started without waiting. The address
// always reaches the program as one argument. 1 when something was started.
int OpenUrlInBrowser(const std::string& address);
// The argument vector the registered open command gives for the address;
// empty when none is registered.
std::vector<std::string> RegisteredOpenCommand(const std::string& address);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_DEFAULT_PRINTER_H_
