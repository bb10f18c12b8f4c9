// Renders with a stand-in Ghostscript; real renders are checked end to end
// by tests/gs_render_test.sh.
#include "render/ps_to_image.h"

#include <gtest/gtest.h>

#include "ghostscript/ghostscript_locator.h"
#include "platform/test_support.h"
#include "image/tiff_test_support.h"
#include "platform/files.h"

namespace scrivex {
namespace {

using namespace tiff_test;

class Pdf2ImgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.path / "tmp");
    fs::permissions(dir_.path / "tmp", fs::perms::owner_all);  // a private temporary folder
    env_.Set("TMPDIR", P("tmp"));
    WriteBytes(P("doc.ps"), "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 144 72\n0 0 10 10 rectfill\n");
  }
  void TearDown() override { SetSystemGhostscriptDirForTesting(""); }
  std::string P(const std::string& name) const { return dir_.File(name); }
  int Convert(const std::string& in, const std::string& out, float resolution = 72) {
    return ConvertPsToImage(in, out, 0, 0, resolution, 72, 0, 1, -1, -1, 100, 24, 0);
  }

  // A stand-in Ghostscript in the temporary folder's p2t/ that records its
  // arguments and GS_LIB, writes the output file it was named when asked,
  // and exits with the given status.
  void InstallFakeGhostscript(int exitStatus, bool writeOutput) {
    fs::path p2t = dir_.path / "tmp" / "p2t";
    fs::create_directories(p2t);
    std::ofstream script(p2t / "gs");
    script << "#!/bin/sh\n"
           << "printf '%s\\n' \"$@\" > '" << P("args.txt") << "'\n"
           << "printf '%s' \"$GS_LIB\" > '" << P("gslib.txt") << "'\n";
    if (writeOutput) {
      script << "for a in \"$@\"; do case \"$a\" in -sOutputFile=*) "
             << "f=\"${a#-sOutputFile=}\"; printf 'x' > \"$(printf \"$f\" 1)\";; esac; done\n";
    }
    script << "exit " << exitStatus << "\n";
    script.close();
    fs::permissions(p2t / "gs", fs::perms::owner_all);
  }

  ScratchDir dir_;
  ScopedEnv env_;
};

TEST_F(Pdf2ImgTest, CommandLineReachesGhostscriptWithItsLibraryPath) {
  InstallFakeGhostscript(0, false);
  const std::string gsLib = platform::GetEnv("GS_LIB");
  WriteBytes(P("pic.eps"),
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 72\n"
             "0 0 10 10 rectfill\n%%EOF\n");
  // Nothing written: nothing produced.
  EXPECT_EQ(ConvertPsToImage(P("pic.eps"), P("out.png"), 0, 0, 150, 150, 0, 1, -1, -1, 100, 1, 0),
            0);
  std::string p2t = P("tmp") + "/p2t/";
  EXPECT_EQ(ReadBytes(P("args.txt")),
            "-q\n-dBATCH\n-dMaxBitmap=300000000\n-dNOPAUSE\n-dUseCropBox\n-dEPSFitPage\n"
            "-dSAFER\n-sDEVICE=pngmono\n-g300x150\n-r150x150\n-dNOPLATFONTS\n-sFONTPATH=" +
                platform::ProgramDirectory() + "windows/fonts\n-sOutputFile=" + P("out_%04d.png") +
                "\n-f\n" + P("pic.eps") + "\n-I" + p2t + "\n-c\nquit\n");
  EXPECT_EQ(ReadBytes(P("gslib.txt")), p2t);
  EXPECT_EQ(platform::GetEnv("GS_LIB"), gsLib) << "set for the child only";

  // A PDF whose first lines look like EPS is never fitted as EPS.
  WriteBytes(P("mixed.pdf"), "%PDF-1.4\n%!PS-Adobe-3.0 EPSF-3.0\n%%EOF\n");
  Convert(P("mixed.pdf"), P("out.png"));
  EXPECT_EQ(ReadBytes(P("args.txt")).find("-dEPSFitPage"), std::string::npos);
}

TEST_F(Pdf2ImgTest, FailedRunsNeverReplaceOrCount) {
  WriteBytes(P("out.pdf"), "earlier");
  WriteBytes(P("old_0001.png"), "earlier run");
  InstallFakeGhostscript(1, true);
  EXPECT_EQ(Convert(P("doc.ps"), P("out.pdf")), 0);
  EXPECT_EQ(ReadBytes(P("out.pdf")), "earlier");
  EXPECT_EQ(dir_.Files().size(), 5u);  // doc.ps, out.pdf, old_0001.png, args.txt, gslib.txt
  // Stale pages of an earlier run are no result of a failed one.
  InstallFakeGhostscript(1, false);
  EXPECT_EQ(Convert(P("doc.ps"), P("old.png")), 0);
  InstallFakeGhostscript(0, false);  // a clean exit that wrote nothing
  EXPECT_EQ(Convert(P("doc.ps"), P("out.pdf")), 0);
  EXPECT_EQ(ReadBytes(P("out.pdf")), "earlier");

  InstallFakeGhostscript(0, true);
  EXPECT_EQ(Convert(P("doc.ps"), P("out.pdf")), 1);
  EXPECT_EQ(ReadBytes(P("out.pdf")), "x");
  EXPECT_EQ(Convert(P("doc.ps"), P("pg.png")), 1);
  EXPECT_TRUE(platform::FileExists(P("pg_0001.png")));
}

TEST_F(Pdf2ImgTest, InvalidRequestsAndMissingGhostscriptProduceNothing) {
  InstallFakeGhostscript(0, true);
  EXPECT_EQ(Convert(P("doc.ps"), P("a.pdf"), 1200), 0);
  EXPECT_EQ(Convert("", P("b.pdf")), 0);
  EXPECT_EQ(Convert(P("doc.ps"), ""), 0);
  EXPECT_EQ(Convert(P("doc.ps"), P("c\".pdf")), 0);
  EXPECT_FALSE(platform::FileExists(P("args.txt")));

  fs::remove_all(dir_.path / "tmp" / "p2t");
  SetSystemGhostscriptDirForTesting(P("nowhere"));
  WriteBytes(P("out.pdf"), "earlier");
  EXPECT_EQ(Convert(P("doc.ps"), P("out.pdf")), 0);
  EXPECT_EQ(Convert(P("doc.ps"), P("out.tif")), 0);
  EXPECT_EQ(ReadBytes(P("out.pdf")), "earlier");
  EXPECT_EQ(dir_.Files().size(), 2u);
}

}  // namespace
}  // namespace scrivex
