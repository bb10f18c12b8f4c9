#include "servers/browser_print.h"

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

bool BrowserPrint::Start(const std::string& browser, const PagePrintRequest& request,
                         const std::string& workDir, std::string* why) {
  request_ = request;
  std::vector<std::string> argv = {browser, "--headless", "--remote-debugging-pipe",
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
  if (!request.pageFolder.empty()) options.confinement->readOnly = {request.pageFolder};
  options.confinement->writable = {workDir};
  options.confinement->configuration = platform::kBrowserConfiguration;
  if (!browser_.StartWithMessages(argv, options)) {
    const std::string& refusal = browser_.result().refusal;
    *why = "the browser " + browser + " could not be started" +
           (refusal.empty() ? "" : ": " + refusal);
    return false;
  }
  // Every request of every page, frame and worker stops at the browser for
  // the filter, from the first one on.
  scope_ = ScopeOfPage(request.url);
  step_ = kFilter;
  const Json everyRequest = {{"urlPattern", "*"}, {"requestStage", "Request"}};
  pendingId_ = Send("Fetch.enable", {{"patterns", Json::array({everyRequest})}}, false);
  return step_ == kFilter;
}

int BrowserPrint::Send(const std::string& method, const Json& params, bool toPage) {
  return SendIn(toPage ? sessionId_ : std::string(), method, params);
}

int BrowserPrint::SendIn(const std::string& session, const std::string& method,
                         const Json& params) {
  Json message = {{"id", ++lastId_}, {"method", method}, {"params", params}};
  if (!session.empty()) message["sessionId"] = session;
  const std::string text = WriteMessage(message);
  TraceMessage("browser <- %.200s\n", text.c_str());
  if (!browser_.SendMessage(text)) Fail("the browser stopped listening");
  return lastId_;
}

bool BrowserPrint::Poll() {
  std::string text;
  while ((step_ != kPrinted && step_ != kFailed) && browser_.ReadMessage(&text, 0)) {
    TraceMessage("browser -> %.200s\n", text.c_str());
    Json message;
    if (!ParseMessage(text, &message)) {
      Fail("the browser sent a message that is not JSON");
    } else {
      OnMessage(message);
    }
  }
  if (step_ != kPrinted && step_ != kFailed && !browser_.Running()) {
    const platform::ChildResult& r = browser_.result();
    if (r.timedOut) {
      Fail("the browser ran out of time (" + std::to_string(platform::WatchdogSeconds()) + " s)");
    } else {
      std::string tail = r.output.substr(r.output.size() > 300 ? r.output.size() - 300 : 0);
      Fail("the browser ended before the page was printed: " + tail);
    }
  }
  if (step_ == kPrinted || step_ == kFailed) {
    browser_.Kill();  // its profile goes with the caller's folder
    return false;
  }
  return true;
}

void BrowserPrint::OnMessage(const Json& message) {
  if (const Json* id = Member(message, "id"); id && id->is_number()) {
    // Only our own ids are answers; no other number is cast.
    const double number = id->get<double>();
    if (!(number >= 1 && number <= lastId_)) return;
    // A paused request or a child target may be gone before the answer lands.
    if (unanswered_.erase(static_cast<int>(number))) return;
    if (const Json* error = Member(message, "error")) {
      Fail("the browser refused a request: " + Text(*error, "message", "no reason given"));
      return;
    }
    static const Json kNone;
    const Json* result = Member(message, "result");
    OnReply(static_cast<int>(number), result ? *result : kNone);
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
      statuses_[Text(*params, "requestId")] =
          status >= 0 && status < 1000 ? static_cast<int>(status) : 599;
    }
  } else if (method == "Network.loadingFailed" && Text(*params, "type") == "Document") {
    errors_[Text(*params, "requestId")] = Text(*params, "errorText");
  } else if (method == "Page.javascriptDialogOpening") {
    // Nobody is there to answer an alert; the page would wait for ever.
    Send("Page.handleJavaScriptDialog", {{"accept", true}});
  } else if (method == "Inspector.targetCrashed") {
    Fail("the page crashed the browser");
  } else if (step_ == kLoading &&
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
    auto known = resolved_.find(name);
    if (known == resolved_.end()) {
      platform::ResolveHostName(name, addresses);
      known = resolved_.emplace(name, *addresses).first;
    }
    *addresses = known->second;
    return !addresses->empty();
  };
  if (MayLoad(url, scope_, resolve, &why)) {
    unanswered_.insert(SendIn(session, "Fetch.continueRequest", {{"requestId", id}}));
    return;
  }
  // The page prints without it: a refused frame stays empty, a picture missing.
  TraceMessage("browser: refused %.300s (%s): %s\n", url.c_str(),
               Text(params, "resourceType").c_str(), why.c_str());
  const char* reason =
      platform::StartsWithNoCase(url, "file:") ? "AccessDenied" : "BlockedByClient";
  unanswered_.insert(
      SendIn(session, "Fetch.failRequest", {{"requestId", id}, {"errorReason", reason}}));
}

