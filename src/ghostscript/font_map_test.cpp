#include "ghostscript/font_map.h"

#include <gtest/gtest.h>

#include "ghostscript/ghostscript_locator.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

TEST(GhostscriptFontArguments, MapsTheFolderFontsAndFollowsNewOnes) {
  std::string gsDir, lib;
  ASSERT_EQ(FindGhostscript(&gsDir, &lib), 1);
  const std::string gs = gsDir + kGhostscriptProgram, urw = "/usr/share/fonts/type1/urw-base35/";
  ScratchDir scratch;  // its own state root
  const std::string fonts = scratch.Path("fonts"), pdf = scratch.Path("in.pdf");
  fs::create_directories(fonts + "/a");
  fs::copy_file(urw + "NimbusRoman-Regular.t1", fonts + "/a/NimbusRoman-Regular.t1");
  WriteBytes(pdf, "\n %PDF-1.4\n");
  WriteBytes(scratch.Path("in.ps"), "%!PS\n%PDF-1.4\n");
  const std::vector<std::string> fontPath = {"-dNOPLATFONTS", "-sFONTPATH=" + fonts};
  EXPECT_EQ(GhostscriptFontArguments(gs, lib, fonts, scratch.Path("in.ps")), fontPath);

  const auto args = GhostscriptFontArguments(gs, lib, fonts, pdf);
  ASSERT_EQ(args.size(), 2u);
  ASSERT_TRUE(args[1].starts_with("-sFONTMAP=")) << args[1];
  const std::string map = args[1].substr(10);
  // The folder's copy wins over Ghostscript's own font of that name.
  EXPECT_NE(ReadBytes(map).find("/NimbusRoman-Regular (" + fonts + "/a/NimbusRoman-Regular.t1)"),
            std::string::npos);
  EXPECT_EQ(ReadBytes(map).find("/P052-Roman ("), std::string::npos);
  const auto made = fs::last_write_time(map);
  EXPECT_EQ(GhostscriptFontArguments(gs, lib, fonts, pdf), args);
  EXPECT_EQ(fs::last_write_time(map), made);

  // A font added in a new folder: a new map. The alias that named it still
  // leads to Ghostscript's own file, as it does with the folder on FONTPATH.
  fs::create_directories(fonts + "/b");
  fs::copy_file(urw + "P052-Roman.t1", fonts + "/b/P052-Roman.t1");
  EXPECT_EQ(GhostscriptFontArguments(gs, lib, fonts, pdf), args);
  const std::string text = ReadBytes(map);
  EXPECT_NE(text.find("/P052-Roman (" + fonts + "/b/P052-Roman.t1)"), std::string::npos) << text;
  size_t alias = text.find("/Palatino-Roman (");
  ASSERT_NE(alias, std::string::npos) << text;
  EXPECT_EQ(text.substr(alias, text.find('\n', alias) - alias).find(fonts), std::string::npos);

  // A font collection (the set-up installs one for the text printer) is
  // mapped by its first font's name; the later fonts' names keep the
  // substitute the folder scan gives them.
  const std::string collection = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
  ASSERT_TRUE(fs::exists(collection)) << "scripts/setup installs fonts-wqy-microhei";
  fs::create_directories(fonts + "/c");
  fs::copy_file(collection, fonts + "/c/wqy-microhei.ttc");
  EXPECT_EQ(GhostscriptFontArguments(gs, lib, fonts, pdf), args) << ReadBytes(map);
  const std::string withCollection = ReadBytes(map);
  EXPECT_NE(withCollection.find("/WenQuanYiMicroHei (" + fonts + "/c/wqy-microhei.ttc)"),
            std::string::npos)
      << withCollection;
  EXPECT_EQ(withCollection.find("/WenQuanYiMicroHeiMono ("), std::string::npos);
}

}  // namespace
}  // namespace scrivex
