#include "apps/print_document.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

#include "apps/html_route.h"
#include "apps/image_print.h"
#include "apps/routes.h"
#include "apps/shell_verb.h"
#include "common/child_process.h"
#include "common/failure_reason.h"
#include "common/temp_files.h"
#include "common/url.h"
#include "image/image_converter.h"
#include "image/output_check.h"
#include "image/post_process.h"
#include "pdf/pdf_document.h"
#include "pdf/pdf_merge.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "platform/state_root.h"
#include "printer/completion_mapping.h"
#include "printer/default_printer.h"
#include "printer/driver_settings.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

bool Is(const std::string& ext, const char* wanted) { return platform::EqualsNoCase(ext, wanted); }

bool PrintsToCreator(const PrintJob& job) { return job.printer == kCreatorPrinterName; }

// The route by extension, first match wins.
int PrintByType(PrintJob& job, const std::string& ext) {
  if (Is(ext, ".doc") || Is(ext, ".rtf")) return PrintWithWord(job);
  if (Is(ext, ".xls")) return PrintWithExcel(job);
  if (Is(ext, ".ppt")) return PrintWithPowerPoint(job);
  if (Is(ext, ".pdf")) {
    int printed = PrintWithAcrobat(job);
    return printed ? printed : ShellPrintPdf(job);
  }
  if (Is(ext, ".vsd")) return PrintWithVisio(job);
  if (Is(ext, ".htm") || Is(ext, ".html")) return PrintHtmlWithCreator(job);
  if (Is(ext, ".txt")) return PrintTextWithNotepad(job);
  // An image prints once, on A4 portrait, whatever the printer's own paper.
  constexpr int kCopies = 1;
  int printed = PrintImageFile(job.input, job.printer, spool::DMORIENT_PORTRAIT, spool::DMPAPER_A4,
                               kCopies, job.why);
  return printed ? printed : ShellPrintDocument(job);
}

constexpr const char* kRouteTypes[] = {".doc", ".rtf", ".xls", ".ppt", ".pdf", ".vsd", ".htm",
                                       ".html", ".txt"};
constexpr const char* kRasterTypes[] = {".png", ".jpg", ".jpeg", ".gif", ".bmp", ".tif", ".tiff"};

// While a route prints, the printer's driver (which the spooler runs as the
// route hands it the job) reports how far it got into the block; a thread
// shows that, since the program itself waits on the route meanwhile. It
// stops before the route's result is used, so the line is ours again.
int WatchingTheDriver(PrintJob& job, const std::function<int()>& print) {
  if (!job.progress) return print();
  AskDriverProgress(job.completion);
  uint32_t seen = 0;
  auto showReport = [&job, &seen] {
    ProgressUpdate update;
    if (ReadDriverProgress(job.completion, &seen, &update) && !update.stage.empty()) {
      job.progress(update);
    }
  };
  int printed;
  {
    std::jthread watch([&showReport](std::stop_token stop) {
      while (!stop.stop_requested()) {
        showReport();
        platform::SleepMs(50);
      }
    });
    printed = print();
  }
  showReport();  // the driver's last word, when the watch missed it
  return printed;
}

// The documents the office's applications print.
bool IsOfficeDocument(const std::string& ext) {
  return Is(ext, ".doc") || Is(ext, ".rtf") || Is(ext, ".xls") || Is(ext, ".ppt") ||
         Is(ext, ".vsd");
}

