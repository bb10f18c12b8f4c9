// The names of the product's two printers, which the spooler installs and
// every print is sent to.
#ifndef SCRIVEX_PLATFORM_PRINTER_NAMES_H_
#define SCRIVEX_PLATFORM_PRINTER_NAMES_H_

namespace scrivex::platform {

constexpr const char* kCreatorPrinterName = "Brindle Converter and Creator";
constexpr const char* kInkwellPrinterName = "Inkwell";

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_PRINTER_NAMES_H_
