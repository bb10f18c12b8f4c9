#include "ghostscript/ghostscript_command.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"

namespace scrivex {
namespace {

GhostscriptSetup DefaultSetup() {
  GhostscriptSetup setup;
  setup.ghostscriptDir = "/usr/bin/";
  setup.ghostscriptLib = "/usr/bin/";
  setup.fontsDirectory = "/opt/scrivex/windows/fonts";
  return setup;
}

RenderRequest Request(const std::string& output, int device, float resolution) {
  RenderRequest request;
  request.inputPath = "/in/doc.ps";
  request.outputPath = output;
  request.device = device;
  request.resolutionX = resolution;
  request.resolutionY = resolution;
  return request;
}

std::string Build(const RenderRequest& request, const GhostscriptSetup& setup) {
  std::string line;
  EXPECT_EQ(BuildGhostscriptCommandLine(request, setup, &line), 1);
  return line;
}

TEST(BuildGhostscriptCommandLine, TwentyFourBitTiffFromALetterPage) {
  GhostscriptSetup setup = DefaultSetup();
  setup.boundingBox = std::array<float, 4>{0, 0, 612, 792};
  EXPECT_EQ(Build(Request("/out/a.tif", kDeviceTiff24nc, 300), setup),
            "\"/usr/bin/gs\" -q -dBATCH -dMaxBitmap=300000000 -dNOPAUSE -dUseCropBox -dSAFER"
            " -sDEVICE=tiff24nc -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -g2550x3300 -r300x300"
            " -dNOPLATFONTS -sFONTPATH=\"/opt/scrivex/windows/fonts\""
            " -sOutputFile=\"/out/a.tif\" -f \"/in/doc.ps\" -I\"/usr/bin/\" -c quit");
}

TEST(BuildGhostscriptCommandLine, SplitsIntoTheArgumentsGhostscriptSees) {
  GhostscriptSetup setup = DefaultSetup();
  setup.fontsDirectory = "/opt/my fonts";
  RenderRequest request = Request("/out dir/a b.tif", kDeviceTiffG4, 200);
  request.inputPath = "/in dir/doc.pdf";
  std::vector<std::string> argv = platform::SplitCommandLine(Build(request, setup));
  ASSERT_GE(argv.size(), 6u);
  EXPECT_EQ(argv[0], "/usr/bin/gs");
  std::vector<std::string> tail(argv.end() - 6, argv.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"-sOutputFile=/out dir/a b.tif", "-f",
                                            "/in dir/doc.pdf", "-I/usr/bin/", "-c", "quit"}));
  EXPECT_NE(std::find(argv.begin(), argv.end(), "-sFONTPATH=/opt/my fonts"), argv.end());
}

TEST(BuildGhostscriptCommandLine, PdfOutputNeverSizedFromTheBox) {
  GhostscriptSetup setup = DefaultSetup();
  setup.boundingBox = std::array<float, 4>{0, 0, 612, 792};
  std::string line = Build(Request("/out/a.pdf", kDevicePdfWrite13, 300), setup);
  EXPECT_NE(line.find(" -sDEVICE=pdfwrite -dCompatibilityLevel=1.3 -r300x300"), std::string::npos);
  EXPECT_EQ(line.find(" -g"), std::string::npos);
  EXPECT_EQ(line.find("_%04d"), std::string::npos);
}

TEST(BuildGhostscriptCommandLine, NumberedMonochromePngSizedFromTheBox) {
  GhostscriptSetup setup = DefaultSetup();
  setup.boundingBox = std::array<float, 4>{10, 20, 154, 92};  // 2 x 1 inch
  RenderRequest request = Request("/out/page.png", kDevicePngMono, 150);
  request.numberPages = 1;
  std::string line = Build(request, setup);
  EXPECT_NE(line.find(" -sDEVICE=pngmono -g300x150 -r150x150 "), std::string::npos) << line;
  EXPECT_NE(line.find(" -sOutputFile=\"/out/page_%04d.png\""), std::string::npos) << line;
}

TEST(BuildGhostscriptCommandLine, PercentInTheOutputNameStaysLiteral) {
  RenderRequest request = Request("/out/50%d/a%s.png", kDevicePng16m, 72);
  request.numberPages = 1;
  EXPECT_NE(Build(request, DefaultSetup()).find(" -sOutputFile=\"/out/50%%d/a%%s_%04d.png\""),
            std::string::npos);
  request.numberPages = 0;
  EXPECT_NE(Build(request, DefaultSetup()).find(" -sOutputFile=\"/out/50%%d/a%%s.png\""),
            std::string::npos);
}

