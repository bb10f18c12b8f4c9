#include "driver/options.h"

#include <cstdlib>
#include <cstring>

#include "platform/logon.h"
#include "platform/path.h"

namespace scrivex {

const char kOptionLetters[] = "a:b:c:E:f:g:h:i:j:k:l:o:O:p:q:R:r:t:v:w:z:#:DdeGmyV?";

namespace {

// Text fields keep at most their buffer size less one.
std::string Limit(const std::string& text, size_t bytes) { return text.substr(0, bytes - 1); }

int ToInt(const std::string& text) { return std::atoi(text.c_str()); }

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

void ApplyOption(int letter, const std::string& value, JobRequest* job) {
  ConversionOptions& o = job->options;
  switch (letter) {
    case 'i':
      job->inputPath = value;
      break;
    case 'o':
      job->outputPath = value;
      break;
    case 'a':
      o.author = Limit(value, kInfoTextBytes);
      break;
    case 't':
      o.title = Limit(value, kInfoTextBytes);
      break;
    case 'j':
      o.subject = Limit(value, kInfoTextBytes);
      break;
    case 'k':
      o.keywords = Limit(value, kInfoTextBytes);
      break;
    case 'g':
      o.pageRange = Limit(value, kPageRangeBytes);
      break;
    case 'G':
      o.noSinglePageSuffix = 1;
      break;
    case 'p':
      o.existingOutputMode = ToInt(value);
      break;
    case 'b':
      o.colorBits = ToInt(value);
      break;
    case 'c': {
      o.tiffCompression = ToInt(value);
      int c = o.tiffCompression;
      // Fax codings are bilevel: an earlier -b gives way, a later one wins.
      if (c == 3 || c == 4 || (c >= 88880 && c <= 88884)) o.colorBits = 1;
      break;
    }
    case 'R':
      o.rotation = ToInt(value);
      break;
    case 'r':
      if (value.find('x') != std::string::npos) {
        std::sscanf(value.c_str(), "%dx%d", &o.resolutionX, &o.resolutionY);
      } else {
        int r = ToInt(value);
        if (r <= 0 || r > 1200) r = 300;
        o.resolutionX = o.resolutionY = r;
      }
      break;
    case 'w':
      o.width = ToInt(value);
      break;
    case 'h':
      o.height = ToInt(value);
      break;
    case 'f':
      o.paperSize = value.empty() ? "1" : Limit(value, kPaperSizeBytes);
      break;
    case 'z':
      o.printZoomPaper = Limit(value, kZoomPaperBytes);
      break;
    case 'e':
      job->printer = kInkwellPrinterName;
      break;
    case 'E': {
      int mode = ToInt(value);
      o.excelMode = (mode < 0 || mode > 3) ? 0 : mode;
      break;
    }
    case 'l':
      o.htmlWaitMs = ToInt(value);
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
      o.orientation = ToInt(value);
      break;
    case 'q':
      o.jpegQuality = ToInt(value);
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
  int letter, next = 1;
  while ((letter = GetOption(argc, argv, kOptionLetters, &next, &value)) != -1) {
    ApplyOption(letter, value, &job);
    if (letter == '#') {
      if (next - 1 < argc) job.credentialArguments.push_back(next - 1);
      platform::EraseSecret(&value);
    }
    if (job.usageRequested) break;  // the usage text ends the run at once
  }
  return job;
}

}  // namespace scrivex
