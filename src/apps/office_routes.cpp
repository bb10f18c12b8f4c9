// The office applications' routes. Their servers are not part of the
// program yet: each route reports the missing application, as it does when
// the office suite is not installed, and prints nothing.
#include <cstdio>

#include "apps/routes.h"
#include "automation/automation.h"
#include "common/failure_reason.h"

namespace scrivex {
namespace {

int MissingApplication(const char* progId, const char* line) {
  if (CreateObject(progId)) {
    NoteFailure(std::string(progId) + " cannot print yet");
  } else {
    std::fputs(line, stdout);
    std::fflush(stdout);
    NoteFailure(std::string("no ") + progId + " server is available");
  }
  return 0;
}

constexpr char kOfficeLine[] =
    "Please install MS Office product in order to convert MS Office documents!!!\n";

}  // namespace

int PrintWithWord(const std::string&, const std::string&, const ConversionOptions*) {
  return MissingApplication("Word.Application", kOfficeLine);
}

int PrintWithExcel(const std::string&, const std::string&, const ConversionOptions*,
                   std::vector<std::string>*) {
  return MissingApplication("Excel.Application", kOfficeLine);
}

int PrintWithPowerPoint(const std::string&, const std::string&, const ConversionOptions*) {
  return MissingApplication("PowerPoint.Application", kOfficeLine);
}

int PrintWithVisio(const std::string&, const std::string&, const ConversionOptions*) {
  return MissingApplication(
      "Visio.Application",
      "Please install MS Visio application in order to convert MS Visio documents!!!\n");
}

}  // namespace scrivex
