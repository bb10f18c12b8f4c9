#include "printer/inkwell_job.h"

#include <gtest/gtest.h>

#include <qpdf/QPDF.hh>

#include "image/tiff_page.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/test_support.h"
#include "printer/creator_job.h"

namespace scrivex {
namespace {

// One job per row: the settings the hand-off wrote, the files that must come.
// TIFF, PNG, the PDF stream itself and EMF go through the printer end to end
// in tests/printers_test.sh.
TEST(InkwellJob, WritesWhatTheSettingsAsk) {
  test::ScratchDir dir;
  const std::string stream = dir.Path("stream.pdf"), ini = dir.Path("inkwell.ini");
  platform::RunChild({"gs", "-q", "-sDEVICE=pdfwrite", "-o", stream, "-c",
                      "<</PageSize [200 100]>> setpagedevice 1 1 2 { pop 9 9 50 50 rectfill "
                      "showpage } for"});
  struct Row {
    std::string output;
    std::vector<std::pair<std::string, std::string>> options;  // AutoSaveOptions
    std::vector<std::string> files;
  } rows[] = {
      {"pg%03d.png", {{"m_strResolution", "20x20"}}, {"pg_0001.png", "pg_0002.png"}},
      {"s.pdf", {{"m_bCreateFileForEachPage", "1"}}, {"s_0001.pdf", "s_0002.pdf"}},
      // One metafile a page, whatever the settings say.
      {"m.wmf", {}, {"m_0001.wmf", "m_0002.wmf"}},
  };
  for (const Row& row : rows) {
    std::remove(ini.c_str());
    platform::WriteProfileString(ini, "AutoSave", "IsAutoSave", "1");
    platform::WriteProfileString(ini, "AutoSave", "OutputFile", dir.Path(row.output));
    for (const auto& [key, value] : row.options) {
      platform::WriteProfileString(ini, "AutoSaveOptions", key, value);
    }
    InkwellJob job = ReadInkwellJob(ini);
    std::vector<std::string> written, expected;
    for (const std::string& name : row.files) expected.push_back(dir.Path(name));
    std::string why;
    ASSERT_TRUE(WriteInkwellJob(stream, job, &written, &why)) << row.output << ": " << why;
    EXPECT_EQ(written, expected) << row.output;
  }
  EXPECT_EQ(CountPdfPages(dir.Path("s_0002.pdf"), false, nullptr), 1);
  EXPECT_EQ(test::ReadBytes(dir.Path("m_0001.wmf")).substr(0, 4), "\xD7\xCD\xC6\x9A");
  // A job nobody prepared writes nothing.
  platform::WriteProfileString(ini, "AutoSave", "IsAutoSave", "0");
  EXPECT_FALSE(ReadInkwellJob(ini).autoSave);
}

// The creator record: a PDF with its information, another type rendered as
// the "Inkwell" printer would, and nothing at all when nobody asked.
TEST(CreatorJob, WritesTheFileTheRecordNames) {
  test::ScratchDir dir;
  const std::string stream = dir.Path("stream.pdf");
  platform::RunChild({"gs", "-q", "-sDEVICE=pdfwrite", "-o", stream, "-c", "showpage showpage"});
  QuireSettings record;
  std::vector<std::string> written;
  std::string why;
  record.automaticDirectory = dir.Path("c.pdf");
  EXPECT_FALSE(WriteCreatorJob(stream, record, &written, &why));
  EXPECT_FALSE(platform::FileExists(dir.Path("c.pdf")));
  record.automaticOutput = 1;
  record.title = "Quarterly";
  record.generalPageRotateAngle = 90;
  ASSERT_TRUE(WriteCreatorJob(stream, record, &written, &why)) << why;
  QPDF pdf;
  pdf.processFile(dir.Path("c.pdf").c_str());
  EXPECT_EQ(pdf.getTrailer().getKey("/Info").getKey("/Title").getUTF8Value(), "Quarterly");
  QPDFObjectHandle second = pdf.getAllPages()[1];
  EXPECT_EQ(second.getKey("/Rotate").getIntValue(), 90);
  record.automaticDirectory = dir.Path("c.tif");
  record.bitcount = 1;
  record.xResolution = record.yResolution = 50;
  ASSERT_TRUE(WriteCreatorJob(stream, record, &written, &why)) << why;
  auto tiff = OpenTiff(dir.Path("c.tif"), "r");
  TiffPage page;
  ASSERT_TRUE(ReadTiffPage(*tiff, 0, page));
  EXPECT_EQ(page.sourceCompression, 4);  // a 1-bit TIFF is Group 4
}

}  // namespace
}  // namespace scrivex
