#include "postscript/page_selector.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string_view>

#include "postscript/byte_reader.h"
#include "postscript/page_range.h"
#include "postscript/page_scanner.h"
#include "postscript/report_message.h"
#include "postscript/selector_files.h"

namespace scrivex {

namespace {

constexpr int kRelease = 1;
constexpr int kPatchLevel = 17;

// Everything one run owns; a fresh one per run, so runs never share state.
struct SelectorRun {
  std::string program;
  bool even = false;
  bool odd = false;
  bool reverse = false;
  bool verbose = true;
  bool rangeSeen = false;  // a range, -r, -e or -o: free arguments are files now
  std::vector<PageRange> ranges;

  ByteReader in;
  bool inputIsStdin = true;
  bool inputRegular = false;
  SelectorOutput out;
  bool outputIsStdout = true;

  PageScan scan;
  int outputPages = 0;
  long bytesWritten = 0;
};

[[noreturn]] void Usage(const SelectorRun& run) {
  std::fprintf(stderr, "%s release %d patchlevel %d\n", run.program.c_str(), kRelease, kPatchLevel);
  std::fprintf(stderr, "Usage: %s [-q] [-e] [-o] [-r] [-p<pages>] [infile [outfile]]\n",
               run.program.c_str());
  std::fflush(stderr);
  throw SelectorFatal{};
}

void AddRanges(SelectorRun& run, std::string_view text) {
  if (!AddPageRanges(text, &run.ranges)) ReportMessage(kFatalError, "invalid page range\n");
  run.rangeSeen = true;
}

void ParseArguments(SelectorRun& run, const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.empty() && arg[0] == '-') {
      // Only the option letter counts: "-eo" is "-e".
      switch (arg.size() > 1 ? arg[1] : '\0') {
        case 'e':
          run.even = true;
          run.rangeSeen = true;
          break;
        case 'o':
          run.odd = true;
          run.rangeSeen = true;
          break;
        case 'r':
          run.reverse = true;
          run.rangeSeen = true;
          break;
        case 'q':
          run.verbose = false;
          break;
        case 'p':
          AddRanges(run, std::string_view(arg).substr(2));
          break;
        default:
          Usage(run);
      }
    } else if (!run.rangeSeen) {
      AddRanges(run, arg);
    } else if (run.inputIsStdin) {
      if (!run.in.Open(arg)) ReportMessage(kFatalError, "can't open input file %s\n", arg.c_str());
      run.inputIsStdin = false;
      run.inputRegular = IsRegularPath(arg);
    } else if (run.outputIsStdout) {
      if (!OpenSelectorOutput(arg, &run.out)) {
        ReportMessage(kFatalError, "can't open output file %s\n", arg.c_str());
      }
      run.outputIsStdout = false;
    } else {
      Usage(run);
    }
  }
}

void Write(SelectorRun& run, const char* data, size_t size) {
  // Errors stick to the stream and are caught when the output is committed.
  std::fwrite(data, 1, size, run.out.stream);
  run.bytesWritten += static_cast<long>(size);
}

void Write(SelectorRun& run, std::string_view text) { Write(run, text.data(), text.size()); }

// Copies the input from its position up to `offset`.
bool CopyUpTo(SelectorRun& run, int64_t offset) {
  char block[64 * 1024];
  while (run.in.Tell() < offset) {
    size_t want = static_cast<size_t>(std::min<int64_t>(offset - run.in.Tell(), sizeof block));
    size_t got = run.in.Read(block, want);
    if (got == 0) return false;
    if (std::fwrite(block, 1, got, run.out.stream) != got) return false;
    run.bytesWritten += static_cast<long>(got);
  }
  return true;
}

bool CopyToEnd(SelectorRun& run) {
  char block[64 * 1024];
  for (;;) {
    size_t got = run.in.Read(block, sizeof block);
    if (got > 0 && std::fwrite(block, 1, got, run.out.stream) != got) return false;
    run.bytesWritten += static_cast<long>(got);
    if (got < sizeof block) return !run.in.Failed();
  }
}

void WriteHeader(SelectorRun& run, int count) {
  const PageScan& scan = run.scan;
  if (!run.in.Rewind()) ReportMessage(kFatalError, "I/O error in header\n");
  if (scan.pagesComment != 0) {
    std::string line;
    if (!CopyUpTo(run, scan.pagesComment) || !ReadSelectorLine(run.in, &line)) {
      ReportMessage(kFatalError, "I/O error in header\n");
    }
    char text[64];
    int n = std::snprintf(text, sizeof text, "%%%%Pages: %d 0\n", count);
    Write(run, text, static_cast<size_t>(n));
  }
  if (!CopyUpTo(run, scan.headerEnd)) ReportMessage(kFatalError, "I/O error in header\n");
}

// The label of a "%%Page:" line: a word, or a parenthesised text with its
// parentheses. False when the parentheses are not closed on the line.
bool PageLabel(std::string_view line, std::string* label) {
  size_t pos = 7;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\n' ||
                               line[pos] == '\r' || line[pos] == '\f' || line[pos] == '\v')) {
    ++pos;
  }
  size_t start = pos;
  if (pos < line.size() && line[pos] == '(') {
    int nesting = 0;
    for (; pos < line.size(); ++pos) {
      if (line[pos] == '(') {
        ++nesting;
      } else if (line[pos] == ')' && --nesting == 0) {
        *label = line.substr(start, pos + 1 - start);
        return true;
      }
    }
    return false;
  }
  while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '\n' &&
         line[pos] != '\r' && line[pos] != '\f' && line[pos] != '\v') {
    ++pos;
  }
  *label = line.substr(start, pos - start);
  return true;
}

