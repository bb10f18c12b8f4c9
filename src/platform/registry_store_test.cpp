#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/test_support.h"

namespace scrivex::platform {
namespace {

using test::ReadBytes;

std::string Dword(uint32_t n) { return std::string(reinterpret_cast<const char*>(&n), 4); }

Hive Parse(const std::string& text, bool* clean) {
  Hive hive{"HKEY_CURRENT_USER", {}};
  *clean = ParseHive(text, &hive);
  return hive;
}

TEST(HiveText, FormatsRegedit4AndParsesItBack) {
  Hive hive{"HKEY_CURRENT_USER", {}};
  HiveKey* k = AddKey(&hive, "Software\\brindle\\quire");
  SetValue(k, "Title", kRegSz, "old");
  SetValue(k, "Bits", kRegDword, Dword(0x2a));
  SetValue(k, "TITLE", kRegSz, std::string("a \"q\" \\ b") + '\0');  // same value, first spelling
  SetValue(k, "", kRegSz, std::string("def") + '\0');
  SetValue(k, "Lines", kRegSz, std::string("two\nlines") + '\0');
  std::string blob;
  for (int i = 0; i < 300; ++i) blob.push_back(static_cast<char>(i));
  SetValue(k, "Blob", kRegBinary, blob);
  std::string text = FormatHive(hive);
  EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n", 0), 0u) << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\brindle\\quire]\n"
                      "\"Title\"=\"a \\\"q\\\" \\\\ b\"\n"
                      "\"Bits\"=dword:0000002a\n"
                      "@=\"def\"\n"
                      "\"Lines\"=hex(1):74,77,6f,0a,6c,69,6e,65,73,00\n"
                      "\"Blob\"=hex:00,01,02,"),
            std::string::npos)
      << text;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  bool clean = false;
  Hive back = Parse(text, &clean);
  EXPECT_TRUE(clean);
  EXPECT_EQ(FormatHive(back), text);
}

TEST(HiveText, DamagedOrHandWrittenTextIsReadAsFarAsItIsValid) {
  bool clean = true;
  Hive hive = Parse(
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"good\"=dword:00000001\n"
      "garbage line\n\"bad\"=dword:xyz\n\"half\"=\"unterminated\n"
      "\x01\x02\xff\n[HKEY_LOCAL_MACHINE\\foreign]\n\"f\"=dword:1\n"
      "[HKEY_CURRENT_USER\\k]\n\"after\"=\"ok\"\n\"hex\"=hex:01,02,\\\n  03\n\"cut\"=hex:01,\\",
      &clean);
  EXPECT_FALSE(clean);
  EXPECT_EQ(FormatHive(hive),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"good\"=dword:00000001\n\"after\"=\"ok\"\n"
            "\"hex\"=hex:01,02,03\n");
  // Written by an editor: byte order mark, CRLF, the newer header, comments.
  hive = Parse(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; note\r\n[k]\r\n"
      "\"a\"=\"x\"\r\n\"@\"=dword:1\r\n@=\"d\"\r\n",
      &clean);
  EXPECT_TRUE(clean);
  EXPECT_EQ(FormatHive(hive),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"a\"=\"x\"\n\"@\"=dword:00000001\n@=\"d\"\n");
}

TEST(HiveFile, MissingDamagedAndRefusedChanges) {
  test::ScratchDir dir;
  const std::string path = dir.Path("user.reg");
  Hive hive{"HKEY_CURRENT_USER", {}};
  EXPECT_EQ(ReadHiveFile(path, &hive), HiveReadResult::kMissing);
  EXPECT_EQ(hive.keys.size(), 1u);  // the root
  EXPECT_FALSE(UpdateHiveFile(path, "HKEY_CURRENT_USER", [](Hive&) { return false; }));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(UpdateHiveFile(path, "HKEY_CURRENT_USER",
                             [](Hive& h) { return AddKey(&h, "a\\b") != nullptr; }));
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::group_read,
            std::filesystem::perms::none);
  EXPECT_EQ(ReadBytes(path), "REGEDIT4\n\n[HKEY_CURRENT_USER\\a]\n\n[HKEY_CURRENT_USER\\a\\b]\n");

  // A damaged hive is kept aside before the first rewrite.
  const std::string damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"v\"=dword:00000007\n\"x\"=\"t";
  dir.Write("user.reg", damaged);
  EXPECT_EQ(ReadHiveFile(path, &hive), HiveReadResult::kDamaged);
  ASSERT_TRUE(UpdateHiveFile(path, "HKEY_CURRENT_USER", [](Hive& h) {
    SetValue(AddKey(&h, "k"), "w", kRegDword, Dword(8));
    return true;
  }));
  EXPECT_EQ(ReadBytes(path + ".damaged"), damaged);
  EXPECT_EQ(ReadHiveFile(path, &hive), HiveReadResult::kRead);
  EXPECT_EQ(FindValue(*FindKey(hive, "k"), "v")->data, Dword(7));
  EXPECT_EQ(FindValue(*FindKey(hive, "k"), "w")->data, Dword(8));

  std::filesystem::create_directory(dir.Path("machine.reg"));
  EXPECT_EQ(ReadHiveFile(dir.Path("machine.reg"), &hive), HiveReadResult::kFailed);
  EXPECT_FALSE(UpdateHiveFile(dir.Path("machine.reg"), "HKEY_LOCAL_MACHINE",
                              [](Hive& h) { return AddKey(&h, "x") != nullptr; }));
}

// Several processes, each with several threads, add values to the same key
// at once: every value must survive.
TEST(HiveFile, ConcurrentWritersLoseNothing) {
  test::ScratchDir dir;
  const std::string path = dir.Path("user.reg");
  constexpr int kProcesses = 4, kThreads = 3, kWrites = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::vector<std::thread> threads;
      std::atomic<bool> ok{true};
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          for (int i = 0; i < kWrites; ++i) {
            ok = UpdateHiveFile(path, "HKEY_CURRENT_USER",
                                [&](Hive& h) {
                                  SetValue(AddKey(&h, "Shared\\Key"),
                                           std::to_string(p * 1000 + t * 100 + i), kRegSz, "");
                                  return true;
                                }) &&
                 ok;
          }
        });
      }
      for (auto& th : threads) th.join();
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Hive hive{"HKEY_CURRENT_USER", {}};
  ASSERT_EQ(ReadHiveFile(path, &hive), HiveReadResult::kRead) << ReadBytes(path);
  // Names are distinct, so the count shows any lost update.
  EXPECT_EQ(FindKey(hive, "shared\\key")->values.size(), size_t{kProcesses * kThreads * kWrites});
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"user.reg", "user.reg.lock"}));
}

}  // namespace
}  // namespace scrivex::platform
