// The browser's debugging messages as JSON values: read from what a browser
// (or anything posing as one) sent, written for it, and looked into without
// trusting their shape; and the base64 the printed document comes in.
#ifndef SCRIVEX_SERVERS_DEVTOOLS_MESSAGE_H_
#define SCRIVEX_SERVERS_DEVTOOLS_MESSAGE_H_

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace scrivex {

using Json = nlohmann::json;

// Deeper messages are refused: the browser never nests this far.
constexpr int kMaxMessageDepth = 128;

// False for anything but one well-formed JSON value nested at most
// kMaxMessageDepth deep; `message` is null then. Bytes in it that are no
// UTF-8 are read as U+FFFD. Never throws.
bool ParseMessage(std::string_view text, Json* message);
// The message as text; text that is no UTF-8 goes out with U+FFFD in place
// of the bad bytes. Never throws.
std::string WriteMessage(const Json& message);

// A member of an object: null when absent or `object` is no object.
const Json* Member(const Json& object, std::string_view key);
// A member's value; the fallback when it is absent or of another type.
std::string Text(const Json& object, std::string_view key, const std::string& fallback = "");
double Number(const Json& object, std::string_view key, double fallback = 0);
bool Flag(const Json& object, std::string_view key);  // only true is true

// False when the text is not base64.
bool DecodeBase64(std::string_view text, std::string* bytes);

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_DEVTOOLS_MESSAGE_H_
