#include "printer/printer_jobs.h"

#include <cstdio>

#include "spool/spooler.h"

namespace scrivex {
namespace {

// A message box with nobody to close it: one line on standard error.
void Say(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

}  // namespace

int GetAllPrinterJobs(const std::string& printerName, std::vector<uint32_t>* jobs) {
  using namespace spool;
  jobs->clear();
  PrinterHandle printer;
  if (!OpenPrinter(printerName, &printer)) {
    Say("GetAllPrinterJobs:OpenPrinter(\"" + printerName +
        "\") failed, GetLastError() = " + std::to_string(SpoolerLastError()));
    return 0;
  }
  uint32_t needed = 0;
  PrinterInfo2 info;
  if (!GetPrinter(printer, 2, nullptr, &needed) &&
      SpoolerLastError() != ERROR_INSUFFICIENT_BUFFER) {
    Say("GetAllPrinterJobs:GetPrinter 001 failed, GetLastError() = " +
        std::to_string(SpoolerLastError()));
    ClosePrinter(&printer);
    return 0;
  }
  if (!GetPrinter(printer, 2, &info, &needed)) {
    Say("GetAllPrinterJobs:GetPrinter 002 failed");
    ClosePrinter(&printer);
    return 0;
  }
  std::vector<JobInfo2> queued;
  if (!EnumJobs(printer, 0, info.cJobs, 2, nullptr, &needed) &&
      SpoolerLastError() != ERROR_INSUFFICIENT_BUFFER) {
    Say("GetAllPrinterJobs:EnumJobs 001 failed, GetLastError() = " +
        std::to_string(SpoolerLastError()));
    ClosePrinter(&printer);
    return 0;
  }
  if (!EnumJobs(printer, 0, info.cJobs, 2, &queued, &needed)) {
    Say("GetAllPrinterJobs:EnumJobs 002 failed");
    ClosePrinter(&printer);
    return 0;
  }
  for (const JobInfo2& job : queued) jobs->push_back(job.JobId);
  ClosePrinter(&printer);
  return 1;
}

}  // namespace scrivex
