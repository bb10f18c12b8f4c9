#include "servers/browser_print.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/test_support.h"
#include "servers/devtools_message.h"

namespace scrivex {
namespace {

// A stand-in for the headless browser. It reads the client's messages from
// fd 3 and writes its own to fd 4 (JSON, each ending in NUL), plays the
// scenario.json of the work folder and logs what it read to received.log
// there, one message a line, and each start to launches.log. Where the
// client strays from what a browser needs, it says so on its standard error
// and ends, which the client reports as its failure. It prints page after
// page: a page whose context the client disposes of is over, and the next
// one reads the scenario afresh.
//
// The scenario's keys: "setup" (commands of the page's set-up, 4), "status"
// of the page or its "netError", "navigateReply" in place of the normal one,
// "waitMs" (a virtual time budget is asked for), "events" (actions between
// the navigation and the load), "on" (actions on reading a method),
// "printError", "goneRequests" (paused requests are gone when answered),
// "then" (actions once the page's context is gone).
// The PDF it returns is answer.bin of the work folder.
constexpr const char* kFakeBrowser = R"PY(#!/usr/bin/env python3
import base64, json, os, sys

work = next(a[len('--user-data-dir='):] for a in sys.argv[1:]
            if a.startswith('--user-data-dir='))
work = work[:-len('profile')]
with open(work + 'launches.log', 'a') as f:
    f.write('%d\n' % os.getpid())
log = open(work + 'received.log', 'a')
inbox = b''
sc = {}
page = 0
session = context = None
made = 0
tabs = {}  # tab -> its context, until a page takes it
filled = set()  # contexts that have their tab
ready = False  # the page is there: asking to print is no longer early


class Closed(Exception):
    pass  # the client disposed of the page's context


def die(why, code=3):
    sys.stderr.write('fake browser: ' + why + '\n')
    sys.stderr.flush()
    os._exit(code)


def send_raw(data):
    while data:
        data = data[os.write(4, data):]


def send(message):
    send_raw(json.dumps(message, separators=(',', ':')).encode() + b'\0')


def read():
    global inbox, sc, made
    while True:
        while b'\0' not in inbox:
            chunk = os.read(3, 65536)
            if not chunk:
                os._exit(0)  # the client hung up
            inbox += chunk
        text, _, inbox = inbox.partition(b'\0')
        log.write(text.decode() + '\n')
        log.flush()
        message = json.loads(text)
        method = message.get('method')
        params = message.get('params', {})
        if method in ('Fetch.enable', 'Target.attachToTarget'):  # the page is the client's
            with open(work + 'scenario.json') as f:
                sc = json.load(f)
        if method == 'Target.disposeBrowserContext':
            if context is None or params.get('browserContextId') != context:
                die('disposed of %s, not the page\'s context' % params)
            reply(message)
            raise Closed()
        if method == 'Page.printToPDF' and not ready:
            die('asked to print before the page was there', 5)
        for action in sc.get('on', {}).get(method, []):
            act(action)
        # Contexts and tabs come when asked for, ahead of their page too.
        if method == 'Target.createBrowserContext':
            made += 1
            reply(message, {'browserContextId': 'B%d' % made})
            continue
        if method == 'Target.createTarget':
            within = params.get('browserContextId')
            if within is not None and within in filled:
                die('a second tab in context %s' % within)
            filled.add(within)
            made += 1
            tabs['T%d' % made] = within
            reply(message, {'targetId': 'T%d' % made})
            continue
        return message


def reply(message, result=None, error=None):
    answer = {'id': message['id']}
    if error:
        answer['error'] = {'code': -32000, 'message': error}
    else:
        answer['result'] = {} if result is None else result
    if 'sessionId' in message:
        answer['sessionId'] = message['sessionId']
    send(answer)


# Children and paused requests may be gone by the time their commands come.
def gone(message):
    return message.get('sessionId', '').startswith('C') or (
        message.get('method', '').startswith('Fetch.') and sc.get('goneRequests'))


def take(methods, session=None):
    methods = methods if isinstance(methods, tuple) else (methods,)
    while True:
        message = read()
        if message.get('method') in methods and message.get('sessionId') == session:
            return message
        reply(message, error='No target with given id found' if gone(message) else None)


def answer_of(request_id, session):
    while True:
        message = read()
        if (message.get('method') in ('Fetch.continueRequest', 'Fetch.failRequest') and
                message['params'].get('requestId') == request_id):
            if message.get('sessionId') != session:
                die('request %s answered in session %s' % (request_id, message.get('sessionId')))
            reply(message, error='Invalid InterceptionId.' if gone(message) else None)
            return message['method']
        reply(message, error='No target with given id found' if gone(message) else None)


def act(a):
    do = a['do']
    if do == 'send':
        send(a['message'])
    elif do == 'raw':
        send_raw(a['text'].encode('latin-1') + (b'\0' if a.get('nul', True) else b''))
    elif do == 'exit':
        die(a.get('say', 'gone'))
    elif do == 'hangup':  # takes the next message and goes without an answer
        read()
        die('hung up')
    elif do == 'idle':
        while True:
            read()
    elif do == 'pause':
        event = {'method': 'Fetch.requestPaused',
                 'params': {'requestId': a['id'], 'frameId': 'F1',
                            'request': {'url': a['url'], 'method': 'GET'},
                            'resourceType': a.get('type', 'Image')}}
        if a.get('session'):
            event['sessionId'] = a['session']
        send(event)
        return answer_of(a['id'], a.get('session'))
    elif do == 'dialog':
        send({'method': 'Page.javascriptDialogOpening', 'sessionId': session,
              'params': {'url': 'about:blank', 'message': 'hello', 'type': 'alert',
                         'hasBrowserHandler': False}})
        reply(take('Page.handleJavaScriptDialog', session))
    elif do == 'child':
        send({'method': 'Target.attachedToTarget', 'sessionId': session,
              'params': {'sessionId': a['session'], 'waitingForDebugger': True,
                         'targetInfo': {'targetId': 'T' + a['session'], 'type': a['type'],
                                        'url': 'https://93.184.216.34/child'}}})
        # Gone already: its commands fail.
        reply(take('Runtime.runIfWaitingForDebugger', a['session']), error='No session')


def print_page():
    global session, context, ready
    session, ready = 'S%d' % page, False
    attach = take(('Fetch.enable', 'Target.attachToTarget'))
    if attach['method'] == 'Fetch.enable':
        reply(attach)
        attach = take('Target.attachToTarget')
    target = attach['params'].get('targetId')
    if target not in tabs:
        die('attached to %s, not a new tab' % target)
    context = tabs.pop(target)
    # As a browser does, it tells the root session of the attachment too.
    send({'method': 'Target.attachedToTarget',
          'params': {'sessionId': session, 'waitingForDebugger': False,
                     'targetInfo': {'targetId': target, 'type': 'page', 'url': 'about:blank'}}})
    reply(attach, {'sessionId': session})
    # The page's set-up, answered last first.
    setup = []
    while len(setup) < sc.get('setup', 4):
        message = read()
        if message.get('sessionId') != session:
            die('%s sent outside the page' % message.get('method'))
        setup.append(message)
    for message in reversed(setup):
        reply(message)

