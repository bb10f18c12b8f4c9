#include "printer/device_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/conversion_options.h"
#include "common/paper_sizes.h"
#include "platform/path.h"
#include "spool/spooler.h"

namespace scrivex {

namespace {

using platform::ToLower;
using namespace spool;  // the spooler's Windows-shaped names

constexpr size_t kPaperTextChars = 1023;

// The printer's settings as the spooler keeps them, or the driver's when the
// printer has none of its own.
bool ReadPrinterSettings(const std::string& name, PrinterHandle* printer, PrinterInfo2* info) {
  if (name.empty() || !OpenPrinter(name, printer)) return false;
  uint32_t needed = 0;
  GetPrinter(*printer, 2, nullptr, &needed);
  if (needed == 0 || !GetPrinter(*printer, 2, info, &needed)) return false;
  if (info->devMode.dmSize != 0) return true;
  if (DocumentProperties(*printer, printer->name, nullptr, nullptr, 0) < 1) return false;
  DEVMODEA fromDriver{};
  if (DocumentProperties(*printer, printer->name, &fromDriver, nullptr, DM_OUT_BUFFER) != IDOK)
    return false;
  info->devMode = fromDriver;
  return true;
}

// Closes the printer on every return path.
struct OpenedPrinter {
  PrinterHandle handle;
  ~OpenedPrinter() {
    if (handle.open) ClosePrinter(&handle);
  }
};

void CopyRequestedFields(const DEVMODEA& in, DEVMODEA* out) {
  const uint32_t want = in.dmFields;
  auto take = [&](uint32_t bit, auto member) {
    if (!(want & bit)) return;
    out->*member = in.*member;
    out->dmFields |= bit;
  };
  take(DM_PRINTQUALITY, &DEVMODEA::dmPrintQuality);
  if (want & DM_PAPERSIZE) {
    take(DM_PAPERSIZE, &DEVMODEA::dmPaperSize);
    out->dmFields &= ~(DM_PAPERWIDTH | DM_PAPERLENGTH);
    out->dmPaperWidth = out->dmPaperLength = 0;
  }
  if (want & (DM_PAPERLENGTH | DM_PAPERWIDTH)) {
    take(DM_PAPERLENGTH, &DEVMODEA::dmPaperLength);
    take(DM_PAPERWIDTH, &DEVMODEA::dmPaperWidth);
    out->dmFields &= ~DM_PAPERSIZE;
    out->dmPaperSize = 0;
  }
  take(DM_ORIENTATION, &DEVMODEA::dmOrientation);
  if (want & DM_POSITION) {
    // dmPosition shares the 8 bytes from dmOrientation through dmPaperWidth.
    std::memcpy(&out->dmOrientation, &in.dmOrientation, 8);
    out->dmFields |= DM_POSITION;
  }
  take(DM_SCALE, &DEVMODEA::dmScale);
  take(DM_COPIES, &DEVMODEA::dmCopies);
  take(DM_DEFAULTSOURCE, &DEVMODEA::dmDefaultSource);
  take(DM_COLOR, &DEVMODEA::dmColor);
  take(DM_DUPLEX, &DEVMODEA::dmDuplex);
  take(DM_YRESOLUTION, &DEVMODEA::dmYResolution);
  take(DM_TTOPTION, &DEVMODEA::dmTTOption);
  take(DM_COLLATE, &DEVMODEA::dmCollate);
  take(DM_LOGPIXELS, &DEVMODEA::dmLogPixels);
  take(DM_BITSPERPEL, &DEVMODEA::dmBitsPerPel);
  take(DM_PELSWIDTH, &DEVMODEA::dmPelsWidth);
  take(DM_PELSHEIGHT, &DEVMODEA::dmPelsHeight);
  take(DM_DISPLAYFLAGS, &DEVMODEA::dmDisplayFlags);
  take(DM_DISPLAYFREQUENCY, &DEVMODEA::dmDisplayFrequency);
  take(DM_ICMMETHOD, &DEVMODEA::dmICMMethod);
  take(DM_ICMINTENT, &DEVMODEA::dmICMIntent);
  take(DM_MEDIATYPE, &DEVMODEA::dmMediaType);
  take(DM_DITHERTYPE, &DEVMODEA::dmDitherType);
  if (want & DM_FORMNAME) {
    std::memcpy(out->dmFormName, in.dmFormName, sizeof out->dmFormName);
    out->dmFields |= DM_FORMNAME;
  }
}

void AppendName(std::string* block, const std::string& name, size_t offsetField) {
  uint16_t offset = static_cast<uint16_t>(block->size());
  std::memcpy(block->data() + offsetField, &offset, sizeof offset);
  block->append(name);
  block->push_back('\0');
}

}  // namespace

int ParsePaperSize(const std::string& text, DEVMODEA* settings) {
  if (text.empty() || settings == nullptr) return 0;
  std::string copy = ToLower(text.substr(0, kPaperTextChars));
  float factor = 72.0f;
  if (size_t at = copy.find("in"); at != std::string::npos) copy.resize(at);
  if (size_t at = copy.find("mm"); at != std::string::npos) {
    copy.resize(at);
    factor = 2.8346457f;
  }
  if (size_t at = copy.find("pt"); at != std::string::npos) {
    copy.resize(at);
    factor = 1.0f;
  }
  if (copy.find('x') != std::string::npos) {
    float width = 0, length = 0;
    std::sscanf(copy.c_str(), "%fx%f", &width, &length);
    int widthTenths = PaperTenthsOfMm(width, factor);
    int lengthTenths = PaperTenthsOfMm(length, factor);
    // An unusable size would stay in the printer and spoil every later job.
    if (widthTenths == 0 || lengthTenths == 0) return 1;
    settings->dmPaperSize = 0;
    settings->dmPaperWidth = static_cast<int16_t>(widthTenths);
    settings->dmPaperLength = static_cast<int16_t>(lengthTenths);
    settings->dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    return 1;
  }
  long code = std::strtol(text.c_str(), nullptr, 10);
  if (code > kMaxPaperField) return 1;
  settings->dmPaperSize = static_cast<int16_t>(code <= 0 ? 1 : code);
  settings->dmFields |= DM_PAPERSIZE;
  return 1;
}

int ApplyPrinterDeviceSettings(const std::string& printerName, const DEVMODEA* requested) {
  if (printerName.empty() || requested == nullptr) return 0;
  OpenedPrinter printer;
  PrinterInfo2 info;
  if (!ReadPrinterSettings(printerName, &printer.handle, &info)) return 0;
  CopyRequestedFields(*requested, &info.devMode);
  SetPrinter(printer.handle, 2, info);  // a refusal is not reported: the settings were handed over
  return 1;
}

void ApplyPaperSizeToPrinter(const std::string& printerName, const std::string& paperSize) {
  DEVMODEA requested{};
  ParsePaperSize(paperSize, &requested);
  if (requested.dmFields != 0) ApplyPrinterDeviceSettings(printerName, &requested);
}

bool PrinterCustomPaper(const std::string& printerName, int* width, int* length) {
  std::string names, mode;
  if (!GetPrinterDevice(printerName, &names, &mode)) return false;
  DEVMODEA settings;
  std::memcpy(&settings, mode.data(), sizeof settings);
  const uint32_t both = spool::DM_PAPERWIDTH | spool::DM_PAPERLENGTH;
  if ((settings.dmFields & both) != both || settings.dmPaperWidth <= 0 ||
      settings.dmPaperLength <= 0) {
    return false;
  }
  *width = settings.dmPaperWidth;
  *length = settings.dmPaperLength;
  return true;
}

int GetPrinterDevice(const std::string& printerName, std::string* devNames, std::string* devMode) {
  if (printerName.empty() || devNames == nullptr || devMode == nullptr) return 0;
  PrinterInfo2 info;
  {
    OpenedPrinter printer;
    if (!ReadPrinterSettings(printerName, &printer.handle, &info)) return 0;
  }
  // The spooler keeps no driver-private bytes after the record.
  devMode->assign(sizeof(DEVMODEA) + info.devMode.dmDriverExtra, '\0');
  std::memcpy(devMode->data(), &info.devMode, sizeof(DEVMODEA));

  std::string names(8, '\0');  // wDriverOffset, wDeviceOffset, wOutputOffset, wDefault = 0
  AppendName(&names, info.driverName, 0);
  AppendName(&names, info.printerName, 2);
  AppendName(&names, info.portName, 4);
  *devNames = std::move(names);
  return 1;
}

}  // namespace scrivex
