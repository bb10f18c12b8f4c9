// Times the office bridge: the office's start, each document's export on the
// kept office (name one twice to see a repeat) and the office's end.
//   office_bridge_bench DOCUMENT...   (built beside the test programs)
#include <cstdio>
#include <string>

#include "common/failure_reason.h"
#include "platform/files.h"
#include "platform/process.h"
#include "servers/office_bridge.h"

int main(int argc, char** argv) {
  using namespace scrivex;
  long long start = platform::TickCountMs();
  std::string why;
  if (StartOffice(&why) != 1) {
    std::fprintf(stderr, "office_bridge_bench: %s\n", why.c_str());
    return 1;
  }
  std::printf("office start: %lld ms\n", platform::TickCountMs() - start);
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string pdf =
        platform::TempDirectory() + "bridge-bench-" + std::to_string(i) + ".pdf";
    why.clear();
    start = platform::TickCountMs();
    int result = ExportOfficePdf(argv[i], pdf, {}, nullptr, &why);
    std::printf("%s: %lld ms%s\n", argv[i], platform::TickCountMs() - start,
                result == 1 ? "" : (" FAILED: " + why).c_str());
    failed += result != 1;
    platform::RemoveFile(pdf);
  }
  start = platform::TickCountMs();
  EndOffice();
  std::printf("office end: %lld ms\n", platform::TickCountMs() - start);
  return failed ? 1 : 0;
}
