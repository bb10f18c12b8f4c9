#include "common/failure_reason.h"

namespace scrivex {
namespace {
std::string g_reason;
}  // namespace

void ClearFailureReason() { g_reason.clear(); }

void NoteFailure(const std::string& reason) {
  if (!g_reason.empty() || reason.empty()) return;
  g_reason = reason;
  for (char& c : g_reason) {
    if (c == '\n' || c == '\r') c = ' ';
  }
}

const std::string& FailureReason() { return g_reason; }

}  // namespace scrivex
