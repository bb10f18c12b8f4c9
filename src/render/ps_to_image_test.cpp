// Renders with a stand-in Ghostscript; real renders are checked end to end
// by tests/gs_render_test.sh.
#include "render/ps_to_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "ghostscript/ghostscript_locator.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

using namespace test;
namespace fs = std::filesystem;

class PsToImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("TMPDIR", P(""));  // where the stand-in goes, in p2t/
    dir_.Write("doc.ps", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 144 72\n0 0 10 10 rectfill\n");
    // Whole files of each type, for the stand-in to write.
    dir_.Write("mixed.pdf", kPdf);
    platform::RunChild({"gs", "-q", "-sDEVICE=pdfwrite", "-o", P("whole.pdf"), "-c",
                        "0 0 moveto 9 9 lineto stroke showpage"});
    platform::RunChild({"gs", "-q", "-sDEVICE=tiffg4", "-o", P("whole.tif"), "-c", "showpage"});
    platform::RunChild({"gs", "-q", "-sDEVICE=ps2write", "-o", P("whole.ps"), "-c", "showpage"});
    platform::RunChild({"gs", "-q", "-sDEVICE=pdfwrite", "-o", P("three.pdf"), "-c",
                        "1 1 3 { pop 0 0 moveto 9 9 lineto stroke showpage } for"});
    dir_.Write("whole.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(12, 'x') + "IEND" +
                                std::string(4, '\0'));
  }
  // A one-page PDF (without a cross-reference table) whose second line
  // looks like EPS.
  static constexpr const char* kPdf =
      "%PDF-1.4\n%!PS-Adobe-3.0 EPSF-3.0\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
      "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
      "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 72 72]/Contents 4 0 R>>endobj\n"
      "4 0 obj<</Length 8>>stream\n0 0 m 9 9 l S\nendstream endobj\ntrailer<</Root 1 0 "
      "R>>\n%%EOF\n";
  void TearDown() override { SetSystemGhostscriptDirForTesting(""); }
  std::string P(const std::string& name) const { return dir_.Path(name); }
  int Convert(const std::string& in, const std::string& out, float dpi = 72, int bits = 24) {
    ImageRequest request;
    request.input = in;
    request.output = out;
    request.resolutionX = request.resolutionY = dpi;
    request.colorBits = bits;
    why_.clear();
    return ConvertPsToImage(request, &why_);
  }
  std::string why_;  // why the last Convert failed
  // The arguments the stand-in was started with, one a line.
  std::string Args() const { return ReadBytes(P("args.txt")); }

  // A stand-in Ghostscript that records its arguments and GS_LIB, writes a
  // whole file of the output's type when asked, and exits with the status.
  // It prints `said` unless started with `quietWith` among its arguments.
  void InstallFakeGhostscript(int exitStatus, bool writeOutput, const std::string& said = "",
                              const std::string& quietWith = "") {
    std::string script = "printf '%s\\n' \"$@\" > '" + P("args.txt") +
                         "'\nprintf '%s' \"$GS_LIB\" > '" + P("gslib.txt") + "'\n";
    if (!said.empty()) {
      script += "case \" $* \" in *\" " + (quietWith.empty() ? "-never-" : quietWith) +
                " \"*) ;; *) printf '" + said + "';; esac\n";
    }
    if (writeOutput) {
      script +=
          "for a in \"$@\"; do case \"$a\" in -sOutputFile=*) "
          "f=\"${a#-sOutputFile=}\"; cp '" +
          P("whole.") +
          "'\"${f##*.}\" \"$(printf \"$f\" 1)\";; "
          "esac; done\n";
    }
    InstallGhostscript(script + "exit " + std::to_string(exitStatus) + "\n");
  }
  // `script` as the Ghostscript found first.
  void InstallGhostscript(const std::string& script) {
    fs::create_directories(P("p2t"));
    dir_.Write("p2t/gs", "#!/bin/sh\n" + script);
    fs::permissions(P("p2t/gs"), fs::perms::owner_all);
  }

  ScratchDir dir_;
  ScopedEnv env_;
};

