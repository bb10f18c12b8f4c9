// scrivex: converts documents, PostScript and PDF into PDF, PostScript and images.
#include <cstring>
#include <optional>

#include "apps/routes.h"
#include "driver/driver_main.h"
#include "platform/logon.h"
#include "platform/replacement_file.h"
#include "platform/termination.h"
#include "main/real_converters.h"
#include "servers/register_servers.h"

int main(int argc, char** argv) {
  scrivex::platform::InstallTerminationHandlers();
  scrivex::JobRequest job = scrivex::ScanCommandLine(argc, argv);
  // The process list shows our arguments: the password leaves them at once.
  for (int index : job.credentialArguments) {
    if (char* colon = std::strchr(argv[index], ':')) {
      scrivex::platform::EraseSecret(colon + 1, std::strlen(colon + 1));
    }
  }
  if (!job.json) {
    if (std::optional<int> code = scrivex::AnswerCommandLine(job)) return *code;
  }
  // Every temporary file of the run and its children, in one folder of its own.
  scrivex::platform::PrivateTempFolder temp;

  scrivex::RegisterServers();
  scrivex::PrintRun printing;
  const scrivex::Converters converters = scrivex::RealConverters(printing);
  int code =
      job.json ? scrivex::RunJobWithRecords(job, converters) : scrivex::RunJob(job, converters);
  scrivex::QuitKeptApplications(printing);
  // Asked to end by a signal: everything is cleaned up, end the same way.
  scrivex::platform::EndWithTerminationSignal();
  return code;
}
