// For tests: environment variables set for one test, the earlier values put
// back when it ends, so later tests in the same process see the original.
#ifndef SCRIVEX_GHOSTSCRIPT_SCOPED_ENV_H_
#define SCRIVEX_GHOSTSCRIPT_SCOPED_ENV_H_

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace scrivex {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

  void Set(const std::string& name, const std::string& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace scrivex

#endif  // SCRIVEX_GHOSTSCRIPT_SCOPED_ENV_H_
