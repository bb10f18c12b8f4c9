// What the browser's debugging messages are made of: JSON read into a small
// tree, text quoted for writing, and the base64 of the printed document.
#ifndef SCRIVEX_SERVERS_DEVTOOLS_JSON_H_
#define SCRIVEX_SERVERS_DEVTOOLS_JSON_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scrivex {

struct JsonValue {
  enum Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  // The member of an object; null when absent or this is no object.
  const JsonValue* Find(std::string_view key) const;
  // A member's text or number; the fallback when it is absent or of another type.
  std::string Text(std::string_view key, const std::string& fallback = "") const;
  double Number(std::string_view key, double fallback = 0) const;
  bool Has(std::string_view key) const { return Find(key) != nullptr; }
};

// False for anything but one well-formed JSON value (nesting is bounded).
bool ParseJson(std::string_view text, JsonValue* value);
// The text as a JSON string, quotes included.
std::string JsonQuote(std::string_view text);
// False when the text is not base64.
bool DecodeBase64(std::string_view text, std::string* bytes);

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_DEVTOOLS_JSON_H_
