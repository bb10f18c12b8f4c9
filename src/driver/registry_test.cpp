#include "driver/registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace scrivex {
namespace {

// Every test gets an empty state root of its own.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = std::filesystem::temp_directory_path() /
            ("scrivex-registry-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(root_);
    setenv("SCRIVEX_HOME", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SCRIVEX_HOME");
    std::filesystem::remove_all(root_);
  }
  std::string Hive(const std::string& name) {
    std::ifstream in(root_ / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void WriteHive(const std::string& name, const std::string& text) {
    std::ofstream(root_ / name, std::ios::binary) << text;
  }
  std::filesystem::path root_;
};

TEST_F(Registry, ValuesRoundTripWithNamesInAnyCase) {
  KeyHandle key = CreateUserKey("Software\\brindle\\quire");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(WriteDwordValue(key, "Bitcount", 24), 1);
  EXPECT_EQ(WriteDwordValue(key, "Permission", -4), 1);
  EXPECT_EQ(WriteStringValue(key, "Title", "Quarterly \"report\" C:\\x"), 1);
  EXPECT_EQ(WriteBinaryValue(key, "Blob", std::string("\0\1\2", 3)), 1);
  EXPECT_EQ(WriteStringValue(key, "", "default"), 1);
  EXPECT_EQ(CloseKey(key), 0);

  key = OpenUserKey("SOFTWARE\\Brindle\\Quire");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(ReadDwordValue(key, "BITCOUNT", 0), 24);
  EXPECT_EQ(ReadDwordValue(key, "permission", 0), -4);
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "title", &text, 256), 1);
  EXPECT_EQ(text, "Quarterly \"report\" C:\\x");
  EXPECT_EQ(ReadStringValue(key, "", &text, 256), 1);
  EXPECT_EQ(text, "default");
  unsigned type = 0;
  std::string data;
  EXPECT_EQ(ReadValue(key, "blob", &type, &data), 1);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(data, std::string("\0\1\2", 3));
  EXPECT_EQ(ReadValue(key, "Title", &type, &data), 1);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(data.size(), 24u);  // the text and its terminator
  EXPECT_EQ(ReadDwordValue(key, "missing", 77), 77);
  EXPECT_EQ(ReadStringValue(key, "missing", &text, 256), 0);
  // Read access only.
  EXPECT_EQ(WriteDwordValue(key, "Bitcount", 8), 0);
  EXPECT_EQ(CloseKey(key), 0);

  EXPECT_NE(Hive("user.reg")
                .find("[HKEY_CURRENT_USER\\Software\\brindle\\quire]\n"
                      "\"Bitcount\"=dword:00000018\n"
                      "\"Permission\"=dword:fffffffc\n"),
            std::string::npos)
      << Hive("user.reg");
  EXPECT_FALSE(std::filesystem::exists(root_ / "machine.reg"));
}

TEST_F(Registry, RootsAreSeparateHives) {
  KeyHandle key = CreateKey(RegistryRoot::kLocalMachine, "SOFTWARE\\GPL Ghostscript\\10.0");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(WriteStringValue(key, "GS_LIB", "/usr/share/ghostscript"), 1);
  CloseKey(key);
  key = CreateKey(RegistryRoot::kClassesRoot, ".docx\\shell\\print\\command");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(WriteStringValue(key, "", "soffice -p \"%1\""), 1);
  CloseKey(key);

  EXPECT_EQ(OpenUserKey("SOFTWARE\\GPL Ghostscript"), nullptr);
  key = OpenMachineKey("software\\gpl ghostscript\\10.0");
  ASSERT_NE(key, nullptr);
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "gs_lib", &text, 1024), 1);
  EXPECT_EQ(text, "/usr/share/ghostscript");
  CloseKey(key);
  key = OpenKey(RegistryRoot::kClassesRoot, ".DOCX\\shell\\print\\command");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(ReadStringValue(key, "", &text, 1024), 1);
  EXPECT_EQ(text, "soffice -p \"%1\"");
  CloseKey(key);
  EXPECT_NE(Hive("classes.reg").find("[HKEY_CLASSES_ROOT\\.docx\\shell\\print\\command]\n@="),
            std::string::npos);
  EXPECT_NE(Hive("machine.reg").find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\GPL Ghostscript\\10.0]"),
            std::string::npos);
  // Parents of a created key exist.
  key = OpenMachineKey("SOFTWARE");
  EXPECT_NE(key, nullptr);
  CloseKey(key);
  EXPECT_EQ(CloseKey(nullptr), 6);
}

