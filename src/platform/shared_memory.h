// A named block of shared memory, mapped read and write. Names live within
// the state root, like every named object: two roots never share a block.
#ifndef SCRIVEX_PLATFORM_SHARED_MEMORY_H_
#define SCRIVEX_PLATFORM_SHARED_MEMORY_H_

#include <cstddef>
#include <string>

namespace scrivex::platform {

class SharedMemory {
 public:
  SharedMemory() = default;
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  ~SharedMemory() { Close(); }

  // Maps the block of that name, `size` bytes. With create it is made when
  // missing and its name is removed again by Close; without, it must exist.
  // The size is set on every open: a smaller block left by a crashed run
  // would otherwise fault past its end.
  bool Open(const std::string& name, size_t size, bool create);
  unsigned char* data() const { return data_; }
  size_t size() const { return size_; }
  bool valid() const { return data_ != nullptr; }
  void Close();

 private:
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  std::string created_;  // the name to remove on close
};

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_SHARED_MEMORY_H_
