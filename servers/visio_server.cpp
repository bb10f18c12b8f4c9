// "Visio.Application": drawings (.vsd, which the office's Draw reads, and
// whatever else it reads as a drawing) printed whole to the default printer
// through the office bridge.
#include <memory>

#include "automation/visio_members.h"
#include "servers/office_print.h"
#include "servers/register_servers.h"

namespace scrivex {
namespace {

class Drawing : public Dispatch {
 public:
  explicit Drawing(std::string path) : path_(std::move(path)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (kind == InvokeKind::kPut &&
        (dispid == visio::kPrintLayout0 || dispid == visio::kPrintLayout1 ||
         dispid == visio::kPrintLayout2 || dispid == visio::kPrintLayout3 ||
         dispid == visio::kSaved)) {
      // The print layout settings and the saved mark: the office prints
      // every page as laid out and never stores the drawing.
      RequireArgs(args, 1, "setting");
      ToInt(args[0]);
      return Variant{};
    }
    if (kind == InvokeKind::kMethod && dispid == visio::kPrint) {
      if (path_.empty()) RaiseOfficeError("the drawing is closed");
      PrintOfficeDocument(path_, {}, "");
      return Variant{};
    }
    if (kind == InvokeKind::kMethod && dispid == visio::kClose) {
      path_.clear();
      return Variant{};
    }
    ThrowUnknownMember("Visio.Document", dispid, kind);
  }

 private:
  std::string path_;
};

class Drawings : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (dispid == visio::kOpenWithFlags && kind == InvokeKind::kMethod) {  // path, flags
      RequireArgs(args, 2, "open");
      ToInt(args[1]);
      const std::string path = ToString(args[0]);
      OpenOfficeDocument(path, "drawing");
      return Object(std::make_shared<Drawing>(path));
    }
    ThrowUnknownMember("Visio.Documents", dispid, kind);
  }
};

class VisioApp : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (dispid == visio::kStartupSwitch && kind == InvokeKind::kPut) {  // it never shows anything
      RequireArgs(args, 1, "setting");
      ToBool(args[0]);
      return Variant{};
    }
    if (dispid == visio::kDocuments && kind == InvokeKind::kGet)
      return Object(std::make_shared<Drawings>());
    if (dispid == visio::kQuit && kind == InvokeKind::kMethod) {
      EndOffice();
      return Variant{};
    }
    ThrowUnknownMember("Visio.Application", dispid, kind);
  }
};

}  // namespace

void RegisterVisioServer() {
  RegisterServer("Visio.Application", []() -> std::shared_ptr<Dispatch> {
    if (!OfficeAvailable()) return nullptr;
    return std::make_shared<VisioApp>();
  });
}

}  // namespace scrivex