TEST_F(Registry, DwordReadsFourBytesOfAnyType) {
  KeyHandle key = CreateUserKey("k");
  ASSERT_NE(key, nullptr);
  WriteStringValue(key, "text", "abcdefgh");
  WriteStringValue(key, "three", "abc");  // 4 bytes with the terminator
  WriteStringValue(key, "two", "ab");
  WriteBinaryValue(key, "bin", std::string("\x01\x02\x03\x04\x05", 5));
  WriteBinaryValue(key, "short", std::string("\x01\x02", 2));
  EXPECT_EQ(ReadDwordValue(key, "text", -1), 0x64636261);
  EXPECT_EQ(ReadDwordValue(key, "three", -1), 0x00636261);
  EXPECT_EQ(ReadDwordValue(key, "two", -1), -1);
  EXPECT_EQ(ReadDwordValue(key, "bin", -1), 0x04030201);
  EXPECT_EQ(ReadDwordValue(key, "short", -1), -1);
  EXPECT_EQ(ReadDwordValue(nullptr, "text", 9), 9);
  // And a number read as a string gives its bytes.
  WriteDwordValue(key, "num", 0x00434241);
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "num", &text, 5), 1);
  EXPECT_EQ(text, "ABC");
  CloseKey(key);
}

TEST_F(Registry, StringsThatDoNotFitFail) {
  KeyHandle key = CreateUserKey("k");
  ASSERT_NE(key, nullptr);
  WriteStringValue(key, "forty", std::string(40, 'x'));
  WriteStringValue(key, "thirty-one", std::string(31, 'y'));
  WriteStringValue(key, "thirty-two", std::string(32, 'z'));
  std::string text = "old";
  EXPECT_EQ(ReadStringValue(key, "forty", &text, 32), 0);
  EXPECT_EQ(ReadStringValue(key, "thirty-two", &text, 32), 0);
  EXPECT_EQ(ReadStringValue(key, "thirty-one", &text, 32), 1);
  EXPECT_EQ(text, std::string(31, 'y'));
  // Four stored bytes without a terminator need a fifth byte.
  WriteDwordValue(key, "num", 0x44434241);
  EXPECT_EQ(ReadStringValue(key, "num", &text, 4), 0);
  EXPECT_EQ(ReadStringValue(key, "num", &text, 5), 1);
  EXPECT_EQ(text, "ABCD");
  // Text stops at an embedded NUL, as a C string would.
  EXPECT_EQ(WriteStringValue(key, "nul", std::string("ab\0cd", 5)), 1);
  EXPECT_EQ(ReadStringValue(key, "nul", &text, 32), 1);
  EXPECT_EQ(text, "ab");
  CloseKey(key);
}

