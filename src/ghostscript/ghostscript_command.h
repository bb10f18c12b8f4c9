// The Ghostscript arguments, built piece by piece from a render request,
// and the runner that starts it.
#ifndef SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_COMMAND_H_
#define SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_COMMAND_H_

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/progress_report.h"
#include "ghostscript/ghostscript_device.h"

namespace scrivex {

// Longest command line handed to Ghostscript (4095 characters, measured in
// its one-line form).
constexpr size_t kGhostscriptCommandBytes = 4096;

struct RenderRequest {
  std::string inputPath;
  std::string outputPath;
  std::string userPassword;   // PDF password, second choice
  std::string ownerPassword;  // PDF password, first choice
  float width = 0;            // pixels; 0 = from the bounding box
  float height = 0;
  float resolutionX = 0;  // dots per inch, 0 <= x < 1200; 0 = Ghostscript's own
  float resolutionY = 0;
  int device = kDeviceTiffG4;
  int numberPages = 0;  // non-zero: "_%04d" before the output's extension
  int firstPage = 0;    // > 0 to limit the pages
  int lastPage = 0;
  int jpegQuality = 0;          // 1..100 goes to the JPEG devices; else their default
  bool bigTiff = false;         // a TIFF device writes BigTIFF (past 4 GiB)
  bool olderPdfReader = false;  // read PDF with Ghostscript's older reader
  // Told the pages as Ghostscript starts them (a PDF's; it names no
  // PostScript page); empty: Ghostscript runs quiet.
  ProgressSink progress = {};
  // The caller's work while Ghostscript runs, called once it has started;
  // false stops it, and RunGhostscript returns 0.
  std::function<bool()> whileRunning = {};
};

// What the builder learns from the system, gathered by RunGhostscript.
struct GhostscriptSetup {
  std::string ghostscriptDir;  // with its trailing "/"
  std::string ghostscriptLib;
  std::string fontsDirectory;
  // Stand in for "-dNOPLATFONTS -sFONTPATH=<fontsDirectory>" when not empty.
  std::vector<std::string> fontArguments;
  bool inputIsEps = false;
  // The input's bounding box in points (llx, lly, urx, ury) when it has one.
  std::optional<std::array<float, 4>> boundingBox;
  const std::set<std::string>* availableDevices = nullptr;
};

// 0 <= resolution < 1200 in both directions and both paths non-empty.
bool IsValidRenderRequest(const RenderRequest& request);
// The page width or height in pixels for an extent in points.
float PointsToPixels(float points, float resolution);
// Fills argv, the program first; false for an invalid request or a command
// line longer than the limit.
bool BuildGhostscriptArguments(const RenderRequest& request, const GhostscriptSetup& setup,
                               std::vector<std::string>* argv);

// Validates, finds Ghostscript and runs it with GS_LIB set for the child.
// -1 for an invalid request or when Ghostscript is missing; else the result
// of RunHiddenProcess, with Ghostscript's exit status in exitCode when given
// and the tail of what it printed in output. Why it failed goes to *why.
int RunGhostscript(const RenderRequest& request, std::string* why, int* exitCode = nullptr,
                   std::string* output = nullptr);

// The pages Ghostscript reports while it reads a PDF (unless it runs quiet):
// "Processing pages 2 through 5." before the first, "Page 3" as each starts.
struct GhostscriptPages {
  int first = 0;  // 0: not named yet
  int last = 0;
  int current = 0;  // the page at work; 0: none yet
};
// True for those lines and the lines Ghostscript prints only when not quiet
// (its banner, fonts it loads), which are no message of the document's;
// *pages follows the page lines.
bool ReadGhostscriptLine(const std::string& line, GhostscriptPages* pages);

// Ghostscript's PDF reader may refuse a whole file and still exit with 0,
// rendering nothing: its message when the printed output says so, else "".
std::string PdfReaderRefusal(const std::string& output);

}  // namespace scrivex

#endif  // SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_COMMAND_H_
