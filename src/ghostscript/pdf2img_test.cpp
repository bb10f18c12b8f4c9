#include "ghostscript/pdf2img.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "ghostscript/ghostscript_locator.h"
#include "ghostscript/scoped_env.h"
#include "image/image_converter.h"
#include "platform/files.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

// Taken before any test points TMPDIR at its own folder.
const fs::path kBaseTemp = fs::temp_directory_path();

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A PostScript document of `pages` pages of 2 x 1 inch.
std::string PostScript(int pages) {
  std::string ps = "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 144 72\n%%Pages: " + std::to_string(pages) +
                   "\n%%EndComments\n";
  for (int page = 1; page <= pages; ++page) {
    ps += "%%Page: " + std::to_string(page) + " " + std::to_string(page) + "\n";
    ps += "<< /PageSize [144 72] >> setpagedevice\n";
    ps += "0 0 moveto " + std::to_string(page * 20) + " 0 rlineto 0 30 rlineto closepath fill\n";
    ps += "showpage\n";
  }
  return ps + "%%EOF\n";
}

int TiffPages(const fs::path& path, uint32_t* width = nullptr, uint16_t* samples = nullptr) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return -1;
  if (width) TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, width);
  if (samples) TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  int pages = TIFFNumberOfDirectories(tif);
  TIFFClose(tif);
  return pages;
}

// Width, height, bit depth and colour type from a PNG header.
struct PngHeader {
  uint32_t width = 0, height = 0;
  int depth = -1, colorType = -1;
};
PngHeader ReadPngHeader(const fs::path& path) {
  std::string data = Contents(path);
  PngHeader header;
  if (data.size() < 26) return header;
  auto u32 = [&](size_t at) {
    return (uint32_t(uint8_t(data[at])) << 24) | (uint32_t(uint8_t(data[at + 1])) << 16) |
           (uint32_t(uint8_t(data[at + 2])) << 8) | uint32_t(uint8_t(data[at + 3]));
  };
  header.width = u32(16);
  header.height = u32(20);
  header.depth = uint8_t(data[24]);
  header.colorType = uint8_t(data[25]);
  return header;
}

