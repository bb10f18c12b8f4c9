// The names of the product's two printers, which the spooler installs and
// every print is sent to.
#ifndef SCRIVEX_COMMON_PRINTER_NAMES_H_
#define SCRIVEX_COMMON_PRINTER_NAMES_H_

namespace scrivex {

constexpr const char* kCreatorPrinterName = "Brindle Converter and Creator";
constexpr const char* kInkwellPrinterName = "Inkwell";

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_PRINTER_NAMES_H_
