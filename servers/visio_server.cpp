// "Visio.Application": drawings (.vsd, which the office's Draw reads, and
// whatever else it reads as a drawing) printed whole to the default printer
// through the office bridge.
#include <memory>

#include "servers/office_print.h"
#include "servers/register_servers.h"

namespace scrivex {
namespace {

class Drawing : public Dispatch {
 public:
  explicit Drawing(std::string path) : path_(std::move(path)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (kind == InvokeKind::kPut &&
        (dispid == 64 || dispid == 45 || dispid == 46 || dispid == 48 || dispid == 10)) {
      // The print layout settings and the saved mark: the office prints
      // every page as laid out and never stores the drawing.
      RequireArgs(args, 1, "setting");
      ToInt(args[0]);
      return Variant{};
    }
    if (kind == InvokeKind::kMethod && dispid == 22) {  // print
      if (path_.empty()) RaiseOfficeError("the drawing is closed");
      PrintOfficeDocument(path_, {}, "");
      return Variant{};
    }
    if (kind == InvokeKind::kMethod && dispid == 23) {  // close
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
    if (dispid == 6 && kind == InvokeKind::kMethod) {  // open(path, flags)
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
    if (dispid == 67 && kind == InvokeKind::kPut) {  // it never shows anything
      RequireArgs(args, 1, "setting");
      ToBool(args[0]);
      return Variant{};
    }
    if (dispid == 4 && kind == InvokeKind::kGet) return Object(std::make_shared<Drawings>());
    if (dispid == 9 && kind == InvokeKind::kMethod) {  // quit
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
