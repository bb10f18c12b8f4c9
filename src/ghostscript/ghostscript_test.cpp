// Building Ghostscript's arguments, choosing its device, and finding it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "common/child_process.h"
#include "ghostscript/ghostscript_command.h"
#include "ghostscript/ghostscript_locator.h"
#include "platform/files.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

constexpr std::array<float, 4> kLetter = {0, 0, 612, 792};

// A request in one line; unset fields keep a 300 dpi Group 4 TIFF of /in/doc.ps.
struct Job {
  std::string output = "/out/a.tif";
  int device = kDeviceTiffG4;
  float res = 300;
  const std::array<float, 4>* box = nullptr;
  int number = 0, first = 0, last = 0, quality = 0;
  float width = 0, height = 0;
  std::string input = "/in/doc.ps", user = "", owner = "";
  ProgressSink progress = {};
};

bool Build(const Job& job, std::vector<std::string>* argv) {
  RenderRequest r{job.input, job.output, job.user,   job.owner, job.width, job.height, job.res,
                  job.res,   job.device, job.number, job.first, job.last,  job.quality};
  r.progress = job.progress;
  GhostscriptSetup s;
  s.ghostscriptDir = s.ghostscriptLib = "/usr/bin/";
  s.fontsDirectory = "/opt/scrivex/windows/fonts";
  if (job.box) s.boundingBox = *job.box;
  return BuildGhostscriptArguments(r, s, argv);
}

// The arguments joined by single blanks, with one blank before and after.
std::string Line(const Job& job) {
  std::vector<std::string> argv;
  EXPECT_TRUE(Build(job, &argv)) << job.output;
  std::string line = " ";
  for (const std::string& arg : argv) line += arg + " ";
  return line;
}

