// The default printer: the applications print to it, so the target printer
// is made the default for one print and the previous default put back after.
// Also the shell's "open" for web addresses.
#ifndef SCRIVEX_PRINTER_DEFAULT_PRINTER_H_
#define SCRIVEX_PRINTER_DEFAULT_PRINTER_H_

#include <string>
#include <vector>

namespace scrivex {

// Opens an address or a file: xdg-open first, then the open command of the
// ".htm" class under HKEY_CLASSES_ROOT, started without waiting. The address
// always reaches the program as one argument. 1 when something was started.
int OpenUrlInBrowser(const std::string& address);
// The argument vector the registered open command gives for the address;
// empty when none is registered.
std::vector<std::string> RegisteredOpenCommand(const std::string& address);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_DEFAULT_PRINTER_H_
