#include "platform/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/state_root.h"
#include "platform/unique_fd.h"

namespace scrivex::platform {

namespace {

unsigned char FoldUpper(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// The separator sorts before every other byte, so a key's children follow it
// directly and "a\b" comes before "ab".
unsigned PathOrder(char c) { return c == '\\' ? 0u : FoldUpper(c) + 1u; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && RegistryNamesEqual(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  return s.substr(0, n);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at s[*pos] == '"'; a backslash takes the
// next character literally. Moves *pos past the closing quote.
bool ParseQuoted(std::string_view s, size_t* pos, std::string* out) {
  if (*pos >= s.size() || s[*pos] != '"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (++i >= s.size()) return false;
      c = s[i];
    }
    out->push_back(c);
  }
  return false;
}

// "01,ab, 2f" -> bytes; an empty list and a trailing comma are allowed.
bool ParseHexBytes(std::string_view s, std::string* out) {
  out->clear();
  size_t i = 0;
  for (;;) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i == s.size()) return true;
    int value = 0, digits = 0;
    while (i < s.size() && digits < 2 && HexDigit(s[i]) >= 0)
      value = value * 16 + HexDigit(s[i++]), ++digits;
    if (digits == 0) return false;
    out->push_back(static_cast<char>(value));
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i == s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
  }
}

// Parses the text after "=" of a value line. `more` supplies continuation
// lines for hex data that ends in a backslash.
bool ParseValueData(std::string_view data, const std::function<bool(std::string_view*)>& more,
                    uint32_t* type, std::string* bytes) {
  data = TrimRight(TrimLeft(data));
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(data, &pos, &text) || !TrimLeft(data.substr(pos)).empty()) return false;
    *type = kRegSz;
    *bytes = text + '\0';
    return true;
  }
  if (StartsWithNoCase(data, "dword:")) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) return false;
      v = v * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    *type = kRegDword;
    bytes->assign({static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                   static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)});
    return true;
  }
  if (!StartsWithNoCase(data, "hex")) return false;
  size_t pos = 3;
  uint32_t t = kRegBinary;
  if (pos < data.size() && data[pos] == '(') {
    size_t close = data.find(')', pos);
    if (close == std::string_view::npos || close == pos + 1 || close - pos - 1 > 8) return false;
    t = 0;
    for (size_t i = pos + 1; i < close; ++i) {
      if (HexDigit(data[i]) < 0) return false;
      t = t * 16 + static_cast<uint32_t>(HexDigit(data[i]));
    }
    pos = close + 1;
  }
  if (pos >= data.size() || data[pos] != ':') return false;
  std::string list(data.substr(pos + 1));
  while (!list.empty() && list.back() == '\\') {
    list.pop_back();
    std::string_view next;
    if (!more(&next)) return false;
    list += TrimRight(TrimLeft(next));
  }
  *type = t;
  return ParseHexBytes(list, bytes);
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool IsPlainText(std::string_view s) {
  return s.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendHex(std::string* out, std::string_view bytes, size_t lineStart) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    out->push_back(kDigits[b >> 4]);
    out->push_back(kDigits[b & 15]);
    if (i + 1 == bytes.size()) break;
    out->push_back(',');
    if (out->size() - lineStart > 76) {
      out->append("\\\n  ");
      lineStart = out->size() - 2;
    }
  }
}

void AppendValue(std::string* out, const HiveValue& v) {
  size_t lineStart = out->size();
  out->append(v.name.empty() ? "@" : Quote(v.name));
  out->push_back('=');
  if (v.type == kRegSz && !v.data.empty() && v.data.back() == '\0' &&
      IsPlainText(std::string_view(v.data).substr(0, v.data.size() - 1))) {
    out->append(Quote(std::string_view(v.data).substr(0, v.data.size() - 1)));
  } else if (v.type == kRegDword && v.data.size() == 4) {
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = n * 256 + static_cast<unsigned char>(v.data[i]);
    char buf[20];
    std::snprintf(buf, sizeof buf, "dword:%08x", n);
    out->append(buf);
  } else {
    if (v.type == kRegBinary) {
      out->append("hex:");
    } else {
      char buf[20];
      std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
      out->append(buf);
    }
    AppendHex(out, v.data, lineStart);
  }
  out->push_back('\n');
}

