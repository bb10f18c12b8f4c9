// Where the Ghostscript console program is, and the package step run before
// every search.
#ifndef SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_LOCATOR_H_
#define SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_LOCATOR_H_

#include <string>
#include <vector>

#include "common/registry.h"

namespace scrivex {

// The console program's file name inside a Ghostscript directory.
constexpr const char* kGhostscriptProgram = "gs";
// Limit of the directory and library-path texts (1023 characters each).
constexpr size_t kGhostscriptPathBytes = 1024;

// 1 when found: ghostscriptDir (with its trailing "/") holds the program and
// ghostscriptLib is the library search path. Either output may be null; a
// present output is written only on success.
int FindGhostscript(std::string* ghostscriptDir, std::string* ghostscriptLib);
// Searches the four product keys under one root; only the machine and user
// roots qualify.
int FindGhostscriptInRegistry(RegistryRoot root, std::string* ghostscriptDir,
                              std::string* ghostscriptLib);
// Runs the package program over its data package when both lie beside the
// program, and waits for it.
void RunPackageStep();

// The fixed directories tried before the registry, in order: the program's
// own gs/, the temporary directory's p2t/, then the system's.
std::vector<std::string> FixedGhostscriptCandidates();
// Tests point the system candidate elsewhere; empty restores /usr/bin/.
void SetSystemGhostscriptDirForTesting(const std::string& dir);

}  // namespace scrivex

#endif  // SCRIVEX_GHOSTSCRIPT_GHOSTSCRIPT_LOCATOR_H_
