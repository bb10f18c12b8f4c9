// Temporary names shared by every converter.
#ifndef SCRIVEX_DRIVER_TEMP_FILES_H_
#define SCRIVEX_DRIVER_TEMP_FILES_H_

#include <string>

namespace scrivex {

// The system's temporary directory, with its trailing "/".
std::string GetTempDirectory();
// A fresh name "pdfXXXXXX.tmp" in the temporary directory, followed by the
// extension when one is given ("pdfA1b2C3.tmp.ps"). The file itself is not
// left behind. Empty when no name could be made.
std::string MakeTempFileName(const std::string& extension = "");

// A fresh name in the folder of `path`: "<prefix>XXXXXX.tmp" followed by the
// extension of `path`. For writing a result that replaces `path` by a rename
// once it is complete. Empty when the folder takes no new file.
std::string MakeTempFileNameBeside(const std::string& path, const std::string& prefix);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_TEMP_FILES_H_