    navigate = take('Page.navigate', session)
    if 'navigateReply' in sc:
        reply(navigate, sc['navigateReply'])
        act({'do': 'idle'})
    url = navigate['params']['url']
    if act({'do': 'pause', 'id': 'R-page', 'url': url, 'type': 'Document'}) != 'Fetch.continueRequest':
        die('the page itself was refused')
    if 'netError' in sc:
        send({'method': 'Network.loadingFailed', 'sessionId': session,
              'params': {'requestId': 'L1', 'type': 'Document', 'errorText': sc['netError'],
                         'canceled': False}})
    else:
        send({'method': 'Network.responseReceived', 'sessionId': session,
              'params': {'requestId': 'L1', 'loaderId': 'L1', 'type': 'Document',
                         'response': {'url': url, 'status': sc.get('status', 200)}}})
    reply(navigate, {'frameId': 'F1', 'loaderId': 'L1'})
    if sc.get('waitMs'):
        reply(take('Emulation.setVirtualTimePolicy', session))
    for a in sc.get('events', []):
        act(a)

    ready = True
    send({'method': 'Emulation.virtualTimeBudgetExpired' if sc.get('waitMs') else
          'Page.loadEventFired', 'params': {'timestamp': 1.5}, 'sessionId': session})
    reply(take('Runtime.evaluate', session), {'result': {'type': 'undefined'}})
    print_request = take('Page.printToPDF', session)
    if 'printError' in sc:
        reply(print_request, error=sc['printError'])
    else:
        with open(work + 'answer.bin', 'rb') as f:
            reply(print_request, {'data': base64.b64encode(f.read()).decode()})
    act({'do': 'idle'})


while True:
    page += 1
    try:
        print_page()
    except Closed:
        for a in sc.get('then', []):
            act(a)
)PY";

// Where no conversation of these takes longer, with room to spare: it only
// keeps a client that waits for ever from hanging the test.
constexpr int kPolls = 15000;
constexpr useconds_t kPollGapUs = 2000;

// A message's params; null when it has none.
const Json& Params(const Json& message) {
  static const Json kNone;
  const Json* params = Member(message, "params");
  return params ? *params : kNone;
}

struct Conversation {
  bool printed = false;
  std::string failure;
  std::vector<Json> received;  // what the client sent, in order

