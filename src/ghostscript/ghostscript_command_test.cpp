#include "ghostscript/ghostscript_command.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/child_process.h"
#include "platform/files.h"

namespace scrivex {
namespace {

constexpr std::array<float, 4> kLetter = {0, 0, 612, 792};

// A request in one line; unset fields keep a 300 dpi Group 4 TIFF of /in/doc.ps.
struct Spec {
  std::string output = "/out/a.tif";
  int device = kDeviceTiffG4;
  float res = 300;
  const std::array<float, 4>* box = nullptr;
  int number = 0, first = 0, last = 0, quality = 0;
  float width = 0, height = 0;
  std::string input = "/in/doc.ps", user = "", owner = "";
};

int Build(const Spec& spec, std::vector<std::string>* argv) {
  RenderRequest r{spec.input,  spec.output, spec.user,   spec.owner,  spec.width,
                  spec.height, spec.res,    spec.res,    spec.device, spec.number,
                  spec.first,  spec.last,   spec.quality};
  GhostscriptSetup s{"/usr/bin/", "/usr/bin/", "/opt/scrivex/windows/fonts", false, {}, nullptr};
  if (spec.box) s.boundingBox = *spec.box;
  return BuildGhostscriptArguments(r, s, argv);
}

// The arguments joined by single blanks, with one blank before and after.
std::string Line(const Spec& spec) {
  std::vector<std::string> argv;
  EXPECT_EQ(Build(spec, &argv), 1) << spec.output;
  std::string line = " ";
  for (const std::string& arg : argv) line += arg + " ";
  return line;
}

TEST(BuildGhostscriptArguments, OptionsFollowTheRequest) {
  // clang-format off
  struct Case {
    Spec spec;
    std::vector<std::string> present = {}, absent = {};
  } cases[] = {
      {{.device = kDeviceTiff24nc, .box = &kLetter},
       {" -sDEVICE=tiff24nc -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -g2550x3300 -r300x300 "}},
      {{.output = "/out/a.pdf", .device = kDevicePdfWrite13, .box = &kLetter},
       {" -sDEVICE=pdfwrite -dCompatibilityLevel=1.3 -r300x300"}, {" -g", "_%04d"}},
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
    std::string line = Line(c.spec);
    for (const std::string& part : c.present) EXPECT_NE(line.find(part), line.npos) << line;
    for (const std::string& part : c.absent) EXPECT_EQ(line.find(part), line.npos) << line;
  }
}

TEST(BuildGhostscriptArguments, RefusesBadRequestsAndOverlongCommandLines) {
  for (const Spec& spec :
       {Spec{.res = 1200}, Spec{.res = -1}, Spec{.output = ""}, Spec{.input = ""}}) {
    std::vector<std::string> argv = {"untouched"};
    EXPECT_EQ(Build(spec, &argv), -1) << spec.output << " " << spec.input << " " << spec.res;
    EXPECT_EQ(argv, std::vector<std::string>{"untouched"});
  }
  // 4095 characters in the one-line form pass, 4096 do not.
  std::vector<std::string> argv;
  ASSERT_EQ(Build({.input = "/in/"}, &argv), 1);
  const size_t room = kGhostscriptCommandBytes - 1 - FormatCommandLine(argv).size();
  EXPECT_EQ(Build({.input = "/in/" + std::string(room, 'x')}, &argv), 1);
  EXPECT_EQ(FormatCommandLine(argv).size(), kGhostscriptCommandBytes - 1);
  EXPECT_EQ(Build({.input = "/in/" + std::string(room + 1, 'x')}, &argv), -1);
}

TEST(BuildGhostscriptArguments, NamesReachGhostscriptAsFileNames) {
  std::vector<std::string> argv;
  ASSERT_EQ(Build({.output = "/out dir/a\" -sDEVICE=x.tif", .input = "/in dir/doc.pdf"}, &argv), 1);
  EXPECT_EQ(argv[0], "/usr/bin/gs");
  EXPECT_EQ(std::vector<std::string>(argv.end() - 6, argv.end()),
            (std::vector<std::string>{"-sOutputFile=/out dir/a\" -sDEVICE=x.tif", "-f",
                                      "/in dir/doc.pdf", "-I/usr/bin/", "-c", "quit"}));
  // Relative names reach Ghostscript as absolute paths, never as pipes.
  std::string cwd = platform::CurrentDirectory();
  if (cwd.back() != '/') cwd += '/';
  const std::string line =
      Line({.output = "|touch pwned.png", .number = 1, .input = "%pipe%touch pwned"});
  EXPECT_NE(
      line.find(" -sOutputFile=" + cwd + "|touch pwned_%04d.png -f " + cwd + "%pipe%touch pwned "),
      line.npos)
      << line;
}

}  // namespace
}  // namespace scrivex