TEST_F(PsToImageTest, WhatReachesGhostscript) {
  InstallFakeGhostscript(0, false);
  const std::string gsLib = platform::GetEnv("GS_LIB");
  dir_.Write("pic.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 72\n%%EOF\n");
  // Nothing written: nothing produced.
  EXPECT_EQ(Convert(P("pic.eps"), P("out.png"), 150, 1), 0);
  // Page files collect in a staging folder beside the output.
  EXPECT_NE(Args().find("-sOutputFile=" + P(".scrivex-")), std::string::npos) << Args();
  EXPECT_NE(Args().find("/out_%04d.png\n"), std::string::npos) << Args();
  for (const std::string& line : std::vector<std::string>{
           "-dEPSFitPage", "-sDEVICE=pngmono", "-g300x150", "-f\n" + P("pic.eps"), "-I" + P("p2t/"),
           "-sFONTPATH=" + platform::ProgramDirectory() + "windows/fonts"}) {
    EXPECT_NE(Args().find(line + "\n"), std::string::npos) << line << " in\n" << Args();
  }
  EXPECT_EQ(ReadBytes(P("gslib.txt")), P("p2t/"));
  EXPECT_EQ(platform::GetEnv("GS_LIB"), gsLib) << "set for the child only";

  // A PDF whose first lines look like EPS is never fitted as EPS, and a
  // box comment inside it is no size of its pages.
  Convert(P("mixed.pdf"), P("out.png"));
  EXPECT_NE(Args().find("-f\n" + P("mixed.pdf")), std::string::npos);
  EXPECT_EQ(Args().find("-dEPSFitPage"), std::string::npos);
  dir_.Write("boxed.pdf", std::string(kPdf) + "%%BoundingBox: 0 0 100 50\n");
  Convert(P("boxed.pdf"), P("out.png"));
  EXPECT_EQ(Args().find("\n-g"), std::string::npos) << Args();
  // A protected PDF opens with the request's password, the owner's first.
  ImageRequest locked;
  locked.input = P("mixed.pdf");
  locked.output = P("out.png");
  locked.userPassword = "reader";
  locked.ownerPassword = "boss";
  ConvertPsToImage(locked, nullptr);
  EXPECT_NE(Args().find("-sPDFPassword=boss\n"), std::string::npos) << Args();
  // GIF pages are rendered with a palette before they are re-encoded.
  Convert(P("doc.ps"), P("out.gif"));
  EXPECT_NE(Args().find("-sDEVICE=png256\n"), std::string::npos) << Args();
}

// Only a clean run that wrote something counts; pages an earlier run left are
// no result of a failed one.
TEST_F(PsToImageTest, OnlyACleanRunThatWroteCounts) {
  dir_.Write("old_0001.png", "earlier run");
  InstallFakeGhostscript(1, true);
  EXPECT_EQ(Convert(P("doc.ps"), P("old.png")), 0);
  EXPECT_EQ(Convert(P("doc.ps"), P("out.pdf")), 0);
  InstallFakeGhostscript(0, false);
  EXPECT_EQ(Convert(P("doc.ps"), P("out.pdf")), 0);

  InstallFakeGhostscript(0, true);
  EXPECT_EQ(Convert(P("doc.ps"), P("a.pdf"), 1200), 0);  // invalid: never started
  EXPECT_EQ(Convert(P("doc.ps"), P("out.pdf")), 1);
  EXPECT_EQ(ReadBytes(P("out.pdf")), ReadBytes(P("whole.pdf")));
  EXPECT_EQ(Convert(P("doc.ps"), P("pg.png")), 1);
  EXPECT_TRUE(platform::FileExists(P("pg_0001.png")));

  // A file holding fewer pages than the PDF asked for is no result, whatever
  // its type.
  for (const char* out : {"few.pdf", "few.tif", "few.ps"}) {
    EXPECT_EQ(Convert(P("three.pdf"), P(out)), 0) << out;
    EXPECT_NE(why_.find("holds 1 pages of 3"), std::string::npos) << why_;
    EXPECT_FALSE(platform::FileExists(P(out))) << out;
  }

  fs::remove_all(P("p2t"));
  SetSystemGhostscriptDirForTesting(P("nowhere"));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Convert(P("doc.ps"), P("new.tif")), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Ghostscript"), std::string::npos);
}

// Ghostscript's PDF reader may refuse a file and still end with 0 (it writes
// a blank page): the older reader gets one try, and a file that neither reads
// is Failed with Ghostscript's message, never a blank success.
TEST_F(PsToImageTest, ARefusedPdfIsReadAgainThenFails) {
  const std::string refusal =
      "   **** Error: Couldn\\047t initialise file.\\nNo pages will be processed (FirstPage > "
      "LastPage).\\n";
  InstallFakeGhostscript(0, true, refusal, "-dNEWPDF=false");
  EXPECT_EQ(Convert(P("whole.pdf"), P("read.pdf")), 1);
  EXPECT_NE(Args().find("-dNEWPDF=false\n"), std::string::npos) << Args();
  EXPECT_EQ(Convert(P("whole.pdf"), P("read.png")), 1);

  InstallFakeGhostscript(0, true, refusal);
  for (const char* out : {"refused.pdf", "refused.tif", "refused.png"}) {
    EXPECT_EQ(Convert(P("whole.pdf"), P(out)), 0) << out;
    EXPECT_EQ(why_, "Ghostscript cannot read the file: Couldn't initialise file.");
  }
  EXPECT_FALSE(platform::FileExists(P("refused.pdf")));
  // PostScript has one reader only.
  EXPECT_EQ(Convert(P("doc.ps"), P("ps.pdf")), 0);
  EXPECT_EQ(Args().find("-dNEWPDF=false"), std::string::npos);
}

