// Times reading the biggest message the browser client gets, the reply to
// printToPDF (a PDF in base64): reading the message and taking out the PDF's
// text, then the base64 decoding on its own. Best of five runs.
//   devtools_message_bench [MB of base64, 20 if not given]   (built beside the test programs)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "servers/devtools_message.h"

namespace {

double BestMs(const std::function<void()>& run) {
  double best = 1e18;
  for (int i = 0; i < 5; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

std::string Base64(size_t size) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text = "JVBERi0x";  // "%PDF-1"
  unsigned state = 1;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    text.push_back(kDigits[(state >> 16) & 63]);
  }
  text.resize(size / 4 * 4);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace scrivex;
  const double mb = argc > 1 ? std::atof(argv[1]) : 20;
  const std::string data = Base64(static_cast<size_t>(mb * 1e6));
  const std::string reply = "{\"id\":12,\"result\":{\"data\":\"" + data + "\"},\"sessionId\":\"S1\"}";
  std::printf("printToPDF reply: %.1f MB\n", reply.size() / 1e6);

  size_t seen = 0;
  const double read = BestMs([&] {
    Json message;
    if (!ParseMessage(reply, &message)) std::abort();
    seen += Text(*Member(message, "result"), "data").size();
  });
  std::string pdf;
  const double decode = BestMs([&] {
    if (!DecodeBase64(data, &pdf)) std::abort();
  });
  if (seen != 5 * data.size()) std::abort();
  std::printf("reading the reply: %8.1f ms\n", read);
  std::printf("base64 decoding:   %8.1f ms\n", decode);
  return 0;
}
