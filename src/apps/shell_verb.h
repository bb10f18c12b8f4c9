// The shell "print" verb: the print command registered for a file's type in
// the class registry (HKEY_CLASSES_ROOT "<.ext>" -> class ->
// "shell\print\command"), and the product's own print helper registered
// there for the types it prints.
#ifndef SCRIVEX_APPS_SHELL_VERB_H_
#define SCRIVEX_APPS_SHELL_VERB_H_

#include <string>
#include <vector>

namespace scrivex {

// Registers the print helper for the types it prints, once per state root
// (an existing association is left as the user set it).
void RegisterPrintHelpers();

// The print helper prints files of this extension (".docx"; any case).
bool IsPrintHelperType(const std::string& ext);

// The argument vector that prints the file: the registered command split
// into arguments, the file put in whole where "%1" stands (appended when no
// "%1" is given). Empty when no print command is registered for the type.
std::vector<std::string> ShellPrintCommand(const std::string& file);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_SHELL_VERB_H_