  // The params of the first message with this method (and session, "" for
  // the browser's own); null when there was none.
  const Json& Sent(const std::string& method, const std::string& session) const {
    for (const Json& m : received) {
      if (Text(m, "method") == method && Text(m, "sessionId") == session) return Params(m);
    }
    static const Json kNone;
    return kNone;
  }
  size_t Count(const std::string& method) const {
    size_t n = 0;
    for (const Json& m : received) n += Text(m, "method") == method;
    return n;
  }
  // The method that answered the paused request.
  std::string AnswerTo(const std::string& requestId, std::string* session = nullptr) const {
    for (const Json& m : received) {
      const Json& params = Params(m);
      const std::string method = Text(m, "method");
      if (Text(params, "requestId") == requestId &&
          (method == "Fetch.continueRequest" || method == "Fetch.failRequest")) {
        if (session) *session = Text(m, "sessionId");
        return method + (method == "Fetch.failRequest" ? " " + Text(params, "errorReason") : "");
      }
    }
    return "unanswered";
  }
};

class FakeBrowser {
 public:
  FakeBrowser() : path_(dir_.Write("fake-browser", kFakeBrowser)) { chmod(path_.c_str(), 0755); }
  const test::ScratchDir& dir() const { return dir_; }

  // A work folder of its own for a browser.
  std::string NewFolder() {
    const std::string work = dir_.Path("work" + std::to_string(++runs_) + "/");
    std::filesystem::create_directories(work);
    return work;
  }

  // One page in `browser`, the browser answering printToPDF with `pdf`;
  // received holds all the browser's folder has seen.
  Conversation Page(PageBrowser& browser, const PagePrintRequest& request,
                    const std::string& scenario, const std::string& pdf = "",
                    const std::string& program = "") {
    test::WriteBytes(browser.folder + "scenario.json", scenario);
    test::WriteBytes(browser.folder + "answer.bin", pdf);
    Conversation c;
    BrowserPrint print;
    if (!print.Start(program.empty() ? path_ : program, request, &browser, &c.failure)) return c;
    bool ended = false;
    for (int i = 0; i < kPolls && !ended; ++i) {
      ended = !print.Poll();
      if (!ended) usleep(kPollGapUs);
    }
    EXPECT_TRUE(ended) << "the client still waits";
    c.printed = print.printed();
    c.failure = print.failure();
    std::istringstream log(test::ReadBytes(browser.folder + "received.log"));
    for (std::string line; std::getline(log, line);) {
      c.received.emplace_back();
      EXPECT_TRUE(ParseMessage(line, &c.received.back())) << line;
    }
    return c;
  }

  // One page in a browser of its own.
  Conversation Converse(const PagePrintRequest& request, const std::string& scenario,
                        const std::string& pdf = "", const std::string& program = "") {
    PageBrowser browser;
    browser.folder = NewFolder();
    return Page(browser, request, scenario, pdf, program);
  }