// A document the office died over, converted again by the office's own
// converter and handed to the default printer as the office routes hand
// their PDFs: the pages the route would have printed (Word a list, Excel and
// PowerPoint a span, Visio all). True when submitted; else false with the
// reason noted, the first try's when the office did not die over it.
bool PrintAgainThroughOffice(PrintJob& job, const std::string& ext) {
  if (!job.run->officeRetry) return false;
  std::string pages = job.options.pageRange;
  if (!pages.empty() && !Is(ext, ".doc") && !Is(ext, ".rtf")) {
    int first, last;
    ParsePageRange(pages, &first, &last);
    pages = Is(ext, ".vsd") ? "" : std::to_string(first) + "-" + std::to_string(last);
  }
  const std::string pdf = MakeTempFileName(".pdf");
  if (pdf.empty()) return false;
  bool submittedAll = false;
  if (job.run->officeRetry(job.input, pdf, pages, job.why) == 1) {
    spool::SubmittedJob submitted;
    const std::string printer = spool::DefaultPrinterName();
    submittedAll =
        spool::SubmitPrintJob(printer, pdf, platform::SplitPath(job.input).name, &submitted);
    if (!submittedAll) {
      NoteFailure(job.why, "the print job to \"" + printer + "\" failed: " + submitted.failure);
    }
  }
  platform::RemoveFile(pdf);
  return submittedAll;
}

// The Excel route's sheet files become the output. A sheet that was
// listed but never written fails the document: nothing replaces the output.
// True when the output was placed.
bool PlaceOutputFiles(PrintJob& job, bool printed) {
  const std::vector<std::string>& files = job.outputFiles.files;
  const std::string& output = job.output;
  std::string* why = job.why;
  for (const std::string& file : files) {
    if (platform::FileSize(file) <= 0) {
      NoteFailure(why, "the sheet file " + file + " was not written");
      printed = false;
    }
  }
  bool placed = false;
  if (printed && files.size() == 1) {
    std::string error;
    if (platform::MoveFileReplace(files[0], output, &error)) return true;
    NoteFailure(why, "the printed file could not be moved to " + output + ": " + error);
  } else if (printed) {
    placed = MergePdfParts(files, output, job.handOff) == kMergeWritten;
    if (!placed) NoteFailure(why, "the sheet files could not be joined into " + output);
  }
  if (!job.handOff || job.handOff->excelMode != 3) {
    for (const std::string& file : files) platform::RemoveFile(file);
  }
  return placed;
}

// The shell's printing programs (ours prints through the office and
// Ghostscript) read their settings.
std::vector<std::string> ShellPrintConfiguration() {
  std::vector<std::string> paths = platform::kOfficeConfiguration;
  paths.insert(paths.end(), platform::kGhostscriptConfiguration.begin(),
               platform::kGhostscriptConfiguration.end());
  return paths;
}

}  // namespace

bool RunBoxedPrinter(const std::vector<std::string>& command, const std::string& input,
                     const std::vector<std::string>& configuration, std::string* why,
                     const ProgressSink& progress) {
  platform::StagingFolder work;
  std::string error;
  if (!work.CreateIn(platform::TempDirectory(), &error)) {
    NoteFailure(why, error);
    return false;
  }
  const std::string root = platform::StateRoot();
  HiddenProcessOptions options;
  platform::Confinement box;
  box.readOnly = {platform::FullPath(input), root};
  box.writable = {work.path()};
  box.configuration = configuration;
  options.confinement.emplace(std::move(box));
  options.env = {{"SCRIVEX_HOME", root},
                 {"TMPDIR", work.path()},
                 {"HOME", work.path()},
                 {spool::kJobOutboxVariable, work.path()}};
  options.why = why;
  if (progress) {
    ReportStage(progress, "printing with " + platform::SplitPath(command[0]).name);
    options.env.push_back({kProgressVariable, std::string("lines")});
    options.onOutputLine = [&progress](const std::string& line) {
      ProgressUpdate update;
      if (!ReadProgressLine(line, &update)) return false;
      if (!update.stage.empty()) progress(update);
      return true;
    };
  }
  int exitCode = -1;
  if (RunHiddenProcess(command, &exitCode, options) != 1 || exitCode != 0) return false;
  const std::string printer = spool::DefaultPrinterName();
  ReportStage(progress, "handing the job to the printer");
  int submitted = spool::SubmitHeldJobs(work.path(), printer, &error);
  if (submitted < 0) NoteFailure(why, error);
  if (submitted == 0) {
    NoteFailure(why, platform::SplitPath(command[0]).name + " ended without printing anything");
  }
  return submitted > 0;
}