class Pdf2ImgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        kBaseTemp / ("scrivex-pdf2img-" + std::to_string(std::random_device()()) +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "home");
    fs::create_directories(dir_ / "tmp");
    fs::permissions(dir_ / "tmp", fs::perms::owner_all);  // a private temporary folder
    env_.Set("SCRIVEX_HOME", (dir_ / "home").string());
    env_.Set("TMPDIR", (dir_ / "tmp").string());
    std::ofstream(dir_ / "doc.ps") << PostScript(3);
  }
  void TearDown() override {
    SetSystemGhostscriptDirForTesting("");
    fs::remove_all(dir_);
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  bool HaveGhostscript() const { return platform::FileExists("/usr/bin/gs"); }

  // A stand-in Ghostscript in the temporary folder's p2t/ that records its
  // arguments and GS_LIB, writes the output file it was named, and exits
  // with the given status.
  void InstallFakeGhostscript(int exitStatus, bool writeOutput) {
    fs::path p2t = dir_ / "tmp" / "p2t";
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

  fs::path dir_;
  ScopedEnv env_;
};

TEST_F(Pdf2ImgTest, CommandLineReachesGhostscriptWithItsLibraryPath) {
  InstallFakeGhostscript(0, false);
  std::ofstream(dir_ / "pic.eps") << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 72\n"
                                     "0 0 10 10 rectfill\n%%EOF\n";
  // Nothing written: nothing produced.
  EXPECT_EQ(ConvertPsToImage(P("pic.eps"), P("out.png"), 0, 0, 150, 150, 0, 1, -1, -1, 100, 1, 0),
            0);
  std::vector<std::string> args = Lines(dir_ / "args.txt");
  std::string p2t = (dir_ / "tmp").string() + "/p2t/";
  EXPECT_EQ(
      args,
      (std::vector<std::string>{
          "-q", "-dBATCH", "-dMaxBitmap=300000000", "-dNOPAUSE", "-dUseCropBox", "-dEPSFitPage",
          "-dSAFER", "-sDEVICE=pngmono", "-g300x150", "-r150x150", "-dNOPLATFONTS",
          "-sFONTPATH=" + platform::ProgramDirectory() + "windows/fonts",
          "-sOutputFile=" + P("out_%04d.png"), "-f", P("pic.eps"), "-I" + p2t, "-c", "quit"}));
  EXPECT_EQ(Contents(dir_ / "gslib.txt"), p2t);
}

TEST_F(Pdf2ImgTest, PdfInputIsNeverFittedAsEps) {
  InstallFakeGhostscript(0, false);
  std::ofstream(dir_ / "mixed.pdf") << "%PDF-1.4\n%!PS-Adobe-3.0 EPSF-3.0\n%%EOF\n";
  ConvertPsToImage(P("mixed.pdf"), P("out.png"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0);
  std::vector<std::string> args = Lines(dir_ / "args.txt");
  ASSERT_FALSE(args.empty());
  EXPECT_EQ(std::find(args.begin(), args.end(), "-dEPSFitPage"), args.end());
}

TEST_F(Pdf2ImgTest, GhostscriptErrorIsAFailureEvenWithFilesLeft) {
  std::ofstream(dir_ / "out.pdf") << "earlier";
  InstallFakeGhostscript(1, true);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  // What the failed run wrote never replaces the earlier output, nor stays.
  EXPECT_EQ(Contents(dir_ / "out.pdf"), "earlier");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 4);  // doc.ps, out.pdf, args.txt, gslib.txt

  InstallFakeGhostscript(0, false);  // a clean exit that wrote nothing
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_EQ(Contents(dir_ / "out.pdf"), "earlier");

  InstallFakeGhostscript(0, true);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 1);
  EXPECT_EQ(Contents(dir_ / "out.pdf"), "x");
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("pg.png"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 1);
  EXPECT_TRUE(platform::FileExists(P("pg_0001.png")));
}