TEST(BuildGhostscriptArguments, OptionsFollowTheRequest) {
  // clang-format off
  struct Case {
    Job job;
    std::vector<std::string> present = {}, absent = {};
  } cases[] = {
      {{.device = kDeviceTiff24nc, .box = &kLetter},
       {" -sDEVICE=tiff24nc -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -g2550x3300 -r300x300 "}},
      {{.output = "/out/a.pdf", .device = kDevicePdfWrite, .box = &kLetter},
       {" -sDEVICE=pdfwrite -dCompatibilityLevel=1.4 -r300x300"}, {" -g", "_%04d"}},
      // A percent sign stays a character of the name, never a page-number format.
      {{.output = "/out/50%d/a%s.png", .number = 1}, {" -sOutputFile=/out/50%%d/a%%s_%04d.png "}},
      {{.box = &kLetter, .width = 1000.9f, .height = 500}, {" -g1000x500 -r300x300"}},
      {{.first = 0, .last = 4}, {" -dLastPage=4 "}, {"FirstPage"}},
      // 612 pt at 1199.5 dpi is 10195.75 pixels.
      {{.res = 1199.5f, .box = &kLetter}, {" -g10195x13194 -r1199x1199 "}},
      {{.res = 0, .box = &kLetter}, {}, {" -r", " -g"}},
      {{.device = kDevicePng16m, .quality = 55}, {}, {"JPEGQ"}},  // JPEG devices only
      {{.user = "user"}, {" -dSAFER -sPDFPassword=user -sDEVICE"}},
      {{.user = "user", .owner = "owner"}, {" -sPDFPassword=owner "}, {"=user"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    std::string line = Line(c.job);
    for (const std::string& part : c.present) EXPECT_NE(line.find(part), line.npos) << line;
    for (const std::string& part : c.absent) EXPECT_EQ(line.find(part), line.npos) << line;
  }
}

TEST(BuildGhostscriptArguments, RefusesBadRequestsAndOverlongCommandLines) {
  for (const Job& job : {Job{.res = 1200}, Job{.res = -1}, Job{.output = ""}, Job{.input = ""}}) {
    std::vector<std::string> argv = {"untouched"};
    EXPECT_FALSE(Build(job, &argv)) << job.output << " " << job.input << " " << job.res;
    EXPECT_EQ(argv, std::vector<std::string>{"untouched"});
  }
  // 4095 characters in the one-line form pass, 4096 do not.
  std::vector<std::string> argv;
  ASSERT_TRUE(Build({.input = "/in/"}, &argv));
  const size_t room = kGhostscriptCommandBytes - 1 - FormatCommandLine(argv).size();
  EXPECT_TRUE(Build({.input = "/in/" + std::string(room, 'x')}, &argv));
  EXPECT_EQ(FormatCommandLine(argv).size(), kGhostscriptCommandBytes - 1);
  EXPECT_FALSE(Build({.input = "/in/" + std::string(room + 1, 'x')}, &argv));
}

// Relative names reach Ghostscript as absolute paths, never as pipes, and
// last comes the library path.
TEST(BuildGhostscriptArguments, NamesReachGhostscriptAsFileNames) {
  std::string cwd = platform::CurrentDirectory();
  if (cwd.back() != '/') cwd += '/';
  const std::string line =
      Line({.output = "|touch pwned.png", .number = 1, .input = "%pipe%touch pwned"});
  EXPECT_NE(line.find(" -sOutputFile=" + cwd + "|touch pwned_%04d.png -f " + cwd +
                      "%pipe%touch pwned -I/usr/bin/ -c quit "),
            line.npos)
      << line;
}

// Quiet, unless someone watches the pages of a PDF: only then does
// Ghostscript name them.
TEST(BuildGhostscriptArguments, QuietUnlessAPdfsPagesAreWatched) {
  const ProgressSink watch = [](const ProgressUpdate&) {};
  // PostScript pages go unnamed.
  for (const auto& [input, progress, quiet] : {std::tuple{"/in/doc.PDF", ProgressSink{}, true},
                                               {"/in/doc.PDF", watch, false},
                                               {"/in/doc.ps", watch, true}}) {
    std::vector<std::string> argv;
    ASSERT_TRUE(Build({.input = input, .progress = progress}, &argv));
    EXPECT_EQ(argv[1], quiet ? "-q" : "-dBATCH") << input;
    EXPECT_EQ(std::count(argv.begin(), argv.end(), "-q"), quiet) << input;
  }
}

// The lines Ghostscript prints when not quiet, as 10.0 prints them.
TEST(ReadGhostscriptLine, FollowsThePagesAndTakesOnlyItsOwnChatter) {
  GhostscriptPages pages;
  for (const char* line :
       {"GPL Ghostscript 10.0.0 (2022-09-21)",
        "Copyright (C) 2022 Artifex Software, Inc.  All rights reserved.",
        "This software is supplied under the GNU AGPLv3 and comes with NO WARRANTY:",
        "see the file COPYING for details.", "Processing pages 2 through 5.", "Page 2",
        "Loading font Helvetica (or substitute) from /usr/share/ghostscript/10.00.0/Resource/Font/"
        "NimbusSans-Regular",
        "Page 3"}) {
    EXPECT_TRUE(ReadGhostscriptLine(line, &pages)) << line;
  }
  EXPECT_EQ(pages.first, 2);
  EXPECT_EQ(pages.last, 5);
  EXPECT_EQ(pages.current, 3);
  // A document's messages stay messages, whatever they start with.
  for (const char* line :
       {"   **** Error: Couldn't initialise file.", "Page 4 is damaged", "Page", "Page -1",
        "Page  7", "Pages 1", "Processing pages 1 through 3", "page 6", ""}) {
    EXPECT_FALSE(ReadGhostscriptLine(line, &pages)) << line;
  }
  EXPECT_EQ(pages.current, 3);
}

TEST(SelectGhostscriptDevice, RepresentativeRows) {
  // clang-format off
  struct Row {
    const char* output;
    int colorBits, compression, device, singleFile;
  } rows[] = {
      {"a.tif", 1, 2, kDeviceTiffCrle, 1},   {"a.TIFF", 1, 3, kDeviceTiffG3, 1},
      {"a.tif", 1, 0, kDeviceTiffG4, 1},     {"a.tif", 1, 88881, kDeviceTiffG4, 1},
      {"a.tiff", 8, 2, kDeviceTiffGray, 1},  {"a.tif", 24, 3, kDeviceTiff24nc, 1},
      {"a.tif", 16, 0, kDeviceTiffG4, 1},    {"a.jpg", 8, 0, kDeviceJpegGray, 0},
      {"a.JPG", 1, 0, kDeviceJpeg, 0},       {"a.bmp", 32, 0, kDeviceBmpMono, 0},
      {"a.pcx", 24, 0, kDevicePcx24b, 0},    {"a.gif", 8, 0, kDeviceTiffG4, 0},
      {"a.PDF", 24, 0, kDevicePdfWrite, 1}, {"a.png", 8, 0, kDevicePng256, 0},
      {"a.png", 1, 0, kDevicePngMono, 0},    {"a.ps", 24, 0, kDevicePsWrite, 1},
      {"a.eps", 1, 0, kDeviceEpsWrite, 0},   {"noextension", 24, 0, kDeviceTiffG4, 0},
      {"dir.tif/a.png", 24, 0, kDevicePng16m, 0},
  };
  // clang-format on
  for (const Row& row : rows) {
    int singleFile = -7;
    EXPECT_EQ(SelectGhostscriptDevice(row.output, row.colorBits, row.compression, &singleFile),
              row.device)
        << row.output << " " << row.colorBits << " " << row.compression;
    EXPECT_EQ(singleFile, row.singleFile) << row.output;
  }
  EXPECT_EQ(GrayDeviceFor("a.PNG"), kDevicePngGray);
  EXPECT_EQ(GrayDeviceFor("a.gif"), -1);  // re-encoded from PNG pages
}

TEST(GhostscriptDeviceArguments, TheWritersTheInstallationHas) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(GhostscriptDeviceArguments(-1, nullptr), Args{"-sDEVICE=pdfwrite"});
  const std::set<std::string> modern = {"ps2write", "eps2write", "png16m"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsMono, &modern), Args{"-sDEVICE=ps2write"});
  const std::set<std::string> old = {"pswrite", "epswrite", "psmono"};
  EXPECT_EQ(GhostscriptDeviceArguments(kDeviceEpsWrite, &old), Args{"-sDEVICE=epswrite"});
  const std::set<std::string> unknown;
  EXPECT_EQ(GhostscriptDeviceArguments(kDevicePsWrite, &unknown), Args{"-sDEVICE=pswrite"});
}

