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
  EXPECT_EQ(Scan({"-b", " 8 "}).options.colorBits, 8);  // blanks around a number are fine
  // clang-format off
  for (const auto& [value, want, warned] : std::vector<std::tuple<const char*, std::string, bool>>{
           {"0", "300x300", true}, {"-5", "300x300", true}, {"1201", "300x300", true},
           {"1200", "1200x1200", false}, {"1", "1x1", false}, {"200x300", "200x300", false},
           // NxM is kept as given, with a warning, and has no range check.
           {"600x0", "600x0", true}, {"5000x7", "5000x7", true}}) {
    // clang-format on
    JobRequest job = Scan({"-r", value, "-i", "a"});
    ConversionOptions o = job.options;
    EXPECT_EQ(std::to_string(o.resolutionX) + "x" + std::to_string(o.resolutionY), want) << value;
    EXPECT_EQ(job.badArgument, "") << value;
    EXPECT_EQ(job.warnings.size(), warned ? 1u : 0u) << value;
    for (const std::string& w : job.warnings)
      EXPECT_EQ(w.find("warning: -r '" + std::string(value)), 0u);
  }
  JobRequest excel = Scan({"-E", "7"});
  EXPECT_EQ(excel.options.excelMode, 0);
  EXPECT_EQ(excel.warnings,
            std::vector<std::string>{"warning: -E '7': outside 0 to 3, so 0 is used"});
  EXPECT_EQ(Scan({"-E", "-1"}).options.excelMode, 0);
  EXPECT_EQ(Scan({"-E", "3"}).options.excelMode, 3);
  EXPECT_TRUE(Scan({"-E", "3"}).warnings.empty());
  JobRequest empty = Scan({"-f", ""});
  EXPECT_EQ(empty.options.paperSize, "1");
  EXPECT_EQ(empty.warnings.size(), 1u);
  EXPECT_EQ(Scan({"-f", "11x17in"}).options.paperSize, "11x17in");
  // A text longer than its field is cut, and said so.
  JobRequest cut = Scan({"-t", std::string(2000, 't').c_str()});
  EXPECT_EQ(cut.options.title.size(), kInfoTextBytes - 1);
  EXPECT_EQ(cut.warnings,
            std::vector<std::string>{"warning: -t: cut to its first 1023 characters"});
}

// A value no option takes stops the run with one line naming the option, the
// value and what it takes; the first bad value is the one reported, and the
// field keeps its default.
TEST(Options, RefusedValues) {
  // clang-format off
  for (const auto& [option, value, accepted] :
       std::vector<std::tuple<const char*, const char*, const char*>>{
           {"-f", "A4x", "paper name (Letter"}, {"-f", "999", "no paper has this code"},
           {"-f", "letterx", "paper code (1-18, 20, 27, 28, 34, 66, 70)"},
           {"-f", "0x11in", "from 1 point to 3276.7 mm"},
           {"-f", "11 x 17in", "WxH"}, {"-b", "7", "1, 8 or 24"}, {"-c", "99", "32773"},
           {"-c", "88885", "88880 to 88884"}, {"-R", "45", "0, 90, 180 or 270"},
           {"-r", "abc", "N or NxM"}, {"-r", "200xz", "N or NxM"}, {"-r", "", "N or NxM"},
           {"-p", "9", "3 (new numbered name)"}, {"-g", "abc", "1,2-4,6"},
           {"-g", "1-99999999999", "1,2-4,6"}, {"-O", "3", "1 (portrait) or 2 (landscape)"},
           {"-q", "0", "1 to 100"}, {"-w", "-1", "pixels"}, {"-l", "soon", "milliseconds"},
           {"-E", "all", "0, 1, 2 or 3"}, {"-z", "A4", "twentieths of a point"}}) {
    // clang-format on
    JobRequest job = Scan({"-i", "a.txt", option, value, "-b", "5"});
    EXPECT_EQ(job.badArgument.find(std::string(option) + " '" + value + "': "), 0u)
        << option << " " << value << ": " << job.badArgument;
    EXPECT_NE(job.badArgument.find(accepted), std::string::npos) << job.badArgument;
    EXPECT_EQ(job.badArgument.find('\n'), std::string::npos);
    ConversionOptions defaults;
    EXPECT_EQ(std::tie(job.options.paperSize, job.options.rotation, job.options.orientation,
                       job.options.existingOutputMode, job.options.pageRange,
                       job.options.tiffCompression),
              std::tie(defaults.paperSize, defaults.rotation, defaults.orientation,
                       defaults.existingOutputMode, defaults.pageRange, defaults.tiffCompression))
        << option << " " << value;
  }
  // Every value the options define still passes.
  for (const char* good :
       {"-b 1",         "-b 8",           "-c 0",        "-c 7",       "-c 32773",
        "-c 32809",     "-c 88880",       "-R 0",        "-R 270",     "-p 0",
        "-p 3",         "-O 1",           "-g ",         "-g 1,2-4,6", "-g 5-2",
        "-g 0,4",       "-q 1",           "-q 100",      "-w 0",       "-l 0",
        "-z ",          "-z 12240x15840", "-f 8",        "-f 70",      "-f 215.9x279.4mm",
        "-f 612X792PT", "-f .5x8in",      "-f 9288x1pt", "-E 0",       "-v anything at all"}) {
    const std::string text = good;
    const std::string option = text.substr(0, 2), value = text.substr(3);
    JobRequest job = Scan({"-i", "a", option.c_str(), value.c_str()});
    EXPECT_EQ(job.badArgument, "") << good;
  }
}

