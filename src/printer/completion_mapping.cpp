#include "printer/completion_mapping.h"

#include <cstdio>
#include <cstring>

#include "platform/process.h"
#include "printer/printer_jobs.h"

namespace scrivex {
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
  if (paths.empty() || needed >= kCompletionMappingBytes) {
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
  while (__atomic_load_n(block, __ATOMIC_ACQUIRE) == 0) {
    std::printf("Waiting here (%d)...\n", poll++);
    std::fflush(stdout);
    platform::SleepMs(mapping.pollMs);
    std::vector<uint32_t> jobs;
    int read =
        mapping.readJobs ? mapping.readJobs(printer, &jobs) : GetAllPrinterJobs(printer, &jobs);
    if (read != 1 || jobs.empty()) {
      if (++idle >= kIdlePollsBeforeGivingUp) break;
    } else {
      idle = 0;
    }
  }
  std::vector<std::string> paths = ReadAnnouncedPaths(block, size);
  for (size_t i = 0; i < paths.size(); ++i) {
    std::printf("Page %d: %s\n", static_cast<int>(i + 1), paths[i].c_str());
  }
  std::fflush(stdout);
  std::memset(block, 0, size);
  if (announced) announced->insert(announced->end(), paths.begin(), paths.end());
  return static_cast<int>(paths.size());
}

}  // namespace scrivex
