#include "pdf/pdf_tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pdf/pdf_test_support.h"
#include "platform/process.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace scrivex::testing;
namespace fs = std::filesystem;

// The command lines as the converter builds them, split as a started program sees them.
TEST(ParsePdfToolArgumentsTest, ReadsTheConvertersCommandLines) {
  PdfToolRequest r;
  std::string error;
  auto parse = [&](const std::string& line) {
    std::vector<std::string> argv = platform::SplitCommandLine("\"/opt/tools.cfg\" " + line);
    return ParsePdfToolArguments({argv.begin() + 1, argv.end()}, &r, &error);
  };
  ASSERT_TRUE(parse("-i \"/out/my report.pdf\" \"-*\" \"1|0|/tmp/pdfA1.tmp.pdf\"")) << error;
  EXPECT_EQ(r.input, "/out/my report.pdf");
  EXPECT_EQ(r.pagesFrom, "/tmp/pdfA1.tmp.pdf");
  EXPECT_TRUE(r.atFront);
  ASSERT_TRUE(
      parse("-i \"/o/a b.pdf\" -o \"/o/a b.pdf\" -t \"Größe 'x' -a\" -a \"\" -s \"a\\b\" "
            "-k -k"))
      << error;
  EXPECT_EQ(r.output, "/o/a b.pdf");
  EXPECT_EQ(r.info.title, "Größe 'x' -a");
  EXPECT_EQ(r.info.author, "");
  EXPECT_EQ(r.info.subject, "a\\b");
  EXPECT_EQ(r.info.keywords, "-k");
  EXPECT_TRUE(r.pagesFrom.empty());
}

TEST(ParsePdfToolArgumentsTest, RefusesWrongCommandLines) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-*", "new.pdf"}, "-i"},
      {{"-i", "a.pdf"}, "nothing to do"},
      {{"-i", "a.pdf", "-t"}, "needs a value"},
      {{"-i", "a.pdf", "-x", "1"}, "-x"},
      {{"-i", "a.pdf", "-*", "1|0|"}, ""}};
  for (const auto& [args, message] : cases) {
    PdfToolRequest r;
    std::string error;
    EXPECT_FALSE(ParsePdfToolArguments(args, &r, &error)) << message;
    EXPECT_THAT(error, HasSubstr(message));
  }
}

class PdfToolTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  std::string error_;
};

TEST_F(PdfToolTest, InsertsOrAppendsKeepingTheFieldsAndRaisingTheVersion) {
  const std::string existing =
      dir_.Pdf("existing.pdf", {{101, {{"Total", "old"}}, 0}, {102, {}, 0}});
  const std::string fresh = dir_.Pdf("new.pdf", {{201, {{"Total", "new"}}, 0}, {202, {}, 0}});
  ASSERT_TRUE(AddPdfPages(existing, fresh, true, &error_)) << error_;
  EXPECT_THAT(PageSizes(existing), ElementsAre(201, 202, 101, 102));
  const std::string tail = dir_ / "tail.pdf";
  MakeTestPdf(tail, Pages({301}), [](QPDFWriter& w) { w.forcePDFVersion("1.6"); });
  ASSERT_TRUE(AddPdfPages(existing, tail, false, &error_)) << error_;
  EXPECT_THAT(PageSizes(existing), ElementsAre(201, 202, 101, 102, 301));
  EXPECT_EQ(ReadPdf(existing)->getPDFVersion(), "1.6");
  EXPECT_EQ(dir_.EntryCount(), 3u);
  auto fields = FieldValues(existing);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields["Total"], "old");
  fields.erase("Total");  // the added field was given a free name of its own
  EXPECT_EQ(fields.begin()->second, "new");
}

