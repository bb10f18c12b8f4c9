#include "ghostscript/ghostscript_command.h"

#include <cstdio>

#include "driver/run_command.h"
#include "ghostscript/ghostscript_locator.h"
#include "ghostscript/hidden_process.h"
#include "ghostscript/trace.h"
#include "platform/files.h"
#include "platform/path.h"
#include "postscript/postscript_kind.h"
#include "postscript/ps_extent.h"

namespace scrivex {
namespace {

constexpr int kPdfDevice = kDevicePdfWrite13;

// Quoted for the Windows argument rules: backslashes before the closing quote
// are doubled so they stay backslashes.
std::string Quoted(const std::string& text) {
  size_t trailing = 0;
  while (trailing < text.size() && text[text.size() - 1 - trailing] == '\\') ++trailing;
  return "\"" + text + std::string(trailing, '\\') + "\"";
}

std::string EscapePercent(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '%') escaped += '%';
    escaped += c;
  }
  return escaped;
}

std::string NumberedOutputPath(const std::string& outputPath) {
  platform::PathParts parts = platform::SplitPath(outputPath);
  return platform::MakePath(parts.drive, parts.dir, parts.name + "_%04d", parts.ext);
}

std::string Format(const char* format, int a, int b) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

std::string FontsDirectory() {
  std::string windows = platform::ProgramDirectory() + "windows";
  if (windows.back() != '/') windows += '/';
  return windows + "fonts";
}

}  // namespace

bool IsValidRenderRequest(const RenderRequest& request) {
  return !request.inputPath.empty() && !request.outputPath.empty() && request.resolutionX >= 0 &&
         request.resolutionX < 1200 && request.resolutionY >= 0 && request.resolutionY < 1200;
}

float PointsToPixels(float points, float resolution) {
  return static_cast<float>(points * resolution * 0.013888888888888888);
}

int BuildGhostscriptCommandLine(const RenderRequest& request, const GhostscriptSetup& setup,
                                std::string* commandLine) {
  if (!IsValidRenderRequest(request)) return -1;
  for (const std::string* arg :
       {&request.inputPath, &request.outputPath, &request.userPassword, &request.ownerPassword,
        &setup.ghostscriptDir, &setup.ghostscriptLib, &setup.fontsDirectory}) {
    if (!IsSafeArgument(*arg)) return -1;
  }

  float width = request.width;
  float height = request.height;
  if (request.device != kPdfDevice && (width == 0 || height == 0) && setup.boundingBox) {
    const auto& box = *setup.boundingBox;
    width = PointsToPixels(box[2] - box[0], request.resolutionX);
    height = PointsToPixels(box[3] - box[1], request.resolutionY);
  }

  std::string line = "\"" + setup.ghostscriptDir + kGhostscriptProgram + "\"";
  line += " -q";
  line += " -dBATCH";
  line += " -dMaxBitmap=300000000";
  line += " -dNOPAUSE";
  line += " -dUseCropBox";
  if (setup.inputIsEps) line += " -dEPSFitPage";
  line += " -dSAFER";
  const std::string& password =
      !request.ownerPassword.empty() ? request.ownerPassword : request.userPassword;
  if (!password.empty()) line += " -sPDFPassword=" + Quoted(password);
  line += GhostscriptDeviceArguments(request.device, setup.availableDevices);
  if (IsJpegDevice(request.device) && request.jpegQuality >= 1 && request.jpegQuality <= 100) {
    line += " -dJPEGQ=" + std::to_string(request.jpegQuality);
  }
  if (request.firstPage > 0) line += " -dFirstPage=" + std::to_string(request.firstPage);
  if (request.lastPage > 0) line += " -dLastPage=" + std::to_string(request.lastPage);
  int pixelsX = static_cast<int>(width);
  int pixelsY = static_cast<int>(height);
  if (pixelsX > 0 && pixelsY > 0) line += Format(" -g%dx%d", pixelsX, pixelsY);
  if (request.resolutionX != 0 && request.resolutionY != 0) {
    line += Format(" -r%dx%d", static_cast<int>(request.resolutionX),
                   static_cast<int>(request.resolutionY));
  }
  line += " -dNOPLATFONTS -sFONTPATH=" + Quoted(setup.fontsDirectory);
  // Ghostscript opens a name starting with "%pipe%" or "|" as a pipe to a
  // command, even under -dSAFER: absolute paths never start that way.
  const std::string input = platform::FullPath(request.inputPath);
  // It also reads "%" in the output name as a page-number format.
  std::string output = EscapePercent(platform::FullPath(request.outputPath));
  if (request.numberPages) output = NumberedOutputPath(output);
  line += " -sOutputFile=" + Quoted(output);
  line += " -f " + Quoted(input);
  line += " -I" + Quoted(setup.ghostscriptLib) + " -c quit";
  if (line.size() >= kGhostscriptCommandBytes) return -1;
  *commandLine = std::move(line);
  return 1;
}

int RunGhostscript(const RenderRequest& request, int* exitCode) {
  if (exitCode) *exitCode = -1;
  if (!IsValidRenderRequest(request)) return -1;
  RunPackageStep();

  GhostscriptSetup setup;
  if (!FindGhostscript(&setup.ghostscriptDir, &setup.ghostscriptLib)) {
    // A question box has no one to answer it here: the answer is No.
    std::fputs("Can't locate the Ghostscript in this computer. Would you like to download it?\n",
               stderr);
    return -1;
  }
  setup.fontsDirectory = FontsDirectory();
  // A PDF is never fitted as EPS, and scanning all of a large one for a
  // PostScript header would only cost time.
  setup.inputIsEps = !platform::HasExtension(request.inputPath, ".pdf") &&
                     DetectPostScriptKind(request.inputPath) == 2;
  if (request.device != kPdfDevice && (request.width == 0 || request.height == 0)) {
    Box box{};
    if (ReadBoundingBox(request.inputPath, &box)) {
      setup.boundingBox = std::array<float, 4>{box.llx, box.lly, box.urx, box.ury};
    }
  }
  if (request.device == kDevicePsWrite || request.device == kDeviceEpsWrite ||
      request.device == kDevicePsMono) {
    setup.availableDevices = &ListGhostscriptDevices(setup.ghostscriptDir + kGhostscriptProgram);
  }

  std::string commandLine;
  if (BuildGhostscriptCommandLine(request, setup, &commandLine) != 1) return -1;

  TraceMessage("szCommandLine=%s\n", commandLine.c_str());
  // GS_LIB goes to the child only; this process's environment stays as it was.
  int result = RunHiddenProcess(commandLine, exitCode, {{"GS_LIB", setup.ghostscriptLib}});
  TraceMessage("%s:%d:Result=%d\n", __FILE__, __LINE__, result);
  return result;
}

}  // namespace scrivex