// Reads the whole file; errno-style result: 0, ENOENT or another error.
int ReadFileText(const std::string& path, std::string* text) {
  text->clear();
  errno = 0;
  if (ReadWholeFile(path, text)) return 0;
  return errno == 0 ? EIO : errno;
}

HiveReadResult ReadHive(const std::string& path, Hive* hive, std::string* text) {
  int err = ReadFileText(path, text);
  if (err != 0) {
    ParseHive("", hive);
    return err == ENOENT ? HiveReadResult::kMissing : HiveReadResult::kFailed;
  }
  return ParseHive(*text, hive) ? HiveReadResult::kRead : HiveReadResult::kDamaged;
}

}  // namespace

bool KeyPathLess::operator()(std::string_view a, std::string_view b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned x = PathOrder(a[i]), y = PathOrder(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool RegistryNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldUpper(a[i]) != FoldUpper(b[i])) return false;
  }
  return true;
}

std::string NormalizeKeyPath(std::string_view path) {
  std::string out;
  size_t i = 0;
  while (i < path.size()) {
    size_t end = path.find('\\', i);
    if (end == std::string_view::npos) end = path.size();
    if (end > i) {
      if (!out.empty()) out.push_back('\\');
      out.append(path.substr(i, end - i));
    }
    i = end + 1;
  }
  return out;
}

bool IsValidKeyPath(std::string_view path) { return IsPlainText(path); }

bool IsValidValueName(std::string_view name) { return IsPlainText(name); }

bool ParseHive(std::string_view text, Hive* hive) {
  hive->keys.clear();
  hive->keys.emplace("", HiveKey{});
  bool clean = true;
  HiveKey* current = nullptr;
  size_t pos = 0;
  // Hands out the next line without its line break (and a CR before it).
  auto nextLine = [&](std::string_view* line) {
    if (pos >= text.size()) return false;
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    *line = text.substr(pos, end - pos);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    pos = end + 1;
    return true;
  };
  if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;  // a UTF-8 byte order mark
  std::string_view raw;
  bool first = true;
  while (nextLine(&raw)) {
    std::string_view line = TrimRight(TrimLeft(raw));
    bool header = first;
    if (!line.empty()) first = false;
    if (line.empty() || line[0] == ';') continue;
    if (header && (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00")) continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.back() != ']') {
        clean = false;
        continue;
      }
      std::string_view name = line.substr(1, line.size() - 2);
      if (!name.empty() && name[0] == '-') continue;  // a deletion: nothing to keep
      std::string_view root = hive->rootName;
      if (!root.empty() && RegistryNamesEqual(name.substr(0, root.size()), root) &&
          (name.size() == root.size() || name[root.size()] == '\\')) {
        name.remove_prefix(root.size());
      } else if (StartsWithNoCase(name, "HKEY_")) {
        clean = false;  // another root's key does not belong in this file
        continue;
      }
      current = AddKey(hive, name);
      if (current == nullptr) clean = false;
      continue;
    }
    if (line[0] != '"' && line[0] != '@') {
      clean = false;
      continue;
    }
    std::string name;
    size_t p = 1;  // past "@"
    if (line[0] == '"') {
      p = 0;
      if (!ParseQuoted(line, &p, &name)) {
        clean = false;
        continue;
      }
    }
    std::string_view rest = TrimLeft(line.substr(p));
    if (rest.empty() || rest[0] != '=' || !IsValidValueName(name)) {
      clean = false;
      continue;
    }
    rest = TrimLeft(rest.substr(1));
    if (rest == "-") continue;  // a deletion
    uint32_t type = 0;
    std::string bytes;
    if (!ParseValueData(rest, nextLine, &type, &bytes)) {
      clean = false;
      continue;
    }
    if (current == nullptr) {
      clean = false;
      continue;
    }
    SetValue(current, name, type, std::move(bytes));
  }
  return clean;
}

