// "Vellum.Quire", the HTML creator object: loads a page (a file or a web
// address), prints it to a PDF and submits that to the named printer.
//
// Members by DISPID: puts 44 printer name, 10 output file (names the job),
// 2 input, 38 wait flag and 39 wait time in ms, 19 paper-size code (-1: the
// custom size 17 width and 18 length in points); method 15 starts; get 16
// is the state: 1 while the conversion runs, then 0 when the page was
// printed and -1 when nothing was (the reason is noted). Put 100 = 1 keeps
// the browser for the object's next page; it ends when the object goes.
//
// The page is printed by a headless browser in the background; without one,
// by the office suite's web import (files only, its own paper, no linked
// content), in the start itself. With neither the object cannot be created.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>

#include "automation/automation.h"
#include "automation/quire_members.h"
#include "common/child_process.h"
#include "common/paper_sizes.h"
#include "common/trace.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "servers/browser_print.h"
#include "servers/register_servers.h"
#include "spool/devmode.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

constexpr const char* kProgId = "Vellum.Quire";
constexpr int kCustomPaper = -1;
// How long reading the state may talk with the browser.
constexpr long long kAnswerMs = 50;

void SetPaper(double width, double height, const char* unit, PagePrintRequest* r) {
  char size[64];
  std::snprintf(size, sizeof size, "%g%s %g%s", width, unit, height, unit);
  r->pageSize = size;
  const double perInch = std::string(unit) == "mm" ? 25.4 : std::string(unit) == "pt" ? 72 : 1;
  r->widthInches = width / perInch;
  r->heightInches = height / perInch;
}

void ChoosePaper(int code, float width, float length, PagePrintRequest* r) {
  if (code == kCustomPaper && width >= 1 && length >= 1 && width <= 32767 && length <= 32767) {
    SetPaper(width, length, "pt", r);
    return;
  }
  // Any code the table does not know prints on Letter.
  const PaperSize* paper = FindPaperSize(code);
  if (!paper) paper = FindPaperSize(spool::DMPAPER_LETTER);
  SetPaper(paper->width, paper->height, paper->unit, r);
}

std::string FileUrl(const std::string& path) {
  return "file://" + platform::PercentEncode(path, "/-._~");
}

// The address the browser loads for an input that is no file: web and file
// addresses as given, one that starts with a host name ("www.site.org/a")
// as http; anything else is a file that is not there.
bool PageUrl(const std::string& input, std::string* url, std::string* why) {
  size_t colon = input.find("://");
  if (colon != std::string::npos) {
    std::string scheme = platform::ToLower(input.substr(0, colon));
    if (scheme != "http" && scheme != "https" && scheme != "file") {
      *why = "only http, https and file addresses can be printed";
      return false;
    }
    *url = input;
    return true;
  }
  const std::string host = input.substr(0, input.find('/'));
  if (host.empty() || host[0] == '.' || host.find_first_of(".:") == std::string::npos) {
    *why = "the page could not be loaded: no such file";
    return false;
  }
  *url = "http://" + input;
  return true;
}

// The office suite's settings for a page it imports: it follows no link the
// page holds. Linked pictures are refused (the page's own folder is no
// trusted place either, or every link would pass), and anything fetched by
// address - style sheets, frames - goes to a proxy that does not exist.
constexpr const char* kNoLinksProfile =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetProxyType" oor:op="fuse"><value>2</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPProxyName" oor:op="fuse"><value>proxy.invalid</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPProxyPort" oor:op="fuse"><value>9</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPSProxyName" oor:op="fuse"><value>proxy.invalid</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPSProxyPort" oor:op="fuse"><value>9</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetNoProxy" oor:op="fuse"><value></value></prop></item>
</oor:items>
)";

// The office suite's web import; its exit code says nothing, its file does.
bool PrintWithOffice(const std::string& office, const std::string& input,
                     const std::string& workDir, const std::string& pdf, std::string* why) {
  std::error_code error;
  std::filesystem::create_directories(workDir + "profile/user", error);
  if (error || !platform::WriteFileAtomically(workDir + "profile/user/registrymodifications.xcu",
                                              kNoLinksProfile)) {
    *why = "cannot prepare the office suite's settings in " + workDir;
    return false;
  }
  const std::string outDir = workDir + "out/";
  std::vector<std::string> argv = {office, "--headless",
                                   "-env:UserInstallation=" + FileUrl(workDir + "profile"),
                                   // The word processor's import: its web view loses text.
                                   "--infilter=HTML (StarWriter)", "--convert-to",
                                   "pdf:writer_pdf_Export", "--outdir", outDir, input};
  // In a box that sees the page's folder (its pictures) and the work folder.
  HiddenProcessOptions options;
  options.confinement = platform::Confinement{};
  options.confinement->readOnly = {platform::SplitPath(input).dir};
  options.confinement->writable = {workDir};
  options.confinement->configuration = platform::kOfficeConfiguration;
  options.env = {{"TMPDIR", workDir}, {"HOME", workDir}};
  options.why = why;
  if (RunHiddenProcess(argv, nullptr, options) != 1) {
    if (why->empty()) *why = "the office suite could not print " + input;
    return false;
  }
  const std::string made = outDir + platform::SplitPath(input).name + ".pdf";
  char head[5] = {};
  if (!platform::ReadFileAt(made, 0, head, sizeof head) || std::string(head, 5) != "%PDF-" ||
      !platform::MoveFileReplace(made, pdf)) {
    if (why->empty()) *why = "the office suite could not print " + input;
    return false;
  }
  return true;
}

