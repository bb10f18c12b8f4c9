#include "ghostscript/ghostscript_device.h"

#include <map>
#include <sstream>

#include "platform/path.h"
#include "platform/process.h"

namespace scrivex {
namespace {

struct DeviceEntry {
  const char* name;
  const char* extra;  // an argument right after the device name, or ""
  bool antiAlias;     // text and graphics anti-aliased
};

// Indexed by GhostscriptDevice code.
constexpr DeviceEntry kDevices[] = {
    {"tiff24nc", "", true},
    {"tiff12nc", "", false},
    {"tiffcrle", "", false},
    {"tiffg3", "", false},
    {"tiffg32d", "", false},
    {"tiffg4", "", false},
    {"tifflzw", "", false},
    {"tiffpack", "", false},
    {"bmp256", "", true},
    // Ghostscript 10 refuses any anti-aliasing setting on a vector device
    // and then writes nothing; the PDF writer never used it anyway. PDF 1.4
    // keeps transparency: at 1.3 the writer flattens a transparent object and
    // the text under it into one picture.
    {"pdfwrite", "-dCompatibilityLevel=1.4", false},
    {"bmpmono", "", false},
    {"bmp32b", "", true},
    {"jpeg", "", true},
    {"pcxmono", "", false},
    {"pcx24b", "", true},
    {"pngmono", "", false},
    {"png16m", "", false},
    {"epswrite", "", false},
    {"pswrite", "", false},
    {"psmono", "", false},
    {"tiffgray", "", false},
    {"pcx256", "", false},
    {"png256", "", false},
    {"jpeggray", "", false},
    {"bmp16m", "", true},
    {"tiff32nc", "", true},
    {"pnggray", "", false},
    {"bmpgray", "", false},
    {"pcxgray", "", false},
};
constexpr int kDeviceCount = static_cast<int>(sizeof(kDevices) / sizeof(kDevices[0]));

bool IsExt(const std::string& ext, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (platform::EqualsNoCase(ext, name)) return true;
  }
  return false;
}

int SelectTiffDevice(int colorBits, int compression) {
  switch (colorBits) {
    case 1:
      switch (compression) {
        case 2:
          return kDeviceTiffCrle;
        case 3:
          return kDeviceTiffG3;
        case 5:
          return kDeviceTiffLzw;
        case 32773:
          return kDeviceTiffPack;
        default:
          return kDeviceTiffG4;
      }
    case 8:
      return kDeviceTiffGray;
    case 12:
      return kDeviceTiff12nc;
    case 24:
      return kDeviceTiff24nc;
    case 32:
      return kDeviceTiff32nc;
    default:
      return kDeviceTiffG4;
  }
}

int ByDepth(int colorBits, int depth8, int depth24, int other) {
  if (colorBits == 8) return depth8;
  if (colorBits == 24) return depth24;
  return other;
}

}  // namespace

int SelectGhostscriptDevice(const std::string& outputPath, int colorBits, int compression,
                            int* singleFile) {
  std::string ext = platform::SplitPath(outputPath).ext;
  int device = kDeviceTiffG4;
  int single = 0;
  if (IsExt(ext, {".tif", ".tiff"})) {
    device = SelectTiffDevice(colorBits, compression);
    single = 1;
  } else if (IsExt(ext, {".jpg", ".jpeg"})) {
    device = colorBits == 8 ? kDeviceJpegGray : kDeviceJpeg;
  } else if (IsExt(ext, {".bmp"})) {
    device = ByDepth(colorBits, kDeviceBmp256, kDeviceBmp16m, kDeviceBmpMono);
  } else if (IsExt(ext, {".pcx"})) {
    device = ByDepth(colorBits, kDevicePcx256, kDevicePcx24b, kDevicePcxMono);
  } else if (IsExt(ext, {".pdf"})) {
    device = kDevicePdfWrite;
    single = 1;
  } else if (IsExt(ext, {".png"})) {
    device = ByDepth(colorBits, kDevicePng256, kDevicePng16m, kDevicePngMono);
  } else if (IsExt(ext, {".ps"})) {
    device = kDevicePsWrite;
    single = 1;
  } else if (IsExt(ext, {".eps"})) {
    device = kDeviceEpsWrite;
  }
  // ".tga", ".gif" and every other extension keep tiffg4 with numbered pages.
  if (singleFile) *singleFile = single;
  return device;
}

int GrayDeviceFor(const std::string& outputPath) {
  std::string ext = platform::SplitPath(outputPath).ext;
  if (IsExt(ext, {".tif", ".tiff"})) return kDeviceTiffGray;
  if (IsExt(ext, {".jpg", ".jpeg"})) return kDeviceJpegGray;
  if (IsExt(ext, {".png"})) return kDevicePngGray;
  if (IsExt(ext, {".bmp"})) return kDeviceBmpGray;
  if (IsExt(ext, {".pcx"})) return kDevicePcxGray;
  return -1;
}

std::string GhostscriptDeviceName(int device) {
  if (device < 0 || device >= kDeviceCount) return "pdfwrite";
  return kDevices[device].name;
}

bool IsJpegDevice(int device) { return device == kDeviceJpeg || device == kDeviceJpegGray; }

std::vector<std::string> GhostscriptDeviceArguments(int device,
                                                    const std::set<std::string>* available) {
  if (device < 0 || device >= kDeviceCount) return {"-sDEVICE=pdfwrite"};
  const DeviceEntry& entry = kDevices[device];
  std::string name = entry.name;
  // Ghostscript 9.x dropped the level-1/2 PostScript writers.
  if (available && !available->empty() && !available->count(name)) {
    if (device == kDeviceEpsWrite) name = "eps2write";
    if (device == kDevicePsWrite || device == kDevicePsMono) name = "ps2write";
  }
  std::vector<std::string> args = {"-sDEVICE=" + name};
  if (*entry.extra) args.push_back(entry.extra);
  if (entry.antiAlias) {
    args.push_back("-dTextAlphaBits=4");
    args.push_back("-dGraphicsAlphaBits=4");
  }
  return args;
}

std::set<std::string> ParseGhostscriptDeviceList(const std::string& helpText) {
  std::set<std::string> devices;
  size_t start = helpText.find("Available devices:");
  if (start == std::string::npos) return devices;
  start += sizeof("Available devices:") - 1;
  size_t end = helpText.find("Search path:", start);
  std::istringstream words(helpText.substr(start, end == std::string::npos ? end : end - start));
  std::string word;
  while (words >> word) devices.insert(word);
  return devices;
}

const std::set<std::string>& ListGhostscriptDevices(const std::string& program) {
  static std::map<std::string, std::set<std::string>> cache;
  auto found = cache.find(program);
  if (found != cache.end()) return found->second;
  platform::ChildOptions options;
  options.captureOutput = true;
  platform::ChildResult child = platform::RunChild({program, "-h"}, options);
  std::set<std::string> devices;
  if (child.started) devices = ParseGhostscriptDeviceList(child.output);
  return cache.emplace(program, std::move(devices)).first->second;
}

}  // namespace scrivex
