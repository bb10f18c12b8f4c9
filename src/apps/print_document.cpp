#include "apps/print_document.h"

#include <algorithm>
#include <cstdio>

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
#include "platform/replacement_file.h"
#include "spool/spooler.h"
#include "platform/state_root.h"
#include "printer/completion_mapping.h"
#include "printer/default_printer.h"
#include "printer/driver_settings.h"

namespace scrivex {
namespace {

bool Is(const std::string& ext, const char* wanted) { return platform::EqualsNoCase(ext, wanted); }

OfficeRetryFunction g_officeRetry = nullptr;

bool PrintsToCreator() { return TargetPrinterName == kCreatorPrinterName; }

// The route by extension, first match wins.
int PrintByType(const std::string& input, const std::string& ext, const std::string& output,
                const ConversionOptions* options, OutputFileList* outputFiles) {
  if (Is(ext, ".doc") || Is(ext, ".rtf")) return PrintWithWord(input, output, options);
  if (Is(ext, ".xls")) return PrintWithExcel(input, output, options, outputFiles);
  if (Is(ext, ".ppt")) return PrintWithPowerPoint(input, output, options);
  if (Is(ext, ".pdf")) {
    int printed = PrintWithAcrobat(input, output);
    return printed ? printed : ShellPrintPdf(input);
  }
  if (Is(ext, ".vsd")) return PrintWithVisio(input, output, options);
  if (Is(ext, ".htm") || Is(ext, ".html")) return PrintHtmlWithCreator(input, output, options);
  if (Is(ext, ".txt")) return PrintTextWithNotepad(input, output, options);
  // An image prints once, on A4 portrait, whatever the printer's own paper.
  constexpr int kCopies = 1;
  int printed = PrintImageFile(input, TargetPrinterName, spool::DMORIENT_PORTRAIT,
                               spool::DMPAPER_A4, kCopies);
  return printed ? printed : ShellPrintDocument(input, output, options, 0);
}

// The documents the office's applications print.
bool IsOfficeDocument(const std::string& ext) {
  return Is(ext, ".doc") || Is(ext, ".rtf") || Is(ext, ".xls") || Is(ext, ".ppt") ||
         Is(ext, ".vsd");
}

// A document the office died over, converted again by the office's own
// converter and handed to the default printer as the office routes hand
// their PDFs: the pages the route would have printed (Word a list, Excel and
// PowerPoint a span, Visio all). 1 when submitted; else 0 with the reason
// noted, the first try's when the office did not die over it.
int PrintAgainThroughOffice(const std::string& input, const std::string& ext,
                            const ConversionOptions* options) {
  if (!g_officeRetry) return 0;
  std::string pages = options ? options->pageRange : "";
  if (!pages.empty() && !Is(ext, ".doc") && !Is(ext, ".rtf")) {
    int first, last;
    ParsePageRange(pages, &first, &last);
    pages = Is(ext, ".vsd") ? "" : std::to_string(first) + "-" + std::to_string(last);
  }
  const std::string pdf = MakeTempFileName(".pdf");
  if (pdf.empty()) return 0;
  int result = 0;
  if (g_officeRetry(input, pdf, pages) == 1) {
    spool::SubmittedJob job;
    const std::string printer = spool::DefaultPrinterName();
    result = spool::SubmitPrintJob(printer, pdf, platform::SplitPath(input).name, &job);
    if (!result) NoteFailure("the print job to \"" + printer + "\" failed: " + job.failure);
  }
  platform::RemoveFile(pdf);
  return result;
}

// The Excel route's sheet files become the output. A sheet that was
// listed but never written fails the document: nothing replaces the output.
int PlaceOutputFiles(const std::vector<std::string>& files, const std::string& output,
                     const ConversionOptions* options, int result) {
  for (const std::string& file : files) {
    if (platform::FileSize(file) <= 0) {
      NoteFailure("the sheet file " + file + " was not written");
      result = 0;
    }
  }
  if (result > 0 && files.size() == 1) {
    std::string why;
    if (platform::MoveFileReplace(files[0], output, &why)) return 1;
    NoteFailure("the printed file could not be moved to " + output + ": " + why);
    result = 0;
  } else if (result > 0 && MergePdfParts(files, output, options) != kMergeWritten) {
    NoteFailure("the sheet files could not be joined into " + output);
    result = 0;
  }
  if (!options || options->excelMode != 3) {
    for (const std::string& file : files) platform::RemoveFile(file);
  }
  return result;
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

void SetOfficeRetryFunction(OfficeRetryFunction retry) { g_officeRetry = retry; }

int RunBoxedPrinter(const std::vector<std::string>& command, const std::string& input,
                    const std::vector<std::string>& configuration) {
  platform::StagingFolder work;
  std::string why;
  if (!work.CreateIn(platform::TempDirectory(), &why)) {
    NoteFailure(why);
    return 0;
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
  int exitCode = -1;
  if (RunHiddenProcess(command, &exitCode, options) != 1 || exitCode != 0) return 0;
  const std::string printer = spool::DefaultPrinterName();
  int submitted = spool::SubmitHeldJobs(work.path(), printer, &why);
  if (submitted < 0) NoteFailure(why);
  if (submitted == 0) {
    NoteFailure(platform::SplitPath(command[0]).name + " ended without printing anything");
  }
  return submitted > 0 ? 1 : 0;
}

int PrintDocument(const std::string& input, const std::string& output,
                  const ConversionOptions* options, std::vector<std::string>* produced) {
  // The type, from the extension; an address prints as a web page.
  std::string ext;
  if (!platform::FileExists(input)) {
    if (!IsUrl(input)) {
      NoteFailure("no such file");
      return 0;
    }
    ext = ".htm";
  } else {
    ext = platform::SplitPath(input).ext;
    // Nothing to print: no application gets to turn it into a blank page.
    if (platform::FileSize(input) == 0) {
      NoteFailure("the file is empty");
      return 0;
    }
  }
  if (!CreateCompletionMapping()) {
    NoteFailure("the block the printer driver reports to could not be made");
    return 0;
  }
  // The hand-off may correct the resolution: it works on a copy.
  ConversionOptions local = options ? *options : ConversionOptions{};
  ConversionOptions* handOff = options ? &local : nullptr;
  if (PrintsToCreator()) {
    WriteCreatorSettings(output, handOff);
  } else {
    WriteDriverSettings(output, handOff);
  }
  std::optional<std::string> saved = SwitchDefaultPrinter();
  if (!saved) {
    // Nothing was printed: the file fails with its reason and the batch goes on.
    CloseCompletionMapping();
    NoteFailure("\"" + TargetPrinterName + "\" could not be made the default printer");
    return 0;
  }

  OutputFileList outputFiles;
  std::vector<std::string> announced;
  int result = 0;
  if (PrintByType(input, ext, output, handOff, &outputFiles) != 0) {
    result = WaitForDriver(&announced);
    if (result == 0) NoteFailure("the printer driver announced no file");
  }
  // The office dying over a document is its fault, not the document's: one
  // more try, through its own converter.
  if (result == 0 && outputFiles.files.empty() && IsOfficeDocument(ext) &&
      PrintAgainThroughOffice(input, ext, handOff) == 1) {
    result = WaitForDriver(&announced);
    if (result == 0) NoteFailure("the printer driver announced no file");
  }
  CloseCompletionMapping();
  RestoreDefaultPrinter(&*saved);
  // Automatic saving off again: a later print by anyone else must not
  // overwrite this output.
  if (PrintsToCreator()) {
    DisableCreatorAutoOutput();
  } else {
    DisableDriverAutoSave();
  }
  if (!outputFiles.files.empty()) {
    // The sheet files became the output (or were removed): it is what was made.
    result = PlaceOutputFiles(outputFiles.files, output, handOff, result);
    announced.clear();
    if (result > 0) announced.push_back(output);
  }

  const ConversionOptions& o = local;
  // What this job announced is what it produced: a lone page takes the
  // output's own name, replacing an earlier output.
  if (o.noSinglePageSuffix && announced.size() == 1 && announced[0] != output) {
    std::string why;
    if (platform::MoveFileReplace(announced[0], output, &why)) {
      announced[0] = output;
    } else {
      NoteFailure("the page " + announced[0] + " could not be renamed to " + output + ": " + why);
      result = 0;
    }
  }
  if (result > 0 && Is(ext, ".pdf") && !MadeEveryPage(input, announced)) result = 0;
  if (o.tiffCompression != 0 && result > 0 &&
      FinishImageFiles(announced, output, o.colorBits, o.tiffCompression, o.resolutionX,
                       o.resolutionY) != 1) {
    result = 0;
  }
  if (produced) produced->insert(produced->end(), announced.begin(), announced.end());
  return result;
}

int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions* options) {
  platform::PathParts parts = platform::SplitPath(output);
  std::vector<std::string> pages;
  if (!Is(parts.ext, ".dcx") && !Is(parts.ext, ".mng")) {
    return PrintDocument(input, output, options, &pages) > 0 ? 1 : 0;
  }
  // The PNG pages go to a private folder of this job: another account
  // cannot plant a link or a matching file there. Only the pages this job
  // announced are joined.
  platform::StagingFolder pngDir;
  if (!pngDir.CreateIn(platform::TempDirectory())) {
    NoteFailure("no private folder for the pages in " + platform::TempDirectory());
    return 0;
  }
  if (PrintDocument(input, pngDir.path() + "page.png", options, &pages) <= 0) return 0;
  return RunImageConverter(pages, output);
}

bool MadeEveryPage(const std::string& pdfInput, const std::vector<std::string>& made) {
  std::string why;
  const int expected = CountPdfPages(pdfInput, true, &why);
  if (expected <= 0 || made.empty()) return true;  // the route has said why
  int pages = static_cast<int>(made.size());
  if (made.size() == 1) {
    const std::string& file = made[0];
    if (platform::HasExtension(file, ".pdf")) {
      pages = CountPdfPages(file, false, &why);
    } else if (platform::HasExtension(file, ".tif") || platform::HasExtension(file, ".tiff")) {
      if (!IsCompleteImageFile(file, file, &why, &pages)) pages = -1;
    } else if (platform::HasExtension(file, ".dcx") || platform::HasExtension(file, ".mng")) {
      return true;
    }
  }
  if (pages == expected) return true;
  NoteFailure("the output is incomplete: it holds " + std::to_string(std::max(pages, 0)) +
              " pages of " + std::to_string(expected));
  return false;
}

int ShellPrintDocument(const std::string& input, const std::string& output,
                       const ConversionOptions* /*options*/, int /*handOff*/) {
  if (input.empty() || output.empty()) return 0;
  RegisterPrintHelpers();
  std::vector<std::string> command = ShellPrintCommand(input);
  if (command.empty()) {
    NoteFailure("no application is registered to print \"" + platform::SplitPath(input).ext +
                "\" files");
    return 0;
  }
  // Our print helper ends with 0 only once the job was printed.
  return RunBoxedPrinter(command, input, ShellPrintConfiguration());
}

int PrintTextWithNotepad(const std::string& input, const std::string& /*output*/,
                         const ConversionOptions* /*options*/) {
  if (input.empty()) return 0;
  const std::string notepad = platform::ProgramDirectory() + "windows/system32/notepad.exe";
  // It ends with 0 only once the job was printed; a failure says why.
  return RunBoxedPrinter({notepad, "/p", platform::FullPath(input)}, input, {});
}

int ShellPrintPdf(const std::string& input) {
  if (input.empty() || !platform::FileExists(input)) return 0;
  RegisterPrintHelpers();
  std::vector<std::string> command = ShellPrintCommand(input);
  if (command.empty()) {
    std::fputs("There is no application associated with the \".pdf\" file name extension!\n",
               stderr);
    return 0;
  }
  // No viewer window to watch here: the printing application is waited for
  // under the watchdog, however long the document.
  return RunBoxedPrinter(command, input, ShellPrintConfiguration());
}

}  // namespace scrivex