// Every test gets its own state root (registry hives) and temporary folder.
class GhostscriptLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(P("tmp"));
    fs::permissions(P("tmp"), fs::perms::owner_all);
    env_.Set("TMPDIR", P("tmp"));
    SetSystemGhostscriptDirForTesting(P("nosystem"));
  }
  void TearDown() override { SetSystemGhostscriptDirForTesting(""); }
  std::string P(const std::string& name) const { return dir_.Path(name); }

  // A folder holding the program and the library; returns it with its "/".
  std::string MakeProgramDir(const std::string& name) {
    fs::create_directories(P(name));
    dir_.Write(name + "/gs", "");
    dir_.Write(name + "/libgs.so", "");
    return P(name + "/");
  }
  void Register(RegistryRoot root, const std::string& key, const std::string& dll,
                const std::string& lib) {
    KeyHandle handle = CreateKey(root, "SOFTWARE\\" + key);
    ASSERT_NE(handle, nullptr);
    WriteStringValue(handle, "GS_DLL", dll);
    WriteStringValue(handle, "GS_LIB", lib);
    CloseKey(handle);
  }

  test::ScratchDir dir_;
  test::ScopedEnv env_;
};

TEST_F(GhostscriptLocatorTest, RegistryInProductOrderAfterTheFixedPlaces) {
  EXPECT_EQ(FixedGhostscriptCandidates(),
            (std::vector<std::string>{platform::ProgramDirectory() + "gs/", P("tmp/p2t/"),
                                      P("nosystem/")}));
  // Versions without the program beside the library, or without GS_LIB, do not count.
  fs::create_directories(P("noprogram"));
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript\\2.0",
           dir_.Write("noprogram/libgs.so", ""), "/b");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript\\3.0",
           MakeProgramDir("good") + "libgs.so", "");
  std::string dir = "keep", lib = "keep";
  EXPECT_EQ(FindGhostscript(&dir, &lib), 0);
  EXPECT_EQ(dir + lib, "keepkeep");
  const struct {
    RegistryRoot root;
    const char* key;
  } steps[] = {{RegistryRoot::kCurrentUser, "AFPL Ghostscript\\9.0"},
               {RegistryRoot::kLocalMachine, "GPL Ghostscript\\9.0"},
               {RegistryRoot::kLocalMachine, "AFPL Ghostscript\\8.0"}};
  int n = 0;
  for (const auto& step : steps) {
    std::string name = "found" + std::to_string(++n);
    Register(step.root, step.key, MakeProgramDir(name) + "libgs.so", "/" + name);
    ASSERT_EQ(FindGhostscript(&dir, &lib), 1) << step.key;
    EXPECT_EQ(dir + " " + lib, P(name + "/") + " /" + name) << step.key;
  }

  std::string system = MakeProgramDir("system");
  SetSystemGhostscriptDirForTesting(system);
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir + " " + lib, system + " " + system);
  // The temporary folder's copy comes first, unless others may write there.
  std::string copy = MakeProgramDir("tmp/p2t");
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir + " " + lib, copy + " " + system);                    // a null output is skipped
  fs::permissions(P("tmp"), fs::perms::all | fs::perms::sticky_bit);  // like /tmp
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir, system);
}

}  // namespace
}  // namespace scrivex
