#include "platform/shared_library.h"

#include <dlfcn.h>

#include <utility>

namespace scrivex::platform {

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), file_(std::move(other.file_)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    file_ = std::move(other.file_);
  }
  return *this;
}

SharedLibrary::~SharedLibrary() {
  if (handle_) dlclose(handle_);
}

bool SharedLibrary::Open(const std::string& file, std::string* why) {
  if (handle_) dlclose(handle_);
  file_ = file;
  // RTLD_LOCAL: its symbols serve only the calls made through Find, never
  // another library loaded later. RTLD_NODELETE: libraries such as cairo
  // keep caches and threads that outlive our last call; unmapping them under
  // those would crash at exit and strand what they hold.
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr && why) {
    const char* error = dlerror();
    *why = error ? error : file + " cannot be loaded";
  }
  return handle_ != nullptr;
}

void* SharedLibrary::Find(const char* name, std::string* why) const {
  if (handle_ == nullptr) {
    if (why) *why = std::string("no library is open to find ") + name + " in";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr && why) *why = file_ + " has no " + name;
  return address;
}

}  // namespace scrivex::platform
