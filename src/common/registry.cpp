#include "common/registry.h"

#include <cstdint>
#include <cstring>

#include "platform/registry_store.h"
#include "platform/state_root.h"

namespace scrivex {

struct RegistryKey {
  RegistryRoot root;
  std::string path;
  bool writable;
};

namespace {

const char* RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::kCurrentUser:
      return "HKEY_CURRENT_USER";
    case RegistryRoot::kClassesRoot:
      return "HKEY_CLASSES_ROOT";
  }
  return "";
}

std::string HivePath(RegistryRoot root) {
  const char* file = root == RegistryRoot::kLocalMachine  ? "machine.reg"
                     : root == RegistryRoot::kCurrentUser ? "user.reg"
                                                          : "classes.reg";
  return platform::StateRoot() + file;
}

bool ReadHive(RegistryRoot root, platform::Hive* hive) {
  hive->rootName = RootName(root);
  return platform::ReadHiveFile(HivePath(root), hive) != platform::HiveReadResult::kFailed;
}

// The stored value, read fresh from the hive.
bool FindStoredValue(KeyHandle key, const std::string& valueName, platform::HiveValue* value) {
  if (key == nullptr) return false;
  platform::Hive hive;
  if (!ReadHive(key->root, &hive)) return false;
  const platform::HiveKey* k = platform::FindKey(hive, key->path);
  if (k == nullptr) return false;
  const platform::HiveValue* v = platform::FindValue(*k, valueName);
  if (v == nullptr) return false;
  *value = *v;
  return true;
}

}  // namespace

KeyHandle OpenKey(RegistryRoot root, const std::string& keyPath) {
  platform::Hive hive;
  if (!ReadHive(root, &hive)) return nullptr;
  const platform::HiveKey* k = platform::FindKey(hive, keyPath);
  if (k == nullptr) return nullptr;
  return new RegistryKey{root, k->path, false};
}

KeyHandle CreateKey(RegistryRoot root, const std::string& keyPath) {
  if (!platform::IsValidKeyPath(keyPath)) return nullptr;
  std::string stored;
  bool ok = platform::UpdateHiveFile(HivePath(root), RootName(root), [&](platform::Hive& hive) {
    platform::HiveKey* k = platform::AddKey(&hive, keyPath);
    if (k == nullptr) return false;
    stored = k->path;
    return true;
  });
  if (!ok) return nullptr;
  return new RegistryKey{root, stored, true};
}

KeyHandle OpenUserKey(const std::string& keyPath) {
  return OpenKey(RegistryRoot::kCurrentUser, keyPath);
}

KeyHandle OpenMachineKey(const std::string& keyPath) {
  return OpenKey(RegistryRoot::kLocalMachine, keyPath);
}

KeyHandle CreateUserKey(const std::string& keyPath) {
  return CreateKey(RegistryRoot::kCurrentUser, keyPath);
}

int CloseKey(KeyHandle key) {
  constexpr int kInvalidHandle = 6;
  if (key == nullptr) return kInvalidHandle;
  delete key;
  return 0;
}

int ReadValue(KeyHandle key, const std::string& valueName, unsigned* type, std::string* data) {
  platform::HiveValue v;
  if (!FindStoredValue(key, valueName, &v)) return 0;
  if (type != nullptr) *type = v.type;
  if (data != nullptr) *data = std::move(v.data);
  return 1;
}

int WriteValue(KeyHandle key, const std::string& valueName, unsigned type,
               const std::string& data) {
  if (key == nullptr || !key->writable || !platform::IsValidValueName(valueName)) return 0;
  bool ok =
      platform::UpdateHiveFile(HivePath(key->root), RootName(key->root), [&](platform::Hive& hive) {
        // A key removed behind our back comes back rather than losing the value.
        platform::HiveKey* k = platform::AddKey(&hive, key->path);
        if (k == nullptr) return false;
        platform::SetValue(k, valueName, type, data);
        return true;
      });
  return ok ? 1 : 0;
}

int ReadDwordValue(KeyHandle key, const std::string& valueName, int defaultValue) {
  platform::HiveValue v;
  if (!FindStoredValue(key, valueName, &v) || v.data.size() < 4) return defaultValue;
  uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = n * 256 + static_cast<unsigned char>(v.data[i]);
  return static_cast<int>(n);
}

int WriteDwordValue(KeyHandle key, const std::string& valueName, int value) {
  uint32_t n = static_cast<uint32_t>(value);
  std::string data = {static_cast<char>(n & 0xff), static_cast<char>((n >> 8) & 0xff),
                      static_cast<char>((n >> 16) & 0xff), static_cast<char>(n >> 24)};
  return WriteValue(key, valueName, kRegDword, data);
}

int ReadStringValue(KeyHandle key, const std::string& valueName, std::string* value,
                    size_t bufferSize) {
  if (value == nullptr) return 0;
  value->clear();
  platform::HiveValue v;
  if (!FindStoredValue(key, valueName, &v)) return 0;
  // The text ends at the first NUL; stored bytes without one still need room
  // for the terminator.
  size_t textLength = strnlen(v.data.data(), v.data.size());
  if (v.data.size() > bufferSize || textLength + 1 > bufferSize) return 0;
  value->assign(v.data, 0, textLength);
  return 1;
}

int WriteStringValue(KeyHandle key, const std::string& valueName, const std::string& text) {
  // A C string ends at its first NUL.
  std::string data(text.c_str());
  data.push_back('\0');
  return WriteValue(key, valueName, kRegSz, data);
}

int WriteBinaryValue(KeyHandle key, const std::string& valueName, const std::string& data) {
  return WriteValue(key, valueName, kRegBinary, data);
}

int ListSubkeys(RegistryRoot root, const std::string& keyPath, std::vector<std::string>* names,
                int slots) {
  if (names == nullptr) return 0;
  names->clear();
  platform::Hive hive;
  if (slots <= 0 || !ReadHive(root, &hive)) return 0;
  for (std::string& name : platform::SubkeyNames(hive, keyPath)) {
    if (static_cast<int>(names->size()) == slots) break;
    if (name.size() > kSubkeySlotBytes - 1) name.resize(kSubkeySlotBytes - 1);
    names->push_back(std::move(name));
  }
  return static_cast<int>(names->size());
}

}  // namespace scrivex