class QuireObject : public Dispatch {
 public:
  QuireObject(std::string browser, std::string office)
      : program_(std::move(browser)), office_(std::move(office)) {}

  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (kind == InvokeKind::kPut) {
      RequireArgs(args, 1, "property");
      const Variant& v = args[0];
      switch (dispid) {
        case quire::kPrinterName:
          printer_ = ToString(v);
          return {};
        case quire::kOutputFile:
          output_ = ToString(v);
          return {};
        case quire::kInput:
          input_ = ToString(v);
          return {};
        case quire::kWaitEnabled:
          waitFlag_ = ToInt(v);
          return {};
        case quire::kWaitMs:
          waitMs_ = ToInt(v);
          return {};
        case quire::kPaperSize:
          paperCode_ = ToInt(v);
          return {};
        case quire::kPaperWidth:
          paperWidth_ = ToFloat(v);
          return {};
        case quire::kPaperLength:
          paperLength_ = ToFloat(v);
          return {};
        case quire::kKeepBrowser:
          keepBrowser_ = ToInt(v) != 0;
          return {};
      }
    } else if (kind == InvokeKind::kMethod && dispid == quire::kStart) {
      Start();
      return {};
    } else if (kind == InvokeKind::kGet && dispid == quire::kState) {
      return I4(State());
    }
    ThrowUnknownMember(kProgId, dispid, kind);
  }

 private:
  void Start() {
    if (state_ == 1) throw AutomationError(DISP_E_EXCEPTION, "a conversion is running already");
    state_ = 1;
    started_ = platform::TickCountMs();
    std::string why, url;
    const bool isFile = platform::IsRegularFile(input_);
    if (input_.empty()) return Finish(false, "no page to print was named");
    if (!isFile && !PageUrl(input_, &url, &why)) return Finish(false, why);
    work_ = std::make_unique<platform::StagingFolder>();
    if (!work_->CreateIn(platform::TempDirectory(), &why)) return Finish(false, why);
    pdf_ = work_->path() + "page.pdf";
    if (program_.empty()) {
      if (!isFile) return Finish(false, input_ + " is no file, and only a browser loads addresses");
      bool printed =
          PrintWithOffice(office_, platform::FullPath(input_), work_->path(), pdf_, &why);
      return Finish(printed, why);
    }
    PagePrintRequest request;
    request.url = isFile ? FileUrl(platform::FullPath(input_)) : url;
    ChoosePaper(paperCode_, paperWidth_, paperLength_, &request);
    request.waitMs = waitFlag_ && waitMs_ > 0 ? waitMs_ : 0;
    request.pdfPath = pdf_;
    if (isFile) request.pageFolder = platform::SplitPath(platform::FullPath(input_)).dir;
    request.keepBrowser = keepBrowser_;
    if (browserFolder_.path().empty() &&
        !browserFolder_.CreateIn(platform::TempDirectory(), &why)) {
      return Finish(false, why);
    }
    browser_.folder = browserFolder_.path();
    print_ = std::make_unique<BrowserPrint>();
    if (!print_->Start(program_, request, &browser_, &why)) return Finish(false, why);
  }

  // A page that could not be printed reads -1 once its reason was raised.
  int State() {
    // The caller asks again after a pause: answering the browser at once in
    // between saves a pause on every exchange.
    if (state_ == 1 && print_ && !print_->Poll(kAnswerMs)) {
      Finish(print_->printed(), print_->failure());
    }
    if (state_ < 0 && !failure_.empty()) {
      throw AutomationError(DISP_E_EXCEPTION, std::exchange(failure_, ""));
    }
    return state_;
  }

  void Finish(bool printed, std::string why) {
    const long long made = platform::TickCountMs();
    if (printed) printed = Submit(&why);
    TraceMessage("Vellum.Quire: page %s in %lld ms, job %lld ms\n", printed ? "printed" : "failed",
                 made - started_, platform::TickCountMs() - made);
    failure_ = printed ? "" : why;
    state_ = printed ? 0 : -1;
    print_.reset();
    work_.reset();
  }

  bool Submit(std::string* why) {
    std::string printer = printer_;
    if (printer.empty()) {
      char name[256] = {};
      uint32_t size = sizeof name;
      if (spool::GetDefaultPrinterA(name, &size)) printer = name;
    }
    const std::string& named = output_.empty() ? input_ : output_;
    std::string document = std::filesystem::path(named).filename().string();
    spool::SubmittedJob job;
    if (spool::SubmitPrintJob(printer, pdf_, document.empty() ? named : document, &job)) {
      return true;
    }
    *why =
        "printing to \"" + printer + "\" failed" + (job.failure.empty() ? "" : ": " + job.failure);
    return false;
  }

  const std::string program_, office_;  // the browser's, or else the office's
  std::string printer_, output_, input_;
  int waitFlag_ = 0, waitMs_ = 0;
  bool keepBrowser_ = false;
  int paperCode_ = spool::DMPAPER_LETTER;
  float paperWidth_ = 0, paperLength_ = 0;
  int state_ = 0;
  std::string failure_;  // why the page was not printed, until State raises it
  long long started_ = 0;
  // The browser's own folder outlives a page's; the browser goes before it.
  platform::StagingFolder browserFolder_;
  PageBrowser browser_;
  std::unique_ptr<platform::StagingFolder> work_;  // the page's PDF
  std::unique_ptr<BrowserPrint> print_;
  std::string pdf_;
};

}  // namespace

void RegisterQuireServer() {
  RegisterServer(kProgId, []() -> std::shared_ptr<Dispatch> {
    std::string browser = platform::FindProgram("chromium");
    std::string office = browser.empty() ? platform::FindProgram("soffice") : "";
    if (browser.empty() && office.empty()) return nullptr;
    return std::make_shared<QuireObject>(browser, office);
  });
}

}  // namespace scrivex
