// Calls the exported functions of libscrivex through its installed header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ghostscript/scoped_env.h"
#include "scrivex/pstoimage.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBaseTemp = fs::temp_directory_path();

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct Calls {
  static inline std::vector<std::string> paths;
  static inline std::vector<std::string> messages;
  static inline int answer = 1;
  static int Record(const char* path, const char* message, int value) {
    paths.push_back(path);
    messages.push_back(message);
    EXPECT_EQ(value, 0);
    return answer;
  }
};

class PSToImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kBaseTemp / ("scrivex-api-" + std::to_string(std::random_device()()));
    fs::create_directories(dir_ / "tmp");
    env_.Set("TMPDIR", (dir_ / "tmp").string());
    env_.Set("SCRIVEX_HOME", (dir_ / "home").string());
    Calls::paths.clear();
    Calls::messages.clear();
  }
  void TearDown() override {
    PSToImageSetProgressCBFunc(nullptr);
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
  scrivex::ScopedEnv env_;
};

TEST_F(PSToImageTest, ExtentFromTheBoundingBox) {
  PSToImageBox box = {-1, -1, -1, -1};
  EXPECT_EQ(
      PSToImageGetPSExtent(
          Write("a.ps", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 612 792\n%%EndComments\n").c_str(),
          &box),
      1);
  EXPECT_EQ(box.llx, 0);
  EXPECT_EQ(box.lly, 0);
  EXPECT_EQ(box.urx, 612);
  EXPECT_EQ(box.ury, 792);
  EXPECT_EQ(PSToImageGetPSExtent(
                Write("b.ps", "%!PS\n%%BoundingBox: [ 10 20 300.5 400 ]\n%%EOF\n").c_str(), &box),
            1);
  EXPECT_FLOAT_EQ(box.urx, 300.5f);
  EXPECT_EQ(PSToImageGetPSExtent(P("missing.ps").c_str(), &box), 0);
  EXPECT_EQ(PSToImageGetPSExtent(Write("c.ps", "%!PS\nshowpage\n").c_str(), &box), 0);
  EXPECT_EQ(PSToImageGetPSExtent(P("a.ps").c_str(), nullptr), 0);
  EXPECT_EQ(PSToImageGetPSExtent(nullptr, &box), 0);
}

TEST_F(PSToImageTest, InformationFromImageData) {
  std::string path = Write("img.eps",
                           "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 400 300\n"
                           "%ImageData: 800 600 8 3 0 1 1 \"beginimage\"\n%%EOF\n");
  float xres = -1, yres = -1, width = -1, height = -1;
  int bits = -1;
  EXPECT_EQ(PSToImageGetInformation(path.c_str(), &xres, &yres, &width, &height, &bits), 1);
  EXPECT_FLOAT_EQ(xres, 144);
  EXPECT_FLOAT_EQ(yres, 144);
  EXPECT_FLOAT_EQ(width, 800);
  EXPECT_FLOAT_EQ(height, 600);
  EXPECT_EQ(bits, 24);
  EXPECT_EQ(PSToImageGetInformation(path.c_str(), nullptr, nullptr, nullptr, nullptr, &bits), 1);

  EXPECT_EQ(PSToImageGetInformation(P("missing.eps").c_str(), &xres, &yres, &width, &height, &bits),
            0);
  EXPECT_EQ(xres, 0);
  EXPECT_EQ(bits, 0);
  bits = -1;
  EXPECT_EQ(PSToImageGetInformation(nullptr, &xres, nullptr, nullptr, nullptr, &bits), 0);
  EXPECT_EQ(bits, 0);
}

TEST_F(PSToImageTest, ConverterRejectsMissingPaths) {
  EXPECT_EQ(PSToImageConverter(nullptr, "x.tif", 0, 0, 300, 300, 0, 1, -1, -1, 100, 24, 0), -1);
  EXPECT_EQ(PSToImageConverter("x.ps", nullptr, 0, 0, 300, 300, 0, 1, -1, -1, 100, 24, 0), -1);
  EXPECT_EQ(PSToImageConverter(P("missing.ps").c_str(), P("out.tif").c_str(), 0, 0, 300, 300, 0, 1,
                               -1, -1, 100, 24, 0),
            0);
}

TEST_F(PSToImageTest, ProgressCallbackStopsThePostProcessing) {
  if (!fs::exists("/usr/bin/gs")) GTEST_SKIP() << "no Ghostscript";
  std::string input = Write("doc.ps",
                            "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 72 72\n%%EndComments\n"
                            "0 0 moveto 30 0 rlineto 0 30 rlineto closepath fill showpage\n");
  PSToImageSetProgressCBFunc(&Calls::Record);
  Calls::answer = 0;
  ASSERT_EQ(PSToImageConverter(input.c_str(), P("held.tif").c_str(), 0, 0, 100, 100, 32773, 1, -1,
                               -1, 100, 24, 0),
            1);
  EXPECT_EQ(Calls::paths, (std::vector<std::string>{P("held.tif")}));
  EXPECT_EQ(Calls::messages, (std::vector<std::string>{"Processing image files..."}));

  // Without the callback the same page is re-encoded, so the files differ.
  PSToImageSetProgressCBFunc(nullptr);
  ASSERT_EQ(PSToImageConverter(input.c_str(), P("done.tif").c_str(), 0, 0, 100, 100, 32773, 1, -1,
                               -1, 100, 24, 0),
            1);
  EXPECT_EQ(Calls::paths.size(), 1u);
  EXPECT_NE(Contents(dir_ / "held.tif"), Contents(dir_ / "done.tif"));

  // A callback that answers anything but 0 lets the work go on.
  PSToImageSetProgressCBFunc(&Calls::Record);
  Calls::answer = 2;
  ASSERT_EQ(PSToImageConverter(input.c_str(), P("page.png").c_str(), 0, 0, 100, 100, 0, 1, -1, -1,
                               100, 24, 0),
            1);
  EXPECT_EQ(Calls::paths.back(), P("page_0001.png"));
  // Nothing produced: no call.
  EXPECT_EQ(PSToImageConverter(P("missing.ps").c_str(), P("none.png").c_str(), 0, 0, 100, 100, 0, 1,
                               -1, -1, 100, 24, 0),
            0);
  EXPECT_EQ(Calls::paths.size(), 2u);
}

}  // namespace
