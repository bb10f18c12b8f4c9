#include "image/post_process.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "postscript/progress.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

// Taken before any test points TMPDIR at its own folder.
const fs::path kBaseTemp = fs::temp_directory_path();

// A small RGB TIFF, uncompressed, one page per row count given.
void WriteRgbTiff(const fs::path& path, int pages) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  std::vector<uint8_t> row(16 * 3, 200);
  for (int page = 0; page < pages; ++page) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 8);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
    for (uint32_t y = 0; y < 8; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
    TIFFWriteDirectory(tif);
  }
  TIFFClose(tif);
}

int CompressionOf(const fs::path& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return -1;
  uint16_t compression = 0;
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFClose(tif);
  return compression;
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct CallbackLog {
  static inline std::vector<std::string> paths;
  static inline std::string message;
  static inline int answer = 1;
  static int Record(const char* path, const char* text, int value) {
    paths.push_back(path);
    message = text;
    EXPECT_EQ(value, 0);
    return answer;
  }
};

class PostProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        kBaseTemp / ("scrivex-post-" + std::to_string(std::random_device()()) +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    CallbackLog::paths.clear();
    CallbackLog::answer = 1;
  }
  void TearDown() override {
    SetProgressCallback(nullptr);
    fs::remove_all(dir_);
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  void Touch(const std::string& name) const { std::ofstream(dir_ / name) << "x"; }

  fs::path dir_;
};

TEST(IsPageFileOf, OutputItselfAndItsNumberedPagesOnly) {
  EXPECT_TRUE(IsPageFileOf("/d/out.tif", "/d/out.tif"));
  EXPECT_TRUE(IsPageFileOf("/d/out_0001.tif", "/d/out.tif"));
  EXPECT_TRUE(IsPageFileOf("/d/out_12345.TIF", "/d/out.tif"));
  EXPECT_FALSE(IsPageFileOf("/d/outline.tif", "/d/out.tif"));
  EXPECT_FALSE(IsPageFileOf("/d/out_.tif", "/d/out.tif"));
  EXPECT_FALSE(IsPageFileOf("/d/out_0001a.tif", "/d/out.tif"));
  EXPECT_FALSE(IsPageFileOf("/d/out_0001_tmp.tif", "/d/out.tif"));
  EXPECT_FALSE(IsPageFileOf("/d/out_0001.png", "/d/out.tif"));
  EXPECT_FALSE(IsPageFileOf("/d/Out_0001.tif", "/d/out.tif"));
}

TEST(NeedsTiffRecompression, DepthAndCompressionRows) {
  for (int depth : {0, 8, 24}) {
    for (int code : {0, 1, 4, 5, 32809, 88881}) EXPECT_TRUE(NeedsTiffRecompression(depth, code));
  }
  for (int code : {1, 3, 32773, 88880, 88881, 88882, 88883, 88884}) {
    EXPECT_TRUE(NeedsTiffRecompression(1, code)) << code;
  }
  for (int code : {0, 2, 4, 5, 6, 7, 32809}) EXPECT_FALSE(NeedsTiffRecompression(1, code)) << code;
  for (int depth : {12, 32, 16}) EXPECT_FALSE(NeedsTiffRecompression(depth, 1));
}

TEST_F(PostProcessTest, FindMatchingFilesIsAWildcardSearchByName) {
  Touch("out_0002.tif");
  Touch("out.tif");
  Touch("outline.tif");
  Touch("out_0001.tif");
  Touch("out_0001.png");
  fs::create_directories(dir_ / "out_dir.tif");
  std::vector<std::string> list = {"kept"};
  EXPECT_EQ(FindMatchingFiles(P("out*.tif"), &list), 5);
  EXPECT_EQ(list, (std::vector<std::string>{"kept", P("out.tif"), P("out_0001.tif"),
                                            P("out_0002.tif"), P("outline.tif")}));
  EXPECT_EQ(ListPageFiles(P("out.tif")),
            (std::vector<std::string>{P("out.tif"), P("out_0001.tif"), P("out_0002.tif")}));
  std::vector<std::string> none;
  EXPECT_EQ(FindMatchingFiles(P("missing-dir/out*.tif"), &none), 0);
  EXPECT_TRUE(none.empty());
}

TEST_F(PostProcessTest, NothingProduced) {
  EXPECT_EQ(PostProcessImages(P("out.png"), 24, 0, 0, 300, 300), 0);
  // A missing one-file output is a failure whatever its type.
  EXPECT_EQ(PostProcessImages(P("out.pdf"), 24, 0, 1, 300, 300), 0);
  EXPECT_EQ(PostProcessImages(P("out.ps"), 24, 0, 1, 300, 300), 0);
  // An unrelated name that the wildcard matches is no page of this output.
  WriteRgbTiff(dir_ / "outline.tif", 1);
  std::string before = Contents(dir_ / "outline.tif");
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 0, 300, 300), 0);
  EXPECT_EQ(Contents(dir_ / "outline.tif"), before);
}

