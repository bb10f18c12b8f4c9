#include "servers/devtools_message.h"

namespace scrivex {
namespace {

// The length of the well-formed UTF-8 sequence at text[i]; 0 when none starts there.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) return 1;
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;   // no overlong forms
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (n > text.size() - i) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return 0;
  }
  return n;
}

// The text with U+FFFD for each byte that starts no UTF-8 sequence; false
// when there is none.
bool ReplaceBadUtf8(std::string_view text, std::string* out) {
  bool replaced = false;
  out->clear();
  for (size_t i = 0; i < text.size();) {
    if (size_t n = Utf8Length(text, i)) {
      out->append(text.substr(i, n));
      i += n;
    } else {
      out->append("\xEF\xBF\xBD");
      replaced = true;
      ++i;
    }
  }
  return replaced;
}

bool ParseStrict(std::string_view text, Json* message) {
  // The library's parser has no bound of its own; a deeper value stops it
  // at once rather than after it held every level.
  struct TooDeep {};
  const Json::parser_callback_t bound = [](int depth, Json::parse_event_t, Json&) {
    if (depth > kMaxMessageDepth) throw TooDeep{};
    return true;
  };
  try {
    *message = Json::parse(text, bound, /*allow_exceptions=*/false);
    if (!message->is_discarded()) return true;
  } catch (const TooDeep&) {
  } catch (const Json::exception&) {
  }
  *message = nullptr;
  return false;
}

}  // namespace

bool ParseMessage(std::string_view text, Json* message) {
  if (ParseStrict(text, message)) return true;
  // The library refuses strings that are no UTF-8; such a message is read
  // anyway, with its bad bytes replaced.
  std::string repaired;
  return ReplaceBadUtf8(text, &repaired) && ParseStrict(repaired, message);
}

std::string WriteMessage(const Json& message) {
  // Replacing bad bytes, the writer does not throw.
  return message.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
}

const Json* Member(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::string Text(const Json& object, std::string_view key, const std::string& fallback) {
  const Json* v = Member(object, key);
  return v && v->is_string() ? v->get_ref<const std::string&>() : fallback;
}

double Number(const Json& object, std::string_view key, double fallback) {
  const Json* v = Member(object, key);
  return v && v->is_number() ? v->get<double>() : fallback;
}

bool Flag(const Json& object, std::string_view key) {
  const Json* v = Member(object, key);
  return v && v->is_boolean() && v->get<bool>();
}

bool DecodeBase64(std::string_view text, std::string* bytes) {
  bytes->clear();
  bytes->reserve(text.size() / 4 * 3);
  unsigned acc = 0;
  int bits = 0;
  size_t pad = 0;
  for (char c : text) {
    int d = c >= 'A' && c <= 'Z'   ? c - 'A'
            : c >= 'a' && c <= 'z' ? c - 'a' + 26
            : c >= '0' && c <= '9' ? c - '0' + 52
            : c == '+'             ? 62
            : c == '/'             ? 63
                                   : -1;
    if (c == '=') {
      ++pad;
      continue;
    }
    if (d < 0 || pad > 0) return false;
    acc = (acc << 6) | static_cast<unsigned>(d);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes->push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return pad <= 2 && bits < 6;
}

}  // namespace scrivex
