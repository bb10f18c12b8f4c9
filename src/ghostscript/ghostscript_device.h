// Ghostscript output devices: the device table and the choice of a device for
// an output name, colour depth and TIFF compression.
#ifndef SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_DEVICE_H_
#define SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_DEVICE_H_

#include <set>
#include <string>
#include <vector>

namespace scrivex {

enum GhostscriptDevice : int {
  kDeviceTiff24nc = 0,
  kDeviceTiff12nc = 1,
  kDeviceTiffCrle = 2,
  kDeviceTiffG3 = 3,
  kDeviceTiffG32d = 4,
  kDeviceTiffG4 = 5,
  kDeviceTiffLzw = 6,
  kDeviceTiffPack = 7,
  kDeviceBmp256 = 8,
  kDevicePdfWrite = 9,
  kDeviceBmpMono = 10,
  kDeviceBmp32b = 11,
  kDeviceJpeg = 12,
  kDevicePcxMono = 13,
  kDevicePcx24b = 14,
  kDevicePngMono = 15,
  kDevicePng16m = 16,
  kDeviceEpsWrite = 17,
  kDevicePsWrite = 18,
  kDevicePsMono = 19,
  kDeviceTiffGray = 20,
  kDevicePcx256 = 21,
  kDevicePng256 = 22,
  kDeviceJpegGray = 23,
  kDeviceBmp16m = 24,
  kDeviceTiff32nc = 25,
  // Gray devices for -y on the types whose table has none.
  kDevicePngGray = 26,
  kDeviceBmpGray = 27,
  kDevicePcxGray = 28,
};

// The device code for an output path (extension compared without case), a
// colour depth and a TIFF compression code; singleFile (when given) is 1 when
// one file holds every page and 0 for one numbered file per page.
int SelectGhostscriptDevice(const std::string& outputPath, int colorBits, int compression,
                            int* singleFile);
// The device of the output's type that writes 8-bit gray, or -1 when the type
// has none (PDF, PostScript, types that are not rendered directly).
int GrayDeviceFor(const std::string& outputPath);

// The Ghostscript device name of a code ("pdfwrite" for unknown codes).
std::string GhostscriptDeviceName(int device);
// The arguments a code adds: "-sDEVICE=<name>" and its anti-aliasing.
// With a known device list, a PostScript writer the installed Ghostscript
// lacks is replaced by its successor (ps2write, eps2write).
std::vector<std::string> GhostscriptDeviceArguments(int device,
                                                    const std::set<std::string>* available);
bool IsJpegDevice(int device);

// Device names from the program's "-h" text; empty when it cannot be run or
// lists none. Asked once per program path and process.
const std::set<std::string>& ListGhostscriptDevices(const std::string& program);
std::set<std::string> ParseGhostscriptDeviceList(const std::string& helpText);

}  // namespace scrivex

#endif  // SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_DEVICE_H_