 private:
  test::ScratchDir dir_;
  std::string path_;
  int runs_ = 0;
};

// How often the browser of the folder was started.
size_t Launches(const PageBrowser& browser) {
  const std::string log = test::ReadBytes(browser.folder + "launches.log");
  return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
}

PagePrintRequest A4Request(const FakeBrowser& fake, const std::string& url) {
  PagePrintRequest request;
  request.url = url;
  request.pageSize = "210mm 297mm";
  request.widthInches = 8.27;
  request.heightInches = 11.69;
  request.pdfPath = fake.dir().Path("out.pdf");
  return request;
}

// Enough to take many reads of the channel, with every byte value in it.
std::string SamplePdf() {
  std::string pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
  for (unsigned i = 0; i < 300000; ++i) pdf.push_back(static_cast<char>((i * 7919u) >> 3));
  return pdf + "\n%%EOF\n";
}

TEST(BrowserPrint, PrintsTheLoadedPageOnTheRequestedPaper) {
  FakeBrowser fake;
  std::filesystem::create_directories(fake.dir().Path("site"));
  const std::string site = "file://" + fake.dir().Path("site/");
  PagePrintRequest request = A4Request(fake, site + "report.html");
  request.pageFolder = fake.dir().Path("site/");
  const std::string pdf = SamplePdf();
  // On its way the page asks for a picture of its folder, other files and
  // hosts (some refused, the frame's in the frame's session), gets a frame
  // that failed and a picture that is missing (neither is the page), raises
  // an alert, and starts a frame and a worker that are gone again before
  // they hear back; the browser's answers to what was sent to them, and to
  // the answered requests, are refusals.
  const Conversation c = fake.Converse(request,
                                       R"({
    "goneRequests": true,
    "events": [
      {"do": "pause", "id": "R-picture", "url": )" +
                                           WriteMessage(site + "pictures/a.png") + R"(},
      {"do": "pause", "id": "R-passwd", "url": "file:///etc/passwd"},
      {"do": "pause", "id": "R-local", "url": "http://localhost/", "type": "Document"},
      {"do": "pause", "id": "R-logo", "url": "http://93.184.216.34/logo.png"},
      {"do": "pause", "id": "R-frame", "url": "file:///etc/shadow", "session": "C7"},
      {"do": "pause", "id": "R-frame-public", "url": "https://93.184.216.34/", "session": "C7"},
      {"do": "send", "message": {"method": "Network.responseReceived", "sessionId": "S1",
        "params": {"requestId": "R-9", "loaderId": "L1", "type": "Image",
                   "response": {"status": 404}}}},
      {"do": "send", "message": {"method": "Network.responseReceived", "sessionId": "S1",
        "params": {"requestId": "L2", "loaderId": "L2", "type": "Document",
                   "response": {"status": 500}}}},
      {"do": "dialog"},
      {"do": "child", "session": "C1", "type": "iframe"},
      {"do": "child", "session": "C2", "type": "worker"}
    ]})",
                                       pdf);
  // Refused pictures are no failure: the page prints without them.
  EXPECT_TRUE(c.printed) << c.failure;
  EXPECT_TRUE(test::ReadBytes(request.pdfPath) == pdf) << "the PDF is not the browser's";

  // Every request stops for the filter before the page is made.
  ASSERT_FALSE(c.received.empty());
  EXPECT_EQ(Text(c.received[0], "method") + Text(c.received[0], "sessionId"), "Fetch.enable");
  const Json* patterns = Member(Params(c.received[0]), "patterns");
  ASSERT_TRUE(patterns && patterns->is_array() && patterns->size() == 1u);
  EXPECT_EQ(Text((*patterns)[0], "urlPattern") + Text((*patterns)[0], "requestStage"), "*Request");
  for (const char* method : {"Page.enable", "Network.enable"}) {
    EXPECT_TRUE(c.Sent(method, "S1").is_object()) << method << " is not sent to the page";
  }
  EXPECT_EQ(Text(c.Sent("Page.navigate", "S1"), "url"), request.url);
  for (const char* allowed : {"R-page", "R-picture", "R-logo"}) {
    EXPECT_EQ(c.AnswerTo(allowed), "Fetch.continueRequest") << allowed;
  }
  EXPECT_EQ(c.AnswerTo("R-passwd"), "Fetch.failRequest AccessDenied");
  EXPECT_EQ(c.AnswerTo("R-local"), "Fetch.failRequest BlockedByClient");
  std::string session;
  EXPECT_EQ(c.AnswerTo("R-frame", &session), "Fetch.failRequest AccessDenied");
  EXPECT_EQ(session, "C7");
  EXPECT_EQ(c.AnswerTo("R-frame-public", &session), "Fetch.continueRequest");
  EXPECT_EQ(session, "C7");
  EXPECT_TRUE(Flag(c.Sent("Page.handleJavaScriptDialog", "S1"), "accept"));
  // Children lose their sockets and are let go.
  const std::string frameScript =
      Text(c.Sent("Page.addScriptToEvaluateOnNewDocument", "C1"), "source");
  EXPECT_NE(frameScript.find("WebSocket"), std::string::npos);
  EXPECT_NE(Text(c.Sent("Runtime.evaluate", "C2"), "expression").find("WebSocket"),
            std::string::npos);
  for (const char* child : {"C1", "C2"}) {
    EXPECT_TRUE(c.Sent("Target.setAutoAttach", child).is_object()) << child;
    EXPECT_TRUE(c.Sent("Runtime.runIfWaitingForDebugger", child).is_object()) << child;
  }

  // The paper: the page's last @page rule, and the sizes in inches.
  EXPECT_NE(
      Text(c.Sent("Runtime.evaluate", "S1"), "expression").find("@page { size: 210mm 297mm; }"),
      std::string::npos);
  const Json& paper = c.Sent("Page.printToPDF", "S1");
  EXPECT_NEAR(Number(paper, "paperWidth"), 8.27, 1e-4);
  EXPECT_NEAR(Number(paper, "paperHeight"), 11.69, 1e-4);
  EXPECT_TRUE(Flag(paper, "preferCSSPageSize"));
  EXPECT_TRUE(Flag(paper, "printBackground"));
  EXPECT_EQ(c.Count("Page.printToPDF"), 1u);
}

