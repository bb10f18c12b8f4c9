// A named block of shared memory, mapped read and write. It is a file in the
// state root's runtime folder, which only this account may enter, so no
// other account can make, open or write it, and two roots never share one.
// Its creator holds a lock on it for as long as it lives: a block nobody
// holds was left by a run that died and is never used.
#ifndef SCRIVEX_PLATFORM_SHARED_MEMORY_H_
#define SCRIVEX_PLATFORM_SHARED_MEMORY_H_

#include <cstddef>
#include <string>

#include "platform/unique_fd.h"

namespace scrivex::platform {

class SharedMemory {
 public:
  SharedMemory() = default;
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  ~SharedMemory() { Close(); }

  // Makes a fresh block of that name, `size` zero bytes, and holds it until
  // Close, which removes the name. Whatever had the name before (a block a
  // dead run left, anything else) is removed, never used; a block a live
  // process holds is not taken: false with *why set.
  bool Create(const std::string& name, size_t size, std::string* why = nullptr);
  // Maps the block of that name that a live process of ours created: a file
  // of ours with mode 0600 and that size, not a link. Anything else is
  // refused with *why set.
  bool OpenExisting(const std::string& name, size_t size, std::string* why = nullptr);
  unsigned char* data() const { return data_; }
  size_t size() const { return size_; }
  bool valid() const { return data_ != nullptr; }
  void Close();

  // Where the block of that name lives.
  static std::string PathOf(const std::string& name);

 private:
  bool Map(UniqueFd fd, size_t size, std::string* why);
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  UniqueFd fd_;          // holds the creator's lock
  std::string created_;  // the name to remove on close
};

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_SHARED_MEMORY_H_
