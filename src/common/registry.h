// Registry access: plain calls over the hive store that report failure by
// their result, never by a message.
#ifndef SCRIVEX_COMMON_REGISTRY_H_
#define SCRIVEX_COMMON_REGISTRY_H_

#include <string>
#include <vector>

namespace scrivex {

enum class RegistryRoot { kLocalMachine, kCurrentUser, kClassesRoot };

// An open key; none when invalid. Owned by the caller, closed with CloseKey.
struct RegistryKey;
using KeyHandle = RegistryKey*;

KeyHandle OpenUserKey(const std::string& keyPath);
KeyHandle OpenMachineKey(const std::string& keyPath);
KeyHandle CreateUserKey(const std::string& keyPath);
int CloseKey(KeyHandle key);

int ReadDwordValue(KeyHandle key, const std::string& valueName, int defaultValue);
int WriteDwordValue(KeyHandle key, const std::string& valueName, int value);
// Fails (0) when the value, with its terminator, does not fit in bufferSize bytes.
int ReadStringValue(KeyHandle key, const std::string& valueName, std::string* value,
                    size_t bufferSize);
int WriteStringValue(KeyHandle key, const std::string& valueName, const std::string& text);

constexpr size_t kSubkeySlotBytes = 100;
// Copies at most `slots` subkey names (each cut to 99 characters) into names.
int ListSubkeys(RegistryRoot root, const std::string& keyPath, std::vector<std::string>* names,
                int slots);

// Any root. Keys live in the state root's hives: "machine.reg", "user.reg" and
// "classes.reg". An empty path names the root key itself. Reads see the hive
// as it is at each call.
KeyHandle OpenKey(RegistryRoot root, const std::string& keyPath);    // read access
KeyHandle CreateKey(RegistryRoot root, const std::string& keyPath);  // creates the parents too

// Value types as stored.
constexpr unsigned kRegSz = 1;
constexpr unsigned kRegBinary = 3;
constexpr unsigned kRegDword = 4;

// Raw access: the stored type and bytes (a REG_SZ's bytes end with its terminator).
int ReadValue(KeyHandle key, const std::string& valueName, unsigned* type, std::string* data);
int WriteValue(KeyHandle key, const std::string& valueName, unsigned type, const std::string& data);
int WriteBinaryValue(KeyHandle key, const std::string& valueName, const std::string& data);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_REGISTRY_H_