TEST(BrowserPrint, WithTimeForScriptsPrintsWhenTheBudgetIsSpentNotAtLoad) {
  FakeBrowser fake;
  PagePrintRequest request = A4Request(fake, "http://93.184.216.34/chart.html");
  request.waitMs = 1500;
  // The load comes first; the answer to the paused request after it shows
  // that the client took the load for no reason to print (the fake ends
  // when asked to print early).
  const Conversation c = fake.Converse(request, R"({
    "setup": 5, "waitMs": 1500,
    "events": [
      {"do": "send", "message": {"method": "Page.loadEventFired", "sessionId": "S1",
                                 "params": {"timestamp": 1}}},
      {"do": "pause", "id": "R-data", "url": "http://93.184.216.34/data.json", "type": "XHR"}
    ]})",
                                       "%PDF-1.4\n");
  EXPECT_TRUE(c.printed) << c.failure;
  // Time stands still until the page is there, then runs for the budget.
  std::vector<std::string> policies;
  for (const Json& m : c.received) {
    if (Text(m, "method") != "Emulation.setVirtualTimePolicy") continue;
    const Json& params = Params(m);
    policies.push_back(Text(params, "policy") + " " + std::to_string(Number(params, "budget", -1)));
  }
  EXPECT_EQ(policies, (std::vector<std::string>{"pause -1.000000",
                                                "pauseIfNetworkFetchesPending 1500.000000"}));
}

