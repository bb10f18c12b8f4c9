#include <memory>

#include "apps/routes.h"
#include "automation/acrobat_members.h"
#include "automation/automation.h"

namespace scrivex {

int PrintWithAcrobat(PrintJob& job) {
  std::shared_ptr<Dispatch> app = CreateObject("AcroExch.App");
  if (!app) return 0;
  std::shared_ptr<Dispatch> view = CreateObject("AcroExch.AVDoc");
  int result = 0;
  try {
    if (view && ToBool(Call(*view, acrobat::kOpen, {Bstr(job.input), Bstr("")}))) {
      std::shared_ptr<Dispatch> doc = ToObject(Call(*view, acrobat::kGetPDDoc));
      int pages = ToInt(Call(*doc, acrobat::kGetNumPages));
      // All pages, PostScript level 0, binary allowed, shrunk to the paper.
      bool printed = ToBool(
          Call(*view, acrobat::kPrintPages, {I4(0), I4(pages - 1), I4(0), TrueArg, TrueArg}));
      Call(*view, acrobat::kClose, {TrueArg});
      result = printed ? 1 : 0;
    }
  } catch (const AutomationError& e) {
    NoteAutomationError(job, "the PDF viewer failed: ", e);
    result = 0;
  }
  try {
    Call(*app, acrobat::kExit);
  } catch (const AutomationError&) {
  }
  return result;
}

}  // namespace scrivex
