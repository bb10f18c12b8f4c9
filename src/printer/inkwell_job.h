// The "Inkwell" driver's work: what the job's settings ask for, read from the
// driver's ini file when the job arrives, and writing the print stream (a
// PDF) as those files.
#ifndef SCRIVEX_PRINTER_INKWELL_JOB_H_
#define SCRIVEX_PRINTER_INKWELL_JOB_H_

#include <string>
#include <vector>

#include "common/progress_report.h"

namespace scrivex {

struct InkwellJob {
  bool autoSave = false;  // "IsAutoSave" "1"; else the job writes nothing
  std::string outputFile;
  bool announce = false;     // "FinishedMessageType" "FileMapping"
  bool filePerPage = false;  // "m_bCreateFileForEachPage" "1"
  int colorBits = 24;
  int resolutionX = 300;
  int resolutionY = 300;
  int width = 0;  // a fixed pixel size, when "bSpecifyWidthHeight" is "1"
  int height = 0;
  bool grayscale = false;
  int tiffCompression = 0;  // the job compression code the ".tif" arguments name
  int jpegQuality = 100;
};

InkwellJob ReadInkwellJob(const std::string& iniPath);

// A "%" in the file name cuts the name there ("out/page%03d.png" becomes
// "out/page.png", whose pages are out/page_0001.png …).
std::string CutNameAtPercent(const std::string& path);

// Writes the stream as the job asks: PDF as it is, every other type rendered,
// one file per page when asked (base name + "_0001" …). The written paths go
// to *written in page order; false with *why set when nothing whole was
// written. How far it got goes to `progress`.
bool WriteInkwellJob(const std::string& stream, const InkwellJob& job,
                     std::vector<std::string>* written, std::string* why,
                     const ProgressSink& progress = {});

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_INKWELL_JOB_H_