TEST(BuildGhostscriptCommandLine, RelativeNamesNeverReachGhostscriptAsDevices) {
  RenderRequest request = Request("|touch pwned.png", kDevicePngMono, 72);
  request.inputPath = "%pipe%touch pwned";
  request.numberPages = 1;
  std::vector<std::string> argv = platform::SplitCommandLine(Build(request, DefaultSetup()));
  const std::string cwd = platform::CurrentDirectory();
  const std::string dir = cwd.back() == '/' ? cwd : cwd + "/";
  EXPECT_NE(std::find(argv.begin(), argv.end(), "-sOutputFile=" + dir + "|touch pwned_%04d.png"),
            argv.end());
  EXPECT_NE(std::find(argv.begin(), argv.end(), dir + "%pipe%touch pwned"), argv.end());
}

TEST(BuildGhostscriptCommandLine, GivenSizeWinsOverTheBox) {
  GhostscriptSetup setup = DefaultSetup();
  setup.boundingBox = std::array<float, 4>{0, 0, 612, 792};
  RenderRequest request = Request("/out/a.tif", kDeviceTiffG4, 300);
  request.width = 1000.9f;
  request.height = 500;
  EXPECT_NE(Build(request, setup).find(" -g1000x500 -r300x300"), std::string::npos);
  // One side missing: both come from the box.
  request.height = 0;
  EXPECT_NE(Build(request, setup).find(" -g2550x3300 -r300x300"), std::string::npos);
}

TEST(BuildGhostscriptCommandLine, NoBoxKeepsTheGivenSizeAndLeavesOutGeometry) {
  RenderRequest request = Request("/out/a.tif", kDeviceTiffG4, 300);
  request.width = 800;  // height 0 and no box: no -g at all
  EXPECT_EQ(Build(request, DefaultSetup()).find(" -g"), std::string::npos);
}

TEST(BuildGhostscriptCommandLine, EpsInputFitsThePage) {
  GhostscriptSetup setup = DefaultSetup();
  setup.inputIsEps = true;
  std::string line = Build(Request("/out/a.png", kDevicePng16m, 72), setup);
  EXPECT_NE(line.find(" -dUseCropBox -dEPSFitPage -dSAFER -sDEVICE=png16m"), std::string::npos);
  setup.inputIsEps = false;
  EXPECT_EQ(Build(Request("/out/a.png", kDevicePng16m, 72), setup).find("EPSFitPage"),
            std::string::npos);
}

TEST(BuildGhostscriptCommandLine, PageRange) {
  RenderRequest request = Request("/out/a.jpg", kDeviceJpegGray, 100);
  request.firstPage = 2;
  request.lastPage = 3;
  EXPECT_NE(Build(request, DefaultSetup())
                .find(" -sDEVICE=jpeggray -dFirstPage=2 -dLastPage=3 -r100x100"),
            std::string::npos);
  request.firstPage = -1;
  request.lastPage = -1;
  std::string all = Build(request, DefaultSetup());
  EXPECT_EQ(all.find("FirstPage"), std::string::npos);
  EXPECT_EQ(all.find("LastPage"), std::string::npos);
  request.firstPage = 0;
  request.lastPage = 4;
  std::string upTo = Build(request, DefaultSetup());
  EXPECT_EQ(upTo.find("FirstPage"), std::string::npos);
  EXPECT_NE(upTo.find(" -dLastPage=4"), std::string::npos);
}

TEST(BuildGhostscriptCommandLine, ResolutionLimits) {
  GhostscriptSetup setup = DefaultSetup();
  setup.boundingBox = std::array<float, 4>{0, 0, 612, 792};
  std::string line;
  EXPECT_EQ(BuildGhostscriptCommandLine(Request("/out/a.tif", kDeviceTiffG4, 1200), setup, &line),
            -1);
  EXPECT_EQ(BuildGhostscriptCommandLine(Request("/out/a.tif", kDeviceTiffG4, -1), setup, &line),
            -1);
  RenderRequest high = Request("/out/a.tif", kDeviceTiffG4, 1199.5f);
  EXPECT_NE(Build(high, setup).find(" -r1199x1199 "), std::string::npos);
  // 612 pt at 1199.5 dpi is 10195.75 pixels.
  EXPECT_NE(Build(high, setup).find(" -g10195x13194 "), std::string::npos);

  // Resolution 0 leaves out -r, and the box then gives a size of 0: no -g.
  std::string zero = Build(Request("/out/a.tif", kDeviceTiffG4, 0), setup);
  EXPECT_EQ(zero.find(" -r"), std::string::npos);
  EXPECT_EQ(zero.find(" -g"), std::string::npos);
  RenderRequest oneZero = Request("/out/a.tif", kDeviceTiffG4, 300);
  oneZero.resolutionY = 0;
  EXPECT_EQ(Build(oneZero, setup).find(" -r"), std::string::npos);
}