TEST_F(PostProcessTest, ProducedFilesWithoutRecompression) {
  Touch("out.pdf");
  EXPECT_EQ(PostProcessImages(P("out.pdf"), 24, 0, 1, 300, 300), 1);
  Touch("out_0001.png");
  Touch("out_0002.png");
  EXPECT_EQ(PostProcessImages(P("out.png"), 24, 0, 0, 300, 300), 1);
  // Pages that do not start at 1 still count.
  Touch("other_0003.jpg");
  EXPECT_EQ(PostProcessImages(P("other.jpg"), 24, 0, 0, 300, 300), 1);
}

TEST_F(PostProcessTest, RecompressesTheOutputsTiffPagesOnly) {
  WriteRgbTiff(dir_ / "out_0001.tif", 1);
  WriteRgbTiff(dir_ / "out_0002.tif", 2);
  WriteRgbTiff(dir_ / "outline.tif", 1);
  std::string outline = Contents(dir_ / "outline.tif");
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 0, 200, 200), 1);
  EXPECT_EQ(CompressionOf(dir_ / "out_0001.tif"), COMPRESSION_PACKBITS);
  EXPECT_EQ(CompressionOf(dir_ / "out_0002.tif"), COMPRESSION_PACKBITS);
  EXPECT_EQ(Contents(dir_ / "outline.tif"), outline);
}

TEST_F(PostProcessTest, GroupFourBilevelStaysAsWritten) {
  WriteRgbTiff(dir_ / "fax.tif", 1);
  std::string before = Contents(dir_ / "fax.tif");
  EXPECT_EQ(PostProcessImages(P("fax.tif"), 1, 4, 1, 200, 200), 1);
  EXPECT_EQ(PostProcessImages(P("fax.tif"), 12, 1, 1, 200, 200), 1);
  EXPECT_EQ(Contents(dir_ / "fax.tif"), before);
}

TEST_F(PostProcessTest, UnreadableTiffGivesTheRecompressionsFailure) {
  Touch("broken.tif");
  EXPECT_EQ(PostProcessImages(P("broken.tif"), 24, 0, 1, 200, 200), 0);
}

TEST_F(PostProcessTest, ProgressCallbackSeesTheProbeAndCanStop) {
  WriteRgbTiff(dir_ / "out.tif", 1);
  std::string before = Contents(dir_ / "out.tif");
  SetProgressCallback(&CallbackLog::Record);
  CallbackLog::answer = 0;
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 1, 200, 200), 1);
  EXPECT_EQ(Contents(dir_ / "out.tif"), before);
  EXPECT_EQ(CallbackLog::paths, (std::vector<std::string>{P("out.tif")}));
  EXPECT_EQ(CallbackLog::message, "Processing image files...");

  CallbackLog::answer = 7;
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 1, 200, 200), 1);
  EXPECT_EQ(CompressionOf(dir_ / "out.tif"), COMPRESSION_PACKBITS);

  // Numbered pages: the probe is the first page's name; nothing produced, no call.
  CallbackLog::paths.clear();
  Touch("page_0001.png");
  EXPECT_EQ(PostProcessImages(P("page.png"), 24, 0, 0, 200, 200), 1);
  EXPECT_EQ(PostProcessImages(P("none.png"), 24, 0, 0, 200, 200), 0);
  EXPECT_EQ(CallbackLog::paths, (std::vector<std::string>{P("page_0001.png")}));
}

}  // namespace
}  // namespace scrivex
