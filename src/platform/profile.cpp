#include "platform/profile.h"

#include <cstdlib>
#include <vector>

#include "platform/files.h"
#include "platform/path.h"
#include "platform/state_root.h"

namespace scrivex::platform {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = nl + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or nothing.
bool SectionName(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyValue(const std::string& line, std::string* key, std::string* value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(t.substr(0, eq));
  *value = Trim(t.substr(eq + 1));
  return true;
}

}  // namespace

std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& defaultValue) {
  std::string text;
  if (!ReadWholeFile(file, &text)) return defaultValue;
  bool inSection = false;
  for (const std::string& line : SplitLines(text)) {
    std::string name, k, v;
    if (SectionName(line, &name)) {
      inSection = EqualsNoCase(name, section);
    } else if (inSection && KeyValue(line, &k, &v) && EqualsNoCase(k, key)) {
      // Matching quotes around a value are not part of it.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return v;
    }
  }
  return defaultValue;
}

int GetProfileInt(const std::string& file, const std::string& section, const std::string& key,
                  int defaultValue) {
  std::string v = GetProfileString(file, section, key, "");
  if (v.empty()) return defaultValue;
  return std::atoi(v.c_str());
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
  std::string text;
  // A file that exists but cannot be read is not empty: rewriting it would
  // lose everything else it holds.
  if (!ReadWholeFile(file, &text) && FileExists(file)) return false;
  std::vector<std::string> lines = SplitLines(text);
  const std::string entry = key + "=" + value;

  int sectionLine = -1;
  int lastInSection = -1;  // last non-blank line of the section
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::string name, k, v;
    if (SectionName(lines[i], &name)) {
      if (sectionLine >= 0) break;  // past our section
      if (EqualsNoCase(name, section)) {
        sectionLine = static_cast<int>(i);
        lastInSection = sectionLine;
      }
    } else if (sectionLine >= 0) {
      if (KeyValue(lines[i], &k, &v) && EqualsNoCase(k, key)) {
        lines[i] = entry;
        done = true;
      } else if (!Trim(lines[i]).empty()) {
        lastInSection = static_cast<int>(i);
      }
    }
  }
  if (!done) {
    if (sectionLine < 0) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    } else {
      lines.insert(lines.begin() + lastInSection + 1, entry);
    }
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return WriteFileAtomically(file, out);
}

}  // namespace scrivex::platform
