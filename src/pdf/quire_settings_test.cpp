#include "pdf/quire_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "driver/registry.h"

namespace scrivex {
namespace {

class QuireSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = std::filesystem::temp_directory_path() /
            ("scrivex-quire-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(root_);
    setenv("SCRIVEX_HOME", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SCRIVEX_HOME");
    std::filesystem::remove_all(root_);
  }
  std::string UserHive() {
    std::ifstream in(root_ / "user.reg", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Stores one value under the settings key through the registry functions.
  void StoreDword(const std::string& name, int value) {
    KeyHandle key = CreateUserKey(kQuireSettingsKey);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(WriteDwordValue(key, name, value), 1);
    CloseKey(key);
  }
  void StoreString(const std::string& name, const std::string& text) {
    KeyHandle key = CreateUserKey(kQuireSettingsKey);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(WriteStringValue(key, name, text), 1);
    CloseKey(key);
  }
  std::filesystem::path root_;
};

TEST_F(QuireSettingsTest, NoKeyLoadsDefaultsAndCreatesAllValues) {
  QuireSettings s;
  s.title = "stale";
  s.scale = 7;
  LoadQuireSettings(&s);
  EXPECT_EQ(s, QuireSettings{});
  EXPECT_EQ(s.title, "");
  // All 41 values, in the order they are saved, with their types and defaults.
  EXPECT_EQ(UserHive(),
            "REGEDIT4\n\n"
            "[HKEY_CURRENT_USER\\Software]\n\n"
            "[HKEY_CURRENT_USER\\Software\\brindle]\n\n"
            "[HKEY_CURRENT_USER\\Software\\brindle\\quire]\n"
            "\"disable\"=dword:00000000\n"
            "\"CompressText\"=dword:00000001\n"
            "\"Compress_AutoZoomImages\"=dword:00000000\n"
            "\"Compress_ColorImages\"=dword:00000001\n"
            "\"Compress_MonoColorImages\"=dword:00000000\n"
            "\"Links_IsEnable\"=dword:00000001\n"
            "\"Links_BoderColor\"=dword:000000ff\n"
            "\"Links_BoderType\"=dword:00000000\n"
            "\"Links_LineStyle\"=dword:00000000\n"
            "\"Links_LineSize\"=dword:00000000\n"
            "\"General_PageRotateAngle\"=dword:00000000\n"
            "\"General_OptimizeWeb\"=dword:00000000\n"
            "\"AutoExec\"=dword:00000000\n"
            "\"AutoExecProgram\"=\"\"\n"
            "\"AutoView\"=dword:00000000\n"
            "\"OutFileType\"=dword:00000000\n"
            "\"DefaultCharWidth\"=dword:00000006\n"
            "\"Unit\"=dword:00000001\n"
            "\"PageSelect\"=dword:00000001\n"
            "\"PageSize\"=dword:00000007\n"
            "\"PageW\"=dword:00000000\n"
            "\"PageH\"=dword:00000000\n"
            "\"Margin\"=dword:00000000\n"
            "\"Orientation\"=dword:00000001\n"
            "\"xResolution\"=dword:0000012c\n"
            "\"yResolution\"=dword:0000012c\n"
            "\"Compatible\"=dword:00000001\n"
            "\"Scale\"=dword:00000064\n"
            "\"Title\"=\"\"\n"
            "\"Subject\"=\"\"\n"
            "\"Author\"=\"\"\n"
            "\"Keywords\"=\"\"\n"
            "\"Encryption\"=dword:00000000\n"
            "\"Permission\"=dword:fffffffc\n"
            "\"EncryBits\"=dword:00000005\n"
            "\"OwnerPass\"=\"\"\n"
            "\"UserPass\"=\"\"\n"
            "\"AutomaticOutput\"=dword:00000000\n"
            "\"AutomaticValue\"=dword:00000002\n"
            "\"AutomaticDirectory\"=\"\"\n"
            "\"Bitcount\"=dword:00000018\n");
}

TEST_F(QuireSettingsTest, EncryBitsOtherThanFiveOrSixteenLoadsAsFive) {
  StoreDword("EncryBits", 7);
  QuireSettings s;
  LoadQuireSettings(&s);
  EXPECT_EQ(s.encryBits, 5);
  StoreDword("EncryBits", 16);
  LoadQuireSettings(&s);
  EXPECT_EQ(s.encryBits, 16);
  StoreDword("EncryBits", 0);
  LoadQuireSettings(&s);
  EXPECT_EQ(s.encryBits, 5);
}

TEST_F(QuireSettingsTest, EveryFieldRoundTrips) {
  QuireSettings s;
  int n = 1000;
  // Distinct values everywhere, so a field saved under another's name shows.
  for (int* f : {&s.disable,
                 &s.unit,
                 &s.pageSelect,
                 &s.pageSize,
                 &s.pageW,
                 &s.pageH,
                 &s.margin,
                 &s.orientation,
                 &s.scale,
                 &s.xResolution,
                 &s.yResolution,
                 &s.compatible,
                 &s.permission,
                 &s.encryption,
                 &s.automaticOutput,
                 &s.automaticValue,
                 &s.generalOptimizeWeb,
                 &s.autoView,
                 &s.outFileType,
                 &s.defaultCharWidth,
                 &s.autoExec,
                 &s.compressText,
                 &s.compressAutoZoomImages,
                 &s.compressColorImages,
                 &s.compressMonoColorImages,
                 &s.linksIsEnable,
                 &s.linksBoderColor,
                 &s.linksBoderType,
                 &s.linksLineStyle,
                 &s.linksLineSize,
                 &s.generalPageRotateAngle,
                 &s.bitcount}) {
    *f = n++;
  }
  s.encryBits = 16;
  s.title = "Title text";
  s.subject = "Subject text";
  s.author = "Author text";
  s.keywords = "Keywords text";
  s.ownerPass = "owner";
  s.userPass = "user";
  s.automaticDirectory = "/out/dir/report.pdf";
  s.autoExecProgram = "/usr/bin/viewer";
  EXPECT_EQ(SaveQuireSettings(s), 1);
  QuireSettings back;
  LoadQuireSettings(&back);
  EXPECT_EQ(back, s);
}

TEST_F(QuireSettingsTest, StoredValuesSurviveAJob) {
  StoreString("Title", "Kept title");
  StoreDword("Scale", 50);
  QuireSettings s;
  LoadQuireSettings(&s);
  EXPECT_EQ(s.title, "Kept title");
  EXPECT_EQ(s.scale, 50);
  // Values that were not stored keep their defaults, and loading an existing
  // key does not add them.
  EXPECT_EQ(s.bitcount, 24);
  EXPECT_EQ(s.permission, -4);
  EXPECT_EQ(UserHive().find("Bitcount"), std::string::npos);
  // What a job does: change its own values and save.
  s.automaticOutput = 1;
  s.automaticValue = 2;
  s.autoView = 0;
  s.automaticDirectory = "/tmp/out.pdf";
  EXPECT_EQ(SaveQuireSettings(s), 1);
  QuireSettings again;
  LoadQuireSettings(&again);
  EXPECT_EQ(again.title, "Kept title");
  EXPECT_EQ(again.scale, 50);
  EXPECT_EQ(again.automaticDirectory, "/tmp/out.pdf");
  EXPECT_EQ(again.automaticOutput, 1);
}

TEST_F(QuireSettingsTest, TextsTooLongForTheirFieldsLoadEmpty) {
  StoreString("Title", std::string(255, 't'));
  StoreString("Subject", std::string(256, 's'));
  StoreString("OwnerPass", std::string(31, 'o'));
  StoreString("UserPass", std::string(32, 'u'));
  StoreString("AutomaticDirectory", std::string(256, 'd'));
  StoreString("AutoExecProgram", std::string(300, 'p'));
  QuireSettings s;
  LoadQuireSettings(&s);
  EXPECT_EQ(s.title, std::string(255, 't'));
  EXPECT_EQ(s.subject, "");
  EXPECT_EQ(s.ownerPass, std::string(31, 'o'));
  EXPECT_EQ(s.userPass, "");
  EXPECT_EQ(s.automaticDirectory, "");
  EXPECT_EQ(s.autoExecProgram, "");
}

TEST_F(QuireSettingsTest, ValuesOfAnotherTypeAreReadAsTheirBytes) {
  // A number stored as text gives its first four bytes; a short one the default.
  StoreString("Bitcount", "\x08");  // 2 bytes with the terminator
  StoreString("Scale", "\x32");
  StoreString("xResolution", "X\x02\x01");  // 58 02 01 00
  StoreDword("Title", 0x00636261);
  QuireSettings s;
  LoadQuireSettings(&s);
  EXPECT_EQ(s.bitcount, 24);
  EXPECT_EQ(s.scale, 100);
  EXPECT_EQ(s.xResolution, 0x00010258);
  EXPECT_EQ(s.title, "abc");
}

}  // namespace
}  // namespace scrivex
