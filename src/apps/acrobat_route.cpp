#include <memory>

#include "apps/routes.h"
#include "automation/automation.h"
#include "common/failure_reason.h"

namespace scrivex {

int PrintWithAcrobat(const std::string& input, const std::string& /*output*/) {
  std::shared_ptr<Dispatch> app = CreateObject("AcroExch.App");
  if (!app) return 0;
  std::shared_ptr<Dispatch> view = CreateObject("AcroExch.AVDoc");
  int result = 0;
  try {
    if (view && ToBool(Call(*view, 1, {Bstr(input), Bstr("")}))) {
      std::shared_ptr<Dispatch> doc = ToObject(Call(*view, 2));
      int pages = ToInt(Call(*doc, 6));
      // All pages, PostScript level 0, binary allowed, shrunk to the paper.
      bool printed = ToBool(Call(*view, 8, {I4(0), I4(pages - 1), I4(0), TrueArg, TrueArg}));
      Call(*view, 6, {TrueArg});
      result = printed ? 1 : 0;
    }
  } catch (const AutomationError& e) {
    NoteFailure(std::string("the PDF viewer failed: ") + e.what());
    result = 0;
  }
  try {
    Call(*app, 1);
  } catch (const AutomationError&) {
  }
  return result;
}

}  // namespace scrivex
