#include "render/ps_to_image.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "common/failure_reason.h"
#include "common/trace.h"
#include "ghostscript/ghostscript_command.h"
#include "ghostscript/ghostscript_device.h"
#include "image/image_converter.h"
#include "image/output_check.h"
#include "image/post_process.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// Ghostscript ran and finished without an error. An aborted run may still
// leave files (pdfwrite writes a blank page even for a missing input), and
// files from an earlier run may lie there too: neither is a result. Its PDF
// reader can refuse a file that opens elsewhere (the input check has opened
// it) and still end with 0; the older reader gets one more try then.
bool RanCleanly(RenderRequest request, std::string* why) {
  for (;;) {
    int exitCode = -1;
    std::string said;
    if (RunGhostscript(request, why, &exitCode, &said) != 1 || exitCode != 0) return false;
    const std::string refusal = PdfReaderRefusal(said);
    if (refusal.empty()) return true;
    if (request.olderPdfReader || !platform::HasExtension(request.inputPath, ".pdf")) {
      NoteFailure(why, "Ghostscript cannot read the file: " + refusal);
      return false;
    }
    TraceMessage(
        "Ghostscript's PDF reader refused %s (%s); reading it again with its older reader\n",
        request.inputPath.c_str(), refusal.c_str());
    // Pages the refused run left (a blank one) are no part of the result; a
    // single file is written over from its start.
    if (request.numberPages) {
      for (const std::string& page : ListPageFiles(request.outputPath)) platform::RemoveFile(page);
    }
    request.olderPdfReader = true;
  }
}

constexpr char kCheckingStage[] = "checking the output";

bool IsDcxOrMng(const std::string& output) {
  return platform::HasExtension(output, ".dcx") || platform::HasExtension(output, ".mng");
}

int PngDeviceFor(int colorBits, bool gray, const std::string& output) {
  if (gray) return kDevicePngGray;
  if (colorBits == 1) return kDevicePngMono;
  // A GIF holds at most 256 colours: rendered with a palette already, its
  // pages need no colour reduction, which costs the converter most of its time.
  if (colorBits == 8 || platform::HasExtension(output, ".gif")) return kDevicePng256;
  return kDevicePng16m;
}

// The input file holds something to render: an empty or unreadable one
// renders to a blank page that is no result.
bool CheckInputFile(const std::string& input, std::string* why) {
  if (!platform::FileExists(input)) {
    NoteFailure(why, "no such file");
    return false;
  }
  if (!platform::IsRegularFile(input)) {
    NoteFailure(why, "not a regular file");
    return false;
  }
  if (platform::FileSize(input) == 0) {
    NoteFailure(why, "the file is empty");
    return false;
  }
  return true;
}

// The pages a PDF input yields for the range; 0 when unknown.
int ExpectedPages(int pageCount, int firstPage, int lastPage) {
  if (pageCount <= 0) return 0;
  int first = firstPage > 0 ? firstPage : 1;
  int last = lastPage > 0 && lastPage < pageCount ? lastPage : pageCount;
  return last >= first ? last - first + 1 : 0;
}

// Classic TIFF ends at 4 GiB: pages (of a PDF, whose area is known) that
// could pass that uncompressed at this resolution and depth make a BigTIFF.
bool NeedsBigTiff(double pagesArea, const std::string& output, float resolutionX, float resolutionY,
                  int colorBits) {
  if (!platform::HasExtension(output, ".tif") && !platform::HasExtension(output, ".tiff")) {
    return false;
  }
  double dpiX = resolutionX > 0 ? resolutionX : 72;
  double dpiY = resolutionY > 0 ? resolutionY : 72;
  double bytes = pagesArea / (72.0 * 72.0) * dpiX * dpiY * (colorBits > 1 ? 4 : 1);
  return bytes > 3.5 * 1024 * 1024 * 1024;
}

// A PDF input's pages, read with qpdf: one that does not open, has none or
// has fewer than the range's first is refused (it would render to a blank
// page), and pages that could pass the classic TIFF's limit need a BigTIFF.
// The check runs while Ghostscript already renders (RenderRequest::
// whileRunning): loading qpdf and reading the file would otherwise hold up
// the start of every PDF's rendering. Ghostscript is stopped when the check
// refuses the input, or when it needs a BigTIFF, and renders again with one.
struct PdfPageCheck {
  explicit PdfPageCheck(const ImageRequest& request) : asked(request) {}

