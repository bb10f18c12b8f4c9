#include "printer/driver_run.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/state_root.h"
#include "printer/completion_mapping.h"
#include "spool/spooler.h"

namespace scrivex {

int RunPrinterDriver(int argc, char** argv, const std::string& driverName,
                     const JobWriter& writeJob) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s STREAM PRINTER JOB STATE-ROOT\n", driverName.c_str());
    return 2;
  }
  const std::string stream = argv[1], printerName = argv[2], jobId = argv[3];
  // Named by the spooler: children of office programs and browsers may have
  // cleaned the environment.
  setenv("SCRIVEX_HOME", argv[4], 1);
  std::vector<std::string> written;
  bool announce = false;
  std::string why;
  int result = 0;
  // The program that printed may watch how far the job got.
  platform::SharedMemory block;
  std::string unwatched;
  block.OpenExisting(kCompletionMappingName, kCompletionMappingBytes, &unwatched);
  if (!writeJob(stream, &written, &announce, &why, DriverProgressSink(block))) {
    std::string line = driverName + ": job " + jobId + " on " + printerName + ": " + why + "\n";
    std::fputs(line.c_str(), stderr);
    // Nobody reads a driver's output: its log in the state root says why.
    std::ofstream(platform::StateRoot() + "drivers.log", std::ios::app) << line;
    result = 1;
  } else if (announce && !written.empty() && !AnnounceFiles(written, &why)) {
    std::string line =
        driverName + ": job " + jobId + ": the files could not be announced: " + why + "\n";
    std::fputs(line.c_str(), stderr);
    std::ofstream(platform::StateRoot() + "drivers.log", std::ios::app) << line;
  }
  // The job leaves the queue when its driver is done with it.
  spool::PrinterHandle printer;
  if (spool::OpenPrinter(printerName, &printer)) {
    spool::SetJob(printer, static_cast<uint32_t>(std::strtoul(jobId.c_str(), nullptr, 10)),
                  spool::JOB_CONTROL_DELETE);
    spool::ClosePrinter(&printer);
  }
  return result;
}

}  // namespace scrivex
