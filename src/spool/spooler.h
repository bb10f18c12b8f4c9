// The embedded spooler: printers, the default printer and one job queue per
// printer, kept in the state root's "spool/" folder. Calls are shaped like
// the Windows spooler's; a failure sets the calling thread's last error to
// the Windows code (SpoolerLastError).
//
// Submitting a job copies its PDF print stream into the spool folder and runs
// the printer's driver program with the arguments
//   <driver program and its fixed arguments> <stream> <printer name> <job id> <state root>
// under the watchdog. A printer prints directly by default (the submit returns
// when the driver is done); without PRINTER_ATTRIBUTE_DIRECT it spools (the
// driver runs in the background). A job stays queued until its driver removes
// it (SetJob with JOB_CONTROL_DELETE), the driver ends or dies, or a spooled
// driver outlives the watchdog (then the next look at the queue kills it).
//
// Every change is a locked (flock on "spool/spool.lock") write of whole
// files replaced atomically, so concurrent processes, threads and a kill -9
// never leave the folder damaged.
#ifndef SCRIVEX_SPOOL_SPOOLER_H_
#define SCRIVEX_SPOOL_SPOOLER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "common/printer_names.h"
#include "spool/devmode.h"

namespace scrivex::spool {

constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_WRITE_FAULT = 29;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t ERROR_INVALID_LEVEL = 124;
constexpr uint32_t ERROR_INVALID_PRINTER_NAME = 1801;
constexpr uint32_t ERROR_PRINT_CANCELLED = 63;

constexpr uint32_t PRINTER_ATTRIBUTE_DIRECT = 0x2;
constexpr uint32_t JOB_CONTROL_DELETE = 5;

// The calling thread's last spooler error (0 after a success that sets none).
uint32_t SpoolerLastError();

// The spool folder ("<state root>spool/"), installing the two printers, the
// default printer and the registry value "ConfigFile" on first use. Every
// call below installs the same way; empty when the folder cannot be made.
std::string SpoolDirectory();
// The ini file the Inkwell driver reads, in the state root.
std::string InkwellConfigPath();

// The three calls loaded by name. GetDefaultPrinterA: *size is the buffer's
// size in bytes; on success and on ERROR_INSUFFICIENT_BUFFER it becomes the
// size needed, terminator included. ERROR_FILE_NOT_FOUND: no default.
bool GetDefaultPrinterA(char* buffer, uint32_t* size);
// The default printer's name; empty when there is none.
std::string DefaultPrinterName();
// Null or empty: keeps a default, or makes the first printer the default.
bool SetDefaultPrinterA(const char* name);
// Adds "\\server\queue" as a printer of that name with the Inkwell driver.
bool AddPrinterConnectionA(const char* name);

// An open printer. The handle holds no system resource; ClosePrinter ends it.
struct PrinterHandle {
  std::string name;  // the spooler's own spelling
  bool open = false;
};

struct PrinterInfo2 {
  std::string printerName;
  std::string portName;
  std::string driverName;
  std::vector<std::string> driverProgram;  // program path, then fixed leading arguments
  uint32_t attributes = 0;
  uint32_t cJobs = 0;
  DEVMODEA devMode{};
};

struct JobInfo2 {
  uint32_t JobId = 0;
  std::string printerName;
  std::string document;
  uint32_t position = 0;  // from 1, in queue order
};

// ERROR_INVALID_PRINTER_NAME for an unknown printer; the name matches
// without regard to letter case.
bool OpenPrinter(const std::string& name, PrinterHandle* printer);
bool ClosePrinter(PrinterHandle* printer);
// Level 2 only. A null info is the size query: it fails with
// ERROR_INSUFFICIENT_BUFFER and sets *bytesNeeded.
bool GetPrinter(const PrinterHandle& printer, uint32_t level, PrinterInfo2* info,
                uint32_t* bytesNeeded);
// Level 2: stores the device settings and attributes, and the port and the
// driver program when they are not empty.
bool SetPrinter(const PrinterHandle& printer, uint32_t level, const PrinterInfo2& info);
// mode 0: the size of the device settings (156). DM_OUT_BUFFER: copies the
// printer's settings into *out and answers IDOK. -1 on failure.
long DocumentProperties(const PrinterHandle& printer, const std::string& deviceName, DEVMODEA* out,
                        const DEVMODEA* in, uint32_t mode);
// Level 2, jobs firstJob.. (at most count) in queue order. A null jobs is the
// size query: with jobs queued it fails with ERROR_INSUFFICIENT_BUFFER.
// Jobs whose driver has died are dropped first.
bool EnumJobs(const PrinterHandle& printer, uint32_t firstJob, uint32_t count, uint32_t level,
              std::vector<JobInfo2>* jobs, uint32_t* bytesNeeded);
// JOB_CONTROL_DELETE removes the job and its stream; a driver calls it when done.
bool SetJob(const PrinterHandle& printer, uint32_t jobId, uint32_t command);

// The printers' names in the spooler's spelling, sorted without regard to case.
std::vector<std::string> EnumPrinterNames();

struct SubmittedJob {
  uint32_t jobId = 0;
  std::string failure;  // why the job failed, when it did
};
// Queues the PDF at streamPath for the printer and starts its driver. Printing
// directly, true means the driver ran and succeeded; spooling, that it started.
bool SubmitPrintJob(const std::string& printerName, const std::string& streamPath,
                    const std::string& documentName, SubmittedJob* job);

// A printing program that runs boxed sees the spool read-only: with this
// variable naming a folder of its own, SubmitPrintJob keeps each job there
// (its stream, checked to be a PDF, and its document name) instead of
// printing it, and the program submits them once the printer ended well.
constexpr const char* kJobOutboxVariable = "SCRIVEX_JOB_OUTBOX";
std::string HeldStreamPath(const std::string& outbox, uint32_t id);
// Submits the jobs kept in outbox, in order, to the printer: how many, or -1
// with *failure at the first that did not print.
int SubmitHeldJobs(const std::string& outbox, const std::string& printerName, std::string* failure);

}  // namespace scrivex::spool

#endif  // SCRIVEX_SPOOL_SPOOLER_H_
