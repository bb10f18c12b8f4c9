#include "common/failure_reason.h"

namespace scrivex {

void NoteFailure(std::string* why, const std::string& reason) {
  if (why == nullptr || !why->empty() || reason.empty()) return;
  *why = reason;
  for (char& c : *why) {
    if (c == '\n' || c == '\r') c = ' ';
  }
}

}  // namespace scrivex