// A page that did not load or print, or a browser that broke off or talked
// nonsense: a failure with its reason, not a hang.
TEST(BrowserPrint, APageThatDidNotPrintIsAFailureWithItsReason) {
  FakeBrowser fake;
  const PagePrintRequest request = A4Request(fake, "http://93.184.216.34/missing.html");
  const struct {
    const char* scenario;
    const char* failure;
    bool asked = false;  // whether the browser was asked to print: an error page is not
    const char* pdf = "%PDF-1.4\n";
  } kCases[] = {
      {R"({"status": 404})", "the page could not be loaded: HTTP 404"},
      // The browser shows its own error page, and loads that fine.
      {R"({"netError": "net::ERR_CONNECTION_REFUSED"})",
       "the page could not be loaded: connection refused (net::ERR_CONNECTION_REFUSED)"},
      {R"({"navigateReply": {"frameId": "F1", "loaderId": "L1",
                             "errorText": "net::ERR_NAME_NOT_RESOLVED"}})",
       "the page could not be loaded: no such host (net::ERR_NAME_NOT_RESOLVED)"},
      {R"({"navigateReply": {"frameId": "F1", "loaderId": "L1", "isDownload": true}})",
       "the address leads to a download, not a page"},
      {R"({"printError": "Printing failed"})", "the browser refused a request: Printing failed",
       true},
      {R"({})", "the browser returned no PDF", true, "<html>not a PDF</html>"},
      // What the browser said last is part of the reason.
      {R"({"on": {"Fetch.enable": [{"do": "exit", "say": "no display"}]}})",
       "the browser ended before the page was printed: fake browser: no display\n"},
      // Half a message, then gone.
      {R"({"on": {"Page.navigate": [{"do": "raw", "text": "{\"id\":5,\"result\":{\"frameId\"",
                                      "nul": false}, {"do": "exit", "say": "cut off"}]}})",
       "the browser ended before the page was printed: fake browser: cut off\n"},
      {R"({"on": {"Page.navigate": [{"do": "raw", "text": "{\"id\":5,\"result\":{\"frame"},
                                     {"do": "idle"}]}})",
       "the browser sent a message that is not JSON"},
      {R"({"events": [{"do": "send", "message": {"method": "Inspector.targetCrashed",
                                                  "sessionId": "S1", "params": {}}},
                      {"do": "idle"}]})",
       "the page crashed the browser"},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.scenario);
    const Conversation c = fake.Converse(request, k.scenario, k.pdf);
    EXPECT_FALSE(c.printed);
    EXPECT_EQ(c.failure, k.failure);
    EXPECT_FALSE(std::filesystem::exists(request.pdfPath));
    EXPECT_EQ(c.Count("Page.printToPDF"), k.asked ? 1u : 0u);
  }

  // A folder where the PDF should go.
  PagePrintRequest blocked = request;
  blocked.pdfPath = fake.dir().Path("no/such/folder/out.pdf");
  const Conversation c = fake.Converse(blocked, "{}", "%PDF-1.4\n");
  EXPECT_FALSE(c.printed);
  EXPECT_EQ(c.failure, "cannot write " + blocked.pdfPath);

  // No browser at all: refused at the start or ended at once, never waited for.
  const Conversation none = fake.Converse(request, "{}", "", fake.dir().Path("no-browser"));
  EXPECT_FALSE(none.printed);
  EXPECT_NE(none.failure, "");

  // Well-formed messages of the wrong shape are passed over.
  const Conversation odd = fake.Converse(request, R"({"events": [
      {"do": "send", "message": [1, 2, 3]},
      {"do": "send", "message": "Page.loadEventFired"},
      {"do": "send", "message": {"id": "7", "result": {}}},
      {"do": "send", "message": {"id": 99999, "result": {"data": "JVBERi0="}}},
      {"do": "send", "message": {"method": "Fetch.requestPaused"}},
      {"do": "send", "message": {"method": "Network.responseReceived",
                                 "params": {"type": "Document", "requestId": "L1"}}},
      {"do": "pause", "id": "R-nothing", "url": ""}
    ]})",
                                         "%PDF-1.4\n");
  EXPECT_TRUE(odd.printed) << odd.failure;
  EXPECT_EQ(odd.AnswerTo("R-nothing"), "Fetch.failRequest BlockedByClient");
}

