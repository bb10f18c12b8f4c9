#include "apps/print_document.h"

#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

// What the printer made is checked against the printed PDF's pages, one
// file or a file a page.
TEST(MadeEveryPage, CountsWhatThePrinterMade) {
  test::ScratchDir dir;
  auto pages = [&](const std::string& name, const std::string& device, int count) {
    platform::RunChild({"gs", "-q", "-dBATCH", "-dNOPAUSE", "-sDEVICE=" + device, "-r20", "-o",
                        dir.Path(name), "-c",
                        "1 1 " + std::to_string(count) + " { pop showpage } for"});
    return dir.Path(name);
  };
  const std::string input = pages("in.pdf", "pdfwrite", 3);
  std::string why;
  EXPECT_TRUE(MadeEveryPage(input, {pages("three.pdf", "pdfwrite", 3)}, &why));
  EXPECT_TRUE(MadeEveryPage(input, {pages("three.tif", "tiffg4", 3)}, &why));
  EXPECT_TRUE(MadeEveryPage(input, {"p_0001.emf", "p_0002.emf", "p_0003.emf"}, &why));
  EXPECT_TRUE(MadeEveryPage(input, {"one.dcx"}, &why));
  EXPECT_EQ(why, "");
  EXPECT_FALSE(MadeEveryPage(input, {pages("two.pdf", "pdfwrite", 2)}, &why));
  EXPECT_EQ(why, "the output is incomplete: it holds 2 pages of 3");
  EXPECT_FALSE(MadeEveryPage(input, {pages("two.tif", "tiffg4", 2)}, &why));
  EXPECT_FALSE(MadeEveryPage(input, {"p_0001.emf", "p_0002.emf"}, &why));
}

}  // namespace
}  // namespace scrivex
