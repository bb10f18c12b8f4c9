#include "printer/completion_mapping.h"

#include <cstdio>
#include <cstring>

#include "platform/process.h"
#include "platform/shared_memory.h"
#include "printer/printer_jobs.h"

namespace scrivex {
namespace {

platform::SharedMemory g_mapping;
int g_pollMs = 1000;
std::function<int(std::vector<uint32_t>*)> g_readJobs;

}  // namespace

int CreateCompletionMapping() {
  std::string why;
  if (!g_mapping.valid() &&
      !g_mapping.Create(kCompletionMappingName, kCompletionMappingBytes, &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 0;
  }
  std::memset(g_mapping.data(), 0, g_mapping.size());
  return 1;
}

void CloseCompletionMapping() { g_mapping.Close(); }

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

void SetDriverPollForTesting(int intervalMs,
                             std::function<int(std::vector<uint32_t>* jobs)> readJobs) {
  g_pollMs = intervalMs > 0 ? intervalMs : 1000;
  g_readJobs = std::move(readJobs);
}

int WaitForDriver(std::vector<std::string>* announced) {
  if (!g_mapping.valid()) return 0;
  unsigned char* block = g_mapping.data();
  int poll = 0;
  int idle = 0;
  while (__atomic_load_n(block, __ATOMIC_ACQUIRE) == 0) {
    std::printf("Waiting here (%d)...\n", poll++);
    std::fflush(stdout);
    platform::SleepMs(g_pollMs);
    std::vector<uint32_t> jobs;
    int read = g_readJobs ? g_readJobs(&jobs) : GetAllPrinterJobs(&jobs);
    if (read != 1 || jobs.empty()) {
      if (++idle >= kIdlePollsBeforeGivingUp) break;
    } else {
      idle = 0;
    }
  }
  std::vector<std::string> paths = ReadAnnouncedPaths(block, g_mapping.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    std::printf("Page %d: %s\n", static_cast<int>(i + 1), paths[i].c_str());
  }
  std::fflush(stdout);
  std::memset(block, 0, g_mapping.size());
  if (announced) announced->insert(announced->end(), paths.begin(), paths.end());
  return static_cast<int>(paths.size());
}

}  // namespace scrivex
