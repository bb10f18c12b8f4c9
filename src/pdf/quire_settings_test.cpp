#include "pdf/quire_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "common/registry.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

using ::testing::HasSubstr;

// A missing key is created holding the defaults; then every field comes back
// under its own name.
TEST(QuireSettings, DefaultsFirstThenEveryFieldRoundTrips) {
  test::ScratchDir dir;
  QuireSettings s;
  s.title = "stale";
  LoadQuireSettings(&s);
  EXPECT_EQ(s, QuireSettings{});
  const std::string hive = test::ReadBytes(dir.Path("state/user.reg"));
  const std::string section = "[HKEY_CURRENT_USER\\Software\\brindle\\quire]\n";
  ASSERT_NE(hive.find(section), std::string::npos) << hive;
  const std::string values = hive.substr(hive.find(section) + section.size());
  EXPECT_EQ(std::count(values.begin(), values.end(), '\n'), 41) << values;
  EXPECT_THAT(values, HasSubstr("\"Permission\"=dword:fffffffc\n"));

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

TEST(QuireSettings, StoredValuesLoadWithinTheirLimits) {
  test::ScratchDir dir;
  KeyHandle key = CreateUserKey(kQuireSettingsKey);
  EXPECT_EQ(WriteStringValue(key, "Title", "Kept title"), 1);
  EXPECT_EQ(WriteDwordValue(key, "EncryBits", 7), 1);  // neither 5 nor 16
  // Texts longer than their fields load empty.
  EXPECT_EQ(WriteStringValue(key, "Subject", std::string(256, 's')), 1);
  EXPECT_EQ(WriteStringValue(key, "OwnerPass", std::string(31, 'o')), 1);
  EXPECT_EQ(WriteStringValue(key, "UserPass", std::string(32, 'u')), 1);
  CloseKey(key);
  QuireSettings s;
  LoadQuireSettings(&s);
  EXPECT_EQ(s.title, "Kept title");
  EXPECT_EQ(s.encryBits, 5);
  EXPECT_EQ(s.bitcount, 24);
  EXPECT_EQ(s.subject + s.userPass, "");
  EXPECT_EQ(s.ownerPass, std::string(31, 'o'));
  // Loading an existing key does not add the values it lacks.
  EXPECT_THAT(test::ReadBytes(dir.Path("state/user.reg")), ::testing::Not(HasSubstr("Bitcount")));
}

}  // namespace
}  // namespace scrivex