TEST_F(PdfToolTest, FailsLeavingTheExistingFileByteForByte) {
  const std::string fresh = dir_.Pdf("new.pdf", Pages({201}));
  const std::string good = ReadBytes(dir_.Pdf("good.pdf", Pages({101, 102})));
  std::string badOffset = good;
  badOffset.replace(badOffset.rfind("startxref") + 10, 3, "999");
  std::string badStream = good;
  badStream.replace(badStream.find("endstream"), 9, "endstreXm");
  MakeEncryptedPdf(dir_ / "locked.pdf", Pages({101}), "secret");  // needs an open password
  const std::string locked = ReadBytes(dir_ / "locked.pdf");
  std::filesystem::remove(dir_ / "locked.pdf");
  for (const std::string& bytes : {good.substr(0, good.size() / 2), std::string("no PDF at all\n"),
                                   badOffset, badStream, locked}) {
    const std::string existing = dir_ / "existing.pdf";
    WriteBytes(existing, bytes);
    EXPECT_FALSE(AddPdfPages(existing, fresh, true, &error_));
    EXPECT_FALSE(error_.empty());
    EXPECT_EQ(error_.find('\n'), std::string::npos);
    EXPECT_FALSE(SetPdfDocumentInformation(existing, existing, {"T", "", "", ""}, &error_));
    EXPECT_EQ(ReadBytes(existing), bytes);
    EXPECT_EQ(dir_.EntryCount(), 3u);  // no temporary file left behind
  }
  // A new file that cannot be read leaves a good existing one as it was.
  const std::string existing = dir_.Pdf("existing.pdf", Pages({101}));
  const std::string before = ReadBytes(existing);
  EXPECT_FALSE(AddPdfPages(existing, dir_ / "missing.pdf", false, &error_));
  EXPECT_THAT(error_, HasSubstr("missing.pdf"));
  WriteBytes(dir_ / "garbage.pdf", "%PDF-1.4\nnothing else\n");
  EXPECT_FALSE(AddPdfPages(existing, dir_ / "garbage.pdf", false, &error_));
  EXPECT_EQ(ReadBytes(existing), before);
}

TEST_F(PdfToolTest, WritesDocumentInformationKeepingOtherEntries) {
  const std::string pdf = dir_.Pdf("doc.pdf", Pages({101}));
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, pdf, {"Old", "Old author", "", ""}, &error_));
  PdfDocumentInfo info{"Größe \"quoted\" 'x' – 日本", "", "Ωmega", "k1, k2"};
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, pdf, info, &error_)) << error_;
  EXPECT_EQ(InfoText(pdf, "/Title"), info.title);
  EXPECT_EQ(InfoText(pdf, "/Author"), "Old author");  // empty: kept
  EXPECT_THAT(PageSizes(pdf), ElementsAre(101));

  // To another output, the input stays as it was.
  const std::string before = ReadBytes(pdf);
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, dir_ / "out.pdf", {"T", "", "", ""}, &error_));
  EXPECT_EQ(ReadBytes(pdf), before);
  EXPECT_EQ(InfoText(dir_ / "out.pdf", "/Title"), "T");
  EXPECT_FALSE(SetPdfDocumentInformation(pdf, dir_ / "none/out.pdf", {"T", "", "", ""}, &error_));
  EXPECT_THAT(error_, HasSubstr("cannot write"));
}

TEST_F(PdfToolTest, KeepsPermissionsAndSymbolicLinks) {
  const std::string target = dir_.Pdf("target.pdf", Pages({101}));
  const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(target, perms);
  const std::string link = dir_ / "link.pdf";
  fs::create_symlink(target, link);
  ASSERT_TRUE(AddPdfPages(link, dir_.Pdf("new.pdf", Pages({201})), false, &error_)) << error_;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_THAT(PageSizes(target), ElementsAre(101, 201));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, perms);
}

TEST_F(PdfToolTest, KeepsAnEncryptedExistingFileEncrypted) {
  const std::string existing = dir_ / "existing.pdf";
  MakeEncryptedPdf(existing, Pages({101}), "");
  ASSERT_TRUE(AddPdfPages(existing, dir_.Pdf("new.pdf", Pages({201})), false, &error_)) << error_;
  EXPECT_TRUE(ReadPdf(existing)->isEncrypted());
  EXPECT_THAT(PageSizes(existing), ElementsAre(101, 201));
}

}  // namespace
}  // namespace scrivex