bool HasPrintRoute(const std::string& ext) {
  for (const char* type : kRouteTypes) {
    if (Is(ext, type)) return true;
  }
  for (const char* type : kRasterTypes) {
    if (Is(ext, type)) return true;
  }
  return IsPrintHelperType(ext);
}

int PrintDocument(const std::string& input, const std::string& output,
                  const ConversionOptions* options, const std::string& printer, PrintRun& run,
                  std::string* why, std::vector<std::string>* produced,
                  const ProgressSink& progress) {
  // The type, from the extension; an address prints as a web page.
  std::string ext;
  if (!platform::FileExists(input)) {
    if (!IsUrl(input)) {
      NoteFailure(why, "no such file");
      return 0;
    }
    ext = ".htm";
  } else {
    ext = platform::SplitPath(input).ext;
    // Nothing to print: no application gets to turn it into a blank page.
    if (platform::FileSize(input) == 0) {
      NoteFailure(why, "the file is empty");
      return 0;
    }
  }
  PrintJob job;
  job.input = input;
  job.output = output;
  job.printer = printer;
  job.run = &run;
  job.why = why;
  job.progress = progress;
  job.completion.progress = progress;
  if (options) {
    job.options = *options;
    job.handOff = &job.options;
  }
  if (!CreateCompletionMapping(&job.completion)) {
    NoteFailure(why, "the block the printer driver reports to could not be made");
    return 0;
  }
  if (PrintsToCreator(job)) {
    WriteCreatorSettings(output, printer, job.handOff);
  } else {
    WriteDriverSettings(output, printer, job.handOff);
  }
  std::optional<std::string> saved = SwitchDefaultPrinter(printer);
  if (!saved) {
    // Nothing was printed: the file fails with its reason and the batch goes on.
    NoteFailure(why, "\"" + printer + "\" could not be made the default printer");
    return 0;
  }

  std::vector<std::string> announced;
  int result = 0;
  ReportStage(progress, "printing");
  if (WatchingTheDriver(job, [&] { return PrintByType(job, ext); }) != 0) {
    result = WaitForDriver(job.completion, printer, &announced);
    if (result == 0) NoteFailure(why, "the printer driver announced no file");
  }
  // The office dying over a document is its fault, not the document's: one
  // more try, through its own converter.
  if (result == 0 && job.outputFiles.files.empty() && IsOfficeDocument(ext) &&
      WatchingTheDriver(job, [&] {
        ReportStage(progress, "printing through the office's converter");
        return PrintAgainThroughOffice(job, ext) ? 1 : 0;
      }) != 0) {
    result = WaitForDriver(job.completion, printer, &announced);
    if (result == 0) NoteFailure(why, "the printer driver announced no file");
  }
  job.completion.block.Close();
  RestoreDefaultPrinter(&*saved);
  // Automatic saving off again: a later print by anyone else must not
  // overwrite this output.
  if (PrintsToCreator(job)) {
    DisableCreatorAutoOutput();
  } else {
    DisableDriverAutoSave();
  }
  if (!job.outputFiles.files.empty()) {
    // The sheet files became the output (or were removed): it is what was made.
    result = PlaceOutputFiles(job, result > 0) ? 1 : 0;
    announced.clear();
    if (result > 0) announced.push_back(output);
  }

  const ConversionOptions& o = job.options;
  // What this job announced is what it produced: a lone page takes the
  // output's own name, replacing an earlier output.
  if (o.noSinglePageSuffix && announced.size() == 1 && announced[0] != output) {
    std::string error;
    if (platform::MoveFileReplace(announced[0], output, &error)) {
      announced[0] = output;
    } else {
      NoteFailure(why,
                  "the page " + announced[0] + " could not be renamed to " + output + ": " + error);
      result = 0;
    }
  }
  if (result > 0 && Is(ext, ".pdf")) {
    ReportStage(progress, "checking the output");
    if (!MadeEveryPage(input, announced, why)) result = 0;
  }
  if (o.tiffCompression != 0 && result > 0 &&
      FinishImageFiles(announced, output, o.colorBits, o.tiffCompression, o.resolutionX,
                       o.resolutionY, why, progress) != 1) {
    result = 0;
  }
  if (produced) produced->insert(produced->end(), announced.begin(), announced.end());
  return result;
}

