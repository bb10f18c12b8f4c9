#include "servers/office_bridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/path.h"
#include "platform/test_support.h"
#include "servers/office_bridge_fake.h"

namespace scrivex {
namespace {

using test::FakeOffice;
using test::FakeRequest;
using test::ReadBytes;
using test::ReadFakeRequest;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Names that break a line protocol unless each field is encoded: a tab, a
// percent sign before hex digits, a plus, non-ASCII letters.
constexpr const char* kAwkwardName = "tab\there 100% 50%41 \xC3\xBCn+i.doc";

TEST(OfficeBridge, AnExportsFieldsReachTheHelperAsGiven) {
  std::string why;
  FakeOffice office;
  const std::string document = office.Document(kAwkwardName, "ok 4");
  const std::string pdf = office.dir().Path("out\t%41 \xC3\xA9.pdf");
  OfficeExportOptions options;
  options.pageRange = "2-3,5";
  options.parts = {3, 1};
  options.scalePercent = 150;
  options.sheetPaper = {{2, {21000, 29700}}, {1, {10, 20}}};
  int parts = -1;
  ASSERT_EQ(ExportOfficePdf(document, pdf, options, &parts, &why), 1) << why;
  EXPECT_EQ(parts, 4);
  const FakeRequest first = ReadFakeRequest(pdf);
  ASSERT_EQ(first.fields.size(), 7u);
  EXPECT_EQ(first.fields[0], "export");
  // The helper gets a copy of the document under its own name and writes
  // its PDF beside it.
  const platform::PathParts input = platform::SplitPath(first.fields[1]);
  EXPECT_EQ(input.name + input.ext, kAwkwardName);
  EXPECT_EQ(first.fields[2], input.dir + "printed.pdf");
  EXPECT_EQ(first.fields[3], "2-3,5");
  EXPECT_EQ(first.fields[4], "3,1");
  EXPECT_EQ(first.fields[5], "150");
  EXPECT_EQ(first.fields[6], "1:10x20,2:21000x29700");

  // The kept helper takes the next document; no papers, no field for them.
  const std::string plain = office.dir().Path("plain.pdf");
  ASSERT_EQ(ExportOfficePdf(office.Document("plain.doc", "ok"), plain, {}, &parts, &why), 1);
  EXPECT_EQ(parts, 0);
  const FakeRequest second = ReadFakeRequest(plain);
  EXPECT_EQ(second.peer, first.peer);
  EXPECT_EQ(second.served, 2);
  EXPECT_EQ(second.fields,
            (std::vector<std::string>{"export", second.fields[1], second.fields[2], "", "", "0"}));

  // An inspection's answer is decoded field by field.
  OfficeDocumentInfo info;
  ASSERT_EQ(InspectOfficeDocument(office.Document("book.xls",
                                                  "ok\nworkbook\n2\nSum\t50% \xC3\xA9\n1\n0\n2\n1\n"
                                                  "3\nEmpty\n0\n1\n0\n0\n0"),
                                  &info, &why),
            1)
      << why;
  EXPECT_EQ(info.kind, "workbook");
  EXPECT_EQ(info.partCount, 2);
  ASSERT_EQ(info.sheets.size(), 2u);
  EXPECT_EQ(info.sheets[0].name, "Sum\t50% \xC3\xA9");
  EXPECT_TRUE(info.sheets[0].constants);
  EXPECT_FALSE(info.sheets[0].formulas);
  EXPECT_EQ(info.sheets[0].charts, 2);
  EXPECT_EQ(info.sheets[0].drawnObjects, 1);
  EXPECT_EQ(info.sheets[0].shapes, 3);
  EXPECT_EQ(info.sheets[1].name, "Empty");
  EXPECT_TRUE(info.sheets[1].formulas);

  // What the export filter cannot take never reaches the helper.
  OfficeExportOptions bad[3];
  bad[0].pageRange = "1;3";
  bad[1].parts = {0};
  bad[2].sheetPaper = {{1, {0, 100}}};
  for (const OfficeExportOptions& o : bad)
    EXPECT_EQ(ExportOfficePdf(document, plain, o, nullptr, &why), -1);
  EXPECT_EQ(ReadFakeRequest(plain).served, 2);
}

TEST(OfficeBridge, ARefusalKeepsTheHelperAndADeathEndsIt) {
  std::string why;
  FakeOffice office;
  const std::string pdf = office.dir().Write("kept.pdf", "the earlier output");
  const std::string good = office.Document("good.doc", "ok");
  auto exportGood = [&] {
    const std::string out = office.dir().Path("good.pdf");
    EXPECT_EQ(ExportOfficePdf(good, out, {}, nullptr, &why), 1) << why;
    return ReadFakeRequest(out);
  };
  // Each failure: 0, the reason noted, the earlier output left alone.
  auto fails = [&](const std::string& name, const std::string& what) {
    why.clear();
    EXPECT_EQ(ExportOfficePdf(office.Document(name, what), pdf, {}, nullptr, &why), 0) << name;
    EXPECT_EQ(ReadBytes(pdf), "the earlier output") << name;
    return why;
  };
  const FakeRequest first = exportGood();

  EXPECT_EQ(fails("refused.doc", "error damaged: 50%41\tread"),
            "the office could not print refused.doc: damaged: 50%41\tread");
  // A refusal is no death: there is nothing to convert again.
  EXPECT_EQ(RetryWithOfficeConverter(office.dir().Path("refused.doc"), pdf, "", &why), -1);
  EXPECT_THAT(fails("empty.doc", "ok-without-pdf"),
              StartsWith("the office wrote no usable PDF for empty.doc: "));
  const FakeRequest afterRefusals = exportGood();
  EXPECT_EQ(afterRefusals.peer, first.peer);
  EXPECT_EQ(afterRefusals.served, 4);

  EXPECT_EQ(fails("fatal.doc", "fatal it crashed"),
            "the office died while it tried to print fatal.doc: it crashed");
  const FakeRequest afterFatal = exportGood();
  EXPECT_NE(afterFatal.peer, first.peer);
  EXPECT_EQ(afterFatal.served, 1);

  EXPECT_THAT(fails("crash.doc", "die"),
              StartsWith("the office ended unexpectedly: the stand-in office crashed"));
  const FakeRequest afterDeath = exportGood();
  EXPECT_NE(afterDeath.peer, afterFatal.peer);
  EXPECT_EQ(afterDeath.served, 1);

  // A kept helper whose office had died is replaced, and the document tried
  // once more in the new one.
  const std::string retried = office.dir().Path("retried.pdf");
  ASSERT_EQ(
      ExportOfficePdf(office.Document("late.doc", "gone-when-kept"), retried, {}, nullptr, &why), 1)
      << why;
  const FakeRequest afterGone = ReadFakeRequest(retried);
  EXPECT_NE(afterGone.peer, afterDeath.peer);
  EXPECT_EQ(afterGone.served, 1);
  // Gone in a new one too: no third try.
  EXPECT_EQ(fails("gone.doc", "gone it had ended"),
            "the office died while it tried to print gone.doc: it had ended");
  EXPECT_EQ(exportGood().served, 1);

  test::ScopedEnv env;
  env.Set("SCRIVEX_FAKE_OFFICE_START", "fatal no display here");
  EndOffice();
  EXPECT_EQ(fails("good.doc", "ok"), "the office did not start: no display here");
}

TEST(OfficeBridge, AHelperThatNeverAnswersIsStopped) {
  std::string why;
  FakeOffice office(2000);
  const std::string pdf = office.dir().Write("kept.pdf", "the earlier output");
  EXPECT_EQ(ExportOfficePdf(office.Document("stuck.doc", "hang"), pdf, {}, nullptr, &why), 0);
  EXPECT_THAT(why, HasSubstr("did not answer within"));
  EXPECT_EQ(ReadBytes(pdf), "the earlier output");
  EXPECT_EQ(ExportOfficePdf(office.Document("good.doc", "ok"), pdf, {}, nullptr, &why), 1) << why;
  EXPECT_EQ(ReadFakeRequest(pdf).served, 1);
}

}  // namespace
}  // namespace scrivex
