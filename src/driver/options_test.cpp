#include "driver/options.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <tuple>
#include <vector>

#include "driver/run_as_user.h"

namespace scrivex {
namespace {

JobRequest Scan(std::vector<const char*> args) {
  args.insert(args.begin(), "scrivex");
  return ScanCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(Options, Values) {
  JobRequest job =
      Scan({"-i",  "in.doc", "-o", "-out.pdf", "-t", "T",           "-a", "A",  "-j", "S",
            "-k",  "K",      "-g", "2-4",      "-G", "-p",          "3",  "-O", "2",  "-l",
            "500", "-V",     "-d", "-y",       "-D", "-m",          "-q", "75", "-w", "640",
            "-h",  "480",    "-v", "x",        "-z", "11907x16839", "-R", "90"});
  const ConversionOptions& o = job.options;
  EXPECT_EQ(job.inputPath, "in.doc");
  EXPECT_EQ(job.outputPath, "-out.pdf");  // a value is the whole next argument
  EXPECT_EQ(o.title + o.author + o.subject + o.keywords + o.pageRange, "TASK2-4");
  EXPECT_EQ(std::vector<int>({o.existingOutputMode, o.orientation, o.htmlWaitMs, o.jpegQuality,
                              o.width, o.height, o.rotation}),
            std::vector<int>({3, 2, 500, 75, 640, 480, 90}));
  EXPECT_EQ(o.viewResult + o.hidePrintDialog + o.grayscale + o.fastOfficeMode + o.removeBlankPages +
                o.noSinglePageSuffix,
            6);
  EXPECT_EQ(o.printZoomPaper, "11907x16839");
  EXPECT_EQ(job.printer, "Brindle Converter and Creator");
  EXPECT_EQ(Scan({"-e", "-i", "x"}).printer, "Inkwell");
}

TEST(Options, ColourDepthResolutionAndRanges) {
  EXPECT_EQ(Scan({"-b", "24", "-c", "4"}).options.colorBits, 1);
  EXPECT_EQ(Scan({"-c", "4", "-b", "24"}).options.colorBits, 24);
  EXPECT_EQ(Scan({"-c", "88884"}).options.colorBits, 1);
  EXPECT_EQ(Scan({"-c", "5"}).options.colorBits, 24);
  for (const auto& [value, want] : std::vector<std::pair<const char*, std::string>>{
           {"0", "300x300"},
           {"1201", "300x300"},
           {"1200", "1200x1200"},
           {"600x0", "600x0"},
           {"5000x7", "5000x7"},     // no range check on the NxM form
           {"200xz", "200x300"}}) {  // a field the format misses keeps its value
    ConversionOptions o = Scan({"-r", value}).options;
    EXPECT_EQ(std::to_string(o.resolutionX) + "x" + std::to_string(o.resolutionY), want) << value;
  }
  EXPECT_EQ(Scan({"-E", "7"}).options.excelMode, 0);
  EXPECT_EQ(Scan({"-E", "-1"}).options.excelMode, 0);
  EXPECT_EQ(Scan({"-E", "3"}).options.excelMode, 3);
  EXPECT_EQ(Scan({"-f", ""}).options.paperSize, "1");
  EXPECT_EQ(Scan({"-f", "11x17in"}).options.paperSize, "11x17in");
}

// The ways scanning stops before -i are checked end to end.
TEST(Options, ScanningCredentialsAndArgumentList) {
  EXPECT_EQ(Scan({"-", "-i", "a"}).inputPath, "");
  EXPECT_TRUE(Scan({"-?", "-i", "a"}).usageRequested);
  EXPECT_EQ(Scan({"-r300", "600", "-i", "a"}).options.resolutionX, 600);  // only the letter counts
  EXPECT_EQ(Scan({"-i", "a", "-i", "b"}).inputPath, "b");
  JobRequest job = Scan({"-i", "a b.doc", "-#", "bob:se:cret", "-o", "out.pdf"});
  EXPECT_EQ(job.userName + "|" + job.password, "bob|se:cret");
  EXPECT_EQ(job.argumentList,
            (std::vector<std::string>{"scrivex", "-i", "a b.doc", "-o", "out.pdf"}));
  EXPECT_EQ(job.credentialArguments, std::vector<int>{4});  // where main erases the password
  // Anything but a whole user:password is refused, never run as the caller.
  for (const char* bad : {"bob", "bob:", ":", ":pw", ""}) {
    JobRequest refused = Scan({"-#", bad, "-i", "a"});
    EXPECT_EQ(refused.userName + refused.password, "") << bad;
    EXPECT_NE(refused.credentialError.find("user:password"), std::string::npos) << bad;
  }
  EXPECT_NE(Scan({"-i", "a", "-#"}).credentialError, "");
  JobRequest later = Scan({"-#", "bob", "-#", "bob:pw", "-i", "a"});  // the last one counts
  EXPECT_EQ(later.credentialError + later.userName + ":" + later.password, "bob:pw");
  JobRequest fromInput = Scan({"-#", "bob:-", "-i", "a"});
  EXPECT_TRUE(fromInput.passwordFromInput);
  EXPECT_EQ(fromInput.userName + "|" + fromInput.password + fromInput.credentialError, "bob|");
  EXPECT_FALSE(Scan({"-#", "bob:--", "-i", "a"}).passwordFromInput);
}

// One line, its end stripped, nothing after it consumed; empty is refused.
TEST(Options, PasswordFromStandardInput) {
  for (const auto& [input, ok, want, rest] :
       std::vector<std::tuple<std::string, bool, std::string, std::string>>{
           {"se cret\nnext", true, "se cret", "next"},
           {"crlf\r\n", true, "crlf", ""},
           {"no line end", true, "no line end", ""},
           {"\nlater", false, "", "later"},
           {"", false, "", ""},
           {std::string(300, 'x'), true, std::string(kCredentialBytes - 1, 'x'), ""}}) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fds[1]);
    std::string password = "old";
    EXPECT_EQ(ReadPasswordLine(fds[0], &password), ok) << input;
    EXPECT_EQ(password, want);
    char left[16] = {};
    EXPECT_EQ(std::string(left, read(fds[0], left, sizeof left)), rest);
    close(fds[0]);
  }
}

}  // namespace
}  // namespace scrivex
