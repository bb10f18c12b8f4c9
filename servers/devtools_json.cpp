#include "servers/devtools_json.h"

#include <cstdio>
#include <cstdlib>

namespace scrivex {
namespace {

constexpr int kMaxDepth = 128;

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  bool Document(JsonValue* v) {
    if (!Value(v, 0)) return false;
    Space();
    return i_ == s_.size();
  }

 private:
  void Space() {
    while (i_ < s_.size() &&
           (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) {
      ++i_;
    }
  }
  bool Take(char c) {
    Space();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  bool Value(JsonValue* v, int depth) {
    if (depth > kMaxDepth) return false;
    Space();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    if (c == '"') {
      v->type = JsonValue::kString;
      return String(&v->text);
    }
    if (Word("true") || Word("false")) {
      v->type = JsonValue::kBool;
      v->boolean = c == 't';
      return true;
    }
    if (Word("null")) {
      v->type = JsonValue::kNull;
      return true;
    }
    return Number(v);
  }

  bool Number(JsonValue* v) {
    size_t start = i_;
    while (i_ < s_.size() &&
           std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos) {
      ++i_;
    }
    if (i_ == start) return false;
    std::string digits(s_.substr(start, i_ - start));
    char* end = nullptr;
    v->type = JsonValue::kNumber;
    v->number = std::strtod(digits.c_str(), &end);
    return end == digits.c_str() + digits.size();
  }

  bool Object(JsonValue* v, int depth) {
    ++i_;
    v->type = JsonValue::kObject;
    if (Take('}')) return true;
    do {
      Space();
      std::string key;
      if (i_ >= s_.size() || s_[i_] != '"' || !String(&key) || !Take(':')) return false;
      v->members.emplace_back(std::move(key), JsonValue{});
      if (!Value(&v->members.back().second, depth + 1)) return false;
    } while (Take(','));
    return Take('}');
  }

  bool Array(JsonValue* v, int depth) {
    ++i_;
    v->type = JsonValue::kArray;
    if (Take(']')) return true;
    do {
      v->items.emplace_back();
      if (!Value(&v->items.back(), depth + 1)) return false;
    } while (Take(','));
    return Take(']');
  }

  bool Hex4(unsigned* code) {
    if (i_ + 4 > s_.size()) return false;
    *code = 0;
    for (int k = 0; k < 4; ++k) {
      char h = s_[i_++];
      int d = h >= '0' && h <= '9'   ? h - '0'
              : h >= 'a' && h <= 'f' ? h - 'a' + 10
              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                     : -1;
      if (d < 0) return false;
      *code = *code * 16 + static_cast<unsigned>(d);
    }
    return true;
  }

  static void Utf8(unsigned code, std::string* out) {
    if (code < 0x80) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code >> 6)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (code >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (code >> 18)));
      out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  bool String(std::string* out) {
    ++i_;  // the opening quote
    for (;;) {
      // Plain runs are copied whole: a printed document is megabytes of them.
      size_t stop = s_.find_first_of("\"\\", i_);
      if (stop == std::string_view::npos) return false;
      out->append(s_.substr(i_, stop - i_));
      i_ = stop + 1;
      if (s_[stop] == '"') return true;
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      static constexpr std::string_view kEscapes = "\"\\/bfnrt", kMeanings = "\"\\/\b\f\n\r\t";
      if (size_t k = kEscapes.find(e); k != std::string_view::npos) {
        out->push_back(kMeanings[k]);
        continue;
      }
      unsigned code;
      if (e != 'u' || !Hex4(&code)) return false;
      if (code >= 0xD800 && code < 0xDC00 && Word("\\u")) {
        unsigned low;
        if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      }
      Utf8(code, out);
    }
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
  if (type != kObject) return nullptr;
  for (const auto& [name, value] : members) {
    if (name == key) return &value;
  }
  return nullptr;
}

std::string JsonValue::Text(std::string_view key, const std::string& fallback) const {
  const JsonValue* v = Find(key);
  return v && v->type == kString ? v->text : fallback;
}

double JsonValue::Number(std::string_view key, double fallback) const {
  const JsonValue* v = Find(key);
  return v && v->type == kNumber ? v->number : fallback;
}

bool ParseJson(std::string_view text, JsonValue* value) {
  *value = JsonValue{};
  return Reader(text).Document(value);
}

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
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
