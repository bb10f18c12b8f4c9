// One web page printed to a PDF file by a headless browser, talked to over
// its debugging pipe so the program knows whether the page loaded. Start
// returns at once; Poll moves the conversation on for a short while. A
// browser may be kept for the next page: each page then gets a tab of its
// own in a browser context of its own, closed once the page is done.
#ifndef SCRIVEX_SERVERS_BROWSER_PRINT_H_
#define SCRIVEX_SERVERS_BROWSER_PRINT_H_

#include <map>
#include <nlohmann/json_fwd.hpp>
#include <set>
#include <string>
#include <vector>

#include "platform/background_child.h"
#include "servers/request_filter.h"

namespace scrivex {

struct PagePrintRequest {
  std::string url;
  std::string pageSize = "8.5in 11in";  // the size of the page rule put into the page
  double widthInches = 8.5;             // the same size, for pages the rule cannot reach
  double heightInches = 11;
  int waitMs = 0;  // time the page's scripts get (virtual: no real wait); 0: until it loaded
  std::string pdfPath;
  // A page from a file: its folder, which the browser may read (its pictures
  // and style sheets); empty for an address.
  std::string pageFolder;
  // The browser stays for the next page; otherwise it ends with this one.
  bool keepBrowser = false;
};

// How far a tab got.
enum class TabStep {
  kIdle,
  kFilter,
  kContext,
  kTarget,
  kMade,  // a tab made ahead for the next page, not yet attached
  kAttach,
  kEnable,
  kNavigate,
  kLoading,
  kPrinting,
  kClosing,
  kPrinted,
  kFailed
};

// What belongs to one page's tab alone; a new page starts from nothing.
struct PageTab {
  TabStep step = TabStep::kIdle;
  std::set<int> ids;       // the messages sent for it: only their replies are its
  int pendingId = 0;       // the reply the current step waits for
  int enabling = 0;        // replies to the page's set-up still to come
  bool navigated = false;  // the browser was sent the page's address
  bool closed = false;     // its context is gone
  std::string contextId;
  std::string targetId;
  std::string sessionId;
  std::string loaderId;                       // the navigation to the page
  std::map<std::string, int> statuses;        // document request -> HTTP status
  std::map<std::string, std::string> errors;  // document request -> network error
  RequestScope scope;                         // what the page may load
  std::map<std::string, std::vector<platform::IpAddress>> resolved;  // host name -> addresses
  std::set<int> unanswered;  // messages whose replies do not matter (their target may be gone)
  TabStep outcome = TabStep::kPrinted;  // what the page comes to once its tab is closed
};

// The browser that prints the pages, and what outlives one page of it.
struct PageBrowser {
  platform::BackgroundChild process;
  // Its profile and home: private, the owner's to make and remove.
  std::string folder;
  // The only folder of pages its box shows (empty: none, addresses only). A
  // page from another folder needs a browser of its own.
  std::string pageFolder;
  int lastId = 0;  // message numbers go on from page to page
  // The next page's tab, made in a context of its own as a kept browser's
  // page closes (kIdle: none).
  PageTab spare;
};

class BrowserPrint {
 public:
  // Prints in *browser when it is running, kept and shows the page's folder;
  // otherwise starts it afresh. False when no browser could be started.
  bool Start(const std::string& program, const PagePrintRequest& request, PageBrowser* browser,
             std::string* why);
  // Answers what the browser says for up to waitMs milliseconds (0: only
  // what it said already); true while the page is being printed.
  bool Poll(long long waitMs = 0);
  bool printed() const { return tab_.step == TabStep::kPrinted; }
  // Why nothing was printed.
  const std::string& failure() const { return failure_; }

 private:
  bool Launch(std::string* why);
  void Begin();
  bool StartAfresh();
  bool Done() const { return tab_.step == TabStep::kPrinted || tab_.step == TabStep::kFailed; }
  int SendFor(PageTab& tab, const std::string& session, const std::string& method,
              const nlohmann::json& params);
  int Send(const std::string& method, const nlohmann::json& params, bool toPage = true);
  int SendIn(const std::string& session, const std::string& method, const nlohmann::json& params);
  void OnRequestPaused(const nlohmann::json& params, const std::string& session);
  void OnChildAttached(const nlohmann::json& params);
  void OnMessage(const nlohmann::json& message);
  void OnReply(PageTab& tab, int id, const nlohmann::json& result);
  void Attach(PageTab& tab);
  void Navigate();
  void Print();
  void Close(TabStep outcome);
  void EndClosing();
  // pageOnly: the page failed, not the browser, which may print the next.
  void Fail(const std::string& why, bool pageOnly = false);

  std::string program_;
  PageBrowser* browser_ = nullptr;
  PagePrintRequest request_;
  bool reused_ = false;  // the page went to a browser kept from an earlier one
  bool spent_ = false;   // the browser may not be fit for another page
  std::string failure_;
  PageTab tab_;
};

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_BROWSER_PRINT_H_
