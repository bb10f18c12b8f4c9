// One web page printed to a PDF file by a headless browser, talked to over
// its debugging pipe so the program knows whether the page loaded. Start
// returns at once; Poll moves the conversation on without blocking.
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
};

class BrowserPrint {
 public:
  // workDir: a private folder for the browser's profile, removed by the caller.
  bool Start(const std::string& browser, const PagePrintRequest& request,
             const std::string& workDir, std::string* why);
  // True while the page is being printed.
  bool Poll();
  bool printed() const { return step_ == kPrinted; }
  // Why nothing was printed.
  const std::string& failure() const { return failure_; }

 private:
  enum Step {
    kIdle,
    kFilter,
    kTarget,
    kAttach,
    kEnable,
    kNavigate,
    kLoading,
    kPrinting,
    kPrinted,
    kFailed
  };

  int Send(const std::string& method, const nlohmann::json& params, bool toPage = true);
  int SendIn(const std::string& session, const std::string& method,
             const nlohmann::json& params);
  void OnRequestPaused(const nlohmann::json& params, const std::string& session);
  void OnChildAttached(const nlohmann::json& params);
  void OnMessage(const nlohmann::json& message);
  void OnReply(int id, const nlohmann::json& result);
  void Print();
  void Fail(const std::string& why);

  platform::BackgroundChild browser_;
  PagePrintRequest request_;
  Step step_ = kIdle;
  int lastId_ = 0;
  int pendingId_ = 0;  // the reply the current step waits for
  int enabling_ = 0;   // replies to the page's set-up still to come
  std::string sessionId_;
  std::string loaderId_;                       // the navigation to the page
  std::map<std::string, int> statuses_;        // document request -> HTTP status
  std::map<std::string, std::string> errors_;  // document request -> network error
  std::string failure_;
  RequestScope scope_;                                                // what the page may load
  std::map<std::string, std::vector<platform::IpAddress>> resolved_;  // host name -> addresses
  std::set<int> unanswered_;  // messages whose replies do not matter (their target may be gone)
};

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_BROWSER_PRINT_H_
