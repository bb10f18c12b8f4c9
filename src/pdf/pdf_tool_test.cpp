#include "pdf/pdf_tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "pdf/pdf_test_support.h"
#include "platform/process.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using namespace scrivex::testing;
namespace fs = std::filesystem;

std::vector<TestPage> Pages(std::initializer_list<int> sizes) {
  std::vector<TestPage> pages;
  for (int s : sizes) pages.push_back(TestPage{s, {}, 0});
  return pages;
}

bool Parse(std::vector<std::string> args, PdfToolRequest* request, std::string* error) {
  return ParsePdfToolArguments(args, request, error);
}

TEST(ParsePdfToolArgumentsTest, ReadsTheMergeCommandLines) {
  PdfToolRequest r;
  std::string error;
  ASSERT_TRUE(Parse({"-i", "/out/old.pdf", "-*", "1|0|/tmp/new.pdf"}, &r, &error));
  EXPECT_EQ(r.input, "/out/old.pdf");
  EXPECT_EQ(r.pagesFrom, "/tmp/new.pdf");
  EXPECT_TRUE(r.atFront);
  EXPECT_EQ(r.output, "");

  ASSERT_TRUE(Parse({"-i", "/out/old.pdf", "-*", "/tmp/new.pdf"}, &r, &error));
  EXPECT_EQ(r.pagesFrom, "/tmp/new.pdf");
  EXPECT_FALSE(r.atFront);
}

TEST(ParsePdfToolArgumentsTest, ReadsTheInformationCommandLine) {
  PdfToolRequest r;
  std::string error;
  ASSERT_TRUE(
      Parse({"-i", "a.pdf", "-o", "a.pdf", "-t", "-draft-", "-a", "", "-s", "S", "-k", "-k"}, &r,
            &error));
  EXPECT_EQ(r.output, "a.pdf");
  EXPECT_EQ(r.info.title, "-draft-");
  EXPECT_EQ(r.info.author, "");
  EXPECT_EQ(r.info.subject, "S");
  EXPECT_EQ(r.info.keywords, "-k");
  EXPECT_TRUE(r.pagesFrom.empty());
}

// The command lines as the converter builds them, split as a started program sees them.
TEST(ParsePdfToolArgumentsTest, ReadsTheConvertersCommandLines) {
  PdfToolRequest r;
  std::string error;
  std::vector<std::string> argv = platform::SplitCommandLine(
      "\"/opt/scrivex/tools.cfg\" -i \"/out/my report.pdf\" \"-*\" \"1|0|/tmp/pdfA1.tmp.pdf\"");
  ASSERT_TRUE(Parse({argv.begin() + 1, argv.end()}, &r, &error)) << error;
  EXPECT_EQ(r.input, "/out/my report.pdf");
  EXPECT_EQ(r.pagesFrom, "/tmp/pdfA1.tmp.pdf");
  EXPECT_TRUE(r.atFront);

  argv = platform::SplitCommandLine(
      "\"/opt/scrivex/tools.cfg\" -i \"/o/a b.pdf\" -o \"/o/a b.pdf\" -t \"Größe 'x' -a\" -a "
      "\"\" -s \"a\\b\" -k \"k1, k2\"");
  ASSERT_TRUE(Parse({argv.begin() + 1, argv.end()}, &r, &error)) << error;
  EXPECT_EQ(r.input, "/o/a b.pdf");
  EXPECT_EQ(r.output, "/o/a b.pdf");
  EXPECT_EQ(r.info.title, "Größe 'x' -a");
  EXPECT_EQ(r.info.author, "");
  EXPECT_EQ(r.info.subject, "a\\b");
  EXPECT_EQ(r.info.keywords, "k1, k2");
}

