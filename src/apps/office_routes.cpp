// The office applications, driven by member number: each route opens the
// document read-only and hidden, prints it to the target printer, closes it
// without saving and quits the application unless -D keeps it for the next
// document.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "apps/routes.h"
#include "automation/automation.h"
#include "automation/excel_members.h"
#include "automation/powerpoint_members.h"
#include "automation/visio_members.h"
#include "automation/word_members.h"
#include "common/failure_reason.h"
#include "platform/path.h"
#include "platform/process.h"
#include "printer/completion_mapping.h"
#include "printer/device_settings.h"
#include "printer/driver_settings.h"
#include "printer/quire_settings.h"

namespace scrivex {
namespace {

constexpr char kOfficeLine[] =
    "Please install MS Office product in order to convert MS Office documents!!!\n";
constexpr char kVisioLine[] =
    "Please install MS Visio application in order to convert MS Visio documents!!!\n";

constexpr char kOpeningStage[] = "opening in the office";
constexpr char kPrintingStage[] = "printing in the office";

const char* const kProgIds[] = {"Word.Application", "Excel.Application", "PowerPoint.Application",
                                "Visio.Application"};

// The common start: the application the run keeps, or null after its
// install line.
std::shared_ptr<Dispatch> StartApplication(PrintJob& job, OfficeApplication which, bool* created) {
  std::shared_ptr<Dispatch>& kept = job.run->kept[which];
  *created = false;
  if (!kept) {
    kept = CreateObject(kProgIds[which]);
    *created = static_cast<bool>(kept);
  }
  if (!kept) {
    HideProgress(job.progress);
    std::fputs(which == kVisio ? kVisioLine : kOfficeLine, stdout);
    std::fflush(stdout);
    NoteFailure(job.why, std::string("no ") + kProgIds[which] + " server is available");
  }
  return kept;
}

void QuitApplication(PrintRun& run, OfficeApplication which) {
  std::shared_ptr<Dispatch> app = std::move(run.kept[which]);
  if (!app) return;
  try {
    switch (which) {
      case kWord: {
        Variant no = FalseArg, a = FalseArg, b = FalseArg;
        Call(*app, word::kQuit, {ByRef(&no), ByRef(&a), ByRef(&b)});
        break;
      }
      case kExcel:
        Call(*app, excel::kQuit);
        break;
      case kPowerPoint:
        Call(*app, powerpoint::kQuit);
        break;
      default:
        Call(*app, visio::kQuit);
        break;
    }
  } catch (const AutomationError&) {
    // The application is gone either way.
  }
}

// The common end: unless -D keeps it, the application quits.
void EndApplication(PrintJob& job, OfficeApplication which) {
  if (!job.options.fastOfficeMode) QuitApplication(*job.run, which);
}

// Arguments passed by reference: the values live as long as the call.
struct RefArgs {
  explicit RefArgs(size_t n) : values(n, OmittedArg) {}
  std::vector<Variant> Refs() {
    std::vector<Variant> refs;
    for (Variant& v : values) refs.push_back(ByRef(&v));
    return refs;
  }
  std::vector<Variant> values;
};

// The zoom paper of -z: "WxH", or one number for both, in twips.
void ParseZoomPaper(const std::string& text, int* width, int* height) {
  *width = std::atoi(text.c_str());
  size_t x = text.find('x');
  *height = x == std::string::npos ? *width : std::atoi(text.c_str() + x + 1);
}

}  // namespace

int SheetPaperCode(const std::string& paperSize) {
  // A width and length are no code: the sheet takes the printer's own
  // paper, which the -f text has set to them.
  spool::DEVMODEA settings{};
  ParsePaperSize(paperSize, &settings);
  if (settings.dmFields & (spool::DM_PAPERWIDTH | spool::DM_PAPERLENGTH)) {
    return kUserDefinedPaper;
  }
  int paper = std::atoi(paperSize.c_str());
  return paper == 0 ? 1 : paper;
}

void QuitKeptApplications(PrintRun& run) {
  for (int which = 0; which < kOfficeApplications; ++which) {
    QuitApplication(run, OfficeApplication(which));
  }
  run.keptQuire.reset();  // its browser ends with it
}

void NoteAutomationError(PrintJob& job, const std::string& context, const AutomationError& e) {
  NoteFailure(job.why, e.code == DISP_E_EXCEPTION ? e.what() : context + e.what());
}

int PrintWithWord(PrintJob& job) {
  const ConversionOptions& o = job.options;
  bool created;
  std::shared_ptr<Dispatch> app = StartApplication(job, kWord, &created);
  if (!app) return 0;
  int result = 0;
  try {
    std::shared_ptr<Dispatch> documents = ToObject(Get(*app, word::kDocuments));
    ReportStage(job.progress, kOpeningStage);
    RefArgs open(10);
    open.values[0] = Bstr(job.input);
    open.values[1] = FalseArg;  // confirm conversions
    open.values[2] = TrueArg;   // read-only
    std::shared_ptr<Dispatch> document = ToObject(Call(*documents, word::kOpen, open.Refs()));
    Put(*app, word::kVisible, FalseArg);
    Put(*app, word::kActivePrinter, Bstr(job.printer));

    const bool background = o.hidePrintDialog != 0;
    const bool zoom = !background && !o.printZoomPaper.empty();
    RefArgs print(zoom ? 19 : 15);
    print.values[0] = background ? TrueArg : FalseArg;
    if (!o.pageRange.empty()) {
      print.values[2] = I4(4);  // a list of pages
      print.values[8] = Bstr(o.pageRange);
    }
    if (zoom) {
      int width, height;
      ParseZoomPaper(o.printZoomPaper, &width, &height);
      print.values[17] = I4(width);
      print.values[18] = I4(height);
    }
    ReportStage(job.progress, kPrintingStage);
    Call(*app, zoom ? word::kPrintOutZoomed : word::kPrintOut, print.Refs());
    if (background) {
      // Bounded by the watchdog: a server that never finishes must not hang the run.
      const long long end = platform::TickCountMs() + 1000LL * platform::WatchdogSeconds();
      while (ToInt(Get(*app, word::kBackgroundPrinting)) != 0) {
        if (platform::WatchdogSeconds() > 0 && platform::TickCountMs() > end) {
          throw AutomationError(DISP_E_EXCEPTION, "Word's background printing did not finish");
        }
        platform::SleepMs(100);
      }
    }
    RefArgs close(3);
    close.values[0] = FalseArg;
    Call(*document, word::kClose, close.Refs());
    result = 1;
  } catch (const AutomationError& e) {
    NoteAutomationError(job, "Word failed: ", e);
  }
  EndApplication(job, kWord);
  return result;
}

int IsSheetEmpty(Dispatch& worksheet) {
  std::shared_ptr<Dispatch> used = ToObject(Get(worksheet, excel::kUsedRange));
  for (int collection : {excel::kCharts, excel::kDrawnObjects}) {
    if (ToInt(Get(*ToObject(Get(worksheet, collection)), excel::kCount)) > 0) return 0;
  }
  if (ToInt(Get(*ToObject(Get(worksheet, excel::kShapes)), excel::kCount)) > 0) return 0;
  for (int kind : {2, -4123}) {
    try {
      if (ToObject(Call(*used, excel::kSpecialCells, {I4(kind), I4(23)}))) return 0;
    } catch (const AutomationError&) {
      // No such cells.
    }
  }
  return 1;
}

namespace {

// "report.pdf", sheet 2: "report-0002.pdf" in folder.
std::string SheetFileName(const std::string& folder, const platform::PathParts& output, int n) {
  char number[16];
  std::snprintf(number, sizeof number, "-%04d", n);
  return folder + output.name + number + output.ext;
}

// Names the next print's file for the printer: the creator's settings, or
// the Inkwell driver's "OutputFile".
void NameNextPrint(const std::string& printer, const std::string& path) {
  if (printer == kCreatorPrinterName) {
    QuireSettings record;
    LoadQuireSettings(&record);
    record.automaticOutput = 1;
    record.automaticValue = 2;
    record.automaticDirectory = path;
    SaveQuireSettings(record);
  } else {
    SetDriverOutputFile(path);
  }
}

}  // namespace

int PrintWithExcel(PrintJob& job) {
  const ConversionOptions& o = job.options;
  const std::string& output = job.output;
  OutputFileList* outputFiles = &job.outputFiles;
  const platform::PathParts parts = platform::SplitPath(output);
  bool created;
  std::shared_ptr<Dispatch> app = StartApplication(job, kExcel, &created);
  if (!app) return 0;
  int result = 0;
  try {
    Put(*app, excel::kDisplayAlerts, FalseArg);
    Put(*app, excel::kVisible, FalseArg);
    Put(*app, excel::kSwitch1212, FalseArg);
    Put(*app, excel::kScreenUpdating, FalseArg);
    Put(*app, excel::kSwitch992, FalseArg);
    Put(*app, excel::kSwitch356, TrueArg);
    std::shared_ptr<Dispatch> workbooks = ToObject(Get(*app, excel::kWorkbooks));
    std::vector<Variant> open(13, OmittedArg);
    open[0] = Bstr(job.input);
    open[1] = FalseArg;   // update links
    open[2] = TrueArg;    // read-only
    open[6] = TrueArg;    // ignore the read-only recommendation
    open[12] = FalseArg;  // not in the recently used list
    ReportStage(job.progress, kOpeningStage);
    Call(*workbooks, excel::kOpen, open);
    std::shared_ptr<Dispatch> sheets = ToObject(Get(*app, excel::kWorksheets));
    const int count = ToInt(Get(*sheets, excel::kCount));
    const Variant printer = Bstr(job.printer);
    ReportStage(job.progress, kPrintingStage);
    if (!o.pageRange.empty()) {
      int first, last;
      ParsePageRange(o.pageRange, &first, &last);
      // The sheets' page numbers are 2-byte: larger ones mean the last possible page.
      auto page = [](int n) { return I2(static_cast<int16_t>(std::min(n, 32767))); };
      Call(*sheets, excel::kPrintOut,
           {page(first), page(last), I2(1), FalseArg, printer, OmittedArg, OmittedArg});
    } else if (o.excelMode == 2) {
      Call(*sheets, excel::kPrintOut,
           {OmittedArg, OmittedArg, I2(1), FalseArg, printer, OmittedArg, OmittedArg});
    } else {
      std::vector<int> kept;
      for (int n = 1; n <= count; ++n) {
        if (!IsSheetEmpty(*ToObject(Get(*sheets, excel::kItem, {I4(n)})))) kept.push_back(n);
      }
      // Sheet files that only feed the joined output go to a private folder;
      // with -E 1 and 3 they are kept on purpose, beside the output.
      std::string folder = parts.drive + parts.dir;
      const bool joined =
          platform::EqualsNoCase(parts.ext, ".pdf") && (o.excelMode == 0 || o.excelMode == 3);
      if (count > 1 && joined && o.excelMode == 0) {
        if (!outputFiles->privateFolder.path().empty() ||
            outputFiles->privateFolder.Create(output)) {
          folder = outputFiles->privateFolder.path();
        }
      }
      for (size_t j = 0; j < kept.size(); ++j) {
        std::string name;
        try {
          std::shared_ptr<Dispatch> sheet = ToObject(Get(*sheets, excel::kItem, {I4(kept[j])}));
          name = ToString(Get(*sheet, excel::kName));
          Put(*ToObject(Get(*sheet, excel::kPageSetup)), excel::kPaperSize,
              I4(SheetPaperCode(o.paperSize)));
          if (count > 1) {
            std::string file = SheetFileName(folder, parts, static_cast<int>(j + 1));
            NameNextPrint(job.printer, file);
            if (joined) outputFiles->files.push_back(file);
          }
          Call(*sheet, excel::kPrintOut,
               {OmittedArg, OmittedArg, I2(1), FalseArg, printer, OmittedArg, OmittedArg});
        } catch (const AutomationError& e) {
          HideProgress(job.progress);
          std::printf("Something is wrong in sheet #%d, sheet name is %s\n", kept[j], name.c_str());
          std::fflush(stdout);
          NoteAutomationError(job, "Excel failed: ", e);
        }
        if (j + 1 < kept.size()) WaitForDriver(job.completion, job.printer);
      }
    }
    Call(*workbooks, excel::kClose);
    result = 1;
  } catch (const AutomationError& e) {
    NoteAutomationError(job, "Excel failed: ", e);
  }
  EndApplication(job, kExcel);
  return result;
}

int PrintWithPowerPoint(PrintJob& job) {
  const ConversionOptions& o = job.options;
  bool created;
  std::shared_ptr<Dispatch> app = StartApplication(job, kPowerPoint, &created);
  if (!app) return 0;
  int result = 0;
  try {
    ReportStage(job.progress, kOpeningStage);
    std::shared_ptr<Dispatch> presentation =
        ToObject(Call(*ToObject(Get(*app, powerpoint::kPresentations)), powerpoint::kOpen,
                      {Bstr(job.input), I4(1), I4(1), I4(0)}));
    std::shared_ptr<Dispatch> printOptions =
        ToObject(Get(*presentation, powerpoint::kPrintOptions));
    Put(*printOptions, powerpoint::kPrintInBackground, I4(o.hidePrintDialog ? 1 : 0));
    Put(*printOptions, powerpoint::kActivePrinter, Bstr(job.printer));
    const int slides =
        ToInt(Get(*ToObject(Get(*presentation, powerpoint::kSlides)), powerpoint::kCount));
    if (slides != 0) {
      int first = 0, last = slides;
      if (!o.pageRange.empty()) ParsePageRange(o.pageRange, &first, &last);
      ReportStage(job.progress, kPrintingStage);
      Call(*presentation, powerpoint::kPrintOut, {I4(first), I4(last), Bstr(""), I4(1), I4(0)});
    }
    Call(*presentation, powerpoint::kClose);
    result = 1;
  } catch (const AutomationError& e) {
    NoteAutomationError(job, "PowerPoint failed: ", e);
  }
  EndApplication(job, kPowerPoint);
  return result;
}

int PrintWithVisio(PrintJob& job) {
  bool created;
  std::shared_ptr<Dispatch> app = StartApplication(job, kVisio, &created);
  if (!app) return 0;
  int result = 0;
  try {
    if (created) Put(*app, visio::kStartupSwitch, FalseArg);
    ReportStage(job.progress, kOpeningStage);
    std::shared_ptr<Dispatch> drawing = ToObject(Call(
        *ToObject(Get(*app, visio::kDocuments)), visio::kOpenWithFlags, {Bstr(job.input), I2(10)}));
    Put(*drawing, visio::kPrintLayout0, I2(0));
    for (int setting : {visio::kPrintLayout1, visio::kPrintLayout2, visio::kPrintLayout3}) {
      Put(*drawing, setting, I2(1));
    }
    ReportStage(job.progress, kPrintingStage);
    Call(*drawing, visio::kPrint);
    Put(*drawing, visio::kSaved, I2(1));
    Call(*drawing, visio::kClose);
    result = 1;
  } catch (const AutomationError& e) {
    NoteAutomationError(job, "Visio failed: ", e);
  }
  EndApplication(job, kVisio);
  return result;
}

}  // namespace scrivex
