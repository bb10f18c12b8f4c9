#include "ghostscript/ghostscript_command.h"

#include <algorithm>
#include <cstdio>

#include "common/child_process.h"
#include "common/failure_reason.h"
#include "common/trace.h"
#include "ghostscript/font_map.h"
#include "ghostscript/ghostscript_locator.h"
#include "platform/files.h"
#include "platform/path.h"
#include "postscript/postscript_kind.h"
#include "postscript/ps_extent.h"

namespace scrivex {
namespace {

constexpr int kPdfDevice = kDevicePdfWrite;
constexpr char kRenderingStage[] = "rendering";

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

std::string Pair(int a, int b) { return std::to_string(a) + "x" + std::to_string(b); }

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

bool BuildGhostscriptArguments(const RenderRequest& request, const GhostscriptSetup& setup,
                               std::vector<std::string>* argv) {
  if (!IsValidRenderRequest(request)) return false;

  float width = request.width;
  float height = request.height;
  if (request.device != kPdfDevice && (width == 0 || height == 0) && setup.boundingBox) {
    const auto& box = *setup.boundingBox;
    width = PointsToPixels(box[2] - box[0], request.resolutionX);
    height = PointsToPixels(box[3] - box[1], request.resolutionY);
  }

  std::vector<std::string> args = {setup.ghostscriptDir + kGhostscriptProgram,
                                   "-q",
                                   "-dBATCH",
                                   "-dMaxBitmap=300000000",
                                   "-dNOPAUSE",
                                   "-dUseCropBox"};
  // Only when not quiet does it name a PDF's pages as it starts them.
  if (request.progress && platform::HasExtension(request.inputPath, ".pdf")) {
    args.erase(args.begin() + 1);
  }
  if (setup.inputIsEps) args.push_back("-dEPSFitPage");
  args.push_back("-dSAFER");
  if (request.olderPdfReader) args.push_back("-dNEWPDF=false");
  const std::string& password =
      !request.ownerPassword.empty() ? request.ownerPassword : request.userPassword;
  if (!password.empty()) args.push_back("-sPDFPassword=" + password);
  for (std::string& arg : GhostscriptDeviceArguments(request.device, setup.availableDevices)) {
    args.push_back(std::move(arg));
  }
  if (IsJpegDevice(request.device) && request.jpegQuality >= 1 && request.jpegQuality <= 100) {
    args.push_back("-dJPEGQ=" + std::to_string(request.jpegQuality));
  }
  if (request.bigTiff) args.push_back("-dUseBigTIFF");
  if (request.firstPage > 0) args.push_back("-dFirstPage=" + std::to_string(request.firstPage));
  if (request.lastPage > 0) args.push_back("-dLastPage=" + std::to_string(request.lastPage));
  int pixelsX = static_cast<int>(width);
  int pixelsY = static_cast<int>(height);
  if (pixelsX > 0 && pixelsY > 0) args.push_back("-g" + Pair(pixelsX, pixelsY));
  if (request.resolutionX != 0 && request.resolutionY != 0) {
    args.push_back(
        "-r" + Pair(static_cast<int>(request.resolutionX), static_cast<int>(request.resolutionY)));
  }
  if (setup.fontArguments.empty()) {
    args.push_back("-dNOPLATFONTS");
    args.push_back("-sFONTPATH=" + setup.fontsDirectory);
  }
  args.insert(args.end(), setup.fontArguments.begin(), setup.fontArguments.end());
  // Ghostscript opens a name starting with "%pipe%" or "|" as a pipe to a
  // command, even under -dSAFER: absolute paths never start that way.
  const std::string input = platform::FullPath(request.inputPath);
  // It also reads "%" in the output name as a page-number format.
  std::string output = EscapePercent(platform::FullPath(request.outputPath));
  if (request.numberPages) output = NumberedOutputPath(output);
  args.push_back("-sOutputFile=" + output);
  args.push_back("-f");
  args.push_back(input);
  args.push_back("-I" + setup.ghostscriptLib);
  args.push_back("-c");
  args.push_back("quit");
  if (FormatCommandLine(args).size() >= kGhostscriptCommandBytes) return false;
  *argv = std::move(args);
  return true;
}

bool ReadGhostscriptLine(const std::string& line, GhostscriptPages* pages) {
  int first = 0, last = 0, page = 0, end = 0;
  if (std::sscanf(line.c_str(), "Processing pages %d through %d.%n", &first, &last, &end) == 2 &&
      static_cast<size_t>(end) == line.size()) {
    pages->first = first;
    pages->last = last;
    return true;
  }
  if (std::sscanf(line.c_str(), "Page %d%n", &page, &end) == 1 &&
      static_cast<size_t>(end) == line.size() &&
      line.find_first_of(" +-", 5) == std::string::npos) {
    pages->current = page;
    return true;
  }
  for (const char* chatter : {"GPL Ghostscript ", "Artifex Ghostscript ", "Copyright (C) ",
                              "This software is supplied under ", "see the file COPYING ",
                              "Loading ", "Querying operating system for font files"}) {
    if (line.rfind(chatter, 0) == 0) return true;
  }
  return false;
}

std::string PdfReaderRefusal(const std::string& output) {
  const size_t at =
      std::min(output.find("Couldn't initialise file"), output.find("No pages will be processed"));
  if (at == std::string::npos) return "";
  size_t start = output.rfind('\n', at);
  start = start == std::string::npos ? 0 : start + 1;
  std::string line = output.substr(start, output.find('\n', at) - start);
  // "   **** Error: Couldn't initialise file." says it after its marker.
  size_t text = line.find("Error: ");
  text = text == std::string::npos ? line.find_first_not_of(" *\t") : text + 7;
  line.erase(0, text);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

int RunGhostscript(const RenderRequest& request, std::string* why, int* exitCode,
                   std::string* output) {
  if (exitCode) *exitCode = -1;
  if (!IsValidRenderRequest(request)) return -1;
  RunPackageStep();

  GhostscriptSetup setup;
  if (!FindGhostscript(&setup.ghostscriptDir, &setup.ghostscriptLib)) {
    // A question box has no one to answer it here: the answer is No.
    HideProgress(request.progress);
    std::fputs("Can't locate the Ghostscript in this computer. Would you like to download it?\n",
               stderr);
    NoteFailure(why, "Ghostscript is not installed");
    return -1;
  }
  setup.fontsDirectory = FontsDirectory();
  setup.fontArguments =
      GhostscriptFontArguments(setup.ghostscriptDir + kGhostscriptProgram, setup.ghostscriptLib,
                               setup.fontsDirectory, request.inputPath);
  // A PDF is never fitted as EPS, and its pages have their own boxes: a
  // "%%BoundingBox" inside one (an embedded EPS, a comment in a stream) is no
  // size of its pages, and scanning a large one would only cost time.
  const bool pdf = platform::HasExtension(request.inputPath, ".pdf");
  setup.inputIsEps = !pdf && DetectPostScriptKind(request.inputPath) == 2;
  if (!pdf && request.device != kPdfDevice && (request.width == 0 || request.height == 0)) {
    Box box{};
    if (ReadBoundingBox(request.inputPath, &box)) {
      setup.boundingBox = std::array<float, 4>{box.llx, box.lly, box.urx, box.ury};
    }
  }
  if (request.device == kDevicePsWrite || request.device == kDeviceEpsWrite ||
      request.device == kDevicePsMono) {
    setup.availableDevices = &ListGhostscriptDevices(setup.ghostscriptDir + kGhostscriptProgram);
  }

  std::vector<std::string> argv;
  if (!BuildGhostscriptArguments(request, setup, &argv)) return -1;

  if (TraceEnabled()) TraceMessage("szCommandLine=%s\n", FormatCommandLine(argv).c_str());
  // GS_LIB goes to the child only; this process's environment stays as it was.
  HiddenProcessOptions options;
  options.env = {{"GS_LIB", setup.ghostscriptLib}};
  options.outputTail = output;
  options.why = why;
  options.whileRunning = request.whileRunning;
  GhostscriptPages pages;
  if (request.progress) {
    ReportStage(request.progress, kRenderingStage);
    options.onOutputLine = [&](const std::string& line) {
      const int before = pages.current;
      if (!ReadGhostscriptLine(line, &pages)) return false;
      if (pages.current > 0 && pages.current != before) {
        const bool named = pages.first > 0 && pages.last >= pages.first;
        ReportPage(request.progress, kRenderingStage,
                   named ? pages.current - pages.first + 1 : pages.current,
                   named ? pages.last - pages.first + 1 : 0);
      }
      return true;
    };
  }
  int result = RunHiddenProcess(argv, exitCode, options);
  TraceMessage("%s:%d:Result=%d\n", __FILE__, __LINE__, result);
  return result;
}

}  // namespace scrivex
