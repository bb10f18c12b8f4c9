#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/state_root.h"
#include "platform/unique_fd.h"

namespace scrivex::platform {
namespace {

// "/scrivex-<hash of the state root>-<name>": one flat namespace per root,
// the same in every program of the product (FNV-1a, not the library's hash).
std::string ObjectName(const std::string& name) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : StateRoot()) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return "/scrivex-" + std::string(hex) + "-" + name;
}

}  // namespace

bool SharedMemory::Open(const std::string& name, size_t size, bool create) {
  Close();
  const std::string object = ObjectName(name);
  UniqueFd fd(shm_open(object.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600));
  if (!fd.valid()) return false;
  if (ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
    if (create) shm_unlink(object.c_str());
    return false;
  }
  void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  if (view == MAP_FAILED) {
    if (create) shm_unlink(object.c_str());
    return false;
  }
  data_ = static_cast<unsigned char*>(view);
  size_ = size;
  if (create) created_ = object;
  return true;
}

void SharedMemory::Close() {
  if (data_) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
  if (!created_.empty()) shm_unlink(created_.c_str());
  created_.clear();
}

}  // namespace scrivex::platform
