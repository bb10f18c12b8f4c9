#include "main/service/request_options.h"

#include <gtest/gtest.h>

namespace scrivex {
namespace {

TEST(RequestOptions, FieldsBecomeTheCommandLinesValuesAndItsRefusalsNameTheField) {
  const RequestOptions read = ReadRequestOptions({{"format", "tif"},
                                                  {"resolution", "200x300"},
                                                  {"compression", "4"},
                                                  {"pages", "2-3"},
                                                  {"orientation", "2"},
                                                  {"title", "-i /etc/passwd"},
                                                  {"wait", "1500"},
                                                  {"printer", "inkwell"},
                                                  {"excelMode", "1"}});
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.format, "tif");
  EXPECT_EQ(read.options.resolutionX, 200);
  EXPECT_EQ(read.options.resolutionY, 300);
  EXPECT_EQ(read.options.tiffCompression, 4);
  EXPECT_EQ(read.options.colorBits, 1);  // a fax coding is bilevel, as on the command line
  EXPECT_EQ(read.options.pageRange, "2-3");
  EXPECT_EQ(read.options.orientation, 2);
  EXPECT_EQ(read.options.title, "-i /etc/passwd");  // a value never becomes an option
  EXPECT_EQ(read.options.htmlWaitMs, 1500);
  EXPECT_EQ(read.options.excelMode, 1);
  EXPECT_EQ(read.printer, kInkwellPrinterName);

  const RequestOptions plain = ReadRequestOptions({});
  EXPECT_EQ(plain.error, "");
  EXPECT_EQ(plain.format, "pdf");
  EXPECT_EQ(plain.printer, kCreatorPrinterName);
  EXPECT_EQ(plain.options.fastOfficeMode, 1);  // workers keep their applications

  EXPECT_EQ(ReadRequestOptions({{"resolution", "abc"}}).error,
            "resolution 'abc': accepted: dots per inch as N or NxM, such as 300 or 200x300");
  EXPECT_EQ(ReadRequestOptions({{"colorBits", "7"}}).error, "colorBits '7': accepted: 1, 8 or 24");
  EXPECT_EQ(ReadRequestOptions({{"rotation", "45"}}).error,
            "rotation '45': accepted: 0, 90, 180 or 270");
  EXPECT_EQ(ReadRequestOptions({{"format", "exe"}}).error, "format 'exe': no conversion writes it");
  EXPECT_EQ(ReadRequestOptions({{"output", "/tmp/x.pdf"}}).error, "unknown field 'output'");
  EXPECT_EQ(ReadRequestOptions({{"printer", "lp"}}).error,
            "printer 'lp': accepted: creator or inkwell");
}

}  // namespace
}  // namespace scrivex
