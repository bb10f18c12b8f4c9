// Shared libraries loaded when a run first needs them. Every library the
// program links is loaded, relocated and initialised at each start, whether
// the run uses it or not; one that only some routes need (PAM, cairo, qpdf)
// is cheaper opened by the code that calls it.
#ifndef SCRIVEX_PLATFORM_SHARED_LIBRARY_H_
#define SCRIVEX_PLATFORM_SHARED_LIBRARY_H_

#include <string>

namespace scrivex::platform {

// An opened library, closed with the object.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  ~SharedLibrary();

  // Opens `file`, a path or a name the loader looks up (such as
  // "libpam.so.0"), with every symbol bound at once and kept to itself.
  // False with *why set when it cannot be loaded.
  bool Open(const std::string& file, std::string* why);
  bool valid() const { return handle_ != nullptr; }

  // The address of the symbol `name`; null with *why set when it is missing.
  void* Find(const char* name, std::string* why) const;

  // Sets *function to the symbol `name`, which must be a function of that
  // type; false with *why set when it is missing.
  template <typename Function>
  bool Bind(const char* name, Function** function, std::string* why) const {
    *function = reinterpret_cast<Function*>(Find(name, why));
    return *function != nullptr;
  }

 private:
  void* handle_ = nullptr;
  std::string file_;
};

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_SHARED_LIBRARY_H_