  const ImageRequest& asked;
  bool done = false;
  int pageCount = 0;  // 0 for other input
  bool bigTiff = false;
  std::string failure;  // why the input is refused

  // Checks the input once; true when Ghostscript may go on as it started.
  bool Run() {
    if (!done && platform::HasExtension(asked.input, ".pdf")) {
      std::string error;
      double area = 0;
      const int pages = CountPdfPages(asked.input, true, &error, &area);
      if (pages < 0) {
        failure = "not a readable PDF: " + error;
      } else if (pages == 0) {
        failure = "the PDF has no pages";
      } else if (asked.firstPage > pages) {
        failure = "the range starts at page " + std::to_string(asked.firstPage) + " of a " +
                  std::to_string(pages) + "-page document";
      } else {
        pageCount = pages;
        bigTiff =
            NeedsBigTiff(area, asked.output, asked.resolutionX, asked.resolutionY, asked.colorBits);
      }
    }
    done = true;
    return failure.empty() && !bigTiff;
  }
};

// RanCleanly with the PDF check running while Ghostscript starts: nothing
// rendered counts before the check has passed, and pages that need a BigTIFF
// render again with it.
bool RanCleanlyChecked(RenderRequest request, PdfPageCheck& check, std::string* why) {
  request.whileRunning = [&check] { return check.Run(); };
  const bool rendered = RanCleanly(request, why);
  check.Run();  // a Ghostscript that never started waited for no check
  if (!check.failure.empty()) return false;
  if (check.bigTiff && !request.bigTiff) {
    if (request.numberPages) {
      for (const std::string& page : ListPageFiles(request.outputPath)) platform::RemoveFile(page);
    }
    request.bigTiff = true;
    request.whileRunning = nullptr;
    return RanCleanly(request, why);
  }
  return rendered;
}

// The pages of a PostScript file by its page comments, which Ghostscript's
// writer puts before each page.
int CountPostScriptPages(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return -1;
  const std::string mark = "\n%%Page:";
  std::string carry;
  std::vector<char> buffer(1 << 16);
  int pages = 0;
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    std::string chunk = carry + std::string(buffer.data(), static_cast<size_t>(in.gcount()));
    for (size_t at = chunk.find(mark); at != std::string::npos; at = chunk.find(mark, at + 1)) {
      ++pages;
    }
    carry = chunk.substr(chunk.size() - std::min(chunk.size(), mark.size() - 1));
  }
  return in.bad() ? -1 : pages;
}

// A written file is whole, by the type its final name gives, and holds the
// pages the input asked for when that is known (at least one).
bool IsCompleteOutput(const std::string& path, const std::string& finalName, int expectedPages,
                      std::string* why) {
  std::string error;
  bool whole;
  if (platform::HasExtension(finalName, ".ps")) {
    int pages = CountPostScriptPages(path);
    whole = pages > 0 && (expectedPages == 0 || pages == expectedPages);
    if (!whole) {
      error = pages < 0 ? "it cannot be read" : "it holds " + std::to_string(pages) + " pages";
      if (pages >= 0 && expectedPages) error += " of " + std::to_string(expectedPages);
    }
  } else if (platform::HasExtension(finalName, ".pdf")) {
    int pages = CountPdfPages(path, false, &error);
    whole = pages > 0 && (expectedPages == 0 || pages == expectedPages);
    if (whole && expectedPages == 0 && IsSingleEmptyPagePdf(path)) {
      NoteFailure(why, "the document yielded no page");
      return false;
    }
    if (pages >= 0 && !whole) {
      error = "it holds " + std::to_string(pages) + " pages" +
              (expectedPages ? " of " + std::to_string(expectedPages) : "");
    }
  } else {
    int pages = 0;
    whole = IsCompleteImageFile(path, finalName, &error, &pages);
    if (whole && expectedPages > 0 && pages != expectedPages) {
      whole = false;
      error = "it holds " + std::to_string(pages) + " pages of " + std::to_string(expectedPages);
    }
  }
  if (!whole) {
    std::string dir = platform::SplitPath(path).dir;
    if (platform::DiskIsFull(dir.empty() ? "./" : dir)) {
      NoteFailure(why, "the disk holding " + dir + " is full");
    }
    NoteFailure(why, "the output is incomplete: " + error);
  }
  return whole;
}