// Paper names, letter case ignored, become the table's codes as they are
// read, so every route sees the number.
TEST(Options, PaperNames) {
  // clang-format off
  for (const auto& [name, code] : std::vector<std::pair<const char*, const char*>>{
           {"Letter", "1"}, {"tabloid", "3"}, {"LEDGER", "4"}, {"Legal", "5"}, {"executive", "7"},
           {"a3", "8"}, {"A4", "9"}, {"A5", "11"}, {"b4", "12"}, {"B5", "13"}}) {
    // clang-format on
    JobRequest job = Scan({"-f", name, "-i", "a"});
    EXPECT_EQ(job.options.paperSize, code) << name;
    EXPECT_EQ(job.badArgument + (job.warnings.empty() ? "" : job.warnings[0]), "") << name;
  }
}

// Once the input is named, a word or an unknown option where an option
// should stand is refused (the shell's expansion of an unquoted wildcard
// leaves such words); before it, scanning ends and the usage text follows.
TEST(Options, StrayArguments) {
  JobRequest expanded = Scan({"-i", "docs/a.pdf", "docs/b.pdf", "docs/c.pdf", "-o", "out/"});
  EXPECT_EQ(expanded.badArgument,
            "unexpected argument 'docs/b.pdf': quote wildcards so that the program expands them");
  EXPECT_EQ(expanded.outputPath, "");  // nothing after the stray word is read
  EXPECT_EQ(Scan({"-i", "a", "-x"}).badArgument.find("unknown option '-x'"), 0u);
  EXPECT_EQ(Scan({"-i", "a", "--jsn"}).badArgument.find("unknown option '--jsn'"), 0u);
  EXPECT_NE(Scan({"-i", "a", "-"}).badArgument, "");
  // A bad value earlier on is the reason given.
  EXPECT_EQ(Scan({"-b", "7", "-i", "a", "b"}).badArgument.find("-b '7'"), 0u);
  // Before any input: the usage text, with the reason beside it.
  for (std::vector<const char*> args :
       std::vector<std::vector<const char*>>{{"-x", "-i", "a.doc"}, {"a.doc", "-i", "b.doc"}}) {
    JobRequest job = Scan(args);
    EXPECT_EQ(job.inputPath + job.badArgument, "") << args[0];
    EXPECT_NE(job.strayBeforeInput.find(std::string("'") + args[0] + "'"), std::string::npos);
  }
  // Valid lines: a value beginning with "-" and the value of a last -o.
  for (std::vector<const char*> args :
       std::vector<std::vector<const char*>>{{"-i", "a", "-o", "-out.pdf"},
                                             {"-i", "a", "-o"},
                                             {"-i", "a", "-t", "docs/b.pdf"},
                                             {"-i", "a", "--json", "-o", "b.pdf"}}) {
    JobRequest job = Scan(args);
    EXPECT_EQ(job.badArgument + job.strayBeforeInput, "") << args[2];
  }
}

// --help and --version end scanning like -?; --json is a flag anywhere an
// option may stand.
TEST(Options, LongOptions) {
  JobRequest help = Scan({"-b", "7", "--help", "stray"});
  EXPECT_TRUE(help.helpRequested);
  EXPECT_FALSE(help.versionRequested || help.usageRequested);
  JobRequest version = Scan({"--version", "-i", "a"});
  EXPECT_TRUE(version.versionRequested);
  EXPECT_EQ(version.inputPath, "");
  JobRequest json = Scan({"--json", "-i", "a", "--json"});
  EXPECT_TRUE(json.json);
  EXPECT_EQ(json.inputPath + json.badArgument, "a");
  EXPECT_FALSE(Scan({"-i", "a"}).json);
  EXPECT_FALSE(Scan({"-o", "--help", "-i", "a"}).helpRequested);  // a value, not an option
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
