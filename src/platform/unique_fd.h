// A file descriptor that closes itself.
#ifndef SCRIVEX_PLATFORM_UNIQUE_FD_H_
#define SCRIVEX_PLATFORM_UNIQUE_FD_H_

#include <unistd.h>

#include <utility>

namespace scrivex::platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }
  // Closes the descriptor; false when close reported an error (a lost write).
  bool Reset(int fd = -1) {
    int old = std::exchange(fd_, fd);
    return old < 0 || close(old) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_UNIQUE_FD_H_
