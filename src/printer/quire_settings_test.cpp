#include "printer/quire_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "common/registry.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

using namespace test;

TEST(QuireSettings, DefaultsFirstThenEveryFieldRoundTrips) {
  ScratchDir dir;
  QuireSettings s;
  s.title = "stale";
  LoadQuireSettings(&s);
  EXPECT_EQ(s, QuireSettings{});
  EXPECT_THAT(ReadBytes(dir.Path("state/user.reg")),
              ::testing::HasSubstr("\"Bitcount\"=dword:00000018"));

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

  // A stored key length other than 5 or 16 loads as 5.
  KeyHandle key = CreateUserKey(kQuireSettingsKey);
  EXPECT_EQ(WriteDwordValue(key, "EncryBits", 7), 1);
  CloseKey(key);
  LoadQuireSettings(&back);
  EXPECT_EQ(back.encryBits, 5);
}

}  // namespace
}  // namespace scrivex
