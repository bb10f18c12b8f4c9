#include "driver/options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "common/paper_sizes.h"
#include "platform/logon.h"
#include "platform/path.h"

namespace scrivex {

const char kOptionLetters[] = "a:b:c:E:f:g:h:i:j:k:l:o:O:p:q:R:r:t:v:w:z:#:DdeGmyV?";

namespace {

// Text fields keep at most their buffer size less one.
std::string Limit(const std::string& text, size_t bytes) { return text.substr(0, bytes - 1); }

bool TakesValue(const char* letters, char letter, bool* found) {
  for (const char* p = letters; *p; ++p) {
    if (*p == ':') continue;
    if (*p == letter) {
      *found = true;
      return p[1] == ':';
    }
  }
  *found = false;
  return false;
}

// A whole decimal number, blanks around it allowed; no digits, anything
// after them or a number beyond int is no number.
bool ReadNumber(const std::string& text, int* number) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(start, &end, 10);
  if (end == start || errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  if (*end != 0) return false;
  *number = static_cast<int>(value);
  return true;
}

bool OneOf(int value, std::initializer_list<int> accepted) {
  return std::find(accepted.begin(), accepted.end(), value) != accepted.end();
}

// The option and its value as a message shows them, on one line.
std::string Shown(int letter, const std::string& value) {
  std::string shown = value;
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return std::string("-") + static_cast<char>(letter) + " '" + shown + "'";
}

// The first bad value is the one reported.
void Refuse(JobRequest* job, int letter, const std::string& value, const std::string& accepted) {
  if (job->badArgument.empty()) job->badArgument = Shown(letter, value) + ": " + accepted;
}

void Warn(JobRequest* job, const std::string& what) { job->warnings.push_back("warning: " + what); }

// A text value longer than its field is cut, and said so.
std::string Text(JobRequest* job, int letter, const std::string& value, size_t bytes) {
  if (value.size() >= bytes) {
    Warn(job, std::string("-") + static_cast<char>(letter) + ": cut to its first " +
                  std::to_string(bytes - 1) + " characters");
  }
  return Limit(value, bytes);
}

// Page numbers joined by ",", "-" or blanks, as ParsePageRange reads them;
// empty means every page.
bool IsPageRange(const std::string& text) {
  if (text.empty()) return true;
  if (text.find_first_not_of("0123456789,- ") != std::string::npos) return false;
  if (text.find_first_of("0123456789") == std::string::npos) return false;
  // Each number must be a page number an int holds.
  size_t pos = 0;
  while ((pos = text.find_first_of("0123456789", pos)) != std::string::npos) {
    size_t end = text.find_first_not_of("0123456789", pos);
    int page;
    if (!ReadNumber(text.substr(pos, end - pos), &page)) return false;
    pos = end;
  }
  return true;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "N" or "NxM", blanks around it allowed (only N may carry a sign); *second
// is -1 for "N".
bool ReadOneOrTwo(const std::string& text, int* first, int* second) {
  const size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) return false;
  const std::string value = text.substr(start, text.find_last_not_of(' ') + 1 - start);
  const size_t x = value.find('x');
  const std::string left = value.substr(0, x);
  const bool signed_ = !left.empty() && (left[0] == '+' || left[0] == '-');
  if (!AllDigits(signed_ ? left.substr(1) : left) || !ReadNumber(left, first)) return false;
  *second = -1;
  if (x == std::string::npos) return true;
  const std::string right = value.substr(x + 1);
  return AllDigits(right) && ReadNumber(right, second);
}

// Why scanning stopped at an argument that is no option: a word the shell
// made from an unquoted wildcard, most likely, or an unknown option.
std::string StrayArgument(const std::string& word) {
  if (word.size() > 1 && word[0] == '-') {
    return "unknown option '" + word + "' (scrivex --help lists the options)";
  }
  return "unexpected argument '" + word + "': quote wildcards so that the program expands them";
}

void ApplyOption(int letter, const std::string& value, JobRequest* job) {
  ConversionOptions& o = job->options;
  int number = 0;
  const bool isNumber = ReadNumber(value, &number);
  switch (letter) {
    case 'i':
      job->inputPath = value;
      break;
    case 'o':
      job->outputPath = value;
      break;
    case 'a':
      o.author = Text(job, letter, value, kInfoTextBytes);
      break;
    case 't':
      o.title = Text(job, letter, value, kInfoTextBytes);
      break;
    case 'j':
      o.subject = Text(job, letter, value, kInfoTextBytes);
      break;
    case 'k':
      o.keywords = Text(job, letter, value, kInfoTextBytes);
      break;
    case 'g':
      if (!IsPageRange(value)) {
        Refuse(job, letter, value,
               "accepted: page numbers joined by \",\", \"-\" or blanks, such as 1,2-4,6");
        break;
      }
      o.pageRange = Text(job, letter, value, kPageRangeBytes);
      break;
    case 'G':
      o.noSinglePageSuffix = 1;
      break;
    case 'p':
      if (!isNumber || number < kOverwriteOutput || number > kNumberedNewOutput) {
        Refuse(job, letter, value,
               "accepted: 0 (overwrite), 1 (insert before), 2 (append) or 3 (new numbered name)");
        break;
      }
      o.existingOutputMode = number;
      break;
    case 'b':
      if (!isNumber || !OneOf(number, {1, 8, 24})) {
        Refuse(job, letter, value, "accepted: 1, 8 or 24");
        break;
      }
      o.colorBits = number;
      break;
    case 'c': {
      if (!isNumber || !(OneOf(number, {0, 1, 2, 3, 4, 5, 6, 7, 32773, 32809}) ||
                         (number >= 88880 && number <= 88884))) {
        Refuse(job, letter, value,
               "accepted: 0 (the output's default), 1 to 7, 32773, 32809 or 88880 to 88884");
        break;
      }
      o.tiffCompression = number;
      // Fax codings are bilevel: an earlier -b gives way, a later one wins.
      if (number == 3 || number == 4 || number >= 88880) o.colorBits = 1;
      break;
    }
    case 'R':
      if (!isNumber || !OneOf(number, {0, 90, 180, 270})) {
        Refuse(job, letter, value, "accepted: 0, 90, 180 or 270");
        break;
      }
      o.rotation = number;
      break;
    case 'r': {
      int x = 0, y = 0;
      if (!ReadOneOrTwo(value, &x, &y)) {
        Refuse(job, letter, value, "accepted: dots per inch as N or NxM, such as 300 or 200x300");
        break;
      }
      if (y < 0) {
        if (x <= 0 || x > 1200) {
          Warn(job, Shown(letter, value) + ": outside 1 to 1200, so 300 is used");
          x = 300;
        }
        y = x;
      } else if (x < 1 || x >= 1200 || y < 1 || y >= 1200) {
        // NxM is kept as given; the roads then differ on it.
        Warn(job, Shown(letter, value) +
                      ": kept as given, but the printers use 300 for a side outside 1 to 1999 "
                      "and Ghostscript takes 1 to 1199");
      }
      o.resolutionX = x;
      o.resolutionY = y;
      break;
    }
    case 'w':
    case 'h':
      if (!isNumber || number < 0) {
        Refuse(job, letter, value, "accepted: 0 (not fixed) or a size in pixels");
        break;
      }
      (letter == 'w' ? o.width : o.height) = number;
      break;
    case 'f': {
      std::string paper, why;
      if (!ReadPaperText(value, &paper, &why)) {
        Refuse(job, letter, value, why);
        break;
      }
      if (value.empty()) Warn(job, Shown(letter, value) + ": empty, so paper 1 (Letter) is used");
      o.paperSize = Limit(paper, kPaperSizeBytes);
      break;
    }
    case 'z': {
      int width = 0, height = 0;
      if (!value.empty() && (!ReadOneOrTwo(value, &width, &height) || width < 1 || height == 0)) {
        Refuse(job, letter, value,
               "accepted: WxH in twentieths of a point, such as 11907x16839 (A4)");
        break;
      }
      o.printZoomPaper = Limit(value, kZoomPaperBytes);
      break;
    }
    case 'e':
      job->printer = kInkwellPrinterName;
      break;
    case 'E':
      if (!isNumber) {
        Refuse(job, letter, value, "accepted: 0, 1, 2 or 3");
        break;
      }
      if (number < 0 || number > 3) {
        Warn(job, Shown(letter, value) + ": outside 0 to 3, so 0 is used");
        number = 0;
      }
      o.excelMode = number;
      break;
    case 'l':
      if (!isNumber || number < 0) {
        Refuse(job, letter, value, "accepted: a wait in milliseconds, 0 or more");
        break;
      }
      o.htmlWaitMs = number;
      break;
    case 'V':
      o.viewResult = 1;
      break;
    case 'd':
      o.hidePrintDialog = 1;
      break;
    case 'y':
      o.grayscale = 1;
      break;
    case 'D':
      o.fastOfficeMode = 1;
      break;
    case 'O':
      if (!isNumber || !OneOf(number, {1, 2})) {
        Refuse(job, letter, value, "accepted: 1 (portrait) or 2 (landscape)");
        break;
      }
      o.orientation = number;
      break;
    case 'q':
      if (!isNumber || number < 1 || number > 100) {
        Refuse(job, letter, value, "accepted: a JPEG quality from 1 to 100");
        break;
      }
      o.jpegQuality = number;
      break;
    case 'm':
      o.removeBlankPages = 1;
      break;
    case 'v':
      break;  // accepted and ignored
    case '#': {
      // A value that is not a whole user:password is refused: ignoring it
      // would run the request as the caller, who may be root.
      platform::EraseSecret(&job->password);
      job->userName.clear();
      job->passwordFromInput = false;
      job->credentialError.clear();
      size_t colon = value.find(':');
      std::string password = colon == std::string::npos ? "" : value.substr(colon + 1);
      if (colon == 0 || password.empty()) {
        job->credentialError =
            "-# needs user:password, or user:- to read the password from "
            "standard input";
      } else {
        job->userName = Limit(value.substr(0, colon), kCredentialBytes);
        job->passwordFromInput = password == "-";
        if (!job->passwordFromInput) job->password = Limit(password, kCredentialBytes);
      }
      platform::EraseSecret(&password);
      break;
    }
    case '?':
      job->usageRequested = true;
      break;
  }
}

}  // namespace

int GetOption(int argc, const char* const* argv, const char* letters, int* next,
              std::string* value) {
  if (*next >= argc) return -1;
  const char* arg = argv[*next];
  if (!arg || arg[0] != '-' || !letters || !*letters) return -1;
  char letter = arg[1];
  if (letter == 0 || letter == ':') return -1;
  bool found = false;
  bool takesValue = TakesValue(letters, letter, &found);
  if (!found) return -1;
  if (!takesValue) {
    value->clear();
    *next += 1;
    return static_cast<unsigned char>(letter);
  }
  *value = *next + 1 < argc && argv[*next + 1] ? argv[*next + 1] : "";
  *next += 2;
  return static_cast<unsigned char>(letter);
}

bool ReadWorkerCount(const std::string& text, int* workers) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const int count = std::stoi(text);
  if (count > kMostWorkers) return false;
  *workers = count;
  return true;
}

