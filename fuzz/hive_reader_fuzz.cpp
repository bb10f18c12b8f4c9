// Feeds arbitrary text to the hive reader. Whatever it keeps must write out as
// a hive that reads back cleanly to the same keys and values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry_store.h"

using scrivex::platform::FormatHive;
using scrivex::platform::Hive;
using scrivex::platform::ParseHive;

namespace {

bool SameHive(const Hive& a, const Hive& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (auto i = a.keys.begin(), j = b.keys.begin(); i != a.keys.end(); ++i, ++j) {
    if (i->first != j->first || i->second.path != j->second.path) return false;
    const auto& va = i->second.values;
    const auto& vb = j->second.values;
    if (va.size() != vb.size()) return false;
    for (size_t k = 0; k < va.size(); ++k) {
      bool sameName = va[k].name == vb[k].name;
      if (!sameName || va[k].type != vb[k].type || va[k].data != vb[k].data) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  Hive hive;
  hive.rootName = "HKEY_CURRENT_USER";
  ParseHive(text, &hive);

  // Every key is found by its path, and its parent lists it.
  for (const auto& [path, key] : hive.keys) {
    if (scrivex::platform::FindKey(hive, path) != &key) abort();
    if (path.empty()) continue;
    size_t cut = path.rfind('\\');
    std::string parent = cut == std::string::npos ? "" : path.substr(0, cut);
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    bool listed = false;
    for (const std::string& n : scrivex::platform::SubkeyNames(hive, parent)) {
      listed = listed || n == name;
    }
    if (!listed) abort();
    for (const auto& v : key.values) {
      if (scrivex::platform::FindValue(key, v.name) != &v) abort();
    }
  }

  std::string written = FormatHive(hive);
  Hive back;
  back.rootName = hive.rootName;
  if (!ParseHive(written, &back)) abort();
  if (!SameHive(hive, back)) abort();
  if (FormatHive(back) != written) abort();
  return 0;
}
