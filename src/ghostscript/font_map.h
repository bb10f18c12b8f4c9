// The font arguments of a Ghostscript run. A fonts folder on FONTPATH makes
// the PDF reader scan every file in it whenever a document needs a font that
// it does not carry; a font map made once per installed font set gives the
// same fonts without that scan.
#ifndef SCRIVEX_GHOSTSCRIPT_FONT_MAP_H_
#define SCRIVEX_GHOSTSCRIPT_FONT_MAP_H_

#include <string>
#include <vector>

namespace scrivex {

// The arguments that make fonts not embedded in the input resolve to the
// files they resolve to with "-dNOPLATFONTS -sFONTPATH=<fontsDirectory>".
// For input Ghostscript reads as PDF this is "-dNOPLATFONTS" and
// "-sFONTMAP=<map>:Fontmap.GS", the map kept under the state root and made
// again when the fonts folder's directories or the program change; for other
// input, or when no faithful map can be made, the FONTPATH arguments
// themselves. ghostscriptLib is the child's GS_LIB.
std::vector<std::string> GhostscriptFontArguments(const std::string& ghostscriptProgram,
                                                  const std::string& ghostscriptLib,
                                                  const std::string& fontsDirectory,
                                                  const std::string& inputPath);

}  // namespace scrivex

#endif  // SCRIVEX_GHOSTSCRIPT_FONT_MAP_H_