int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions& options, const std::string& printer,
                                 PrintRun& run, std::string* why, std::vector<std::string>* written,
                                 const ProgressSink& progress) {
  platform::PathParts parts = platform::SplitPath(output);
  std::vector<std::string> pages;
  if (written) written->clear();
  if (!Is(parts.ext, ".dcx") && !Is(parts.ext, ".mng")) {
    const bool printed =
        PrintDocument(input, output, &options, printer, run, why, &pages, progress) > 0;
    if (printed && written) *written = pages;
    return printed ? 1 : 0;
  }
  // The PNG pages go to a private folder of this job: another account
  // cannot plant a link or a matching file there. Only the pages this job
  // announced are joined.
  platform::StagingFolder pngDir;
  if (!pngDir.CreateIn(platform::TempDirectory())) {
    NoteFailure(why, "no private folder for the pages in " + platform::TempDirectory());
    return 0;
  }
  if (PrintDocument(input, pngDir.path() + "page.png", &options, printer, run, why, &pages,
                    progress) <= 0) {
    return 0;
  }
  ReportStage(progress, "joining the pages");
  const int joined = RunImageConverter(pages, output, why);
  if (joined == 1 && written) *written = {output};
  return joined;
}

bool MadeEveryPage(const std::string& pdfInput, const std::vector<std::string>& made,
                   std::string* why) {
  std::string error;
  const int expected = CountPdfPages(pdfInput, true, &error);
  if (expected <= 0 || made.empty()) return true;  // the route has said why
  int pages = static_cast<int>(made.size());
  if (made.size() == 1) {
    const std::string& file = made[0];
    if (platform::HasExtension(file, ".pdf")) {
      pages = CountPdfPages(file, false, &error);
    } else if (platform::HasExtension(file, ".tif") || platform::HasExtension(file, ".tiff")) {
      if (!IsCompleteImageFile(file, file, &error, &pages)) pages = -1;
    } else if (platform::HasExtension(file, ".dcx") || platform::HasExtension(file, ".mng")) {
      return true;
    }
  }
  if (pages == expected) return true;
  NoteFailure(why, "the output is incomplete: it holds " + std::to_string(std::max(pages, 0)) +
                       " pages of " + std::to_string(expected));
  return false;
}

int ShellPrintDocument(PrintJob& job) {
  if (job.input.empty() || job.output.empty()) return 0;
  RegisterPrintHelpers();
  std::vector<std::string> command = ShellPrintCommand(job.input);
  if (command.empty()) {
    NoteFailure(job.why, "no application is registered to print \"" +
                             platform::SplitPath(job.input).ext + "\" files");
    return 0;
  }
  // Our print helper ends with 0 only once the job was printed.
  return RunBoxedPrinter(command, job.input, ShellPrintConfiguration(), job.why, job.progress) ? 1
                                                                                               : 0;
}

int PrintTextWithNotepad(PrintJob& job) {
  if (job.input.empty()) return 0;
  const std::string notepad = platform::ProgramDirectory() + "windows/system32/notepad.exe";
  // It ends with 0 only once the job was printed; a failure says why.
  return RunBoxedPrinter({notepad, "/p", platform::FullPath(job.input)}, job.input, {}, job.why,
                         job.progress)
             ? 1
             : 0;
}

int ShellPrintPdf(PrintJob& job) {
  if (job.input.empty() || !platform::FileExists(job.input)) return 0;
  RegisterPrintHelpers();
  std::vector<std::string> command = ShellPrintCommand(job.input);
  if (command.empty()) {
    HideProgress(job.progress);
    std::fputs("There is no application associated with the \".pdf\" file name extension!\n",
               stderr);
    return 0;
  }
  // No viewer window to watch here: the printing application is waited for
  // under the watchdog, however long the document.
  return RunBoxedPrinter(command, job.input, ShellPrintConfiguration(), job.why, job.progress) ? 1
                                                                                               : 0;
}

}  // namespace scrivex