JobRequest ScanCommandLine(int argc, const char* const* argv) {
  JobRequest job;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] && platform::EqualsNoCase(argv[i], "-#")) {
      ++i;  // its value goes too
      continue;
    }
    job.argumentList.push_back(argv[i] ? argv[i] : "");
  }
  std::string value;
  int next = 1;
  while (next < argc) {
    const std::string arg = argv[next] ? argv[next] : "";
    if (arg == "--help" || arg == "--version") {
      (arg == "--help" ? job.helpRequested : job.versionRequested) = true;
      return job;  // answered at once, like -?
    }
    if (arg == "--json") {
      job.json = true;
      ++next;
      continue;
    }
    if (arg == "--jobs" || arg.rfind("--jobs=", 0) == 0) {
      const bool joined = arg.size() > 6;
      const std::string count = joined                              ? arg.substr(7)
                                : next + 1 < argc && argv[next + 1] ? argv[next + 1]
                                                                    : "";
      next += joined ? 1 : 2;
      if (!ReadWorkerCount(count, &job.workers) && job.badArgument.empty())
        job.badArgument = "--jobs '" + count +
                          "': accepted: a number of workers from 0 (one per core) to " +
                          std::to_string(kMostWorkers);
      continue;
    }
    int letter = GetOption(argc, argv, kOptionLetters, &next, &value);
    if (letter == -1) break;
    ApplyOption(letter, value, &job);
    if (letter == '#') {
      if (next - 1 < argc) job.credentialArguments.push_back(next - 1);
      platform::EraseSecret(&value);
    }
    if (job.usageRequested) return job;  // the usage text ends the run at once
  }
  if (next < argc) {
    // Nothing after this point is read. Once the input is named, the rest of
    // the line would be dropped silently: refuse it instead.
    std::string why = StrayArgument(argv[next] ? argv[next] : "");
    if (job.inputPath.empty()) {
      job.strayBeforeInput = why;
    } else if (job.badArgument.empty()) {
      job.badArgument = why;
    }
  }
  return job;
}

}  // namespace scrivex
