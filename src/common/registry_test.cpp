#include "common/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace scrivex {
namespace {

// Every test gets an empty state root of its own.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root_);
    setenv("SCRIVEX_HOME", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SCRIVEX_HOME");
    std::filesystem::remove_all(root_);
  }
  const std::filesystem::path root_ =
      std::filesystem::temp_directory_path() /
      ("scrivex-registry-" + std::to_string(std::random_device()()));
};

TEST_F(Registry, ValuesRoundTripWithNamesInAnyCase) {
  KeyHandle key = CreateUserKey("Software\\brindle\\quire");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(WriteDwordValue(key, "Permission", -4), 1);
  EXPECT_EQ(WriteStringValue(key, "Title", "Quarterly \"report\" C:\\x"), 1);
  EXPECT_EQ(WriteBinaryValue(key, "Blob", std::string("\0\1\2", 3)), 1);
  EXPECT_EQ(CloseKey(key), 0);

  key = OpenUserKey("SOFTWARE\\Brindle\\Quire");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(ReadDwordValue(key, "permission", 0), -4);
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "title", &text, 256), 1);
  EXPECT_EQ(text, "Quarterly \"report\" C:\\x");
  unsigned type = 0;
  std::string data;
  EXPECT_EQ(ReadValue(key, "blob", &type, &data), 1);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(data, std::string("\0\1\2", 3));
  EXPECT_EQ(ReadDwordValue(key, "missing", 77), 77);
  EXPECT_EQ(ReadStringValue(key, "missing", &text, 256), 0);
  EXPECT_EQ(WriteDwordValue(key, "Permission", 8), 0);  // opened for reading only
  EXPECT_EQ(CloseKey(key), 0);
  EXPECT_FALSE(std::filesystem::exists(root_ / "machine.reg"));
}

TEST_F(Registry, RootsAreSeparateHives) {
  KeyHandle key = CreateKey(RegistryRoot::kLocalMachine, "SOFTWARE\\GPL Ghostscript\\10.0");
  EXPECT_EQ(WriteStringValue(key, "GS_LIB", "/usr/share/ghostscript"), 1);
  CloseKey(key);
  key = CreateKey(RegistryRoot::kClassesRoot, ".docx\\shell\\print\\command");
  EXPECT_EQ(WriteStringValue(key, "", "soffice -p \"%1\""), 1);  // the default value
  CloseKey(key);

  EXPECT_EQ(OpenUserKey("SOFTWARE\\GPL Ghostscript"), nullptr);
  key = OpenMachineKey("software\\gpl ghostscript\\10.0");
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "gs_lib", &text, 1024), 1);
  EXPECT_EQ(text, "/usr/share/ghostscript");
  CloseKey(key);
  key = OpenKey(RegistryRoot::kClassesRoot, ".DOCX\\shell");  // parents of a created key exist
  EXPECT_NE(key, nullptr);
  CloseKey(key);
}

TEST_F(Registry, ValuesReadAsTheirBytesWithinTheBuffer) {
  KeyHandle key = CreateUserKey("k");
  WriteStringValue(key, "text", "abcdefgh");
  WriteStringValue(key, "three", "abc");  // 4 bytes with the terminator
  WriteStringValue(key, "two", "ab");
  WriteBinaryValue(key, "bin", std::string("\x01\x02\x03\x04\x05", 5));
  EXPECT_EQ(ReadDwordValue(key, "text", -1), 0x64636261);
  EXPECT_EQ(ReadDwordValue(key, "three", -1), 0x00636261);
  EXPECT_EQ(ReadDwordValue(key, "two", -1), -1);
  EXPECT_EQ(ReadDwordValue(key, "bin", -1), 0x04030201);
  EXPECT_EQ(ReadDwordValue(nullptr, "text", 9), 9);

  // Strings that do not fit the buffer fail.
  WriteStringValue(key, "forty", std::string(40, 'x'));
  WriteStringValue(key, "thirty-one", std::string(31, 'y'));
  WriteStringValue(key, "thirty-two", std::string(32, 'z'));
  std::string text = "old";
  EXPECT_EQ(ReadStringValue(key, "forty", &text, 32), 0);
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

TEST_F(Registry, ListSubkeysSortedAndBoundedBySlots) {
  for (int i = 119; i >= 0; --i) {
    char name[8];
    std::snprintf(name, sizeof name, "v%03d", i);
    CloseKey(CreateKey(RegistryRoot::kLocalMachine, std::string("SOFTWARE\\Many\\") + name));
  }
  std::vector<std::string> names;
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\Many", &names, 100), 100);
  ASSERT_EQ(names.size(), 100u);
  EXPECT_EQ(names.front(), "v000");
  EXPECT_EQ(names.back(), "v099");
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "software\\many", &names, 200), 120);
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\None", &names, 100), 0);
  EXPECT_TRUE(names.empty());

  for (const std::string& name :
       {"Gs\\" + std::string(150, 'n'), std::string("GS\\b"), std::string("gs\\A")}) {
    CloseKey(CreateUserKey(name));
  }
  EXPECT_EQ(ListSubkeys(RegistryRoot::kCurrentUser, "GS", &names, 100), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b", std::string(99, 'n')}));
}

TEST_F(Registry, HandEditedHiveIsReadAsFarAsValid) {
  std::ofstream(root_ / "machine.reg", std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\AFPL Ghostscript\\8.54]\r\n"
         "\"GS_DLL\"=\"/opt/gs/bin/gsdll32.dll\"\r\n"
         "\"GS_LIB\"=\"/opt/gs/lib\r\n"  // cut short
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AFPL Ghostscript\\8.60]\r\n\"GS_LIB\"=\"/opt/gs2/li";
  std::vector<std::string> names;
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\AFPL Ghostscript", &names, 100), 2);
  KeyHandle key = OpenMachineKey("SOFTWARE\\AFPL Ghostscript\\8.54");
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "GS_DLL", &text, 1024), 1);
  EXPECT_EQ(text, "/opt/gs/bin/gsdll32.dll");
  EXPECT_EQ(ReadStringValue(key, "GS_LIB", &text, 1024), 0);
  CloseKey(key);
}

TEST_F(Registry, BadNamesAndHandlesFail) {
  EXPECT_EQ(CreateUserKey("a\nb"), nullptr);
  EXPECT_EQ(CreateUserKey(std::string("a\0b", 3)), nullptr);
  EXPECT_EQ(OpenUserKey("nothing"), nullptr);
  EXPECT_EQ(WriteStringValue(nullptr, "x", "y"), 0);
  EXPECT_EQ(CloseKey(nullptr), 6);
  KeyHandle key = CreateUserKey("k");
  EXPECT_EQ(WriteStringValue(key, "line\nbreak", "y"), 0);
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "x", nullptr, 10), 0);
  CloseKey(key);
}

}  // namespace
}  // namespace scrivex
