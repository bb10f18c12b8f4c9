#include "ghostscript/ghostscript_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"

namespace scrivex {
namespace {

constexpr std::array<float, 4> kLetter = {0, 0, 612, 792};
constexpr std::array<float, 4> kTwoByOneInch = {10, 20, 154, 92};

// A request in one line; unset fields keep a 300 dpi Group 4 TIFF of /in/doc.ps.
struct Spec {
  std::string output = "/out/a.tif";
  int device = kDeviceTiffG4;
  float res = 300;
  float resY = -2;  // -2: as res
  const std::array<float, 4>* box = nullptr;
  bool eps = false;
  int number = 0, first = 0, last = 0, quality = 0;
  float width = 0, height = 0;
  std::string input = "/in/doc.ps", user = "", owner = "";
};

int Build(const Spec& spec, std::string* line) {
  RenderRequest r;
  r.inputPath = spec.input;
  r.outputPath = spec.output;
  r.device = spec.device;
  r.resolutionX = spec.res;
  r.resolutionY = spec.resY == -2 ? spec.res : spec.resY;
  r.numberPages = spec.number;
  r.firstPage = spec.first;
  r.lastPage = spec.last;
  r.jpegQuality = spec.quality;
  r.width = spec.width;
  r.height = spec.height;
  r.userPassword = spec.user;
  r.ownerPassword = spec.owner;
  GhostscriptSetup s;
  s.ghostscriptDir = s.ghostscriptLib = "/usr/bin/";
  s.fontsDirectory = "/opt/scrivex/windows/fonts";
  s.inputIsEps = spec.eps;
  if (spec.box) s.boundingBox = *spec.box;
  return BuildGhostscriptCommandLine(r, s, line);
}

std::vector<std::string> Argv(const Spec& spec) {
  std::string line;
  EXPECT_EQ(Build(spec, &line), 1);
  return platform::SplitCommandLine(line);
}

TEST(BuildGhostscriptCommandLine, TwentyFourBitTiffFromALetterPage) {
  std::string line;
  ASSERT_EQ(Build({.device = kDeviceTiff24nc, .box = &kLetter}, &line), 1);
  EXPECT_EQ(line,
            "\"/usr/bin/gs\" -q -dBATCH -dMaxBitmap=300000000 -dNOPAUSE -dUseCropBox -dSAFER"
            " -sDEVICE=tiff24nc -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -g2550x3300 -r300x300"
            " -dNOPLATFONTS -sFONTPATH=\"/opt/scrivex/windows/fonts\""
            " -sOutputFile=\"/out/a.tif\" -f \"/in/doc.ps\" -I\"/usr/bin/\" -c quit");
}

TEST(BuildGhostscriptCommandLine, OptionsFollowTheRequest) {
  // clang-format off
  struct Case {
    Spec spec;
    std::vector<std::string> present = {}, absent = {};
  } cases[] = {
      {{.output = "/out/a.pdf", .device = kDevicePdfWrite13, .box = &kLetter},
       {" -sDEVICE=pdfwrite -dCompatibilityLevel=1.3 -r300x300"},
       {" -g", "_%04d"}},
      {{.output = "/out/p.png", .device = kDevicePngMono, .res = 150, .box = &kTwoByOneInch,
        .number = 1},
       {" -sDEVICE=pngmono -g300x150 -r150x150 ", " -sOutputFile=\"/out/p_%04d.png\""}},
      {{.output = "/out/50%d/a%s.png", .number = 1}, {"=\"/out/50%%d/a%%s_%04d.png\""}},
      {{.box = &kLetter, .width = 1000.9f, .height = 500}, {" -g1000x500 -r300x300"}},
      {{.width = 800}, {}, {" -g"}},
      {{.device = kDevicePng16m, .eps = true},
       {" -dUseCropBox -dEPSFitPage -dSAFER -sDEVICE=png16m"}},
      {{.device = kDeviceJpegGray, .res = 100, .first = 2, .last = 3},
       {" -sDEVICE=jpeggray -dFirstPage=2 -dLastPage=3 -r100x100"}},
      {{.first = 0, .last = 4}, {" -dLastPage=4"}, {"FirstPage"}},
      // 612 pt at 1199.5 dpi is 10195.75 pixels.
      {{.res = 1199.5f, .box = &kLetter}, {" -r1199x1199 ", " -g10195x13194 "}},
      {{.res = 0, .box = &kLetter}, {}, {" -r", " -g"}},
      {{.device = kDeviceJpeg, .quality = 55},
       {" -sDEVICE=jpeg -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -dJPEGQ=55 -r"}},
      {{.device = kDevicePng16m, .quality = 55}, {}, {"JPEGQ"}},
      {{.user = "user"}, {" -dSAFER -sPDFPassword=\"user\" -sDEVICE"}},
      {{.user = "user", .owner = "owner pw"}, {" -sPDFPassword=\"owner pw\" "}, {"\"user\""}},
  };
  // clang-format on
  for (const Case& c : cases) {
    std::string line;
    ASSERT_EQ(Build(c.spec, &line), 1) << c.spec.output;
    for (const std::string& part : c.present) EXPECT_NE(line.find(part), line.npos) << line;
    for (const std::string& part : c.absent) EXPECT_EQ(line.find(part), line.npos) << line;
  }
}

TEST(BuildGhostscriptCommandLine, RefusesBadRequestsAndInjectedOptions) {
  for (const Spec& spec : {Spec{.res = 1200}, Spec{.res = -1}, Spec{.output = ""},
                           Spec{.output = "/out/a\" -sDEVICE=x.tif"}, Spec{.input = ""},
                           Spec{.input = "/in/\"evil.ps"}, Spec{.user = "a\"b"},
                           Spec{.input = "/in/" + std::string(4000, 'x') + ".ps"}}) {
    std::string line = "untouched";
    EXPECT_EQ(Build(spec, &line), -1) << spec.output << " " << spec.input << " " << spec.res;
    EXPECT_EQ(line, "untouched");
  }
}

TEST(BuildGhostscriptCommandLine, SplitsIntoTheArgumentsGhostscriptSees) {
  std::vector<std::string> argv = Argv({.output = "/out dir/a b.tif", .input = "/in dir/doc.pdf"});
  ASSERT_GE(argv.size(), 6u);
  EXPECT_EQ(argv[0], "/usr/bin/gs");
  EXPECT_EQ(std::vector<std::string>(argv.end() - 6, argv.end()),
            (std::vector<std::string>{"-sOutputFile=/out dir/a b.tif", "-f", "/in dir/doc.pdf",
                                      "-I/usr/bin/", "-c", "quit"}));
  // A trailing backslash stays inside its argument.
  argv = Argv({.input = "/in/odd\\"});
  EXPECT_EQ(argv[argv.size() - 4], "/in/odd\\");
  EXPECT_EQ(argv[argv.size() - 3], "-I/usr/bin/");
  // Relative names reach Ghostscript as absolute paths, never as pipes.
  argv = Argv({.output = "|touch pwned.png", .number = 1, .input = "%pipe%touch pwned"});
  std::string cwd = platform::CurrentDirectory();
  if (cwd.back() != '/') cwd += '/';
  EXPECT_NE(std::find(argv.begin(), argv.end(), "-sOutputFile=" + cwd + "|touch pwned_%04d.png"),
            argv.end());
  EXPECT_NE(std::find(argv.begin(), argv.end(), cwd + "%pipe%touch pwned"), argv.end());
}

}  // namespace
}  // namespace scrivex