TEST(BuildGhostscriptCommandLine, JpegQualityOnlyForJpegDevices) {
  RenderRequest request = Request("/out/a.jpg", kDeviceJpeg, 100);
  request.jpegQuality = 55;
  EXPECT_NE(Build(request, DefaultSetup())
                .find(" -sDEVICE=jpeg -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -dJPEGQ=55 -r"),
            std::string::npos);
  request.jpegQuality = 0;
  EXPECT_EQ(Build(request, DefaultSetup()).find("JPEGQ"), std::string::npos);
  request.jpegQuality = 101;
  EXPECT_EQ(Build(request, DefaultSetup()).find("JPEGQ"), std::string::npos);
  request = Request("/out/a.png", kDevicePng16m, 100);
  request.jpegQuality = 55;
  EXPECT_EQ(Build(request, DefaultSetup()).find("JPEGQ"), std::string::npos);
}

TEST(BuildGhostscriptCommandLine, PasswordOwnerFirst) {
  RenderRequest request = Request("/out/a.pdf", kDevicePdfWrite13, 72);
  request.userPassword = "user";
  EXPECT_NE(Build(request, DefaultSetup()).find(" -dSAFER -sPDFPassword=\"user\" -sDEVICE"),
            std::string::npos);
  request.ownerPassword = "owner pw";
  std::vector<std::string> argv = platform::SplitCommandLine(Build(request, DefaultSetup()));
  EXPECT_NE(std::find(argv.begin(), argv.end(), "-sPDFPassword=owner pw"), argv.end());
}

TEST(BuildGhostscriptCommandLine, RefusesArgumentsThatCouldInjectOptions) {
  std::string line = "untouched";
  RenderRequest request = Request("/out/a\" -sDEVICE=x.tif", kDeviceTiffG4, 300);
  EXPECT_EQ(BuildGhostscriptCommandLine(request, DefaultSetup(), &line), -1);
  request = Request("/out/a.tif", kDeviceTiffG4, 300);
  request.inputPath = "/in/\"evil.ps";
  EXPECT_EQ(BuildGhostscriptCommandLine(request, DefaultSetup(), &line), -1);
  request.inputPath = "/in/doc.ps";
  request.userPassword = "a\"b";
  EXPECT_EQ(BuildGhostscriptCommandLine(request, DefaultSetup(), &line), -1);
  EXPECT_EQ(line, "untouched");
}

TEST(BuildGhostscriptCommandLine, TrailingBackslashStaysInsideItsArgument) {
  RenderRequest request = Request("/out/a.tif", kDeviceTiffG4, 300);
  request.inputPath = "/in/odd\\";
  std::vector<std::string> argv = platform::SplitCommandLine(Build(request, DefaultSetup()));
  ASSERT_GE(argv.size(), 5u);
  EXPECT_EQ(argv[argv.size() - 4], "/in/odd\\");
  EXPECT_EQ(argv[argv.size() - 3], "-I/usr/bin/");
}

TEST(BuildGhostscriptCommandLine, RejectsEmptyPathsAndOverlongLines) {
  std::string line;
  EXPECT_EQ(BuildGhostscriptCommandLine(Request("", kDeviceTiffG4, 300), DefaultSetup(), &line),
            -1);
  RenderRequest request = Request("/out/a.tif", kDeviceTiffG4, 300);
  request.inputPath.clear();
  EXPECT_EQ(BuildGhostscriptCommandLine(request, DefaultSetup(), &line), -1);
  request.inputPath = "/in/" + std::string(4000, 'x') + ".ps";
  EXPECT_EQ(BuildGhostscriptCommandLine(request, DefaultSetup(), &line), -1);
}

TEST(PointsToPixels, LetterPageAtCommonResolutions) {
  EXPECT_EQ(static_cast<int>(PointsToPixels(612, 300)), 2550);
  EXPECT_EQ(static_cast<int>(PointsToPixels(792, 300)), 3300);
  EXPECT_EQ(static_cast<int>(PointsToPixels(595, 72)), 595);
  EXPECT_EQ(static_cast<int>(PointsToPixels(612, 0)), 0);
}

}  // namespace
}  // namespace scrivex
