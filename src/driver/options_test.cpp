#include "driver/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace scrivex {
namespace {

JobRequest Scan(std::vector<const char*> args) {
  args.insert(args.begin(), "scrivex");
  return ScanCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(Options, DefaultsAndValues) {
  JobRequest job = Scan({"-i", "in.doc", "-o", "-out.pdf", "-t", "T", "-a", "A", "-j", "S", "-k",
                         "K", "-g", "2-4", "-G", "-p", "3", "-O", "2", "-l", "500", "-V", "-d",
                         "-y", "-D", "-m", "-q", "75", "-w", "640", "-h", "480", "-v", "x",
                         "-z", "11907x16839", "-R", "90"});
  const ConversionOptions& o = job.options;
  EXPECT_EQ(job.inputPath, "in.doc");
  EXPECT_EQ(job.outputPath, "-out.pdf");  // a value is the whole next argument
  EXPECT_EQ(o.title + o.author + o.subject + o.keywords, "TASK");
  EXPECT_EQ(o.pageRange, "2-4");
  EXPECT_EQ(o.existingOutputMode, 3);
  EXPECT_EQ(o.orientation, 2);
  EXPECT_EQ(o.htmlWaitMs, 500);
  EXPECT_EQ(o.viewResult + o.hidePrintDialog + o.grayscale + o.fastOfficeMode +
                o.removeBlankPages + o.noSinglePageSuffix,
            6);
  EXPECT_EQ(o.jpegQuality, 75);
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 480);
  EXPECT_EQ(o.printZoomPaper, "11907x16839");
  EXPECT_EQ(o.rotation, 90);
  EXPECT_EQ(TargetPrinterName, "Brindle Converter and Creator");

  ConversionOptions d = Scan({"-i", "x"}).options;
  EXPECT_EQ(d.colorBits, 24);
  EXPECT_EQ(d.resolutionX, 300);
  EXPECT_EQ(d.paperSize, "1");
  EXPECT_EQ(d.encryptionKeyLength, -1);
  EXPECT_EQ(d.jpegQuality, 100);

  Scan({"-e", "-i", "x"});
  EXPECT_EQ(TargetPrinterName, "Inkwell");
}

TEST(Options, ColourDepthResolutionAndRanges) {
  EXPECT_EQ(Scan({"-b", "24", "-c", "4"}).options.colorBits, 1);
  EXPECT_EQ(Scan({"-c", "4", "-b", "24"}).options.colorBits, 24);
  EXPECT_EQ(Scan({"-c", "88884"}).options.colorBits, 1);
  EXPECT_EQ(Scan({"-c", "88885"}).options.colorBits, 24);
  EXPECT_EQ(Scan({"-c", "5"}).options.colorBits, 24);

  auto res = [](const char* v) {
    ConversionOptions o = Scan({"-r", v}).options;
    return std::to_string(o.resolutionX) + "x" + std::to_string(o.resolutionY);
  };
  EXPECT_EQ(res("0"), "300x300");
  EXPECT_EQ(res("1201"), "300x300");
  EXPECT_EQ(res("1200"), "1200x1200");
  EXPECT_EQ(res("600x0"), "600x0");
  EXPECT_EQ(res("5000x7"), "5000x7");  // no range check on the NxM form
  EXPECT_EQ(res("200xz"), "200x300");  // a field the format misses keeps its value
  EXPECT_EQ(res("abc"), "300x300");

  EXPECT_EQ(Scan({"-E", "7"}).options.excelMode, 0);
  EXPECT_EQ(Scan({"-E", "-1"}).options.excelMode, 0);
  EXPECT_EQ(Scan({"-E", "3"}).options.excelMode, 3);
  EXPECT_EQ(Scan({"-f", ""}).options.paperSize, "1");
  EXPECT_EQ(Scan({"-f", "11x17in"}).options.paperSize, "11x17in");
}

TEST(Options, ScanningStopsAtTheFirstNonOption) {
  EXPECT_EQ(Scan({"-x", "-i", "a.doc"}).inputPath, "");
  EXPECT_EQ(Scan({"a.doc", "-i", "b.doc"}).inputPath, "");
  EXPECT_EQ(Scan({"-i"}).inputPath, "");
  EXPECT_EQ(Scan({"-", "-i", "a"}).inputPath, "");
  // Only the second character counts: -r300 is -r with the next argument.
  ConversionOptions o = Scan({"-r300", "600", "-i", "a"}).options;
  EXPECT_EQ(o.resolutionX, 600);
  JobRequest later = Scan({"-i", "a", "-i", "b"});
  EXPECT_EQ(later.inputPath, "b");
  EXPECT_TRUE(Scan({"-?", "-i", "a"}).usageRequested);
}

TEST(Options, CredentialsAndArgumentList) {
  JobRequest job = Scan({"-i", "a b.doc", "-#", "bob:se:cret", "-o", "out.pdf"});
  EXPECT_EQ(job.userName, "bob");
  EXPECT_EQ(job.password, "se:cret");
  EXPECT_EQ(job.argumentList, (std::vector<std::string>{"scrivex", "-i", "a b.doc", "-o", "out.pdf"}));
  JobRequest noColon = Scan({"-#", "bob", "-i", "a"});
  EXPECT_TRUE(noColon.userName.empty() && noColon.password.empty());
  JobRequest emptyUser = Scan({"-#", ":pw", "-i", "a"});
  EXPECT_TRUE(emptyUser.userName.empty());
}

TEST(Options, PageRange) {
  auto range = [](const char* text) {
    int first = 0, last = 0;
    ParsePageRange(text, &first, &last);
    return std::to_string(first) + "-" + std::to_string(last);
  };
  EXPECT_EQ(range(""), "1-1");
  EXPECT_EQ(range("1,2-4,6"), "1-6");
  EXPECT_EQ(range("3"), "3-3");
  EXPECT_EQ(range("5-2"), "5-5");
  EXPECT_EQ(range("0,4"), "4-4");
  EXPECT_EQ(range(",, 2 -- 9"), "2-9");
  EXPECT_EQ(range("abc"), "1-1");
}

TEST(Options, UsageTextHasItsLines) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  WriteUsage(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(file);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 96);
  EXPECT_EQ(text.rfind("Brindle Document Converter v2.1\n", 0), 0u);
  EXPECT_NE(text.find("\n-c <compression>    : compression for TIFF output format\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n    scrivex -l 10000 -i \""), std::string::npos);
}

}  // namespace
}  // namespace scrivex
