#include "servers/browser_print.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "common/trace.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "servers/devtools_message.h"

namespace scrivex {
namespace {

// The network errors a user meets most, in words.
std::string DescribeNetError(const std::string& error) {
  static const std::pair<const char*, const char*> kWords[] = {
      {"net::ERR_FILE_NOT_FOUND", "no such file"},
      {"net::ERR_NAME_NOT_RESOLVED", "no such host"},
      {"net::ERR_CONNECTION_REFUSED", "connection refused"},
      {"net::ERR_CONNECTION_TIMED_OUT", "connection timed out"},
      {"net::ERR_ADDRESS_UNREACHABLE", "address unreachable"},
      {"net::ERR_INTERNET_DISCONNECTED", "no network"},
      {"net::ERR_ACCESS_DENIED", "access denied"},
      {"net::ERR_BLOCKED_BY_CLIENT", "an address no page may load"},
  };
  for (const auto& [code, words] : kWords) {
    if (error == code) return std::string(words) + " (" + error + ")";
  }
  return error;
}

// Sockets do not pass the browser's request filter, so pages, frames and
// workers go without them; a printed page has no use for them.
constexpr const char* kNoSockets = "delete globalThis.WebSocket;delete globalThis.WebTransport;";
// Frames of other sites and workers are targets of their own, held at their
// start until they lost their sockets too.
Json AttachChildren() {
  return {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}};
}

// Room left in a socket's path for the browser's own
// "org.chromium.Chromium.XXXXXX/SingletonSocket".
constexpr size_t kLongestSocketFolder = 60;

}  // namespace

using enum TabStep;

bool BrowserPrint::Start(const std::string& program, const PagePrintRequest& request,
                         PageBrowser* browser, std::string* why) {
  program_ = program;
  request_ = request;
  browser_ = browser;
  // A kept browser takes a page only when its box shows that page's folder
  // and no other, so no page reads more than with a browser of its own: an
  // address's page takes one that shows no folder.
  reused_ = request.keepBrowser && browser->process.Running() &&
            browser->pageFolder == request.pageFolder;
  if (!reused_ && !Launch(why)) return false;
  Begin();
  if (tab_.step == kFailed && reused_) StartAfresh();
  if (tab_.step == kFailed) {
    *why = failure_;
    return false;
  }
  return true;
}

bool BrowserPrint::Launch(std::string* why) {
  PageBrowser& b = *browser_;
  b.process.Kill();
  b.spare = PageTab{};
  // A new browser starts from nothing an earlier one left behind.
  std::error_code ignored;
  for (const char* left : {"profile", "home"})
    std::filesystem::remove_all(b.folder + left, ignored);
  b.pageFolder = request_.pageFolder;
  const std::string& workDir = b.folder;
  std::vector<std::string> argv = {program_, "--headless", "--remote-debugging-pipe",
                                   "--user-data-dir=" + workDir + "profile", "--disable-gpu",
                                   "--no-first-run", "--disable-background-networking",
                                   "--disable-component-update", "--disable-sync",
                                   // Without it this closed network floods the page with
                                   // refused connections.
                                   "--disable-quic"};
  // The browser's sandbox refuses to start as root; anyone else keeps it.
  if (platform::RunningAsRoot()) argv.push_back("--no-sandbox");
  platform::ChildOptions options;
  options.timeoutMs = platform::WatchdogSeconds() * 1000LL;
  // What it would keep in the user's home or leave in the temporary folder
  // (its crash reports, its lock socket) goes with the private folder.
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
    options.env.emplace_back(name, workDir + "home");
  }
  // Its lock socket goes into TMPDIR, and a socket's path has at most 107
  // bytes: a deep work folder leaves it the run's own temporary folder.
  // (Boxed, its /tmp is its own anyway.)
  if (workDir.size() + 5 <= kLongestSocketFolder)
    options.env.emplace_back("TMPDIR", workDir + "home");
  // In a box that sees the page's own folder and the work folder; the network
  // stays, for public addresses (the request filter refuses the rest).
  options.confinement = platform::Confinement{};
  options.confinement->network = true;
  if (!b.pageFolder.empty()) options.confinement->readOnly = {b.pageFolder};
  options.confinement->writable = {workDir};
  options.confinement->configuration = platform::kBrowserConfiguration;
  if (!b.process.StartWithMessages(argv, options)) {
    const std::string& refusal = b.process.result().refusal;
    *why = "the browser " + program_ + " could not be started" +
           (refusal.empty() ? "" : ": " + refusal);
    return false;
  }
  return true;
}