void BrowserPrint::OnChildAttached(const Json& params) {
  const std::string session = Text(params, "sessionId");
  std::string type;
  if (const Json* info = Member(params, "targetInfo")) type = Text(*info, "type");
  // The child may be gone again before any of this arrives.
  if (type == "iframe" || type == "page") {
    unanswered_.insert(
        SendIn(session, "Page.addScriptToEvaluateOnNewDocument", {{"source", kNoSockets}}));
  } else {
    unanswered_.insert(SendIn(session, "Runtime.evaluate", {{"expression", kNoSockets}}));
  }
  unanswered_.insert(SendIn(session, "Target.setAutoAttach", AttachChildren()));
  unanswered_.insert(SendIn(session, "Runtime.runIfWaitingForDebugger", Json::object()));
}

void BrowserPrint::OnReply(int id, const Json& result) {
  if (step_ == kEnable) {
    if (--enabling_ == 0) {
      step_ = kNavigate;
      pendingId_ = Send("Page.navigate", {{"url", request_.url}});
    }
    return;
  }
  if (id != pendingId_) return;
  switch (step_) {
    case kFilter:
      step_ = kTarget;
      pendingId_ = Send("Target.createTarget", {{"url", "about:blank"}}, false);
      break;
    case kTarget:
      step_ = kAttach;
      pendingId_ = Send("Target.attachToTarget",
                        {{"targetId", Text(result, "targetId")}, {"flatten", true}}, false);
      break;
    case kAttach:
      sessionId_ = Text(result, "sessionId");
      step_ = kEnable;
      // The page's events are on before it loads (the replies may come out
      // of order); time stands still until the page is there.
      Send("Page.enable", Json::object());
      Send("Network.enable", Json::object());
      Send("Page.addScriptToEvaluateOnNewDocument",
           {{"source", kNoSockets}, {"runImmediately", true}});
      Send("Target.setAutoAttach", AttachChildren());
      if (request_.waitMs > 0) Send("Emulation.setVirtualTimePolicy", {{"policy", "pause"}});
      enabling_ = lastId_ - id;
      break;
    case kNavigate:
      if (const std::string error = Text(result, "errorText"); !error.empty()) {
        Fail("the page could not be loaded: " + DescribeNetError(error));
        return;
      }
      if (Flag(result, "isDownload")) {
        Fail("the address leads to a download, not a page");
        return;
      }
      loaderId_ = Text(result, "loaderId");
      step_ = kLoading;
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
        Fail("cannot write " + request_.pdfPath);
      } else {
        step_ = kPrinted;
      }
      break;
    }
    default:
      break;
  }
}

void BrowserPrint::Print() {
  // The browser's own error page is no result.
  if (auto e = errors_.find(loaderId_); e != errors_.end()) {
    Fail("the page could not be loaded: " + DescribeNetError(e->second));
    return;
  }
  if (auto s = statuses_.find(loaderId_); s != statuses_.end() && s->second >= 400) {
    Fail("the page could not be loaded: HTTP " + std::to_string(s->second));
    return;
  }
  // The paper goes in as the page's last @page rule, so it wins over the
  // page's own; the sizes below serve a page that takes no rule.
  const std::string rule = "@page { size: " + request_.pageSize + "; }";
  const std::string script =
      "(function(){var s=document.createElement('style');s.textContent=" +
      WriteMessage(Json(rule)) + ";(document.head||document.documentElement).appendChild(s);})()";
  step_ = kPrinting;
  Send("Runtime.evaluate", {{"expression", script}});
  pendingId_ = Send("Page.printToPDF", {{"printBackground", true},
                                        {"displayHeaderFooter", false},
                                        {"preferCSSPageSize", true},
                                        {"paperWidth", request_.widthInches},
                                        {"paperHeight", request_.heightInches}});
}

void BrowserPrint::Fail(const std::string& why) {
  if (step_ == kFailed) return;
  step_ = kFailed;
  failure_ = why;
}

}  // namespace scrivex
