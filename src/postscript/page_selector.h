// The DSC page selector: copies chosen pages of a PostScript file, with its
// header, prolog, setup and trailer, into a new file.
#ifndef SCRIVEX_POSTSCRIPT_PAGE_SELECTOR_H_
#define SCRIVEX_POSTSCRIPT_PAGE_SELECTOR_H_

#include <string>
#include <vector>

namespace scrivex {

// Writes pages first..last of `input` into `output` (negative pages count
// from the end). 1 when the output was written; 0 when the selection failed,
// in which case the reason is on standard error and no output is left.
int SelectPostScriptPages(const std::string& input, const std::string& output, int first, int last);

// Runs the selector on an argument vector:
//   <program> [-q] [-e] [-o] [-r] [-p<pages>] [pages] [infile [outfile]]
// Returns 0 when done, or 1 (the program's exit status) after a fatal error
// or the usage text. Input and output default to standard input and output.
int SelectPages(const std::vector<std::string>& args);
int SelectPages(int argc, char** argv);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_PAGE_SELECTOR_H_
