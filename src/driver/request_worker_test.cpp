#include "driver/request_worker.h"

#include <gtest/gtest.h>

namespace scrivex {
namespace {

TEST(RequestWorker, EveryOptionCrossesTheSocketAndGarbledMessagesAreRefused) {
  ConversionRequest sent;
  sent.input = "/in/a b:c.pdf";
  sent.output = "/out/x.tif";
  sent.printer = kInkwellPrinterName;
  ConversionOptions& o = sent.options;
  o.width = 11, o.height = 12, o.orientation = 2, o.paperSize = "215.9x279.4mm";
  o.colorBits = 8, o.grayscale = 1, o.jpegQuality = 70, o.tiffCompression = 32773;
  o.resolutionX = 200, o.resolutionY = 400, o.viewResult = 1, o.existingOutputMode = 3;
  o.subject = "s", o.title = "t\nu", o.author = "a", o.keywords = "k";
  o.userPassword = "up", o.ownerPassword = "op", o.encryptionKeyLength = 128;
  o.permissions = 4, o.rotation = 270, o.hidePrintDialog = 1, o.printZoomPaper = "11907x16839";
  o.pageRange = "2-4", o.noSinglePageSuffix = 1, o.removeBlankPages = 1, o.excelMode = 3;
  o.fastOfficeMode = 1, o.htmlWaitMs = -5;

  const std::optional<ConversionRequest> got = ReadRequest(RequestFields(sent));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->input, sent.input);
  EXPECT_EQ(got->output, sent.output);
  EXPECT_EQ(got->printer, sent.printer);
  EXPECT_EQ(got->options, sent.options);

  std::vector<std::string> fields = RequestFields(sent);
  fields[5] = "12x";  // a number that is none
  EXPECT_FALSE(ReadRequest(fields));
  fields = RequestFields(sent);
  fields.pop_back();
  EXPECT_FALSE(ReadRequest(fields));
  EXPECT_FALSE(ReadRequest({kPing}));

  ConversionReply reply;
  reply.result = 1, reply.pages = 3, reply.reason = "", reply.seconds = 1.5;
  reply.files = {"/o/x_0001.png", "/o/x_0002.png"};
  reply.out = "line\n", reply.err = "";
  const std::optional<ConversionReply> back = ReadReply(ReplyFields(reply));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->result, 1);
  EXPECT_EQ(back->pages, 3);
  EXPECT_DOUBLE_EQ(back->seconds, 1.5);
  EXPECT_EQ(back->files, reply.files);
  EXPECT_EQ(back->out, "line\n");
  EXPECT_FALSE(ReadReply({"1", "x", "", "0", "", ""}));
}

}  // namespace
}  // namespace scrivex