std::string FormatHive(const Hive& hive) {
  std::string out = "REGEDIT4\n";
  for (const auto& [path, key] : hive.keys) {
    if (path.empty() && key.values.empty()) continue;
    out += "\n[" + hive.rootName;
    if (!path.empty()) out += (hive.rootName.empty() ? "" : "\\") + path;
    out += "]\n";
    for (const HiveValue& v : key.values) AppendValue(&out, v);
  }
  return out;
}

const HiveKey* FindKey(const Hive& hive, std::string_view path) {
  auto it = hive.keys.find(NormalizeKeyPath(path));
  return it == hive.keys.end() ? nullptr : &it->second;
}

HiveKey* FindKey(Hive* hive, std::string_view path) {
  auto it = hive->keys.find(NormalizeKeyPath(path));
  return it == hive->keys.end() ? nullptr : &it->second;
}

HiveKey* AddKey(Hive* hive, std::string_view path) {
  if (!IsValidKeyPath(path)) return nullptr;
  std::string normal = NormalizeKeyPath(path);
  auto root = hive->keys.try_emplace("").first;
  HiveKey* key = &root->second;
  size_t i = 0;
  while (i < normal.size()) {
    size_t end = normal.find('\\', i);
    if (end == std::string::npos) end = normal.size();
    // The stored spelling of the parent is kept; only new parts take the caller's.
    std::string child = key->path.empty() ? normal.substr(i, end - i)
                                          : key->path + '\\' + normal.substr(i, end - i);
    auto it = hive->keys.find(child);
    if (it == hive->keys.end()) {
      it = hive->keys.emplace(child, HiveKey{child, {}}).first;
    }
    key = &it->second;
    i = end + 1;
  }
  return key;
}

const HiveValue* FindValue(const HiveKey& key, std::string_view name) {
  for (const HiveValue& v : key.values) {
    if (RegistryNamesEqual(v.name, name)) return &v;
  }
  return nullptr;
}

void SetValue(HiveKey* key, std::string_view name, uint32_t type, std::string data) {
  for (HiveValue& v : key->values) {
    if (RegistryNamesEqual(v.name, name)) {
      v.type = type;
      v.data = std::move(data);
      return;
    }
  }
  key->values.push_back(HiveValue{std::string(name), type, std::move(data)});
}

std::vector<std::string> SubkeyNames(const Hive& hive, std::string_view path) {
  std::vector<std::string> names;
  std::string parent = NormalizeKeyPath(path);
  auto it = hive.keys.find(parent);
  if (it == hive.keys.end()) return names;
  size_t skip = parent.empty() ? 0 : parent.size() + 1;
  // Descendants follow the key directly in the map's order.
  for (++it; it != hive.keys.end(); ++it) {
    const std::string& p = it->first;
    if (!parent.empty() &&
        (p.size() <= parent.size() || p[parent.size()] != '\\' || !StartsWithNoCase(p, parent))) {
      break;
    }
    if (p.find('\\', skip) == std::string::npos) names.push_back(p.substr(skip));
  }
  return names;
}

HiveReadResult ReadHiveFile(const std::string& path, Hive* hive) {
  std::string text;
  return ReadHive(path, hive, &text);
}

bool UpdateHiveFile(const std::string& path, const std::string& rootName,
                    const std::function<bool(Hive&)>& change) {
  UniqueFd lock(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) return false;
  while (flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  Hive hive;
  hive.rootName = rootName;
  std::string before;
  HiveReadResult read = ReadHive(path, &hive, &before);
  if (read == HiveReadResult::kFailed) return false;
  if (!change(hive)) return false;
  std::string after = FormatHive(hive);
  if (read != HiveReadResult::kMissing && after == before) return true;
  // Keep what could not be understood rather than dropping it silently.
  if (read == HiveReadResult::kDamaged && !WriteFileAtomically(path + ".damaged", before)) {
    return false;
  }
  if (read == HiveReadResult::kMissing) {
    // The hive may hold passwords: it starts private to the user.
    UniqueFd created(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  }
  return WriteFileAtomically(path, after);
}

}  // namespace scrivex::platform
