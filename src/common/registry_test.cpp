#include "common/registry.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"

namespace scrivex {
namespace {

// The hive text itself is checked in the platform tests.
TEST(Registry, KeysOpenInAnyCaseRootsAreSeparateBadNamesFail) {
  test::ScratchDir dir;
  KeyHandle key = CreateUserKey("Software\\brindle\\quire");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(WriteBinaryValue(key, "Blob", std::string("\0\1\2", 3)), 1);
  EXPECT_EQ(CloseKey(key), 0);
  key = OpenUserKey("SOFTWARE\\Brindle\\Quire");
  ASSERT_NE(key, nullptr);
  unsigned type = 0;
  std::string data;
  EXPECT_EQ(ReadValue(key, "blob", &type, &data), 1);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(data, std::string("\0\1\2", 3));
  EXPECT_EQ(ReadDwordValue(key, "missing", 77), 77);
  EXPECT_EQ(WriteDwordValue(key, "Permission", 8), 0);  // opened for reading only
  EXPECT_EQ(CloseKey(key), 0);

  key = CreateKey(RegistryRoot::kClassesRoot, ".docx\\shell\\print\\command");
  EXPECT_EQ(WriteStringValue(key, "", "soffice -p \"%1\""), 1);
  CloseKey(key);
  EXPECT_EQ(OpenMachineKey(".docx"), nullptr);
  key = OpenKey(RegistryRoot::kClassesRoot, ".DOCX\\shell");  // parents of a created key exist
  EXPECT_NE(key, nullptr);
  CloseKey(key);
  EXPECT_FALSE(test::ReadBytes(dir.Path("state/classes.reg")).empty());

  EXPECT_EQ(CreateUserKey("a\nb"), nullptr);
  EXPECT_EQ(CreateUserKey(std::string("a\0b", 3)), nullptr);
  EXPECT_EQ(OpenUserKey("nothing"), nullptr);
  EXPECT_EQ(WriteStringValue(nullptr, "x", "y"), 0);
  EXPECT_EQ(ReadDwordValue(nullptr, "x", 9), 9);
  EXPECT_EQ(CloseKey(nullptr), 6);
  key = CreateUserKey("k");
  EXPECT_EQ(WriteStringValue(key, "line\nbreak", "y"), 0);
  EXPECT_EQ(ReadStringValue(key, "x", nullptr, 10), 0);
  CloseKey(key);
}

TEST(Registry, ValuesReadAsTheirBytesWithinTheBuffer) {
  test::ScratchDir dir;
  KeyHandle key = CreateUserKey("k");
  WriteStringValue(key, "text", "abcdefgh");
  WriteStringValue(key, "three", "abc");  // 4 bytes with the terminator
  WriteStringValue(key, "two", "ab");
  WriteBinaryValue(key, "bin", std::string("\x01\x02\x03\x04\x05", 5));
  EXPECT_EQ(ReadDwordValue(key, "text", -1), 0x64636261);
  EXPECT_EQ(ReadDwordValue(key, "three", -1), 0x00636261);
  EXPECT_EQ(ReadDwordValue(key, "two", -1), -1);
  EXPECT_EQ(ReadDwordValue(key, "bin", -1), 0x04030201);

  // Strings that do not fit the buffer with their terminator fail.
  WriteStringValue(key, "thirty-one", std::string(31, 'y'));
  WriteStringValue(key, "thirty-two", std::string(32, 'z'));
  std::string text = "old";
  EXPECT_EQ(ReadStringValue(key, "thirty-two", &text, 32), 0);
  EXPECT_EQ(ReadStringValue(key, "thirty-one", &text, 32), 1);
  EXPECT_EQ(text, std::string(31, 'y'));
  // A number read as text: four bytes without a terminator need a fifth.
  WriteDwordValue(key, "num", 0x44434241);
  EXPECT_EQ(ReadStringValue(key, "num", &text, 4), 0);
  EXPECT_EQ(ReadStringValue(key, "num", &text, 5), 1);
  EXPECT_EQ(text, "ABCD");
  CloseKey(key);
}

TEST(Registry, ListSubkeysSortedAndBoundedBySlots) {
  test::ScratchDir dir;
  CloseKey(CreateUserKey("Gs\\" + std::string(150, 'n')));
  for (const char* name : {"GS\\b", "gs\\A"}) CloseKey(CreateUserKey(name));
  std::vector<std::string> names;
  EXPECT_EQ(ListSubkeys(RegistryRoot::kCurrentUser, "GS", &names, 2), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b"}));
  EXPECT_EQ(ListSubkeys(RegistryRoot::kCurrentUser, "gs", &names, 100), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b", std::string(99, 'n')}));
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "GS", &names, 100), 0);
  EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace scrivex
