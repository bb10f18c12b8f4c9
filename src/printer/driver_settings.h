// The settings hand-off: before a print, the program tells the virtual
// printer's driver where and how to write its output. The "Inkwell" driver
// reads an ini file named in the registry; the creator printer reads its
// registry key. The program never talks to a driver directly.
#ifndef SCRIVEX_PRINTER_DRIVER_SETTINGS_H_
#define SCRIVEX_PRINTER_DRIVER_SETTINGS_H_

#include <cstddef>
#include <optional>
#include <string>

#include "common/conversion_options.h"

namespace scrivex {

constexpr char kDriverConfigKey[] = "SOFTWARE\\marrow\\inkwell";
constexpr size_t kDriverConfigPathBytes = 260;

// 1 when the key could be opened, else 0. *path is emptied first and gets the
// "ConfigFile" value only when it fits the 260-byte buffer with its terminator.
int GetDriverConfigPath(std::string* path);

// The ini route. Nothing happens for an empty output path. With options, the
// resolution correction is stored back into them and the -f paper size is
// applied to the printer's device settings.
void WriteDriverSettings(const std::string& outputPath, const std::string& printer,
                         ConversionOptions* options);
// The creator printer's route, through its settings record.
void WriteCreatorSettings(const std::string& outputPath, const std::string& printer,
                          ConversionOptions* options);
// "AutoSave" / "IsAutoSave" = "0": the driver writes nothing for later jobs.
void DisableDriverAutoSave();
// Names the file of the Inkwell driver's next print ("OutputFile").
void SetDriverOutputFile(const std::string& path);
// The creator printer's counterpart: "AutomaticOutput" back to 0, so a later
// print by anyone else does not overwrite this job's output.
void DisableCreatorAutoOutput();
// Writes "AutoSaveOptions" / key = value; non-zero on success, else 0.
int SetDriverOption(const std::string& key, const std::string& value);
// Appends to inkwell.log in the state root when config.ini
// (platform::ConfigFile()) says "debug" / "outlog" is not "No".
void WriteDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The pieces of the hand-off that several routes share.
// A "%" followed by "d", or by decimal digits and then "d".
bool HasPageNumberPattern(const std::string& path);
int DriverColorDepth(int colorBits);
// Each axis at or below 0, or at 2000 and above, becomes 300, in the record.
void CorrectResolution(ConversionOptions* options);
bool HasFixedSize(const ConversionOptions& options);

struct TiffEncoderSettings {
  std::string quickMode;               // "ConvertBMP2TIFQuickMode"
  std::optional<std::string> encoder;  // ".tif"; none: not written
};
TiffEncoderSettings TiffEncoderFor(int tiffCompression, int resolutionX, int resolutionY);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_DRIVER_SETTINGS_H_
