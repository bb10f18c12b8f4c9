#include "printer/completion_mapping.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/process.h"
#include "printer/printer_jobs.h"

namespace scrivex {
namespace {

// The driver's report at the block's end, written by one driver at a time:
// the sequence number is odd while it writes, so a reader that sees it
// change (or odd) reads again at its next look.
struct DriverProgressArea {
  uint32_t sequence;
  uint32_t asked;  // set by the program: someone watches
  int32_t page;
  int32_t pages;
  char stage[kDriverProgressBytes - 32];  // zero-terminated
};
static_assert(sizeof(DriverProgressArea) < kDriverProgressBytes);  // the block's last byte stays 0

DriverProgressArea* AreaOf(const platform::SharedMemory& block) {
  if (!block.valid() || block.size() < kCompletionMappingBytes) return nullptr;
  return reinterpret_cast<DriverProgressArea*>(block.data() + block.size() - kDriverProgressBytes);
}

}  // namespace

int CreateCompletionMapping(CompletionMapping* mapping) {
  std::string why;
  platform::SharedMemory& block = mapping->block;
  if (!block.valid() && !block.Create(kCompletionMappingName, kCompletionMappingBytes, &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 0;
  }
  std::memset(block.data(), 0, block.size());
  return 1;
}

std::vector<std::string> ReadAnnouncedPaths(const unsigned char* block, size_t size) {
  std::vector<std::string> paths;
  size_t at = 0;
  while (at < size && block[at] != 0) {
    const void* end = std::memchr(block + at, 0, size - at);
    // A list without its terminator ends at the block's end.
    size_t length = end ? static_cast<const unsigned char*>(end) - (block + at) : size - at;
    paths.emplace_back(reinterpret_cast<const char*>(block + at), length);
    at += length + 1;
  }
  return paths;
}

bool AnnounceFiles(const std::vector<std::string>& paths, std::string* why) {
  std::string ignored;
  if (!why) why = &ignored;
  size_t needed = 1;  // the empty string that ends the list
  for (const std::string& path : paths) needed += path.size() + 1;
  if (paths.empty() || needed > kCompletionMappingBytes - kDriverProgressBytes) {
    *why = paths.empty() ? "no files" : "the paths do not fit the block";
    return false;
  }
  // Only the block a live run of ours made: never one another account could
  // have made or written, nor one a dead run left.
  platform::SharedMemory block;
  if (!block.OpenExisting(kCompletionMappingName, kCompletionMappingBytes, why)) return false;
  std::string list;
  for (const std::string& path : paths) list.append(path).push_back('\0');
  list.push_back('\0');
  unsigned char* data = block.data();
  std::memcpy(data + 1, list.data() + 1, list.size() - 1);
  __atomic_store_n(data, static_cast<unsigned char>(list[0]), __ATOMIC_RELEASE);
  return true;
}

int WaitForDriver(CompletionMapping& mapping, const std::string& printer,
                  std::vector<std::string>* announced) {
  if (!mapping.block.valid()) return 0;
  unsigned char* block = mapping.block.data();
  const size_t size = mapping.block.size();
  int poll = 0;
  int idle = 0;
  uint32_t seen = 0;
  ProgressUpdate shown{"waiting for the printer driver"};
  while (__atomic_load_n(block, __ATOMIC_ACQUIRE) == 0) {
    HideProgress(mapping.progress);
    std::printf("Waiting here (%d)...\n", poll++);
    std::fflush(stdout);
    if (mapping.progress) {
      ProgressUpdate update;
      if (ReadDriverProgress(mapping, &seen, &update) && !update.stage.empty()) shown = update;
      mapping.progress(shown);
    }
    platform::SleepMs(mapping.pollMs);
    // Reading the queue may say why it cannot, on a line of its own.
    HideProgress(mapping.progress);
    std::vector<uint32_t> jobs;
    int read =
        mapping.readJobs ? mapping.readJobs(printer, &jobs) : GetAllPrinterJobs(printer, &jobs);
    if (read != 1 || jobs.empty()) {
      if (++idle >= kIdlePollsBeforeGivingUp) break;
    } else {
      idle = 0;
    }
  }
  HideProgress(mapping.progress);
  std::vector<std::string> paths = ReadAnnouncedPaths(block, size - kDriverProgressBytes);
  for (size_t i = 0; i < paths.size(); ++i) {
    std::printf("Page %d: %s\n", static_cast<int>(i + 1), paths[i].c_str());
  }
  std::fflush(stdout);
  std::memset(block, 0, size);
  if (announced) announced->insert(announced->end(), paths.begin(), paths.end());
  return static_cast<int>(paths.size());
}

void AskDriverProgress(CompletionMapping& mapping) {
  if (DriverProgressArea* area = AreaOf(mapping.block)) {
    __atomic_store_n(&area->asked, 1u, __ATOMIC_RELEASE);
  }
}

bool ReadDriverProgress(const CompletionMapping& mapping, uint32_t* seen, ProgressUpdate* update) {
  const DriverProgressArea* area = AreaOf(mapping.block);
  if (!area) return false;
  const uint32_t before = __atomic_load_n(&area->sequence, __ATOMIC_ACQUIRE);
  // 0: nothing reported since the block was zeroed.
  if (before == 0 || before == *seen || before % 2 != 0) return false;
  DriverProgressArea copy;
  std::memcpy(&copy, area, sizeof copy);
  __atomic_thread_fence(__ATOMIC_ACQUIRE);
  if (__atomic_load_n(&area->sequence, __ATOMIC_RELAXED) != before) return false;
  *seen = before;
  copy.stage[sizeof copy.stage - 1] = '\0';
  update->stage = copy.stage[0] ? std::string("printer: ") + copy.stage : "";
  update->page = copy.page;
  update->pages = copy.pages;
  return true;
}

ProgressSink DriverProgressSink(platform::SharedMemory& block) {
  DriverProgressArea* area = AreaOf(block);
  if (!area || __atomic_load_n(&area->asked, __ATOMIC_ACQUIRE) == 0) return {};
  return [area](const ProgressUpdate& update) {
    const uint32_t sequence = __atomic_load_n(&area->sequence, __ATOMIC_RELAXED) | 1u;
    __atomic_store_n(&area->sequence, sequence, __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_RELEASE);
    area->page = update.page;
    area->pages = update.pages;
    const size_t length = std::min(update.stage.size(), sizeof area->stage - 1);
    std::memcpy(area->stage, update.stage.data(), length);
    area->stage[length] = '\0';
    __atomic_store_n(&area->sequence, sequence + 1, __ATOMIC_RELEASE);
  };
}

}  // namespace scrivex
