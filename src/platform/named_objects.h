// The queue's named mutex and the shared job counter, private to the state root.
#ifndef SCRIVEX_PLATFORM_NAMED_OBJECTS_H_
#define SCRIVEX_PLATFORM_NAMED_OBJECTS_H_

#include <string>

namespace scrivex::platform {

// A named mutex whose existence is the lock: held from creation until
// destruction (or the process's end).
class NamedMutex {
 public:
  enum class Result { kCreated, kAlreadyExists, kFailed };
  NamedMutex() = default;
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  Result Create(const std::string& name);
  void Close();

 private:
  int fd_ = -1;
};

// The shared job counter counts live processes that raised it: a process that
// dies without lowering it stops counting.
int RaiseJobCounter();  // returns the new value
int LowerJobCounter();  // returns the new value
int ReadJobCounter();

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_NAMED_OBJECTS_H_