void BrowserPrint::Begin() {
  PageBrowser& b = *browser_;
  failure_.clear();
  spent_ = false;
  // The watchdog's time is each page's own.
  b.process.RestartClock(platform::WatchdogSeconds() * 1000LL);
  // The tab made for it as the last page closed; the filter is on since
  // the browser started.
  if (reused_ && b.spare.step != kIdle && b.spare.step != kFailed) {
    tab_ = std::exchange(b.spare, PageTab{});
    tab_.scope = ScopeOfPage(request_.url);
    if (tab_.step == kMade) Attach(tab_);
    return;
  }
  b.spare = PageTab{};
  tab_ = PageTab{};
  tab_.scope = ScopeOfPage(request_.url);
  // Every request of every page, frame and worker stops at the browser for
  // the filter, from the first one on.
  tab_.step = kFilter;
  const Json everyRequest = {{"urlPattern", "*"}, {"requestStage", "Request"}};
  tab_.pendingId = Send("Fetch.enable", {{"patterns", Json::array({everyRequest})}}, false);
}

// The kept browser went away or failed before the page's address reached it:
// the page starts again in a new browser.
bool BrowserPrint::StartAfresh() {
  reused_ = false;
  if (!Launch(&failure_)) {
    tab_.step = kFailed;
    spent_ = true;
    return false;
  }
  Begin();
  return tab_.step != kFailed;
}

int BrowserPrint::SendFor(PageTab& tab, const std::string& session, const std::string& method,
                          const Json& params) {
  const int id = ++browser_->lastId;
  tab.ids.insert(id);
  Json message = {{"id", id}, {"method", method}, {"params", params}};
  if (!session.empty()) message["sessionId"] = session;
  const std::string text = WriteMessage(message);
  TraceMessage("browser <- %.200s\n", text.c_str());
  if (!browser_->process.SendMessage(text)) Fail("the browser stopped listening");
  return id;
}

int BrowserPrint::Send(const std::string& method, const Json& params, bool toPage) {
  return SendFor(tab_, toPage ? tab_.sessionId : std::string(), method, params);
}

int BrowserPrint::SendIn(const std::string& session, const std::string& method,
                         const Json& params) {
  return SendFor(tab_, session, method, params);
}

bool BrowserPrint::Poll(long long waitMs) {
  platform::BackgroundChild& process = browser_->process;
  const long long end = platform::TickCountMs() + waitMs;
  std::string text;
  while (!Done() && process.ReadMessage(&text, std::max(0LL, end - platform::TickCountMs()))) {
    TraceMessage("browser -> %.200s\n", text.c_str());
    Json message;
    if (!ParseMessage(text, &message)) {
      Fail("the browser sent a message that is not JSON");
    } else {
      OnMessage(message);
    }
  }
  if (reused_ && !tab_.navigated && (tab_.step == kFailed || !process.Running())) StartAfresh();
  if (!Done() && !process.Running()) {
    const platform::ChildResult& r = process.result();
    if (r.timedOut) {
      Fail("the browser ran out of time (" + std::to_string(platform::WatchdogSeconds()) + " s)");
    } else {
      std::string tail = r.output.substr(r.output.size() > 300 ? r.output.size() - 300 : 0);
      Fail("the browser ended before the page was printed: " + tail);
    }
  }
  if (Done()) {
    // Unless kept and fit for the next page, it goes; its profile goes with
    // the caller's folder.
    if (!request_.keepBrowser || spent_) process.Kill();
    return false;
  }
  return true;
}

void BrowserPrint::OnMessage(const Json& message) {
  if (const Json* id = Member(message, "id"); id && id->is_number()) {
    // Only our own ids are answers; no other number is cast.
    const double number = id->get<double>();
    if (!(number >= 1 && number <= browser_->lastId)) return;
    const int n = static_cast<int>(number);
    // Replies to an earlier page's messages are nobody's.
    PageTab& spare = browser_->spare;
    PageTab* tab = spare.ids.count(n) ? &spare : tab_.ids.count(n) ? &tab_ : nullptr;
    if (!tab) return;
    // A paused request or a child target may be gone before the answer lands.
    if (tab->unanswered.erase(n)) return;
    if (const Json* error = Member(message, "error")) {
      const std::string why =
          "the browser refused a request: " + Text(*error, "message", "no reason given");
      if (tab == &spare) {
        // This page goes on; the next gets a new browser.
        spare.step = kFailed;
        spent_ = true;
        EndClosing();
      } else {
        Fail(why);
      }
      return;
    }
    static const Json kNone;
    const Json* result = Member(message, "result");
    OnReply(*tab, n, result ? *result : kNone);
    return;
  }
  const std::string method = Text(message, "method");
  const Json* params = Member(message, "params");
  if (!params) return;
  if (method == "Fetch.requestPaused") {
    OnRequestPaused(*params, Text(message, "sessionId"));
  } else if (method == "Target.attachedToTarget" && Member(message, "sessionId")) {
    OnChildAttached(*params);  // not the page itself: a child of one of its sessions
  } else if (method == "Network.responseReceived" && Text(*params, "type") == "Document") {
    if (const Json* response = Member(*params, "response")) {
      // Any number the page sends: out of range reads as a server error.
      const double status = Number(*response, "status");
      tab_.statuses[Text(*params, "requestId")] =
          status >= 0 && status < 1000 ? static_cast<int>(status) : 599;
    }
  } else if (method == "Network.loadingFailed" && Text(*params, "type") == "Document") {
    tab_.errors[Text(*params, "requestId")] = Text(*params, "errorText");
  } else if (method == "Page.javascriptDialogOpening") {
    // Nobody is there to answer an alert; the page would wait for ever.
    Send("Page.handleJavaScriptDialog", {{"accept", true}});
  } else if (method == "Inspector.targetCrashed") {
    Fail("the page crashed the browser");
  } else if (tab_.step == kLoading &&
             method == (request_.waitMs > 0 ? "Emulation.virtualTimeBudgetExpired"
                                            : "Page.loadEventFired")) {
    Print();
  }
}

