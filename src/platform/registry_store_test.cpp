#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace scrivex::platform {
namespace {

class HiveDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[] = "/tmp/scrivex-hive-XXXXXX";
    dir_ = std::string(mkdtemp(buf)) + "/";
    path_ = dir_ + "user.reg";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string ReadText(const std::string& path) {
    std::stringstream ss;
    ss << std::ifstream(path, std::ios::binary).rdbuf();
    return ss.str();
  }
  Hive Parse(const std::string& text, bool* clean) {
    Hive hive;
    hive.rootName = "HKEY_CURRENT_USER";
    *clean = ParseHive(text, &hive);
    return hive;
  }
  std::string dir_, path_;
};

std::string Dword(uint32_t n) {
  return {static_cast<char>(n & 0xff), static_cast<char>((n >> 8) & 0xff),
          static_cast<char>((n >> 16) & 0xff), static_cast<char>(n >> 24)};
}

TEST_F(HiveDir, FormatsRegedit4AndParsesItBack) {
  Hive hive;
  hive.rootName = "HKEY_CURRENT_USER";
  HiveKey* k = AddKey(&hive, "Software\\brindle\\quire");
  ASSERT_NE(k, nullptr);
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
  const HiveKey* b = FindKey(back, "SOFTWARE\\Brindle\\QUIRE");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->path, "Software\\brindle\\quire");
  EXPECT_EQ(b->values.size(), k->values.size());
  EXPECT_EQ(FindValue(*b, "blob")->data, blob);
  EXPECT_EQ(FormatHive(back), text);
}

TEST_F(HiveDir, DamagedTextIsReadAsFarAsItIsValid) {
  bool clean = true;
  Hive hive = Parse(
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"good\"=dword:00000001\n"
      "garbage line\n\"bad\"=dword:xyz\n\"half\"=\"unterminated\n"
      "\x01\x02\xff\n[HKEY_LOCAL_MACHINE\\foreign]\n\"f\"=dword:1\n"
      "[HKEY_CURRENT_USER\\k]\n\"after\"=\"ok\"\n\"hex\"=hex:01,02,\\\n  03\n\"cut\"=hex:01,\\",
      &clean);
  EXPECT_FALSE(clean);
  const HiveKey* k = FindKey(hive, "k");
  ASSERT_NE(k, nullptr);
  EXPECT_NE(FindValue(*k, "good"), nullptr);
  for (const char* lost : {"bad", "half", "f", "cut"}) EXPECT_EQ(FindValue(*k, lost), nullptr);
  EXPECT_EQ(FindKey(hive, "HKEY_LOCAL_MACHINE\\foreign"), nullptr);
  EXPECT_EQ(FindValue(*k, "after")->data, std::string("ok") + '\0');
  EXPECT_EQ(FindValue(*k, "hex")->data, "\x01\x02\x03");

  // Written by an editor: byte order mark, CRLF, the newer header, comments.
  hive = Parse(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; note\r\n[k]\r\n"
      "\"a\"=\"x\"\r\n\"@\"=dword:1\r\n@=\"d\"\r\n",
      &clean);
  EXPECT_TRUE(clean);
  k = FindKey(hive, "k");
  ASSERT_EQ(k->values.size(), 3u);
  EXPECT_EQ(FindValue(*k, "a")->data, std::string("x") + '\0');
  EXPECT_EQ(FindValue(*k, "@")->type, kRegDword);
  EXPECT_EQ(FindValue(*k, "")->data, std::string("d") + '\0');
}

TEST_F(HiveDir, UpdateKeepsADamagedOriginalAndRewritesCleanly) {
  const std::string damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\k]\n\"v\"=dword:00000007\n\"x\"=\"t";
  std::ofstream(path_, std::ios::binary) << damaged;
  Hive hive;
  hive.rootName = "HKEY_CURRENT_USER";
  EXPECT_EQ(ReadHiveFile(path_, &hive), HiveReadResult::kDamaged);
  ASSERT_TRUE(UpdateHiveFile(path_, "HKEY_CURRENT_USER", [](Hive& h) {
    SetValue(AddKey(&h, "k"), "w", kRegDword, Dword(8));
    return true;
  }));
  EXPECT_EQ(ReadText(path_ + ".damaged"), damaged);
  EXPECT_EQ(ReadHiveFile(path_, &hive), HiveReadResult::kRead);
  EXPECT_EQ(FindValue(*FindKey(hive, "k"), "v")->data, Dword(7));
  EXPECT_EQ(FindValue(*FindKey(hive, "k"), "w")->data, Dword(8));
}

TEST_F(HiveDir, MissingFileIsEmptyAndARefusedChangeWritesNothing) {
  Hive hive;
  EXPECT_EQ(ReadHiveFile(path_, &hive), HiveReadResult::kMissing);
  EXPECT_EQ(hive.keys.size(), 1u);  // the root
  EXPECT_FALSE(UpdateHiveFile(path_, "HKEY_CURRENT_USER", [](Hive&) { return false; }));
  EXPECT_FALSE(std::filesystem::exists(path_));
  EXPECT_TRUE(UpdateHiveFile(path_, "HKEY_CURRENT_USER",
                             [](Hive& h) { return AddKey(&h, "a\\b") != nullptr; }));
  EXPECT_EQ(std::filesystem::status(path_).permissions() & std::filesystem::perms::group_read,
            std::filesystem::perms::none);
  EXPECT_EQ(ReadText(path_), "REGEDIT4\n\n[HKEY_CURRENT_USER\\a]\n\n[HKEY_CURRENT_USER\\a\\b]\n");
  // A directory where the hive should be cannot be read: nothing is replaced.
  std::filesystem::create_directory(dir_ + "machine.reg");
  EXPECT_EQ(ReadHiveFile(dir_ + "machine.reg", &hive), HiveReadResult::kFailed);
  EXPECT_FALSE(UpdateHiveFile(dir_ + "machine.reg", "HKEY_LOCAL_MACHINE",
                              [](Hive& h) { return AddKey(&h, "x") != nullptr; }));
}

// Several processes, each with several threads, add values to the same key
// at once: every value must survive.
TEST_F(HiveDir, ConcurrentWritersLoseNothing) {
  constexpr int kProcesses = 4, kThreads = 3, kWrites = 15;
  auto name = [](int p, int t, int i) {
    return "v" + std::to_string(p) + "_" + std::to_string(t) + "_" + std::to_string(i);
  };
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
            if (!UpdateHiveFile(path_, "HKEY_CURRENT_USER", [&](Hive& h) {
                  SetValue(AddKey(&h, "Shared\\Key"), name(p, t, i), kRegDword,
                           Dword(p * 1000 + i));
                  return true;
                })) {
              ok = false;
            }
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
  Hive hive;
  hive.rootName = "HKEY_CURRENT_USER";
  ASSERT_EQ(ReadHiveFile(path_, &hive), HiveReadResult::kRead) << ReadText(path_);
  const HiveKey* k = FindKey(hive, "shared\\key");
  ASSERT_NE(k, nullptr);
  // Names are distinct, so the count shows any lost update.
  EXPECT_EQ(k->values.size(), static_cast<size_t>(kProcesses * kThreads * kWrites));
  EXPECT_EQ(FindValue(*k, name(3, 2, 14))->data, Dword(3014));
  for (const auto& e : std::filesystem::directory_iterator(dir_)) {  // no temporary left
    std::string n = e.path().filename();
    EXPECT_TRUE(n == "user.reg" || n == "user.reg.lock") << n;
  }
}

}  // namespace
}  // namespace scrivex::platform