TEST(ParsePdfToolArgumentsTest, RefusesWrongCommandLines) {
  PdfToolRequest r;
  std::string error;
  EXPECT_FALSE(Parse({}, &r, &error));
  EXPECT_FALSE(Parse({"-*", "new.pdf"}, &r, &error));
  EXPECT_THAT(error, HasSubstr("-i"));
  EXPECT_FALSE(Parse({"-i", "a.pdf"}, &r, &error));
  EXPECT_THAT(error, HasSubstr("nothing to do"));
  EXPECT_FALSE(Parse({"-i", "a.pdf", "-t"}, &r, &error));
  EXPECT_THAT(error, HasSubstr("needs a value"));
  EXPECT_FALSE(Parse({"-i", "a.pdf", "-x", "1"}, &r, &error));
  EXPECT_THAT(error, HasSubstr("-x"));
  EXPECT_FALSE(Parse({"-i", "a.pdf", "-i", "b.pdf", "-t", "x"}, &r, &error));
  EXPECT_FALSE(Parse({"-i", "a.pdf", "-*", "1|0|"}, &r, &error));
  EXPECT_FALSE(Parse({"-i", "a.pdf", "-*", ""}, &r, &error));
}

class PdfToolTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, const std::vector<TestPage>& pages) {
    std::string path = dir_ / name;
    MakeTestPdf(path, pages);
    return path;
  }
  ScratchDir dir_;
};

TEST_F(PdfToolTest, InsertsBeforeTheFirstPageOrAppends) {
  const std::string existing = Make("existing.pdf", Pages({101, 102}));
  const std::string fresh = Make("new.pdf", Pages({201, 202, 203}));
  std::string error;
  ASSERT_TRUE(AddPdfPages(existing, fresh, true, &error)) << error;
  EXPECT_THAT(PageSizes(existing), ElementsAre(201, 202, 203, 101, 102));
  ASSERT_TRUE(AddPdfPages(existing, Make("tail.pdf", Pages({301})), false, &error)) << error;
  EXPECT_THAT(PageSizes(existing), ElementsAre(201, 202, 203, 101, 102, 301));
  EXPECT_EQ(dir_.EntryCount(), 3u);
}

TEST_F(PdfToolTest, RaisesTheVersionToTheAddedFile) {
  const std::string existing = Make("existing.pdf", Pages({101}));
  const std::string fresh = dir_ / "new.pdf";
  MakeTestPdf(fresh, Pages({201}), [](QPDFWriter& w) { w.forcePDFVersion("1.6"); });
  std::string error;
  ASSERT_TRUE(AddPdfPages(existing, fresh, false, &error)) << error;
  EXPECT_EQ(ReadPdf(existing)->getPDFVersion(), "1.6");
}

TEST_F(PdfToolTest, KeepsTheFieldsOfBothFiles) {
  const std::string existing = Make("existing.pdf", {TestPage{101, {{"Total", "old"}}, 0}});
  const std::string fresh = Make("new.pdf", {TestPage{201, {{"Total", "new"}}, 0}});
  std::string error;
  ASSERT_TRUE(AddPdfPages(existing, fresh, false, &error)) << error;
  auto fields = FieldValues(existing);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields["Total"], "old");
  // The added field was given a free name of its own.
  fields.erase("Total");
  EXPECT_EQ(fields.begin()->second, "new");
}

TEST_F(PdfToolTest, LeavesADamagedExistingFileByteForByte) {
  const std::string fresh = Make("new.pdf", Pages({201}));
  const std::string good = ReadBytes(Make("good.pdf", Pages({101, 102})));
  // Truncated, garbage, a broken cross-reference offset, a stream without its end.
  std::string badOffset = good;
  badOffset.replace(badOffset.rfind("startxref") + 10, 3, "999");
  std::string badStream = good;
  badStream.replace(badStream.find("endstream"), 9, "endstreXm");
  const std::string damaged[] = {good.substr(0, good.size() / 2), "no PDF at all\n", badOffset,
                                 badStream};
  for (const std::string& bytes : damaged) {
    const std::string existing = dir_ / "existing.pdf";
    WriteBytes(existing, bytes);
    std::string error;
    EXPECT_FALSE(AddPdfPages(existing, fresh, true, &error));
    EXPECT_THAT(error, Not(IsEmpty()));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(ReadBytes(existing), bytes);
    EXPECT_FALSE(SetPdfDocumentInformation(existing, existing, {"T", "", "", ""}, &error));
    EXPECT_EQ(ReadBytes(existing), bytes);
    EXPECT_EQ(dir_.EntryCount(), 3u);  // no temporary file left behind
  }
}

