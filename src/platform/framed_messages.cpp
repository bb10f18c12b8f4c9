#include "platform/framed_messages.h"

#include <unistd.h>

#include <cerrno>

namespace scrivex::platform {

namespace {

void PutField(std::string* message, const std::string& field) {
  *message += std::to_string(field.size());
  *message += ':';
  *message += field;
}

// One length-prefixed piece off the front of text at *at; false when it is
// not all there yet (or the text is no message at all: *broken).
bool TakeField(const std::string& text, size_t* at, std::string* field, bool* broken) {
  const size_t colon = text.find(':', *at);
  if (colon == std::string::npos) {
    *broken = text.size() - *at > 20;
    return false;
  }
  size_t length = 0;
  for (size_t k = *at; k < colon; ++k) {
    if (text[k] < '0' || text[k] > '9' || colon - *at > 19) {
      *broken = true;
      return false;
    }
    length = length * 10 + static_cast<size_t>(text[k] - '0');
  }
  if (colon == *at || text.size() - colon - 1 < length) {
    *broken = colon == *at;
    return false;
  }
  *field = text.substr(colon + 1, length);
  *at = colon + 1 + length;
  return true;
}

}  // namespace

std::string Frame(const std::vector<std::string>& fields) {
  std::string body;
  for (const std::string& field : fields) PutField(&body, field);
  std::string message;
  PutField(&message, body);
  return message;
}

bool TakeMessage(std::string* buffer, std::vector<std::string>* fields, bool* broken) {
  size_t at = 0;
  std::string body;
  if (!TakeField(*buffer, &at, &body, broken)) return false;
  buffer->erase(0, at);
  fields->clear();
  size_t inner = 0;
  std::string field;
  while (inner < body.size()) {
    if (!TakeField(body, &inner, &field, broken)) {
      *broken = true;
      return false;
    }
    fields->push_back(std::move(field));
  }
  return true;
}

bool ReadInto(int fd, std::string* buffer) {
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffer->append(chunk, static_cast<size_t>(n));
    return true;
  }
}

bool ReceiveMessage(int fd, std::string* buffer, std::vector<std::string>* fields) {
  bool broken = false;
  while (!TakeMessage(buffer, fields, &broken)) {
    if (broken || !ReadInto(fd, buffer)) return false;
  }
  return true;
}

}  // namespace scrivex::platform
