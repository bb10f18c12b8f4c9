#include "driver/pipeline.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "common/child_process.h"
#include "common/failure_reason.h"
#include "common/temp_files.h"
#include "driver/options.h"
#include "platform/files.h"
#include "platform/output_target.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "platform/termination.h"

namespace scrivex {

using platform::FileExists;
using platform::HasExtension;

namespace {

int RunTool(const std::vector<std::string>& argv, const Converters& converters, std::string* why) {
  return converters.runCommandLine ? converters.runCommandLine(argv, why)
                                   : RunCommandLine(argv, false, why);
}

bool IsPostScriptFamily(const std::string& path) {
  return HasExtension(path, ".pdf") || HasExtension(path, ".ps") || HasExtension(path, ".eps");
}

// Outputs that a converter writes as one file: an existing one is replaced
// only once its successor is complete.
bool IsWrittenAsOneFile(const std::string& path) {
  return HasExtension(path, ".pdf") || HasExtension(path, ".ps") || HasExtension(path, ".tif") ||
         HasExtension(path, ".tiff");
}

int ConvertThroughPrinting(const std::string& input, const std::string& target, Job& job,
                           const std::string& printer, const Converters& converters) {
  if (!converters.convertThroughImageConverter) return 0;
  return converters.convertThroughImageConverter(input, target, job.options, printer, &job.failure,
                                                 &job.written, job.progress);
}

}  // namespace

int ConvertOneFile(const std::string& input, const std::string& target, Job& job,
                   const Converters& converters) {
  if (input.empty() || target.empty()) return -1;
  const ConversionOptions& o = job.options;
  std::string* why = &job.failure;
  job.written.clear();
  if (o.removeBlankPages) {
    // It reports its pages in lines of its own.
    HideProgress(job.progress);
    const int result =
        converters.removeBlankTiffPages ? converters.removeBlankTiffPages(input, target, why) : 0;
    if (result == 1) job.written = {target};
    return result;
  }
  if (!FileExists(input)) {
    if (IsUrl(input)) return ConvertThroughPrinting(input, target, job, job.printer, converters);
    NoteFailure(why, "no such file");
    return -1;
  }
  if (!platform::IsRegularFile(input)) {
    // A FIFO or a device would block the converters for ever.
    NoteFailure(why, "not a regular file");
    return -1;
  }
  if (HasExtension(target, ".emf") || HasExtension(target, ".wmf")) {
    // Only the Inkwell printer writes metafiles.
    return ConvertThroughPrinting(input, target, job, kInkwellPrinterName, converters);
  }
  if (!IsPostScriptFamily(input)) {
    return ConvertThroughPrinting(input, target, job, job.printer, converters);
  }

  int first = -1, last = -1;
  std::string source = input;
  std::string selected;
  if (!o.pageRange.empty()) {
    ParsePageRange(o.pageRange, &first, &last);
    if (HasExtension(input, ".ps")) {
      // The page selector writes its own page lines on standard error.
      HideProgress(job.progress);
      selected = MakeTempFileName(".ps");
      int ok = !selected.empty() && converters.selectPostScriptPages &&
               converters.selectPostScriptPages(input, selected, first, last);
      if (!ok) {
        if (!selected.empty()) platform::RemoveFile(selected);
        NoteFailure(why, "the pages " + o.pageRange + " could not be cut from the PostScript file");
        return -1;
      }
      source = selected;
      // The cut file holds just the range: renumbered from 1, so no range again.
      first = last = -1;
    }
  }
  int result = 0;
  if (converters.convertPsToImage) {
    const ImageRequest request{.input = source,
                               .output = target,
                               .width = static_cast<float>(o.width),
                               .height = static_cast<float>(o.height),
                               .resolutionX = static_cast<float>(o.resolutionX),
                               .resolutionY = static_cast<float>(o.resolutionY),
                               .tiffCompression = o.tiffCompression,
                               .firstPage = first,
                               .lastPage = last,
                               .jpegQuality = o.jpegQuality,
                               .colorBits = o.colorBits,
                               .grayscale = o.grayscale,
                               .userPassword = o.userPassword,
                               .ownerPassword = o.ownerPassword,
                               .progress = job.progress};
    result = converters.convertPsToImage(request, why, &job.written);
  }
  if (o.noSinglePageSuffix) {
    const int renamed = RenameSinglePageOutput(target, why);
    if (renamed < 0) result = 0;
    if (renamed == 1) job.written = {target};
  }
  if (!selected.empty()) platform::RemoveFile(selected);
  return result;
}

namespace {

bool HasDocumentInfo(const ConversionOptions& o) {
  return !o.title.empty() || !o.author.empty() || !o.subject.empty() || !o.keywords.empty();
}

// The tools program's document-information options (an empty text keeps the
// entry); none when nothing is asked for.
std::vector<std::string> DocumentInfoArguments(const ConversionOptions& o) {
  if (!HasDocumentInfo(o)) return {};
  return {"-t", o.title, "-a", o.author, "-s", o.subject, "-k", o.keywords};
}

}  // namespace

std::string ToolsProgramPath() { return platform::ProgramDirectory() + "tools.cfg"; }

int MergeWithExistingPdf(const std::string& newPdf, const std::string& existingPdf, Job& job,
                         const Converters& converters) {
  if (newPdf.empty() || existingPdf.empty()) return 0;
  const ConversionOptions* options = &job.options;
  int mode = options->existingOutputMode;
  if (mode == kOverwriteOutput || mode == kNumberedNewOutput) return 1;
  std::string pages = mode == kInsertBeforeOutput ? "1|0|" + newPdf : newPdf;
  // The document information asked for belongs to the joined file, written
  // in the same step as the pages.
  ReportStage(job.progress, mode == kInsertBeforeOutput
                                ? "putting the pages before the existing PDF"
                                : "appending the pages to the existing PDF");
  std::vector<std::string> args = {ToolsProgramPath(), "-i", existingPdf, "-*", pages};
  for (std::string& arg : DocumentInfoArguments(*options)) args.push_back(std::move(arg));
  int code = RunTool(args, converters, &job.failure);
  // A tool that reported failure has merged nothing, whatever is on disk.
  return code == 0 && FileExists(existingPdf) ? 1 : 0;
}

int SetPdfDocumentInfo(const std::string& pdf, Job& job, const Converters& converters) {
  if (pdf.empty()) return 0;
  std::vector<std::string> args = DocumentInfoArguments(job.options);
  if (args.empty()) return 0;
  ReportStage(job.progress, "writing the document information");
  args.insert(args.begin(), {ToolsProgramPath(), "-i", pdf, "-o", pdf});
  int code = RunTool(args, converters, &job.failure);
  // The tool's failure is the file's: the PDF lacks what was asked for.
  return code == 0 ? 1 : 0;
}

namespace {

// The output's folder takes new files; else why not.
bool CheckOutputFolder(const std::string& output, std::string* why) {
  std::string dir = platform::SplitPath(output).dir;
  if (dir.empty()) dir = "./";
  if (!platform::IsDirectory(dir)) {
    NoteFailure(why, "the output folder " + dir + " does not exist");
    return false;
  }
  if (!platform::IsWritableDirectory(dir)) {
    NoteFailure(why, "the output folder " + dir + " cannot be written");
    return false;
  }
  return true;
}

// The reason a failed file is reported with: the converter's, with a full
// disk said first.
std::string ReportedReason(const std::string& output, std::string reason) {
  std::string dir = platform::SplitPath(output).dir;
  if (platform::DiskIsFull(dir.empty() ? "./" : dir)) {
    reason = "the disk holding " + dir + " is full" + (reason.empty() ? "" : " (" + reason + ")");
  }
  if (reason.empty()) reason = "nothing was produced";
  return reason;
}

int PagesIn(const std::vector<std::string>& files, const Converters& converters) {
  if (!converters.countPages) return static_cast<int>(files.size());
  int pages = 0;
  for (const std::string& file : files) {
    const int counted = converters.countPages(file);
    if (counted <= 0) return 0;  // one that cannot be told leaves the sum unknown
    pages += counted;
  }
  return pages;
}

}  // namespace

std::string ProgressSubject(const std::string& input, size_t index, size_t count) {
  const platform::PathParts parts = platform::SplitPath(input);
  const std::string name = IsUrl(input) ? input : parts.name + parts.ext;
  if (count < 2) return name;
  return "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] " + name;
}

ItemOutcome ConvertListItem(const WorkList& list, size_t i, const ConversionOptions& jobOptions,
                            const std::string& printer, const Converters& converters,
                            bool* listReplaced, const ProgressSink& progress) {
  const std::string& input = list[i].inputPath;
  std::string finalOutput = list[i].outputPath;
  std::string target;
  const long long fileStart = platform::TickCountMs();
  Job job;
  job.options = jobOptions;
  job.printer = printer;
  job.progress = progress;
  ConversionOptions& options = job.options;
  std::string* reason = &job.failure;
  if (list[i].replacesOutput && !*listReplaced) options.existingOutputMode = kOverwriteOutput;
  const bool isPdf = HasExtension(finalOutput, ".pdf");
  // Before anything opens it: another account's link, or a FIFO that would
  // block the lock below for ever, is no output.
  std::string why;
  const bool allowed = platform::CheckOutputTarget(finalOutput, &why);
  if (!allowed) NoteFailure(reason, why);
  const bool exists = allowed && FileExists(finalOutput);
  // An existing output is read, merged or replaced by one run at a time,
  // whatever the queue does (other state roots queue elsewhere).
  platform::UniqueFd lock;
  if (exists) lock = platform::LockExistingFile(finalOutput);
  platform::ReplacementFile side;  // written beside the output, moved over it on success
  bool refused = !allowed || !CheckOutputFolder(finalOutput, reason);
  if (refused || !exists) {
    target = finalOutput;
  } else {
    switch (options.existingOutputMode) {
      case kOverwriteOutput:
        // Keeps the extension: the converters pick the output type by it.
        if (IsWrittenAsOneFile(finalOutput)) side.Create(finalOutput, nullptr, true);
        target = side.path().empty() ? finalOutput : side.path();
        break;
      case kInsertBeforeOutput:
      case kAppendToOutput:
        if (isPdf) {
          target = MakeTempFileName(platform::SplitPath(finalOutput).ext);
        } else {
          // Only PDF pages can be put before or after existing ones.
          NoteFailure(reason,
                      finalOutput + " exists, and only PDF output can be inserted or appended");
          refused = true;
        }
        break;
      case kNumberedNewOutput:
        target = MakeFreeNumberedName(finalOutput);
        finalOutput = target;
        break;
      default:
        break;
    }
  }

  int result = refused ? 0 : ConvertOneFile(input, target, job, converters);
  const bool wantInfo = isPdf && HasDocumentInfo(options);

  if (!side.path().empty()) {
    // Replace the old output only with a complete new one.
    if (result == 1 && platform::FileSize(side.path()) > 0) {
      if (wantInfo && SetPdfDocumentInfo(side.path(), job, converters) != 1) result = 0;
      std::string why;
      if (result == 1 && !side.Commit(&why)) {
        NoteFailure(reason, why);
        result = 0;
      }
    } else if (result == 1) {
      result = 0;
    }
    side.Discard();
  } else if (isPdf && !target.empty() && !refused) {
    if (result == 1 && wantInfo && target == finalOutput &&
        SetPdfDocumentInfo(target, job, converters) != 1) {
      result = 0;
      // A new file without what was asked for is no result.
      if (target == finalOutput && !exists) platform::RemoveFile(finalOutput);
    }
    if (target != finalOutput) {
      if (result == 1 && FileExists(target) &&
          !MergeWithExistingPdf(target, finalOutput, job, converters)) {
        result = 0;
      }
      platform::RemoveFile(target);
    }
  }
  if (result == 1 && list[i].replacesOutput) *listReplaced = true;
  // A file written beside the output or merged into it is the output now.
  if (result != 1) {
    job.written.clear();
  } else if (target != finalOutput) {
    job.written = {finalOutput};
  }

  if (options.viewResult && FileExists(finalOutput) && converters.openResult)
    converters.openResult(finalOutput);

  ItemOutcome outcome;
  outcome.result = result;
  FileRecord& record = outcome.record;
  record.input = input;
  record.output = finalOutput;
  record.converted = result == 1;
  record.files = job.written;
  record.pages = record.converted ? PagesIn(job.written, converters) : 0;
  record.reason = result == 1 ? "" : ReportedReason(finalOutput, job.failure);
  record.seconds = (platform::TickCountMs() - fileStart) * 0.001;
  return outcome;
}

void ReportPercentage(size_t i, size_t n) {
  if (n < 2) return;
  std::printf("Brindle Inc: %d\n", static_cast<int>((100 * i + 99) / n));
  std::fflush(stdout);
}

void ReportItem(const ItemOutcome& outcome, const Reporting& reporting) {
  const FileRecord& record = outcome.record;
  if (outcome.result != 1) {
    std::fprintf(stderr, "%s: %s\n", record.input.c_str(), record.reason.c_str());
    std::fflush(stderr);
  }
  std::string line = record.input + " ==> " + record.output +
                     ", result = " + (outcome.result == 1 ? "Successful" : "Failed") + "\n";
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
  if (reporting.onFile) reporting.onFile(record);
}

void ReportConversionTime(long long elapsedMs) {
  std::printf("Conversion time = %.2fs (%dms)\n", elapsedMs * 0.001, static_cast<int>(elapsedMs));
  std::fflush(stdout);
}

int ConvertAll(const WorkList& list, const ConversionOptions& jobOptions,
               const std::string& printer, const Converters& converters,
               const Reporting& reporting) {
  long long start = platform::TickCountMs();
  int result = 1;
  bool listReplaced = false;  // a list's earlier output gave way to its first converted entry
  const size_t n = list.size();
  for (size_t i = 0; i < n && !platform::TerminationSignal(); ++i) {
    ReportPercentage(i, n);
    ProgressSink progress;
    if (reporting.progress) {
      reporting.progress->Begin(ProgressSubject(list[i].inputPath, i, n));
      progress = reporting.progress->Sink();
    }
    const ItemOutcome outcome =
        ConvertListItem(list, i, jobOptions, printer, converters, &listReplaced, progress);
    result = outcome.result;
    // The file's lines print on a clean line.
    if (reporting.progress) reporting.progress->Hide();
    ReportItem(outcome, reporting);
  }
  ReportConversionTime(platform::TickCountMs() - start);
  return result;
}

}  // namespace scrivex
