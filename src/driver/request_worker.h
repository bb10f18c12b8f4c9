// Workers that convert one file per request, for a program that keeps them
// between requests (the conversion service). Requests and replies travel as
// framed messages (platform/framed_messages.h).
#ifndef SCRIVEX_DRIVER_REQUEST_WORKER_H_
#define SCRIVEX_DRIVER_REQUEST_WORKER_H_

#include <optional>
#include <string>
#include <vector>

#include "common/conversion_options.h"
#include "driver/pipeline.h"
#include "platform/worker_process.h"

namespace scrivex {

struct ConversionRequest {
  std::string input;
  std::string output;
  std::string printer = kCreatorPrinterName;
  ConversionOptions options;
};

struct ConversionReply {
  int result = 0;  // as the result line: 1 converted
  int pages = 0;
  std::string reason;
  double seconds = 0;
  std::vector<std::string> files;  // written, in page order
  std::string out, err;            // what the conversion printed
};

std::vector<std::string> RequestFields(const ConversionRequest& request);
std::optional<ConversionRequest> ReadRequest(const std::vector<std::string>& fields);
// The reply for a converted item (what it printed is added by the caller).
ConversionReply ReplyOf(const ItemOutcome& outcome);
std::vector<std::string> ReplyFields(const ConversionReply& reply);
std::optional<ConversionReply> ReadReply(const std::vector<std::string>& fields);

// The message a worker answers at once with kPong: it is alive and reading.
constexpr const char* kPing = "ping";
constexpr const char* kPong = "pong";

// A worker's own world: the first free state folder "<workersFolder><n>/"
// becomes SCRIVEX_HOME, a scratch folder of its own TMPDIR, and its output
// is captured per conversion. Nullopt (said on standard error) when not.
struct WorkerSetting {
  platform::ClaimedFolder root;
  platform::OutputCapture capture;
};
std::optional<WorkerSetting> SettleWorker(const std::string& workersFolder);

// A request worker's life on its socket: converts each request and answers
// it, until the socket ends or a signal asks it to stop; then it quits what
// it kept. Its exit code.
int ServeRequests(int channel, const std::string& workersFolder, const Converters& converters);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_REQUEST_WORKER_H_
