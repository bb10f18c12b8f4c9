// scrivex: converts documents, PostScript and PDF into PDF, PostScript and images.
#include <cstring>
#include <optional>

#include "apps/print_document.h"
#include "apps/routes.h"
#include "driver/driver_main.h"
#include "image/blank_pages.h"
#include "platform/logon.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "platform/termination.h"
#include "postscript/page_selector.h"
#include "render/ps_to_image.h"
#include "servers/office_bridge.h"
#include "servers/register_servers.h"

namespace {

// Opens a produced file in the desktop's viewer, when there is one.
void OpenWithViewer(const std::string& path) {
  scrivex::platform::ChildOptions options;
  options.detached = true;
  scrivex::platform::RunChild({"xdg-open", path}, options);
}

}  // namespace

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
  printing.officeRetry = scrivex::RetryWithOfficeConverter;
  scrivex::Converters converters;
  converters.selectPostScriptPages = scrivex::SelectPostScriptPages;
  converters.convertPsToImage = scrivex::ConvertPsToImage;
  converters.convertThroughImageConverter =
      [&printing](const std::string& input, const std::string& output,
                  const scrivex::ConversionOptions& options, const std::string& printer,
                  std::string* why, std::vector<std::string>* written,
                  const scrivex::ProgressSink& progress) {
        return scrivex::ConvertThroughImageConverter(input, output, options, printer, printing, why,
                                                     written, progress);
      };
  converters.removeBlankTiffPages = [](const std::string& input, const std::string& output,
                                       std::string* why) {
    return scrivex::RemoveBlankTiffPages(input, output, why);
  };
  converters.openResult = OpenWithViewer;
  converters.countPages = scrivex::CountOutputPages;
  converters.endRun = [&printing] { scrivex::QuitKeptApplications(printing); };
  int code =
      job.json ? scrivex::RunJobWithRecords(job, converters) : scrivex::RunJob(job, converters);
  scrivex::QuitKeptApplications(printing);
  // Asked to end by a signal: everything is cleaned up, end the same way.
  scrivex::platform::EndWithTerminationSignal();
  return code;
}
