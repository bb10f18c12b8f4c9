#include "printer/driver_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <fstream>

#include "common/registry.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/state_root.h"
#include "printer/device_settings.h"
#include "printer/quire_settings.h"
#include "spool/spooler.h"

namespace scrivex {

namespace {

constexpr char kAutoSave[] = "AutoSave";
constexpr char kAutoSaveOptions[] = "AutoSaveOptions";
constexpr size_t kOutlogChars = 300;

// An empty configuration path names no file: the write does nothing, as the
// hand-off is then silently ineffective.
bool WriteDriverValue(const std::string& file, const char* section, const std::string& key,
                      const std::string& value) {
  if (file.empty()) return false;
  return platform::WriteProfileString(file, section, key, value);
}

std::string Pair(int a, int b) { return std::to_string(a) + "x" + std::to_string(b); }

std::string DriverConfigPath() {
  std::string path;
  GetDriverConfigPath(&path);
  if (path.empty()) {
    // A fresh state root: installing the printers registers the ini file.
    spool::SpoolDirectory();
    GetDriverConfigPath(&path);
  }
  return path;
}

}  // namespace

int GetDriverConfigPath(std::string* path) {
  if (path == nullptr) return 0;
  path->clear();
  KeyHandle key = OpenMachineKey(kDriverConfigKey);
  if (key == nullptr) return 0;
  ReadStringValue(key, "ConfigFile", path, kDriverConfigPathBytes);
  CloseKey(key);
  return 1;
}

bool HasPageNumberPattern(const std::string& path) {
  size_t percent = path.find('%');
  if (percent == std::string::npos) return false;
  size_t i = percent + 1;
  while (i < path.size() && std::isdigit(static_cast<unsigned char>(path[i]))) ++i;
  return i < path.size() && path[i] == 'd';
}

int DriverColorDepth(int colorBits) {
  return colorBits == 1 || colorBits == 8 || colorBits == 24 ? colorBits : 24;
}

void CorrectResolution(ConversionOptions* options) {
  if (options->resolutionX <= 0 || options->resolutionX >= 2000) options->resolutionX = 300;
  if (options->resolutionY <= 0 || options->resolutionY >= 2000) options->resolutionY = 300;
}

bool HasFixedSize(const ConversionOptions& options) {
  return options.width >= 1 && options.width < 50000 && options.height >= 1 &&
         options.height < 50000;
}

TiffEncoderSettings TiffEncoderFor(int tiffCompression, int resolutionX, int resolutionY) {
  const char* compress = nullptr;
  bool quick = false;
  switch (tiffCompression) {
    case 0:
      return {"1", std::nullopt};
    case 1:
      compress = "none";
      break;
    case 2:
      compress = "RLE";
      break;
    case 3:
      compress = "Fax";
      break;
    case 4:
      compress = "Group4", quick = true;
      break;
    case 5:
      compress = "LZW";
      break;
    case 6:
    case 7:
      compress = "JPEG";
      break;
    case 32766:
    case 32771:
      compress = "RLE";
      break;
    case 32773:
    case 32809:
      compress = "Lossless";
      break;
    default:
      return {"1", std::string("-compress rle")};
  }
  return {quick ? "1" : "0",
          std::string("-compress ") + compress + " -density " + Pair(resolutionX, resolutionY)};
}

void WriteDriverSettings(const std::string& outputPath, const std::string& printer,
                         ConversionOptions* options) {
  if (outputPath.empty()) return;
  const std::string file = DriverConfigPath();
  WriteDriverValue(file, kAutoSave, "IsAutoSave", "1");
  WriteDriverValue(file, kAutoSave, "OutputFile", outputPath);
  WriteDriverValue(file, kAutoSave, "FinishedMessageType", "FileMapping");
  WriteDriverValue(file, kAutoSaveOptions, "bSpecifyWidthHeight", "0");

  const bool eachPage = HasPageNumberPattern(outputPath);
  WriteDriverValue(file, kAutoSaveOptions, "m_bCreateFileForEachPage", eachPage ? "1" : "0");
  if (eachPage) {
    // The driver numbers the pages itself; it gets the name without the pattern.
    platform::PathParts parts = platform::SplitPath(outputPath);
    parts.name = parts.name.substr(0, parts.name.find('%'));
    WriteDriverValue(file, kAutoSave, "OutputFile",
                     platform::MakePath(parts.drive, parts.dir, parts.name, parts.ext));
  }
  if (options == nullptr) return;

  WriteDriverValue(file, kAutoSaveOptions, "m_strColorDepth",
                   std::to_string(DriverColorDepth(options->colorBits)));
  CorrectResolution(options);
  WriteDriverValue(file, kAutoSaveOptions, "m_strResolution",
                   Pair(options->resolutionX, options->resolutionY));
  const bool fixedSize = HasFixedSize(*options);
  WriteDriverValue(file, kAutoSaveOptions, "strWidthAndHeight",
                   fixedSize ? Pair(options->width, options->height) : "");
  if (fixedSize) WriteDriverValue(file, kAutoSaveOptions, "bSpecifyWidthHeight", "1");
  WriteDriverValue(file, kAutoSaveOptions, "m_bGrayscale", options->grayscale ? "1" : "0");

  if (platform::HasExtension(outputPath, ".tif") || platform::HasExtension(outputPath, ".tiff")) {
    TiffEncoderSettings tiff =
        TiffEncoderFor(options->tiffCompression, options->resolutionX, options->resolutionY);
    WriteDriverValue(file, kAutoSave, "ConvertBMP2TIFQuickMode", tiff.quickMode);
    if (tiff.encoder) WriteDriverValue(file, kAutoSaveOptions, ".tif", *tiff.encoder);
  }
  WriteDriverValue(file, kAutoSaveOptions, ".jpg", "-quality 100");
  ApplyPaperSizeToPrinter(printer, options->paperSize);
}

void WriteCreatorSettings(const std::string& outputPath, const std::string& printer,
                          ConversionOptions* options) {
  if (outputPath.empty()) return;
  QuireSettings record;
  LoadQuireSettings(&record);
  record.automaticOutput = 1;
  record.automaticValue = 2;
  record.automaticDirectory = outputPath;
  record.autoView = 0;
  if (options == nullptr) {
    record.pageSelect = 1;
  } else {
    record.bitcount = DriverColorDepth(options->colorBits);
    record.orientation = options->orientation;
    record.generalPageRotateAngle = options->rotation;
    record.pageSelect = 10;
    CorrectResolution(options);
    record.xResolution = options->resolutionX;
    record.yResolution = options->resolutionY;
    const bool fixedSize = HasFixedSize(*options);
    record.pageW = fixedSize ? options->width : 0;
    record.pageH = fixedSize ? options->height : 0;
    ApplyPaperSizeToPrinter(printer, options->paperSize);
  }
  SaveQuireSettings(record);
}

void DisableCreatorAutoOutput() {
  QuireSettings record;
  LoadQuireSettings(&record);
  if (record.automaticOutput == 0) return;
  record.automaticOutput = 0;
  SaveQuireSettings(record);
}

void SetDriverOutputFile(const std::string& path) {
  WriteDriverValue(DriverConfigPath(), kAutoSave, "OutputFile", path);
}

void DisableDriverAutoSave() { WriteDriverValue(DriverConfigPath(), kAutoSave, "IsAutoSave", "0"); }

int SetDriverOption(const std::string& key, const std::string& value) {
  return WriteDriverValue(DriverConfigPath(), kAutoSaveOptions, key, value) ? 1 : 0;
}

void WriteDebugLog(const char* format, ...) {
  const std::string config = platform::ConfigFile();
  std::string outlog = platform::GetProfileString(config, "debug", "outlog", "No");
  outlog.resize(std::min(outlog.size(), kOutlogChars - 1));
  // Written back so the switch is there to be found after the first use.
  platform::WriteProfileString(config, "debug", "outlog", outlog);
  if (platform::EqualsNoCase(outlog, "No")) return;

  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length < 0) return;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.pop_back();
  // The state root belongs to this user alone, so the log cannot be a planted link.
  std::ofstream(platform::StateRoot() + "inkwell.log", std::ios::app) << text;
}

}  // namespace scrivex