void BrowserPrint::OnRequestPaused(const Json& params, const std::string& session) {
  const std::string id = Text(params, "requestId");
  std::string url, why;
  if (const Json* request = Member(params, "request")) url = Text(*request, "url");
  // Host names are looked up once per page.
  auto resolve = [this](const std::string& name, std::vector<platform::IpAddress>* addresses) {
    auto known = tab_.resolved.find(name);
    if (known == tab_.resolved.end()) {
      platform::ResolveHostName(name, addresses);
      known = tab_.resolved.emplace(name, *addresses).first;
    }
    *addresses = known->second;
    return !addresses->empty();
  };
  if (MayLoad(url, tab_.scope, resolve, &why)) {
    tab_.unanswered.insert(SendIn(session, "Fetch.continueRequest", {{"requestId", id}}));
    return;
  }
  // The page prints without it: a refused frame stays empty, a picture missing.
  TraceMessage("browser: refused %.300s (%s): %s\n", url.c_str(),
               Text(params, "resourceType").c_str(), why.c_str());
  const char* reason =
      platform::StartsWithNoCase(url, "file:") ? "AccessDenied" : "BlockedByClient";
  tab_.unanswered.insert(
      SendIn(session, "Fetch.failRequest", {{"requestId", id}, {"errorReason", reason}}));
}

void BrowserPrint::OnChildAttached(const Json& params) {
  const std::string session = Text(params, "sessionId");
  std::string type;
  if (const Json* info = Member(params, "targetInfo")) type = Text(*info, "type");
  // The child may be gone again before any of this arrives.
  if (type == "iframe" || type == "page") {
    tab_.unanswered.insert(
        SendIn(session, "Page.addScriptToEvaluateOnNewDocument", {{"source", kNoSockets}}));
  } else {
    tab_.unanswered.insert(SendIn(session, "Runtime.evaluate", {{"expression", kNoSockets}}));
  }
  tab_.unanswered.insert(SendIn(session, "Target.setAutoAttach", AttachChildren()));
  tab_.unanswered.insert(SendIn(session, "Runtime.runIfWaitingForDebugger", Json::object()));
}