// GIF, TGA, DCX and MNG: Ghostscript renders PNG pages into the temporary
// folder and the image converter writes the requested format from them, one
// file per page (GIF, TGA, numbered like every paged output, into `pageDir`)
// or one file for the whole document (DCX, MNG).
int RenderThroughPngPages(RenderRequest request, PdfPageCheck& check, int colorBits, bool gray,
                          const std::string& pageDir, std::string* why) {
  const std::string output = request.outputPath;
  // The PNG pages go to a private folder of this run, removed with them.
  platform::StagingFolder pngDir;
  std::string error;
  if (!pngDir.CreateIn(platform::TempDirectory(), &error)) {
    NoteFailure(why, error);
    return 0;
  }
  const std::string pngBase = pngDir.path() + "page.png";
  request.outputPath = pngBase;
  request.device = PngDeviceFor(colorBits, gray, output);
  request.numberPages = 1;
  bool rendered = RanCleanlyChecked(request, check, why);

  std::vector<std::string> pages = ListPageFiles(pngBase);
  int result = rendered && !pages.empty() ? 1 : 0;
  if (rendered && pages.empty()) NoteFailure(why, "the document yielded no page");
  constexpr char kConvertingStage[] = "converting the pages";
  if (result == 0) {
    // Nothing to convert.
  } else if (IsDcxOrMng(output)) {
    ReportStage(request.progress, kConvertingStage);
    result = RunImageConverter(pages, output, why);
  } else {
    platform::PathParts out = platform::SplitPath(output);
    size_t numberAt = platform::SplitPath(pngBase).name.size();  // the "_NNNN" that follows
    const int count = static_cast<int>(pages.size());
    for (int i = 0; i < count; ++i) {
      ReportPage(request.progress, kConvertingStage, i + 1, count);
      std::string suffix = platform::SplitPath(pages[i]).name.substr(numberAt);
      if (suffix.empty()) continue;  // the base name alone is no page
      if (!ConvertImagePage(pages[i], pageDir + out.name + suffix + out.ext, why)) result = 0;
    }
  }
  return result;
}

}  // namespace

int CountOutputPages(const std::string& path) {
  std::string why;
  if (platform::HasExtension(path, ".pdf")) return std::max(CountPdfPages(path, false, &why), 0);
  if (platform::HasExtension(path, ".ps")) return std::max(CountPostScriptPages(path), 0);
  if (IsDcxOrMng(path)) return 0;
  if (platform::HasExtension(path, ".eps") || platform::HasExtension(path, ".emf") ||
      platform::HasExtension(path, ".wmf")) {
    return platform::FileSize(path) > 0 ? 1 : 0;
  }
  int pages = 0;
  return IsCompleteImageFile(path, path, &why, &pages) ? pages : 0;
}

bool NeedsImageConverter(const std::string& output) {
  return IsDcxOrMng(output) || platform::HasExtension(output, ".gif") ||
         platform::HasExtension(output, ".tga");
}

