#include "apps/html_route.h"

#include <cstdio>
#include <memory>

#include "apps/routes.h"
#include "automation/automation.h"
#include "automation/quire_members.h"
#include "platform/process.h"
#include "printer/device_settings.h"

namespace scrivex {
namespace {

constexpr int kPollMs = 20;

}  // namespace

int PrintHtmlWithCreator(PrintJob& job) {
  const ConversionOptions* options = &job.options;
  DEVMODEA paper{};
  ParsePaperSize(options->paperSize, &paper);

  // -D keeps the object, and its browser, for the run's next page.
  const bool keep = options->fastOfficeMode != 0;
  std::shared_ptr<Dispatch> quire =
      keep && job.run->keptQuire ? job.run->keptQuire : CreateObject(kQuireProgId);
  if (!quire) {
    HideProgress(job.progress);
    std::printf(
        "Can't locate 'Vellum.Quire' in this computer, please reinstall this product to try "
        "again.\n");
    return 0;
  }
  try {
    Put(*quire, quire::kPrinterName, Bstr(job.printer));
    Put(*quire, quire::kOutputFile, Bstr(job.output));
    Put(*quire, quire::kInput, Bstr(job.input));
    if (options->htmlWaitMs > 0) {
      Put(*quire, quire::kWaitEnabled, I4(1));
      Put(*quire, quire::kWaitMs, I4(options->htmlWaitMs));
    }
    if (paper.dmFields & spool::DM_PAPERSIZE) {
      Put(*quire, quire::kPaperSize, I4(paper.dmPaperSize));
    } else {
      Put(*quire, quire::kPaperSize, I4(-1));
      // The object takes points; the record holds tenths of a millimetre.
      Put(*quire, quire::kPaperWidth, R4(static_cast<float>(paper.dmPaperWidth * 72.0 / 254.0)));
      Put(*quire, quire::kPaperLength, R4(static_cast<float>(paper.dmPaperLength * 72.0 / 254.0)));
    }
    if (keep) {
      Put(*quire, quire::kKeepBrowser, I4(1));
      job.run->keptQuire = quire;
    }
    Call(*quire, quire::kStart);
    int state;
    while ((state = ToInt(Get(*quire, quire::kState))) == 1) platform::SleepMs(kPollMs);
    // A page the object could not print (state -1) is no success.
    return state < 0 ? 0 : 1;
  } catch (const AutomationError& e) {
    NoteAutomationError(job, std::string(kQuireProgId) + ": ", e);
    return 0;
  }
}

}  // namespace scrivex