void BrowserPrint::OnReply(PageTab& tab, int id, const Json& result) {
  if (tab.step == kEnable) {
    if (--tab.enabling == 0) Navigate();
    return;
  }
  if (id != tab.pendingId) return;
  switch (tab.step) {
    case kFilter:
      // A kept browser gives the page a context of its own: no cookie,
      // storage, cache or worker of one page is there for the next.
      if (request_.keepBrowser) {
        tab.step = kContext;
        tab.pendingId = SendFor(tab, "", "Target.createBrowserContext", Json::object());
        break;
      }
      tab.step = kTarget;
      tab.pendingId = SendFor(tab, "", "Target.createTarget", {{"url", "about:blank"}});
      break;
    case kContext:
      tab.contextId = Text(result, "browserContextId");
      tab.step = kTarget;
      tab.pendingId = SendFor(tab, "", "Target.createTarget",
                              {{"url", "about:blank"}, {"browserContextId", tab.contextId}});
      EndClosing();
      break;
    case kTarget:
      tab.targetId = Text(result, "targetId");
      // The next page's tab waits for its page.
      tab.step = kMade;
      if (&tab == &tab_) Attach(tab);
      break;
    case kAttach:
      tab_.sessionId = Text(result, "sessionId");
      tab_.step = kEnable;
      // The page's events are on before it loads (the replies may come out
      // of order); time stands still until the page is there.
      Send("Page.enable", Json::object());
      Send("Network.enable", Json::object());
      Send("Page.addScriptToEvaluateOnNewDocument",
           {{"source", kNoSockets}, {"runImmediately", true}});
      Send("Target.setAutoAttach", AttachChildren());
      if (request_.waitMs > 0) Send("Emulation.setVirtualTimePolicy", {{"policy", "pause"}});
      tab_.enabling = browser_->lastId - id;
      break;
    case kNavigate:
      if (const std::string error = Text(result, "errorText"); !error.empty()) {
        Fail("the page could not be loaded: " + DescribeNetError(error), true);
        return;
      }
      if (Flag(result, "isDownload")) {
        Fail("the address leads to a download, not a page", true);
        return;
      }
      tab_.loaderId = Text(result, "loaderId");
      tab_.step = kLoading;
      if (request_.waitMs > 0) {
        Send("Emulation.setVirtualTimePolicy",
             {{"policy", "pauseIfNetworkFetchesPending"}, {"budget", request_.waitMs}});
      }
      break;
    case kPrinting: {
      std::string pdf;
      if (!DecodeBase64(Text(result, "data"), &pdf) || pdf.compare(0, 5, "%PDF-") != 0) {
        Fail("the browser returned no PDF");
      } else if (!platform::WriteFileAtomically(request_.pdfPath, pdf)) {
        Fail("cannot write " + request_.pdfPath, true);
      } else if (request_.keepBrowser) {
        Close(kPrinted);
      } else {
        tab_.step = kPrinted;
      }
      break;
    }
    case kClosing:
      tab_.closed = true;
      EndClosing();
      break;
    default:
      break;
  }
}

void BrowserPrint::Attach(PageTab& tab) {
  tab.step = kAttach;
  tab.pendingId =
      SendFor(tab, "", "Target.attachToTarget", {{"targetId", tab.targetId}, {"flatten", true}});
}

void BrowserPrint::Navigate() {
  tab_.step = kNavigate;
  tab_.pendingId = Send("Page.navigate", {{"url", request_.url}});
  tab_.navigated = !Done();
}

void BrowserPrint::Print() {
  // The browser's own error page is no result.
  if (auto e = tab_.errors.find(tab_.loaderId); e != tab_.errors.end()) {
    Fail("the page could not be loaded: " + DescribeNetError(e->second), true);
    return;
  }
  if (auto s = tab_.statuses.find(tab_.loaderId); s != tab_.statuses.end() && s->second >= 400) {
    Fail("the page could not be loaded: HTTP " + std::to_string(s->second), true);
    return;
  }
  // The paper goes in as the page's last @page rule, so it wins over the
  // page's own; the sizes below serve a page that takes no rule.
  const std::string rule = "@page { size: " + request_.pageSize + "; }";
  const std::string script = "(function(){var s=document.createElement('style');s.textContent=" +
                             WriteMessage(Json(rule)) +
                             ";(document.head||document.documentElement).appendChild(s);})()";
  tab_.step = kPrinting;
  Send("Runtime.evaluate", {{"expression", script}});
  tab_.pendingId = Send("Page.printToPDF", {{"printBackground", true},
                                            {"displayHeaderFooter", false},
                                            {"preferCSSPageSize", true},
                                            {"paperWidth", request_.widthInches},
                                            {"paperHeight", request_.heightInches}});
}

// The page's tab and all it started go with its context: the browser is
// left as it was before the page. The next page's tab, the slowest part of
// a page, is made while this page's PDF goes to the printer.
void BrowserPrint::Close(TabStep outcome) {
  tab_.outcome = outcome;
  tab_.step = kClosing;
  tab_.pendingId =
      Send("Target.disposeBrowserContext", {{"browserContextId", tab_.contextId}}, false);
  PageTab& spare = browser_->spare;
  spare = PageTab{};
  spare.step = kContext;
  spare.pendingId = SendFor(spare, "", "Target.createBrowserContext", Json::object());
}

// The page is over once its context is gone and the next page's tab was
// asked for.
void BrowserPrint::EndClosing() {
  if (tab_.step == kClosing && tab_.closed && browser_->spare.step != kContext) {
    tab_.step = tab_.outcome;
  }
}

void BrowserPrint::Fail(const std::string& why, bool pageOnly) {
  if (Done()) return;
  if (tab_.step == kClosing) {
    // What the page came to stands; the browser is not trusted with another.
    spent_ = true;
    tab_.step = tab_.outcome;
    return;
  }
  failure_ = why;
  if (pageOnly && request_.keepBrowser && !tab_.contextId.empty()) {
    Close(kFailed);
    return;
  }
  spent_ = true;
  tab_.step = kFailed;
}

}  // namespace scrivex
