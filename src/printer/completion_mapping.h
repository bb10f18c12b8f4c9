// How the program learns that a virtual printer's driver has written its
// files: the driver announces every path in the shared block "Inkwell", and
// the target printer's queue tells whether a job is still pending.
#ifndef SCRIVEX_PRINTER_COMPLETION_MAPPING_H_
#define SCRIVEX_PRINTER_COMPLETION_MAPPING_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/progress_report.h"
#include "platform/shared_memory.h"

namespace scrivex {

constexpr size_t kCompletionMappingBytes = 0x104000;
constexpr const char* kCompletionMappingName = "Inkwell";
constexpr int kIdlePollsBeforeGivingUp = 10;
// The block's last bytes are the driver's report of how far it got, which
// the announced paths never reach.
constexpr size_t kDriverProgressBytes = 256;

// The block as one print holds it, and how its wait polls: the interval and
// how it reads the printer's job list (1 when read). Tests replace both, so
// they neither sleep nor need a printer.
struct CompletionMapping {
  platform::SharedMemory block;
  int pollMs = 1000;
  std::function<int(const std::string& printer, std::vector<uint32_t>* jobs)> readJobs;
  // Where the wait shows the driver's progress; empty: nobody watches.
  ProgressSink progress;
};

// 1 when the block exists, zeroed, for this print; 0 otherwise, with the
// reason on standard error. The block is private to this account and never
// one that existed before (see platform::SharedMemory). Closing the block
// (or the record's end) removes it.
int CreateCompletionMapping(CompletionMapping* mapping);

// Polls until the driver announced files or the printer's queue stayed empty
// for ten polls; prints "Waiting here (%d)..." per poll and "Page %d: %s"
// per file (the progress line gives way to them and shows the driver's
// progress between the polls). The number of files announced (0 without a
// block); the block is zeroed. The announced paths are appended to
// *announced when given.
int WaitForDriver(CompletionMapping& mapping, const std::string& printer,
                  std::vector<std::string>* announced = nullptr);

// The program's side: asks the drivers of this print (the block is zeroed
// with each wait) to report how far they got.
void AskDriverProgress(CompletionMapping& mapping);
// The program's side: the driver's latest report, when there is one it has
// not seen (*seen follows the reports; 0 before the first). Its stage says
// it is the printer's ("printer: rendering"), as the program may go through
// the same stages after it.
bool ReadDriverProgress(const CompletionMapping& mapping, uint32_t* seen, ProgressUpdate* update);
// The driver's side: a sink that reports into the block when the program
// asked for it, else an empty one. The block must outlive the sink.
ProgressSink DriverProgressSink(platform::SharedMemory& block);

// The zero-terminated paths from the start of a block up to the first empty
// one, never read past the block's end.
std::vector<std::string> ReadAnnouncedPaths(const unsigned char* block, size_t size);

// The driver's side: writes the paths, in order, into the existing block.
// The first byte is written last, so a reader never sees half a list, and
// the block's last byte stays 0. False with *why set when there is no block
// made by a live run of ours (a foreign, open or stale one is refused) or
// the paths do not fit.
bool AnnounceFiles(const std::vector<std::string>& paths, std::string* why = nullptr);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_COMPLETION_MAPPING_H_
