// Whether a file is PostScript or EPS, by its "%!PS-Adobe" version line.
#ifndef SCRIVEX_POSTSCRIPT_POSTSCRIPT_KIND_H_
#define SCRIVEX_POSTSCRIPT_POSTSCRIPT_KIND_H_

#include <string>

namespace scrivex {

// -1 the file cannot be opened; -2 it cannot be read; 0 no "%!PS-Adobe" in
// it; 1 PostScript; 2 EPS ("EPSF-" after the version, past blanks and tabs).
// The file is searched as a stream, however large it is.
int DetectPostScriptKind(const std::string& path);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_POSTSCRIPT_KIND_H_
