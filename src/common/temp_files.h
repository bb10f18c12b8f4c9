// Temporary names shared by every converter.
#ifndef SCRIVEX_COMMON_TEMP_FILES_H_
#define SCRIVEX_COMMON_TEMP_FILES_H_

#include <string>

namespace scrivex {

// The system's temporary directory, with its trailing "/".
std::string GetTempDirectory();
// A fresh name "pdfXXXXXX.tmp" in the temporary directory, followed by the
// extension when one is given ("pdfA1b2C3.tmp.ps"). The file itself is not
// left behind. Empty when no name could be made.
std::string MakeTempFileName(const std::string& extension = "");

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_TEMP_FILES_H_