// A PDF's pages are checked while Ghostscript already renders it: an input
// the check refuses stops Ghostscript and fails for the check's reason, with
// nothing written; pages that need a BigTIFF render again with one.
TEST_F(PsToImageTest, ThePdfCheckStopsGhostscriptOrRendersAgain) {
  // A render takes 5 seconds and leaves a mark when it ends; the font list
  // the font map asks for fails at once.
  InstallGhostscript("case \"$*\" in *-sOutputFile=*) ;; *) exit 1;; esac\nsleep 5\ntouch '" +
                     P("ran-to-end") + "'\n");
  dir_.Write("broken.pdf", "%PDF-1.4\nno objects here\n");
  EXPECT_EQ(Convert(P("broken.pdf"), P("broken.tif")), 0);
  EXPECT_EQ(why_.rfind("not a readable PDF: ", 0), 0u) << why_;
  ImageRequest past;
  past.input = P("three.pdf");
  past.output = P("past.png");
  past.firstPage = 5;
  why_.clear();
  EXPECT_EQ(ConvertPsToImage(past, &why_), 0);
  EXPECT_EQ(why_, "the range starts at page 5 of a 3-page document");
  // Neither render ran to its end, and nothing is left.
  EXPECT_FALSE(platform::FileExists(P("ran-to-end")));
  for (const auto& entry : fs::directory_iterator(P(""))) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.rfind("broken.", 0) != 0 || name == "broken.pdf") << name;
    EXPECT_TRUE(name.rfind(".scrivex-", 0) != 0 && name.rfind("past", 0) != 0) << name;
  }

  // 20000 points square at 300 dpi: past 4 GiB even at one bit a pixel. The
  // renders are logged, one line each.
  std::string huge = kPdf;
  huge.replace(huge.find("[0 0 72 72]"), 11, "[0 0 20000 20000]");
  dir_.Write("huge.pdf", huge);
  InstallGhostscript(
      "for a in \"$@\"; do case \"$a\" in -sOutputFile=*) printf '%s\\n' \"$*\" >> '" +
      P("renders.txt") + "'\ncp '" + P("whole.tif") + "' \"${a#-sOutputFile=}\";; esac; done\n");
  EXPECT_EQ(Convert(P("huge.pdf"), P("huge.tif"), 300, 1), 1) << why_;
  std::vector<std::string> renders;
  std::istringstream log(ReadBytes(P("renders.txt")));
  for (std::string line; std::getline(log, line);) renders.push_back(line);
  // The first was stopped, maybe before it logged; the last asked for BigTIFF.
  ASSERT_TRUE(!renders.empty() && renders.size() <= 2) << renders.size();
  EXPECT_NE(renders.back().find("-dUseBigTIFF"), std::string::npos) << renders.back();
  EXPECT_EQ(renders.front().find("-dUseBigTIFF") == std::string::npos, renders.size() == 2);
}

// A watched rendering tells its stages and, for a PDF, Ghostscript's pages
// (real Ghostscript here); the page lines are no part of a failure's reason.
TEST_F(PsToImageTest, ProgressTellsStagesAndPages) {
  std::vector<ProgressUpdate> seen;
  ImageRequest request;
  request.input = P("three.pdf");
  request.output = P("lzw.tif");
  request.resolutionX = request.resolutionY = 20;
  request.tiffCompression = 5;
  // Pages 2 and 3: counted from the first asked for.
  request.firstPage = 2;
  request.lastPage = 3;
  request.progress = [&](const ProgressUpdate& update) { seen.push_back(update); };
  ASSERT_EQ(ConvertPsToImage(request, &why_), 1) << why_;
  const std::vector<ProgressUpdate> want = {{"reading the input", 0, 0},   {"rendering", 0, 0},
                                            {"rendering", 1, 2},           {"rendering", 2, 2},
                                            {"checking the output", 0, 0}, {"writing TIFF", 1, 2},
                                            {"writing TIFF", 2, 2}};
  EXPECT_EQ(seen, want);

  seen.clear();
  InstallFakeGhostscript(1, false,
                         "Processing pages 1 through 3.\\nPage 1\\nPage 2\\n"
                         "   **** Error: page 2 is broken\\n");
  request.output = P("broken.tif");
  request.firstPage = request.lastPage = -1;
  why_.clear();
  EXPECT_EQ(ConvertPsToImage(request, &why_), 0);
  EXPECT_EQ(why_, "gs failed with exit status 1:    **** Error: page 2 is broken");
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.back(), (ProgressUpdate{"rendering", 2, 3}));
}

}  // namespace
}  // namespace scrivex
