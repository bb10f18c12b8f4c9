// Registry hives kept as REGEDIT4 text files in the state root.
//
// One file holds one root key. Sections name keys by their full path with the
// root's name in front ("[HKEY_CURRENT_USER\Software\brindle\quire]"); a
// section without the root's name is read as a path relative to the root.
// Values: "Name"="text" (with \\ and \" escaped), "Name"=dword:0000002a,
// "Name"=hex:01,02 for REG_BINARY and "Name"=hex(N):.. for any other type
// (also a REG_SZ that cannot be written as a quoted line); @ is the default
// value.
//
// Key and value names compare without regard to ASCII letter case and keep the
// case they were created with. Subkeys enumerate in the order of their names
// folded to upper case. Every key's parents exist: creating a key creates
// them, and a file that names only a deep key gets its parents on reading.
//
// A damaged file is read line by line: lines that do not parse are skipped.
// Changes are locked read-modify-write cycles (flock on "<hive>.lock") that
// replace the file through a temporary file and a rename, so concurrent
// writers keep each other's values and readers never see a half-written hive.
#ifndef SCRIVEX_PLATFORM_REGISTRY_STORE_H_
#define SCRIVEX_PLATFORM_REGISTRY_STORE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace scrivex::platform {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct HiveValue {
  std::string name;  // "" is the key's default value
  uint32_t type = kRegSz;
  std::string data;  // the stored bytes; a REG_SZ's include its terminator
};

struct HiveKey {
  std::string path;               // relative to the root, components joined by '\'; "" = the root
  std::vector<HiveValue> values;  // in the order they were first written
};

// Orders key paths component by component, letters folded to upper case.
struct KeyPathLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

struct Hive {
  std::string rootName;                              // e.g. "HKEY_CURRENT_USER"
  std::map<std::string, HiveKey, KeyPathLess> keys;  // the root key is always present
};

// Compares names as the registry does (ASCII case ignored).
bool RegistryNamesEqual(std::string_view a, std::string_view b);

// The path in canonical form: empty components dropped ("a\\b\" -> "a\b").
std::string NormalizeKeyPath(std::string_view path);
// A name that can be stored: no NUL, CR or LF; key names also no '\'.
bool IsValidKeyPath(std::string_view path);
bool IsValidValueName(std::string_view name);

// Parses hive text into hive (cleared first; its rootName is kept). Returns
// false when some line could not be understood; what could be read is kept.
bool ParseHive(std::string_view text, Hive* hive);
std::string FormatHive(const Hive& hive);

const HiveKey* FindKey(const Hive& hive, std::string_view path);
HiveKey* FindKey(Hive* hive, std::string_view path);
// Finds or creates the key and its parents. Null for an invalid path.
HiveKey* AddKey(Hive* hive, std::string_view path);
const HiveValue* FindValue(const HiveKey& key, std::string_view name);
// Replaces the value's type and data, or appends a new value.
void SetValue(HiveKey* key, std::string_view name, uint32_t type, std::string data);
// Names of the key's direct subkeys in enumeration order; empty when the key is missing.
std::vector<std::string> SubkeyNames(const Hive& hive, std::string_view path);

enum class HiveReadResult { kRead, kMissing, kDamaged, kFailed };
// Reads the file into hive. kMissing leaves an empty hive (root key only);
// kDamaged keeps what could be parsed; kFailed means the file exists but
// could not be read.
HiveReadResult ReadHiveFile(const std::string& path, Hive* hive);

// Locks the hive, reads it, lets change edit it and replaces the file when the
// content changed. change returns false to leave the file as it was. A file
// that could not be fully parsed is copied to "<path>.damaged" before it is
// replaced. Returns false when the lock, the read or the write failed or
// change refused.
bool UpdateHiveFile(const std::string& path, const std::string& rootName,
                    const std::function<bool(Hive&)>& change);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_REGISTRY_STORE_H_
