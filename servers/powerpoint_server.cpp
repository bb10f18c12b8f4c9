// "PowerPoint.Application": presentations (.ppt and whatever the office
// reads as one) printed slide by slide through the office bridge.
#include <memory>

#include "automation/powerpoint_members.h"
#include "servers/office_print.h"
#include "servers/register_servers.h"

namespace scrivex {
namespace {

struct Presentation {
  std::string path;  // empty once closed
  int slides = 0;
  std::string printer;  // empty: the default printer
  bool background = false;
};

Presentation& Open(const std::shared_ptr<Presentation>& p) {
  if (p->path.empty()) RaiseOfficeError("the presentation is closed");
  return *p;
}

class Slides : public Dispatch {
 public:
  explicit Slides(int count) : count_(count) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& /*args*/) override {
    if (dispid == powerpoint::kCount && kind == InvokeKind::kGet) return I4(count_);
    ThrowUnknownMember("PowerPoint.Slides", dispid, kind);
  }

 private:
  int count_;
};

class PrintOptions : public Dispatch {
 public:
  explicit PrintOptions(std::shared_ptr<Presentation> p) : p_(std::move(p)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (kind == InvokeKind::kPut &&
        (dispid == powerpoint::kPrintInBackground || dispid == powerpoint::kActivePrinter)) {
      RequireArgs(args, 1, "PrintOptions");
      // In the background or not, the print is done when PrintOut returns.
      if (dispid == powerpoint::kPrintInBackground) Open(p_).background = ToInt(args[0]) != 0;
      if (dispid == powerpoint::kActivePrinter) Open(p_).printer = ToString(args[0]);
      return Variant{};
    }
    ThrowUnknownMember("PowerPoint.PrintOptions", dispid, kind);
  }

 private:
  std::shared_ptr<Presentation> p_;
};

class PresentationObject : public Dispatch {
 public:
  explicit PresentationObject(std::shared_ptr<Presentation> p) : p_(std::move(p)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (kind == InvokeKind::kGet && dispid == powerpoint::kSlides) {
      return Object(std::make_shared<Slides>(Open(p_).slides));
    }
    if (kind == InvokeKind::kGet && dispid == powerpoint::kPrintOptions) {
      Open(p_);
      return Object(std::make_shared<PrintOptions>(p_));
    }
    if (kind == InvokeKind::kMethod &&
        dispid == powerpoint::kPrintOut) {  // PrintOut(from, to, file, copies, collate)
      RequireArgs(args, 2, "PrintOut");
      Presentation& p = Open(p_);
      const int from = ToInt(args[0]), to = ToInt(args[1]);
      if (to > p.slides) {
        RaiseOfficeError("the presentation has " + std::to_string(p.slides) + " slide(s), not " +
                         std::to_string(to));
      }
      if (args.size() > 2 && !IsOmitted(args[2]) && !ToString(args[2]).empty()) {
        RaiseOfficeError("printing to a file is not offered");
      }
      OfficeExportOptions what;
      what.pageRange = PageSpan(from, to);
      const int copies = args.size() > 3 && !IsOmitted(args[3]) ? ToInt(args[3]) : 1;
      for (int copy = 0; copy < copies; ++copy) PrintOfficeDocument(p.path, what, p.printer);
      return Variant{};
    }
    if (kind == InvokeKind::kMethod && dispid == powerpoint::kClose) {
      p_->path.clear();
      return Variant{};
    }
    ThrowUnknownMember("PowerPoint.Presentation", dispid, kind);
  }

 private:
  std::shared_ptr<Presentation> p_;
};

class Presentations : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (dispid == powerpoint::kOpen &&
        kind == InvokeKind::kMethod) {  // Open(path, read-only, untitled, window)
      RequireArgs(args, 1, "Open");
      auto p = std::make_shared<Presentation>();
      p->slides = OpenOfficeDocument(ToString(args[0]), "presentation").partCount;
      p->path = ToString(args[0]);
      return Object(std::make_shared<PresentationObject>(p));
    }
    ThrowUnknownMember("PowerPoint.Presentations", dispid, kind);
  }
};

class PowerPointApp : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& /*args*/) override {
    if (dispid == powerpoint::kPresentations && kind == InvokeKind::kGet) {
      return Object(std::make_shared<Presentations>());
    }
    if (dispid == powerpoint::kQuit && kind == InvokeKind::kMethod) {
      EndOffice();
      return Variant{};
    }
    ThrowUnknownMember("PowerPoint.Application", dispid, kind);
  }
};

}  // namespace

void RegisterPowerPointServer() {
  RegisterServer("PowerPoint.Application", []() -> std::shared_ptr<Dispatch> {
    if (!OfficeAvailable()) return nullptr;
    return std::make_shared<PowerPointApp>();
  });
}

}  // namespace scrivex
