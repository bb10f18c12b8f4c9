// The PDF creator printer's settings, kept under the user's registry key
// "Software\brindle\quire". The program loads them, changes what a job
// decides and writes them back for the printer driver to read.
#ifndef SCRIVEX_PRINTER_QUIRE_SETTINGS_H_
#define SCRIVEX_PRINTER_QUIRE_SETTINGS_H_

#include <cstddef>
#include <string>

namespace scrivex {

constexpr char kQuireSettingsKey[] = "Software\\brindle\\quire";

// Texts are read with at most these many bytes (terminator included); a
// longer stored text loads as empty.
constexpr size_t kQuireTextBytes = 256;
constexpr size_t kQuirePasswordBytes = 32;
constexpr size_t kQuireDirectoryBytes = 256;

// Each field is stored under the value name in its comment.
struct QuireSettings {
  int disable = 0;                  // "disable"
  int unit = 1;                     // "Unit"
  int pageSelect = 1;               // "PageSelect": 10 for a job with options
  int pageSize = 7;                 // "PageSize"
  int pageW = 0;                    // "PageW": fixed width, 0 = not fixed
  int pageH = 0;                    // "PageH": fixed height, 0 = not fixed
  int margin = 0;                   // "Margin"
  int orientation = 1;              // "Orientation": 1 portrait, 2 landscape
  int scale = 100;                  // "Scale"
  int xResolution = 300;            // "xResolution"
  int yResolution = 300;            // "yResolution"
  int compatible = 1;               // "Compatible"
  std::string title;                // "Title"
  std::string subject;              // "Subject"
  std::string author;               // "Author"
  std::string keywords;             // "Keywords"
  int permission = -4;              // "Permission"
  int encryption = 0;               // "Encryption"
  int encryBits = 5;                // "EncryBits": 5 or 16
  std::string ownerPass;            // "OwnerPass"
  std::string userPass;             // "UserPass"
  int automaticOutput = 0;          // "AutomaticOutput": 1 while the program drives
  int automaticValue = 2;           // "AutomaticValue"
  std::string automaticDirectory;   // "AutomaticDirectory": the file to write
  int generalOptimizeWeb = 0;       // "General_OptimizeWeb"
  int autoView = 0;                 // "AutoView"
  int outFileType = 0;              // "OutFileType"
  int defaultCharWidth = 6;         // "DefaultCharWidth"
  int autoExec = 0;                 // "AutoExec"
  std::string autoExecProgram;      // "AutoExecProgram"
  int compressText = 1;             // "CompressText"
  int compressAutoZoomImages = 0;   // "Compress_AutoZoomImages"
  int compressColorImages = 1;      // "Compress_ColorImages"
  int compressMonoColorImages = 0;  // "Compress_MonoColorImages"
  int linksIsEnable = 1;            // "Links_IsEnable"
  int linksBoderColor = 255;        // "Links_BoderColor"
  int linksBoderType = 0;           // "Links_BoderType"
  int linksLineStyle = 0;           // "Links_LineStyle"
  int linksLineSize = 0;            // "Links_LineSize"
  int generalPageRotateAngle = 0;   // "General_PageRotateAngle": degrees
  int bitcount = 24;                // "Bitcount": 1, 8 or 24

  bool operator==(const QuireSettings&) const = default;
};

// Fills record with the defaults and then with every value that can be read.
// A missing key is created holding the defaults.
void LoadQuireSettings(QuireSettings* record);
// Writes every field; a failed write does not stop the others. Returns 1 when
// the key could be created and every value was written, else 0.
int SaveQuireSettings(const QuireSettings& record);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_QUIRE_SETTINGS_H_
