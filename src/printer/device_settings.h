// A printer's stored device settings: the -f paper size read into a DEVMODEA
// record, requested fields copied into the printer's own settings, and copies
// of the settings and names for a device context.
#ifndef SCRIVEX_PRINTER_DEVICE_SETTINGS_H_
#define SCRIVEX_PRINTER_DEVICE_SETTINGS_H_

#include <string>

#include "common/paper_sizes.h"
#include "spool/devmode.h"

namespace scrivex {

using spool::DEVMODEA;

// The paper code that means the printer's own width and length.
constexpr int kUserDefinedPaper = 256;

// The printer's width and length in tenths of a millimetre, when its
// settings give both; false otherwise.
bool PrinterCustomPaper(const std::string& printerName, int* width, int* length);

// Fills the paper fields of *settings from the -f text: "WxH" with an
// optional unit "in" (the default), "mm" or "pt", stored as the record
// keeps them, in tenths of a millimetre (rounded), or a paper-size code. 0
// for an empty text, else 1. A side that is not at least 1 point or does not
// fit the field (3276.7 mm), or a code above 32767, sets no field.
int ParsePaperSize(const std::string& text, DEVMODEA* settings);

// Copies the fields whose bits are set in requested.dmFields into the
// printer's stored settings, in a fixed order (a paper size code and a width
// or length exclude each other; the later one wins). 1 once the settings were
// handed to the spooler, 0 when the printer or its settings cannot be read.
int ApplyPrinterDeviceSettings(const std::string& printerName, const DEVMODEA* requested);

// Applies the -f text to the printer when it names any field.
void ApplyPaperSizeToPrinter(const std::string& printerName, const std::string& paperSize);

// Copies of the printer's settings (DEVMODEA and its driver-private bytes)
// and of its DEVNAMES block: offsets of the driver, device and port names
// (driver first, at offset 8), then the three names with their terminators.
int GetPrinterDevice(const std::string& printerName, std::string* devNames, std::string* devMode);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_DEVICE_SETTINGS_H_