void WritePage(SelectorRun& run, int index) {
  std::string line;
  if (!run.in.Seek(run.scan.pageTable[index]) || !ReadSelectorLine(run.in, &line) ||
      line.compare(0, 7, "%%Page:") != 0) {
    ReportMessage(kFatalError, "I/O error seeking page %d\n", index);
  }
  std::string label;
  if (!PageLabel(line, &label)) {
    ReportMessage(kFatalError, "Bad page label while seeking page %d\n", index);
  }
  if (run.verbose) ReportMessage(0, "[%d]", index + 1);
  ++run.outputPages;
  Write(run, "%%Page: ");
  Write(run, label);
  Write(run, " " + std::to_string(run.outputPages) + "\n");
  if (!CopyUpTo(run, run.scan.pageTable[index + 1])) {
    ReportMessage(kFatalError, "I/O error writing page %d\n", run.outputPages);
  }
}

void WriteEmptyPage(SelectorRun& run) {
  if (run.verbose) ReportMessage(0, "[*]");
  ++run.outputPages;
  Write(run, "%%Page: * " + std::to_string(run.outputPages) + "\n");
  if (run.scan.procsetStart != 0) Write(run, "PStoPSxform concat\n");
  Write(run, "showpage\n");
}

void WriteTrailer(SelectorRun& run) {
  if (!run.in.Seek(run.scan.pageTable.back()) || !CopyToEnd(run)) {
    ReportMessage(kFatalError, "I/O error in trailer\n");
  }
  if (run.verbose) {
    ReportMessage(0, "Wrote %d pages, %ld bytes\n", run.outputPages, run.bytesWritten);
  }
}

// Calls `visit` for every page the ranges and the -e/-o choice take, in order.
template <typename Visit>
void ForEachSelectedPage(const SelectorRun& run, Visit visit) {
  const int count = run.scan.pageCount;
  const bool allPages = !run.even && !run.odd;
  auto taken = [&](long long p) {
    if (p == 0) return true;
    if (p > count) return false;
    return allPages || (p % 2 == 1 && run.odd) || (p % 2 == 0 && run.even);
  };
  for (const PageRange& r : run.ranges) {
    // Pages past the end are skipped, so the walk stops at the page count.
    bool upward = r.toEnd ? !run.reverse : r.first <= r.last;
    if (upward) {
      for (long long p = r.first; p <= std::min(r.last, count); ++p) {
        if (taken(p)) visit(static_cast<int>(p));
      }
    } else {
      for (long long p = std::min(r.first, count); p >= r.last; --p) {
        if (taken(p)) visit(static_cast<int>(p));
      }
    }
  }
}

void Run(SelectorRun& run, const std::vector<std::string>& args) {
  ParseArguments(run, args);
  if (run.inputIsStdin) {
    run.in.Borrow(stdin);
    run.inputRegular = IsRegularPath("/dev/stdin");
  }
  if (run.outputIsStdout) UseStandardOutput(&run.out);
  if (!MakeSeekable(run.in, run.inputRegular)) ReportMessage(kFatalError, "can't seek input\n");
  if (!ScanPages(run.in, &run.scan)) ReportMessage(kFatalError, "can't seek input\n");

  if (run.ranges.empty()) run.ranges.push_back({1, -1});
  if (run.reverse) {
    std::reverse(run.ranges.begin(), run.ranges.end());
    for (PageRange& r : run.ranges) std::swap(r.first, r.last);
  }
  for (PageRange& r : run.ranges) {
    r.first = ResolvePage(r.first, run.scan.pageCount);
    r.last = ResolvePage(r.last, run.scan.pageCount);
  }

  int count = 0;
  ForEachSelectedPage(run, [&](int) { ++count; });
  WriteHeader(run, count);
  if (!CopyUpTo(run, run.scan.setupEnd) || !CopyUpTo(run, run.scan.pageTable.front())) {
    ReportMessage(kFatalError, "I/O error in prologue\n");
  }
  ForEachSelectedPage(run, [&](int p) {
    if (p == 0) {
      WriteEmptyPage(run);
    } else {
      WritePage(run, p - 1);
    }
  });
  WriteTrailer(run);
  run.in.Close();
  if (!CommitSelectorOutput(&run.out)) {
    ReportMessage(kFatalError, "can't write output file %s\n",
                  run.outputIsStdout ? "(standard output)" : run.out.path.c_str());
  }
}

}  // namespace

int SelectPages(const std::vector<std::string>& args) {
  try {
    SelectorRun run;
    run.program = args.empty() ? "psselect" : args[0];
    SetMessageProgramName(run.program);
    try {
      Run(run, args);
    } catch (const std::bad_alloc&) {
      ReportMessage(kFatalError, "out of memory\n");
    }
    return 0;
  } catch (const SelectorFatal&) {
    return 1;
  } catch (const std::exception& e) {
    // Nothing else is expected; still, no exception leaves the selector.
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

int SelectPages(int argc, char** argv) {
  std::vector<std::string> args;
  try {
    args.assign(argv, argv + argc);
  } catch (const std::bad_alloc&) {
    return 1;
  }
  return SelectPages(args);
}

int SelectPostScriptPages(const std::string& input, const std::string& output, int first,
                          int last) {
  std::vector<std::string> args;
  try {
    args = {"scrivex.exe", "-p" + std::to_string(first) + "-" + std::to_string(last), input,
            output};
  } catch (const std::bad_alloc&) {
    return 0;
  }
  // Only a completed run counts: a failed one leaves any earlier file alone.
  return SelectPages(args) == 0 && PathExists(output) ? 1 : 0;
}

}  // namespace scrivex