TEST_F(Registry, ListSubkeysSortedAndBoundedBySlots) {
  for (int i = 119; i >= 0; --i) {
    char name[16];
    std::snprintf(name, sizeof name, "v%03d", i);
    KeyHandle key = CreateKey(RegistryRoot::kLocalMachine, std::string("SOFTWARE\\Many\\") + name);
    ASSERT_NE(key, nullptr);
    CloseKey(key);
  }
  std::vector<std::string> names;
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\Many", &names, 100), 100);
  ASSERT_EQ(names.size(), 100u);
  EXPECT_EQ(names.front(), "v000");
  EXPECT_EQ(names.back(), "v099");
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "software\\many", &names, 200), 120);
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\None", &names, 100), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(ListSubkeys(RegistryRoot::kCurrentUser, "SOFTWARE\\Many", &names, 100), 0);
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\Many", &names, 0), 0);
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\Many", nullptr, 10), 0);

  KeyHandle key = CreateUserKey("Gs\\" + std::string(150, 'n'));
  ASSERT_NE(key, nullptr);
  CloseKey(key);
  key = CreateUserKey("GS\\b");
  CloseKey(key);
  key = CreateUserKey("gs\\A");
  CloseKey(key);
  EXPECT_EQ(ListSubkeys(RegistryRoot::kCurrentUser, "GS", &names, 100), 3);
  EXPECT_EQ(names[0], "A");
  EXPECT_EQ(names[1], "b");
  EXPECT_EQ(names[2], std::string(99, 'n'));
}

TEST_F(Registry, HandEditedHiveIsReadAsFarAsValid) {
  WriteHive("machine.reg",
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\AFPL Ghostscript\\8.54]\r\n"
            "\"GS_DLL\"=\"/opt/gs/bin/gsdll32.dll\"\r\n"
            "\"GS_LIB\"=\"/opt/gs/lib\r\n"  // cut short
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AFPL Ghostscript\\8.60]\r\n"
            "\"GS_DLL\"=\"/opt/gs2/bin/gsdll32.dll\"\r\n"
            "\"GS_LIB\"=\"/opt/gs2/li");
  std::vector<std::string> names;
  EXPECT_EQ(ListSubkeys(RegistryRoot::kLocalMachine, "SOFTWARE\\AFPL Ghostscript", &names, 100), 2);
  KeyHandle key = OpenMachineKey("SOFTWARE\\AFPL Ghostscript\\8.54");
  ASSERT_NE(key, nullptr);
  std::string text;
  EXPECT_EQ(ReadStringValue(key, "GS_DLL", &text, 1024), 1);
  EXPECT_EQ(text, "/opt/gs/bin/gsdll32.dll");
  EXPECT_EQ(ReadStringValue(key, "GS_LIB", &text, 1024), 0);
  CloseKey(key);
}

// Threads write through their own handles at once; with the processes test
// of the store this covers writers that share nothing but the files.
TEST_F(Registry, ConcurrentWritesAreAllKept) {
  constexpr int kThreads = 4, kWrites = 25;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      KeyHandle key = CreateUserKey("Software\\brindle\\quire");
      for (int i = 0; i < kWrites; ++i) {
        if (WriteDwordValue(key, "t" + std::to_string(t) + "_" + std::to_string(i), t * 100 + i) !=
            1) {
          ++failures;
        }
      }
      CloseKey(key);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  KeyHandle key = OpenUserKey("Software\\brindle\\quire");
  ASSERT_NE(key, nullptr);
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(ReadDwordValue(key, "t" + std::to_string(t) + "_" + std::to_string(i), -1),
                t * 100 + i);
    }
  }
  CloseKey(key);
}

TEST_F(Registry, BadNamesAndHandlesFail) {
  EXPECT_EQ(CreateUserKey("a\nb"), nullptr);
  EXPECT_EQ(OpenUserKey("nothing"), nullptr);
  EXPECT_EQ(WriteDwordValue(nullptr, "x", 1), 0);
  EXPECT_EQ(WriteStringValue(nullptr, "x", "y"), 0);
  KeyHandle key = CreateUserKey("k");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(WriteStringValue(key, "line\nbreak", "y"), 0);
  std::string text;
  EXPECT_EQ(ReadStringValue(nullptr, "x", &text, 10), 0);
  EXPECT_EQ(ReadStringValue(key, "x", nullptr, 10), 0);
  CloseKey(key);
}

}  // namespace
}  // namespace scrivex