TEST_F(Pdf2ImgTest, StaleFilesAreNoResultOfAFailedRun) {
  InstallFakeGhostscript(1, false);
  std::ofstream(dir_ / "old_0001.png") << "earlier run";
  std::ofstream(dir_ / "old.pdf") << "earlier run";
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("old.png"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("old.pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
}

TEST_F(Pdf2ImgTest, MissingGhostscriptFailsWithoutACrash) {
  SetSystemGhostscriptDirForTesting(P("nowhere"));
  std::ofstream(dir_ / "out.pdf") << "earlier";
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.tif"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_EQ(Contents(dir_ / "out.pdf"), "earlier");
}

TEST_F(Pdf2ImgTest, InvalidRequestsProduceNothing) {
  InstallFakeGhostscript(0, true);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("a.pdf"), 0, 0, 1200, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_EQ(ConvertPsToImage("", P("b.pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), "", 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("c\".pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 0);
  EXPECT_FALSE(platform::FileExists(P("args.txt")));
}

TEST_F(Pdf2ImgTest, MultiPageTiffFromPostScript) {
  if (!HaveGhostscript()) GTEST_SKIP();
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.tif"), 0, 0, 100, 100, 0, 1, -1, -1, 100, 24, 0),
            1);
  uint32_t width = 0;
  uint16_t samples = 0;
  EXPECT_EQ(TiffPages(dir_ / "out.tif", &width, &samples), 3);
  EXPECT_EQ(width, 200u);
  EXPECT_EQ(samples, 3);
}

TEST_F(Pdf2ImgTest, NumberedPngPagesAndGrayscale) {
  if (!HaveGhostscript()) GTEST_SKIP();
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("mono.png"), 0, 0, 100, 50, 0, 1, -1, -1, 100, 1, 0),
            1);
  for (const char* page : {"mono_0001.png", "mono_0002.png", "mono_0003.png"}) {
    PngHeader header = ReadPngHeader(dir_ / page);
    EXPECT_EQ(header.width, 200u) << page;
    EXPECT_EQ(header.height, 50u) << page;
    EXPECT_EQ(header.depth, 1) << page;
  }
  EXPECT_FALSE(platform::FileExists(P("mono_0004.png")));

  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("gray.png"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 1),
            1);
  PngHeader gray = ReadPngHeader(dir_ / "gray_0001.png");
  EXPECT_EQ(gray.depth, 8);
  EXPECT_EQ(gray.colorType, 0);  // gray, no colour
}

TEST_F(Pdf2ImgTest, PdfOutputThenAPageRangeOfIt) {
  if (!HaveGhostscript()) GTEST_SKIP();
  ASSERT_EQ(ConvertPsToImage(P("doc.ps"), P("doc.pdf"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 1);
  EXPECT_EQ(Contents(dir_ / "doc.pdf").compare(0, 5, "%PDF-"), 0);
  EXPECT_EQ(ConvertPsToImage(P("doc.pdf"), P("range.png"), 0, 0, 72, 72, 0, 1, 2, 3, 100, 24, 0),
            1);
  EXPECT_TRUE(platform::FileExists(P("range_0001.png")));
  EXPECT_TRUE(platform::FileExists(P("range_0002.png")));
  EXPECT_FALSE(platform::FileExists(P("range_0003.png")));
  // The second rendered page is the document's third: the widest bar.
  EXPECT_GT(Contents(dir_ / "range_0002.png").size(), 0u);
}

TEST_F(Pdf2ImgTest, PostScriptAndEpsOutputsWithTodaysWriters) {
  if (!HaveGhostscript()) GTEST_SKIP();
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.ps"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 1);
  EXPECT_EQ(Contents(dir_ / "out.ps").compare(0, 4, "%!PS"), 0);
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.eps"), 0, 0, 72, 72, 0, 1, 1, 1, 100, 24, 0), 1);
  EXPECT_NE(Contents(dir_ / "out_0001.eps").find("EPSF"), std::string::npos);
}

TEST_F(Pdf2ImgTest, JpegQualityReachesTheDevice) {
  if (!HaveGhostscript()) GTEST_SKIP();
  ASSERT_EQ(ConvertPsToImage(P("doc.ps"), P("low.jpg"), 0, 0, 300, 300, 0, 1, 1, 1, 5, 24, 0), 1);
  ASSERT_EQ(ConvertPsToImage(P("doc.ps"), P("high.jpg"), 0, 0, 300, 300, 0, 1, 1, 1, 100, 24, 0),
            1);
  EXPECT_LT(Contents(dir_ / "low_0001.jpg").size(), Contents(dir_ / "high_0001.jpg").size());
}

TEST_F(Pdf2ImgTest, GifAndDcxAreRealFilesOfTheirFormat) {
  if (!HaveGhostscript()) GTEST_SKIP();
  if (!platform::FileExists(platform::ProgramDirectory() + kImageConverterName)) {
    GTEST_SKIP() << "no image converter beside the test";
  }
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.gif"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 1);
  for (const char* page : {"out_0001.gif", "out_0002.gif", "out_0003.gif"}) {
    EXPECT_EQ(Contents(dir_ / page).compare(0, 4, "GIF8"), 0) << page;
  }
  EXPECT_EQ(ConvertPsToImage(P("doc.ps"), P("out.dcx"), 0, 0, 72, 72, 0, 1, -1, -1, 100, 24, 0), 1);
  EXPECT_EQ(Contents(dir_ / "out.dcx").compare(0, 4, "\xb1\x68\xde\x3a"), 0);
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));  // the PNG pages are gone
}

}  // namespace
}  // namespace scrivex
