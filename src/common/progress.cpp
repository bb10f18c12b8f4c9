#include "common/progress.h"

#include <atomic>

namespace scrivex {

namespace {
std::atomic<ProgressCallback> g_progressCallback{nullptr};
}

void SetProgressCallback(ProgressCallback cb) { g_progressCallback.store(cb); }

int InvokeProgressCallback(const std::string& path, const char* message, int value) {
  ProgressCallback cb = g_progressCallback.load();
  if (cb == nullptr) return 1;
  return cb(path.c_str(), message, value);
}

}  // namespace scrivex