TEST_F(PdfToolTest, LeavesTheExistingFileWhenTheNewOneCannotBeRead) {
  const std::string existing = Make("existing.pdf", Pages({101}));
  const std::string before = ReadBytes(existing);
  std::string error;
  EXPECT_FALSE(AddPdfPages(existing, dir_ / "missing.pdf", false, &error));
  EXPECT_THAT(error, HasSubstr("missing.pdf"));
  const std::string garbage = dir_ / "garbage.pdf";
  WriteBytes(garbage, "%PDF-1.4\nnothing else\n");
  EXPECT_FALSE(AddPdfPages(existing, garbage, false, &error));
  EXPECT_EQ(ReadBytes(existing), before);
  EXPECT_EQ(dir_.EntryCount(), 2u);
}

TEST_F(PdfToolTest, WritesDocumentInformationKeepingOtherEntries) {
  const std::string pdf = dir_ / "doc.pdf";
  MakeTestPdf(pdf, Pages({101}));
  std::string error;
  ASSERT_TRUE(
      SetPdfDocumentInformation(pdf, pdf, {"Old title", "Old author", "Old subject", ""}, &error))
      << error;
  PdfDocumentInfo info{"Größe \"quoted\" 'x' – 日本", "", "Ωmega", "k1, k2"};
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, pdf, info, &error)) << error;
  EXPECT_EQ(InfoText(pdf, "/Title"), info.title);
  EXPECT_EQ(InfoText(pdf, "/Author"), "Old author");  // empty: kept
  EXPECT_EQ(InfoText(pdf, "/Subject"), "Ωmega");
  EXPECT_EQ(InfoText(pdf, "/Keywords"), "k1, k2");
  EXPECT_THAT(PageSizes(pdf), ElementsAre(101));
}

TEST_F(PdfToolTest, WritesToAnotherOutputLeavingTheInput) {
  const std::string in = Make("in.pdf", Pages({101}));
  const std::string before = ReadBytes(in);
  const std::string out = dir_ / "out.pdf";
  std::string error;
  ASSERT_TRUE(SetPdfDocumentInformation(in, out, {"T", "A", "", ""}, &error)) << error;
  EXPECT_EQ(ReadBytes(in), before);
  EXPECT_EQ(InfoText(out, "/Title"), "T");
  EXPECT_FALSE(SetPdfDocumentInformation(in, dir_ / "none/out.pdf", {"T", "", "", ""}, &error));
  EXPECT_THAT(error, HasSubstr("cannot write"));
}

TEST_F(PdfToolTest, KeepsPermissionsAndSymbolicLinks) {
  const std::string target = Make("target.pdf", Pages({101}));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::string link = dir_ / "link.pdf";
  fs::create_symlink(target, link);
  std::string error;
  ASSERT_TRUE(AddPdfPages(link, Make("new.pdf", Pages({201})), false, &error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_THAT(PageSizes(target), ElementsAre(101, 201));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(PdfToolTest, KeepsAnEncryptedExistingFileEncrypted) {
  const std::string existing = dir_ / "existing.pdf";
  MakeTestPdf(existing, Pages({101}), [](QPDFWriter& w) {
    w.setR4EncryptionParametersInsecure("", "boss", true, true, true, true, true, true,
                                        qpdf_r3p_full, true, true);
  });
  std::string error;
  ASSERT_TRUE(AddPdfPages(existing, Make("new.pdf", Pages({201})), false, &error)) << error;
  EXPECT_TRUE(ReadPdf(existing)->isEncrypted());
  EXPECT_THAT(PageSizes(existing), ElementsAre(101, 201));

  // One that needs an open password cannot be read and stays as it is.
  const std::string locked = dir_ / "locked.pdf";
  MakeTestPdf(locked, Pages({101}), [](QPDFWriter& w) {
    w.setR4EncryptionParametersInsecure("secret", "boss", true, true, true, true, true, true,
                                        qpdf_r3p_full, true, true);
  });
  const std::string before = ReadBytes(locked);
  EXPECT_FALSE(AddPdfPages(locked, dir_ / "new.pdf", false, &error));
  EXPECT_EQ(ReadBytes(locked), before);
}

}  // namespace
}  // namespace scrivex