TEST(BrowserPrint, AKeptBrowserPrintsPageAfterPageEachInATabOfItsOwn) {
  FakeBrowser fake;
  PageBrowser browser;
  browser.folder = fake.NewFolder();
  PagePrintRequest first = A4Request(fake, "http://10.1.2.3/a.html");
  first.keepBrowser = true;
  PagePrintRequest second = first;
  second.url = "http://93.184.216.34/b.html";
  second.pdfPath = fake.dir().Path("second.pdf");
  // The private host is the first page's own, not the second's; an error
  // answer to a message of the first page comes late, amid the second.
  const char* kPicture =
      R"({"events": [{"do": "pause", "id": "R-%d", "url": "http://10.1.2.3/logo.png"}]%s})";
  char scenario[300];
  std::snprintf(scenario, sizeof scenario, kPicture, 1, "");
  const Conversation a = fake.Page(browser, first, scenario, "%PDF-1.4 first\n");
  EXPECT_TRUE(a.printed) << a.failure;
  std::snprintf(scenario, sizeof scenario, kPicture, 2,
                R"(, "on": {"Target.attachToTarget": [{"do": "send", "message":
                   {"id": 3, "error": {"code": -32000, "message": "stale"}}}]})");
  const Conversation b = fake.Page(browser, second, scenario, "%PDF-1.4 second\n");
  EXPECT_TRUE(b.printed) << b.failure;
  EXPECT_EQ(test::ReadBytes(first.pdfPath), "%PDF-1.4 first\n");
  EXPECT_EQ(test::ReadBytes(second.pdfPath), "%PDF-1.4 second\n");
  EXPECT_EQ(Launches(browser), 1u);
  EXPECT_TRUE(browser.process.Running()) << "the browser is kept";
  // Each page had a context and a tab of its own, gone when it was done;
  // the next page's are there already.
  EXPECT_EQ(b.Count("Target.attachToTarget"), 2u);
  EXPECT_EQ(b.Count("Target.disposeBrowserContext"), 2u);
  EXPECT_EQ(b.Count("Target.createBrowserContext"), 3u);
  EXPECT_EQ(b.Count("Fetch.enable"), 1u);
  EXPECT_EQ(b.AnswerTo("R-1"), "Fetch.continueRequest");
  EXPECT_EQ(b.AnswerTo("R-2"), "Fetch.failRequest BlockedByClient");

  // A page from a folder needs a box that shows it: a browser of its own.
  PagePrintRequest file = first;
  file.pageFolder = fake.dir().Path("site/");
  std::filesystem::create_directories(file.pageFolder);
  file.url = "file://" + file.pageFolder + "page.html";
  const Conversation c = fake.Page(browser, file, "{}", "%PDF-1.4\n");
  EXPECT_TRUE(c.printed) << c.failure;
  EXPECT_EQ(Launches(browser), 2u);
}

TEST(BrowserPrint, AKeptBrowserThatDiedOrMayBeUnfitIsReplacedForTheNextPage) {
  FakeBrowser fake;
  PageBrowser browser;
  browser.folder = fake.NewFolder();
  PagePrintRequest request = A4Request(fake, "http://93.184.216.34/page.html");
  request.keepBrowser = true;
  const struct {
    const char* scenario;
    const char* failure;  // "": printed
    size_t launches;      // with this page
  } kPages[] = {
      {R"({"then": [{"do": "exit", "say": "gone between pages"}]})", "", 1},
      // Its browser was gone before it began: a new one.
      {R"({"then": [{"do": "hangup"}]})", "", 2},
      // Its browser went as it began: it starts again in a new one.
      {"{}", "", 3},
      {R"({"printError": "Printing failed"})", "the browser refused a request: Printing failed", 3},
      // The last page's browser may be unfit for another: a new one.
      {R"({"status": 404})", "the page could not be loaded: HTTP 404", 4},
      // A page that did not load leaves its browser fit to print.
      {"{}", "", 4},
  };
  for (const auto& k : kPages) {
    SCOPED_TRACE(k.scenario);
    const Conversation c = fake.Page(browser, request, k.scenario, "%PDF-1.4\n");
    EXPECT_EQ(c.printed, *k.failure == '\0');
    EXPECT_EQ(c.failure, k.failure);
    EXPECT_EQ(Launches(browser), k.launches);
    // The browser that died is waited for, so the next page finds it gone.
    if (k.launches == 1) {
      EXPECT_TRUE(browser.process.Wait(10000));
    }
  }
}

}  // namespace
}  // namespace scrivex
