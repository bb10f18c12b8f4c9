// "Word.Application": text documents (.doc, .rtf and whatever the office
// reads as text) printed through the office bridge. Printing in the
// background runs on a thread of its own; the application reads busy (86)
// until it is done.
#include <atomic>
#include <memory>
#include <thread>
#include <utility>

#include "automation/word_members.h"
#include "platform/files.h"
#include "servers/office_print.h"
#include "servers/register_servers.h"

namespace scrivex {
namespace {

constexpr int kAllPages = 0, kFromTo = 3, kPageList = 4;
constexpr double kTwipsPerPoint = 20;

struct WordState {
  std::string activeDocument;  // the document PrintOut prints
  std::string printer;         // empty: the default printer
  std::thread background;
  bool busy = false;  // a background print runs or awaits its end
  std::string backgroundFailure;

  // The background print's end: its failure, raised on the caller's thread
  // by the members that wait for it.
  std::string Finish() {
    if (background.joinable()) background.join();
    busy = false;
    return std::exchange(backgroundFailure, "");
  }
  void FinishOrRaise() {
    const std::string failure = Finish();
    if (!failure.empty()) RaiseOfficeError(failure);
  }
  ~WordState() { Finish(); }
};

class WordDocument : public Dispatch {
 public:
  WordDocument(std::shared_ptr<WordState> state, std::string path)
      : state_(std::move(state)), path_(std::move(path)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& /*args*/) override {
    if (dispid == word::kClose && kind == InvokeKind::kMethod) {  // save, format, route
      if (state_->activeDocument == path_) state_->activeDocument.clear();
      state_->FinishOrRaise();  // a document in print stays open until it is printed
      return Variant{};
    }
    ThrowUnknownMember("Word.Document", dispid, kind);
  }

 private:
  std::shared_ptr<WordState> state_;
  std::string path_;
};

class WordDocuments : public Dispatch {
 public:
  explicit WordDocuments(std::shared_ptr<WordState> state) : state_(std::move(state)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (dispid == word::kOpen && kind == InvokeKind::kMethod) {  // path, confirm, read-only, ...
      RequireArgs(args, 1, "Open");
      const std::string path = ToString(args[0]);
      if (!platform::IsRegularFile(path)) RaiseOfficeError("no such document: " + path);
      state_->activeDocument = path;
      return Object(std::make_shared<WordDocument>(state_, path));
    }
    ThrowUnknownMember("Word.Documents", dispid, kind);
  }

 private:
  std::shared_ptr<WordState> state_;
};

bool Given(const std::vector<Variant>& args, size_t i) {
  return i < args.size() && !IsOmitted(args[i]);
}

class WordApp : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    const bool get = kind == InvokeKind::kGet, put = kind == InvokeKind::kPut,
               method = kind == InvokeKind::kMethod;
    if (dispid == word::kDocuments && get) return Object(std::make_shared<WordDocuments>(state_));
    if (dispid == word::kVisible && put) {  // it never shows
      RequireArgs(args, 1, "Visible");
      ToBool(args[0]);
      return Variant{};
    }
    if (dispid == word::kActivePrinter && put) {
      RequireArgs(args, 1, "ActivePrinter");
      state_->printer = ToString(args[0]);
      return Variant{};
    }
    if (dispid == word::kBackgroundPrinting && get) {
      if (state_->busy && state_->background.joinable()) {
        // Done once the thread has let go of the flag.
        if (!running_->load()) state_->FinishOrRaise();
      }
      return I4(state_->busy ? 1 : 0);
    }
    if ((dispid == word::kPrintOut || dispid == word::kPrintOutZoomed) && method) {
      RequireArgs(args, dispid == word::kPrintOut ? 15 : 19, "PrintOut");
      PrintOut(args, dispid == word::kPrintOutZoomed);
      return Variant{};
    }
    if (dispid == word::kQuit && method) {  // save, format, route
      state_->Finish();
      EndOffice();
      return Variant{};
    }
    ThrowUnknownMember("Word.Application", dispid, kind);
  }

 private:
  void PrintOut(std::vector<Variant>& args, bool zoom) {
    if (state_->activeDocument.empty()) RaiseOfficeError("no document is open to print");
    state_->Finish();  // one print at a time
    OfficeExportOptions what;
    const int range = Given(args, 2) ? ToInt(args[2]) : kAllPages;
    if (range == kPageList) {
      what.pageRange = Given(args, 8) ? ToString(args[8]) : "";
    } else if (range == kFromTo) {
      what.pageRange =
          PageSpan(Given(args, 4) ? ToInt(args[4]) : 1, Given(args, 5) ? ToInt(args[5]) : 1);
    } else if (range != kAllPages) {
      RaiseOfficeError("Word prints all pages, a span or a list of pages, not range " +
                       std::to_string(range));
    }
    double width = 0, height = 0;
    if (zoom && Given(args, 17) && Given(args, 18)) {
      width = ToInt(args[17]) / kTwipsPerPoint;
      height = ToInt(args[18]) / kTwipsPerPoint;
    }
    const std::string document = state_->activeDocument, printer = state_->printer;
    if (!(Given(args, 0) && ToBool(args[0]))) {
      PrintOfficeDocument(document, what, printer, width, height);
      return;
    }
    state_->busy = true;
    running_->store(true);
    std::shared_ptr<std::atomic<bool>> running = running_;
    std::shared_ptr<WordState> state = state_;
    state_->background = std::thread([=] {
      try {
        PrintOfficeDocument(document, what, printer, width, height);
      } catch (const AutomationError& e) {
        state->backgroundFailure = e.what();
      }
      running->store(false);
    });
  }

  std::shared_ptr<WordState> state_ = std::make_shared<WordState>();
  std::shared_ptr<std::atomic<bool>> running_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace

void RegisterWordServer() {
  RegisterServer("Word.Application", []() -> std::shared_ptr<Dispatch> {
    if (!OfficeAvailable()) return nullptr;
    return std::make_shared<WordApp>();
  });
}

}  // namespace scrivex
