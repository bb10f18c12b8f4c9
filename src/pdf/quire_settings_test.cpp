#include "pdf/quire_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "common/registry.h"
#include "pdf/pdf_test_support.h"

namespace scrivex {
namespace {

using ::testing::HasSubstr;

class QuireSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SCRIVEX_HOME", root_.path().c_str(), 1); }
  void TearDown() override { unsetenv("SCRIVEX_HOME"); }
  // Stores one value under the settings key through the registry functions.
  void Store(const std::string& name, int value) {
    KeyHandle key = CreateUserKey(kQuireSettingsKey);
    EXPECT_EQ(WriteDwordValue(key, name, value), 1);
    CloseKey(key);
  }
  void Store(const std::string& name, const std::string& text) {
    KeyHandle key = CreateUserKey(kQuireSettingsKey);
    EXPECT_EQ(WriteStringValue(key, name, text), 1);
    CloseKey(key);
  }
  testing::ScratchDir root_;
};

TEST_F(QuireSettingsTest, NoKeyLoadsDefaultsAndCreatesAllValues) {
  QuireSettings s;
  s.title = "stale";
  s.scale = 7;
  LoadQuireSettings(&s);
  EXPECT_EQ(s, QuireSettings{});
  const std::string hive = testing::ReadBytes(root_ / "user.reg");
  const std::string section = "[HKEY_CURRENT_USER\\Software\\brindle\\quire]\n";
  ASSERT_NE(hive.find(section), std::string::npos) << hive;
  const std::string values = hive.substr(hive.find(section) + section.size());
  EXPECT_EQ(std::count(values.begin(), values.end(), '\n'), 41) << values;
  EXPECT_EQ(values.rfind("\"disable\"=dword:00000000\n", 0), 0u);
  for (const char* row :
       {"\"Links_BoderColor\"=dword:000000ff\n", "\"Permission\"=dword:fffffffc\n",
        "\"EncryBits\"=dword:00000005\n", "\"Title\"=\"\"\n", "\"Bitcount\"=dword:00000018\n"}) {
    EXPECT_THAT(values, HasSubstr(row));
  }
}

TEST_F(QuireSettingsTest, EveryFieldRoundTrips) {
  QuireSettings s;
  int n = 1000;
  // Distinct values everywhere, so a field saved under another's name shows.
  auto number = [&n](auto&... fields) { ((fields = n++), ...); };
  number(s.disable, s.unit, s.pageSelect, s.pageSize, s.pageW, s.pageH, s.margin, s.orientation,
         s.scale, s.xResolution, s.yResolution, s.compatible, s.permission, s.encryption,
         s.automaticOutput, s.automaticValue, s.generalOptimizeWeb, s.autoView, s.outFileType,
         s.defaultCharWidth, s.autoExec, s.compressText, s.compressAutoZoomImages,
         s.compressColorImages, s.compressMonoColorImages, s.linksIsEnable, s.linksBoderColor,
         s.linksBoderType, s.linksLineStyle, s.linksLineSize, s.generalPageRotateAngle, s.bitcount);
  s.encryBits = 16;
  for (std::string* text : {&s.title, &s.subject, &s.author, &s.keywords, &s.ownerPass, &s.userPass,
                            &s.automaticDirectory, &s.autoExecProgram}) {
    *text = "text " + std::to_string(n++);
  }
  EXPECT_EQ(SaveQuireSettings(s), 1);
  QuireSettings back;
  LoadQuireSettings(&back);
  EXPECT_EQ(back, s);
}

TEST_F(QuireSettingsTest, StoredValuesSurviveAJob) {
  Store("Title", "Kept title");
  Store("EncryBits", 7);  // neither 5 nor 16
  // Texts longer than their fields load empty.
  Store("Subject", std::string(256, 's'));
  Store("OwnerPass", std::string(31, 'o'));
  Store("UserPass", std::string(32, 'u'));
  QuireSettings s;
  LoadQuireSettings(&s);
  EXPECT_EQ(s.title, "Kept title");
  EXPECT_EQ(s.encryBits, 5);
  EXPECT_EQ(s.bitcount, 24);
  EXPECT_EQ(s.subject, "");
  EXPECT_EQ(s.ownerPass, std::string(31, 'o'));
  EXPECT_EQ(s.userPass, "");
  // Loading an existing key does not add the values it lacks.
  EXPECT_THAT(testing::ReadBytes(root_ / "user.reg"), ::testing::Not(HasSubstr("Bitcount")));
  // What a job does: change its own values and save.
  s.automaticOutput = 1;
  s.automaticDirectory = "/tmp/out.pdf";
  EXPECT_EQ(SaveQuireSettings(s), 1);
  QuireSettings again;
  LoadQuireSettings(&again);
  EXPECT_EQ(again.title, "Kept title");
  EXPECT_EQ(again.automaticDirectory, "/tmp/out.pdf");
}

}  // namespace
}  // namespace scrivex