namespace {

// ConvertPsToImage once the input file is there: the PDF check runs while
// Ghostscript starts. The reasons go to *why, which counts only when the
// check has passed.
int RenderInput(const ImageRequest& asked, PdfPageCheck& check, std::string* why,
                std::vector<std::string>* written) {
  const std::string& input = asked.input;
  const std::string& output = asked.output;
  const float resolutionX = asked.resolutionX, resolutionY = asked.resolutionY;
  const int tiffCompression = asked.tiffCompression, colorBits = asked.colorBits;
  const int firstPage = asked.firstPage, lastPage = asked.lastPage;
  const ProgressSink& progress = asked.progress;

  int singleFile = 0;
  RenderRequest request;
  request.inputPath = input;
  request.outputPath = output;
  request.width = asked.width;
  request.height = asked.height;
  request.userPassword = asked.userPassword;
  request.ownerPassword = asked.ownerPassword;
  request.resolutionX = resolutionX;
  request.resolutionY = resolutionY;
  request.device = SelectGhostscriptDevice(output, colorBits, tiffCompression, &singleFile);
  request.numberPages = !singleFile;
  request.firstPage = firstPage;
  request.lastPage = lastPage;
  request.jpegQuality = asked.jpegQuality;
  request.progress = progress;
  if (NeedsImageConverter(output)) singleFile = IsDcxOrMng(output);

  // -y asks for 8-bit gray whatever the depth, where the type has a gray form.
  int depth = colorBits;
  int grayDevice = asked.grayscale ? GrayDeviceFor(output) : -1;
  if (grayDevice >= 0) {
    request.device = grayDevice;
    depth = 8;
  }
  const int dpiX = static_cast<int>(resolutionX);
  const int dpiY = static_cast<int>(resolutionY);
  std::string error;

  if (singleFile && !NeedsImageConverter(output)) {
    // One file holds the whole result: Ghostscript writes it under a fresh
    // name that replaces the output only once it is rendered, whole and
    // finished, so a failure at any step never destroys an earlier output.
    platform::ReplacementFile staging;
    if (!staging.Create(output, &error, true)) {
      NoteFailure(why, error);
      return 0;
    }
    request.outputPath = staging.path();
    if (!RanCleanlyChecked(request, check, why)) return 0;
    ReportStage(progress, kCheckingStage);
    const int expected = ExpectedPages(check.pageCount, firstPage, lastPage);
    if (!IsCompleteOutput(staging.path(), output, expected, why)) return 0;
    if (FinishImageFiles({staging.path()}, output, depth, tiffCompression, dpiX, dpiY, why,
                         progress) != 1) {
      return 0;
    }
    if (!staging.Commit(&error)) {
      NoteFailure(why, error);
      return 0;
    }
    if (written) *written = {output};
    return 1;
  }
  if (singleFile) {  // DCX, MNG: the converter replaces the output itself
    if (RenderThroughPngPages(request, check, colorBits, asked.grayscale != 0, "", why) != 1 ||
        !IsCompleteOutput(output, output, 0, why)) {
      return 0;
    }
    if (written) *written = {output};
    return 1;
  }

  // Page files collect in a folder beside the output and replace its earlier
  // pages as one series once every page is whole.
  platform::StagingFolder folder;
  if (!folder.Create(output, &error)) {
    NoteFailure(why, error);
    return 0;
  }
  platform::PathParts out = platform::SplitPath(output);
  const std::string staged = folder.path() + out.name + out.ext;
  if (NeedsImageConverter(output)) {
    if (RenderThroughPngPages(request, check, colorBits, asked.grayscale != 0, folder.path(),
                              why) != 1) {
      return 0;
    }
  } else {
    request.outputPath = staged;
    if (!RanCleanlyChecked(request, check, why)) return 0;
  }
  ReportStage(progress, kCheckingStage);
  const int expected = ExpectedPages(check.pageCount, firstPage, lastPage);
  std::vector<std::string> pages = ListPageFiles(staged);
  if (pages.empty()) {
    NoteFailure(why, "the document yielded no page");
    return 0;
  }
  if (expected > 0 && static_cast<int>(pages.size()) != expected) {
    NoteFailure(why, "the output is incomplete: " + std::to_string(pages.size()) + " of " +
                         std::to_string(expected) + " pages");
    return 0;
  }
  for (const std::string& page : pages) {
    if (!IsCompleteOutput(page, output, 0, why)) return 0;
  }
  std::string probe = platform::MakePath(out.drive, out.dir, out.name + "_0001", out.ext);
  if (FinishImageFiles(pages, probe, depth, tiffCompression, dpiX, dpiY, why, progress) != 1)
    return 0;
  if (!ReplacePageSeries(pages, output, &error, written)) {
    NoteFailure(why, error);
    return 0;
  }
  return 1;
}

}  // namespace

int ConvertPsToImage(const ImageRequest& asked, std::string* why,
                     std::vector<std::string>* written) {
  if (written) written->clear();
  ReportStage(asked.progress, "reading the input");
  if (!CheckInputFile(asked.input, why)) return 0;
  PdfPageCheck check(asked);
  std::string rendering;
  const int result = RenderInput(asked, check, &rendering, written);
  // A refused input fails for that, whatever happened after.
  check.Run();
  NoteFailure(why, check.failure);
  NoteFailure(why, rendering);
  return check.failure.empty() ? result : 0;
}

}  // namespace scrivex
