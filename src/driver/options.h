// Reading the command line into the job options.
#ifndef SCRIVEX_DRIVER_OPTIONS_H_
#define SCRIVEX_DRIVER_OPTIONS_H_

#include <cstdio>
#include <string>
#include <vector>

#include "common/conversion_options.h"

namespace scrivex {

// The user name and password buffers of -#, terminator included.
constexpr size_t kCredentialBytes = 200;

// Every option letter; a letter followed by ":" takes a value.
extern const char kOptionLetters[];

// One step of option scanning: the option letter, or -1 when scanning ends.
// *next is the caller's next-argument index, starting at 1.
int GetOption(int argc, const char* const* argv, const char* letters, int* next,
              std::string* value);

// Everything the command line asks for.
struct JobRequest {
  ConversionOptions options;
  std::string printer = kCreatorPrinterName;  // Inkwell for -e
  std::string inputPath;
  std::string outputPath;
  // -#: user and password; "user:-" reads the password from standard input
  // (see ReadPasswordLine), so it never shows in the process list.
  std::string userName;
  std::string password;
  bool passwordFromInput = false;
  std::string credentialError;    // why a -# value was refused; the run ends with -1
  bool usageRequested = false;    // -?
  bool helpRequested = false;     // --help: the usage text, ending with 0
  bool versionRequested = false;  // --version
  bool json = false;              // --json: result records as JSON
  int workers = 1;                // --jobs N: worker processes; 0 is one per core
  // Why the command line is refused, the first reason: a value no option
  // takes, or a word or unknown option where an option should stand once the
  // input is named. The run ends with -1.
  std::string badArgument;
  // Why scanning stopped before any input was named; the usage text follows.
  std::string strayBeforeInput;
  // Values the options replace or cut, one line each for standard error.
  std::vector<std::string> warnings;
  // Every argument, the program path first, without "-#" and its value.
  std::vector<std::string> argumentList;
  // Where in argv each "-#" value was read: the caller erases the password there.
  std::vector<int> credentialArguments;
};

// The most workers --jobs takes: each is a whole printing world.
constexpr int kMostWorkers = 64;
// A --jobs value: a count of workers, 0 for one per core.
bool ReadWorkerCount(const std::string& text, int* workers);

// Builds the argument list, sets the defaults and scans the options.
JobRequest ScanCommandLine(int argc, const char* const* argv);

// Writes the usage text.
void WriteUsage(std::FILE* out);

// The usage text of -? and of a run without input: the text and its prompt,
// then one key when a person is at the console (in a pipe or a script loop
// the key would block the run or eat the next command's input). Returns 1,
// the run's exit code.
int ShowUsage();

// Writes "scrivex <version>".
void WriteVersion(std::FILE* out);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_OPTIONS_H_
