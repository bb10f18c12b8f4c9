#include <gtest/gtest.h>

#include <fstream>

#include "automation/automation.h"
#include "automation/excel_members.h"
#include "platform/test_support.h"
#include "servers/office_bridge.h"
#include "servers/register_servers.h"

namespace scrivex {
namespace {

// A workbook read by the real office: what the sheet-emptiness check asks
// of each sheet, and the errors Excel raises.
TEST(ExcelServer, SheetsThroughTheOffice) {
  if (!OfficeAvailable()) GTEST_SKIP() << "no office here";
  test::ScratchDir dir;
  const std::string book = dir.Path("book.fods");
  std::ofstream(book) << R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet>
<table:table table:name="Text"><table:table-row><table:table-cell office:value-type="string">
<text:p>x</text:p></table:table-cell></table:table-row></table:table>
<table:table table:name="Empty"><table:table-row><table:table-cell/></table:table-row></table:table>
<table:table table:name="Sum"><table:table-row><table:table-cell table:formula="of:=1+2"/>
</table:table-row></table:table></office:spreadsheet></office:body></office:document>)";
  RegisterServers();
  std::shared_ptr<Dispatch> excel = CreateObject("Excel.Application");
  ASSERT_TRUE(excel);
  EXPECT_THROW(Get(*excel, excel::kWorksheets), AutomationError);  // no workbook open
  EXPECT_THROW(Get(*excel, 9999), AutomationError);
  std::vector<Variant> open(13, OmittedArg);
  open[0] = Bstr(book);
  Call(*ToObject(Get(*excel, excel::kWorkbooks)), excel::kOpen, open);
  std::shared_ptr<Dispatch> sheets = ToObject(Get(*excel, excel::kWorksheets));
  ASSERT_EQ(ToInt(Get(*sheets, excel::kCount)), 3);
  auto finds = [&](int sheet, int kind) {
    std::shared_ptr<Dispatch> used =
        ToObject(Get(*ToObject(Get(*sheets, excel::kItem, {I4(sheet)})), excel::kUsedRange));
    try {
      return ToObject(Call(*used, excel::kSpecialCells, {I4(kind), I4(23)})) != nullptr;
    } catch (const AutomationError&) {
      return false;
    }
  };
  EXPECT_TRUE(finds(1, 2));
  EXPECT_FALSE(finds(1, -4123));
  EXPECT_FALSE(finds(2, 2) || finds(2, -4123));
  EXPECT_TRUE(finds(3, -4123));
  std::shared_ptr<Dispatch> empty = ToObject(Get(*sheets, excel::kItem, {Bstr("Empty")}));
  EXPECT_EQ(ToString(Get(*empty, excel::kName)), "Empty");
  std::shared_ptr<Dispatch> setup = ToObject(Get(*empty, excel::kPageSetup));
  Put(*setup, excel::kPaperSize, I4(9));
  EXPECT_THROW(Put(*setup, excel::kPaperSize, I4(999)), AutomationError);
  EXPECT_THROW(Get(*sheets, excel::kItem, {I4(4)}), AutomationError);
  Call(*excel, excel::kQuit);
}

}  // namespace
}  // namespace scrivex
