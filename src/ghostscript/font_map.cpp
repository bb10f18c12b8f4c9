#include "ghostscript/font_map.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "common/trace.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/state_root.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "% scrivex font map ";
constexpr std::string_view kUnusable = "% unusable: ";
// The map the PDF reader loads when FONTMAP is not given. Given, FONTMAP
// replaces it, so the made map carries its entries too: listing both files
// would give names twice, and which of two the reader takes is not fixed.
constexpr const char* kDefaultFontmap = "Fontmap.GS";
constexpr std::string_view kDefaultFontmapMark = "scrivex-default-fontmap=";
constexpr int kMaxDepth = 32;
constexpr int kMaxRounds = 4;

uint64_t Fnv1a(std::string_view data) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : data) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(uint64_t value) {
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
  return buffer;
}

// Changes when the program is replaced or a font is added, removed or renamed
// anywhere in the folder: each of those touches a directory's time. Costs one
// stat per directory and a read of its names.
std::string Signature(const std::string& program, const std::string& lib,
                      const std::string& fontsDir) {
  std::string text = "1\n" + program + "\n" + lib + "\n" + fontsDir + "\n";
  long long mtime = 0, size = 0;
  if (platform::FileTimeAndSize(program, &mtime, &size)) {
    text += std::to_string(mtime) + " " + std::to_string(size);
  }
  text += "\n";
  platform::WalkDirectoryTree(
      fontsDir, kMaxDepth,
      [&](const std::string& rel, long long dirTime) {
        text += rel + " " + std::to_string(dirTime) + "\n";
      },
      [](const std::string&, bool) {});
  return Hex(Fnv1a(text));
}

// Ghostscript's own test: after leading white space, "%!" or "%%" is
// PostScript; otherwise "%PDF-" within 1023 bytes, with no "%!PS" before it,
// is PDF.
bool ReadsAsPdf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char c = 0;
  while (in.get(c) && static_cast<unsigned char>(c) <= ' ') {
  }
  if (!in) return false;
  std::string head(1023, '\0');
  head[0] = c;
  in.read(&head[1], 1022);
  head.resize(1 + static_cast<size_t>(in.gcount()));
  if (head.compare(0, 2, "%!") == 0 || head.compare(0, 2, "%%") == 0) return false;
  size_t pdf = head.find("%PDF-");
  return pdf != std::string::npos && head.substr(0, pdf).find("%!PS") == std::string::npos;
}

enum class Cached { kMissing, kMap, kUnusable };

Cached ReadCached(const std::string& mapPath, const std::string& header) {
  std::ifstream in(mapPath, std::ios::binary);
  if (!in) return Cached::kMissing;
  char buffer[256];
  in.read(buffer, sizeof buffer);
  std::string_view start(buffer, static_cast<size_t>(in.gcount()));
  if (start.substr(0, header.size()) != header) return Cached::kMissing;
  return start.substr(header.size()).starts_with(kUnusable) ? Cached::kUnusable : Cached::kMap;
}

// ---- Names that may stand for a file in the fonts folder ----

bool IsNameText(const std::string& name) {
  return !name.empty() && name.size() < 128 &&
         std::all_of(name.begin(), name.end(), [](char c) { return c >= ' ' && c < 127; });
}

unsigned U16(const std::string& s, size_t at) {
  return at + 2 <= s.size()
             ? (static_cast<unsigned char>(s[at]) << 8) | static_cast<unsigned char>(s[at + 1])
             : 0;
}

uint32_t U32(const std::string& s, size_t at) { return (U16(s, at) << 16) | U16(s, at + 2); }

std::string ReadAt(std::ifstream& in, uint64_t offset, size_t length) {
  std::string data(length, '\0');
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(data.data(), static_cast<std::streamsize>(length));
  data.resize(in ? length : static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return data;
}

// The PostScript and full names (name ids 6 and 4) of the font whose table
// directory starts at base; UTF-16 names with only ASCII are narrowed.
void AddSfntNames(std::ifstream& in, uint64_t base, std::set<std::string>* names) {
  std::string head = ReadAt(in, base, 12);
  unsigned tables = U16(head, 4);
  std::string dir = ReadAt(in, base + 12, 16 * std::min(tables, 256u));
  for (size_t t = 0; t + 16 <= dir.size(); t += 16) {
    if (dir.compare(t, 4, "name") != 0) continue;
    std::string table = ReadAt(in, U32(dir, t + 8), std::min<uint32_t>(U32(dir, t + 12), 1 << 20));
    unsigned count = U16(table, 2), strings = U16(table, 4);
    for (unsigned i = 0; i < count && 6 + 12 * (i + 1) <= table.size(); ++i) {
      size_t rec = 6 + 12 * i;
      unsigned id = U16(table, rec + 6), length = U16(table, rec + 8);
      size_t at = strings + U16(table, rec + 10);
      if ((id != 6 && id != 4) || at + length > table.size()) continue;
      std::string raw = table.substr(at, length), narrow;
      bool wide = length % 2 == 0;
      for (size_t k = 0; wide && k < raw.size(); k += 2) {
        wide = raw[k] == 0;
        narrow += raw[k + 1];
      }
      std::string name = wide && !raw.empty() ? narrow : raw;
      if (IsNameText(name)) names->insert(name);
    }
    return;
  }
}

// The names a font file declares: sfnt name tables (collections too), else
// every "/FontName" in its first 16 KB.
void AddFontFileNames(const std::string& path, std::set<std::string>* names) {
  std::ifstream in(path, std::ios::binary);
  std::string magic = ReadAt(in, 0, 4);
  if (magic == std::string("\0\1\0\0", 4) || magic == "true" || magic == "OTTO") {
    AddSfntNames(in, 0, names);
    return;
  }
  if (magic == "ttcf") {
    std::string head = ReadAt(in, 0, 12);
    std::string offsets = ReadAt(in, 12, 4 * std::min<uint32_t>(U32(head, 8), 256));
    for (size_t i = 0; i + 4 <= offsets.size(); i += 4) AddSfntNames(in, U32(offsets, i), names);
    return;
  }
  std::string text = ReadAt(in, 0, 16384);
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  for (size_t at = text.find("/FontName"); at != std::string::npos;
       at = text.find("/FontName", at + 1)) {
    size_t start = at + 9;
    while (start < text.size() && isSpace(text[start])) ++start;
    if (start < text.size() && text[start] == '/') ++start;
    size_t end = start;
    while (end < text.size() && !isSpace(text[end]) && !std::strchr("()<>[]{}/%", text[end])) {
      ++end;
    }
    std::string name = text.substr(start, end - start);
    if (IsNameText(name)) names->insert(name);
  }
}

// Every name Ghostscript's PostScript side knows after scanning the folder
// (its Fontmap and the fonts the scan found), and where the default map is.
bool AddGhostscriptNames(const std::string& program, const std::string& lib,
                         const std::string& fontsDir, std::set<std::string>* names,
                         std::string* defaultFontmap) {
  platform::ChildOptions options;
  options.captureOutput = true;
  options.timeoutMs = 1000LL * platform::WatchdogSeconds();
  options.env = {{"GS_LIB", lib}};
  platform::ChildResult r = platform::RunChild(
      {program, "-q", "-dNODISPLAY", "-dSAFER", "-dNOPLATFONTS", "-dNONATIVEFONTMAP",
       "-sFONTPATH=" + fontsDir, "-c",
       "/ScrivexNoSuchFont findfont pop Fontmap {pop =} forall .nativeFontmap {pop =} forall (" +
           std::string(kDefaultFontmap) + ") findlibfile {pop (" +
           std::string(kDefaultFontmapMark) + ") print =} {pop} ifelse",
       "-c", "quit"},
      options);
  if (!r.started || !r.exitedNormally || r.exitCode != 0) return false;
  size_t start = 0;
  while (start < r.output.size()) {
    size_t end = r.output.find('\n', start);
    if (end == std::string::npos) end = r.output.size();
    std::string line = r.output.substr(start, end - start);
    start = end + 1;
    if (line.starts_with(kDefaultFontmapMark)) {
      *defaultFontmap = line.substr(kDefaultFontmapMark.size());
    } else if (IsNameText(line)) {
      names->insert(line);
    }
  }
  return !defaultFontmap->empty();
}

// A name token's bytes, "#xx" decoded as the PDF reader does.
std::string DecodedName(std::string_view token) {
  std::string name;
  for (size_t i = 1; i < token.size(); ++i) {
    if (token[i] == '#' && i + 2 < token.size() &&
        std::isxdigit(static_cast<unsigned char>(token[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(token[i + 2]))) {
      name += static_cast<char>(std::stoi(std::string(token.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      name += token[i];
    }
  }
  return name;
}

struct FontmapEntry {
  std::string name;
  std::string text;   // "/Name value" as written
  std::string alias;  // the name the value gives, if it is one
};

// The default map's entries, in order; nothing for anything but
// "/Name /Alias ;" and "/Name (file) ;" entries.
std::optional<std::vector<FontmapEntry>> ParseFontmap(const std::string& text) {
  std::vector<FontmapEntry> entries;
  auto isSpace = [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0;
  };
  auto isDelimiter = [](char c) { return std::strchr("()<>[]{}/%;", c) != nullptr; };
  std::vector<std::string> tokens;  // of the entry being read
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (isSpace(c)) {
      ++i;
    } else if (c == '%') {
      while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
    } else if (c == ';') {
      if (tokens.size() != 2 || tokens[0][0] != '/' || tokens[0].size() < 2) return std::nullopt;
      entries.push_back({DecodedName(tokens[0]), tokens[0] + " " + tokens[1],
                         tokens[1][0] == '/' ? DecodedName(tokens[1]) : ""});
      tokens.clear();
      ++i;
    } else if (c == '(') {
      size_t start = i++;
      for (int depth = 1; depth > 0; ++i) {
        if (i >= text.size()) return std::nullopt;
        if (text[i] == '\\')
          ++i;
        else if (text[i] == '(')
          ++depth;
        else if (text[i] == ')')
          --depth;
      }
      tokens.push_back(text.substr(start, i - start));
    } else if (c == '/') {
      size_t start = i++;
      while (i < text.size() && !isSpace(text[i]) && !isDelimiter(text[i])) ++i;
      tokens.push_back(text.substr(start, i - start));
    } else {
      return std::nullopt;
    }
    if (tokens.size() > 2 || (tokens.size() == 2 && tokens[1].size() < 2)) return std::nullopt;
  }
  if (!tokens.empty()) return std::nullopt;
  return entries;
}

// ---- Probing: a PDF that asks for each name as a font it does not carry ----

std::string PdfName(const std::string& name) {
  std::string out = "/";
  for (unsigned char c : name) {
    if (c > ' ' && c < 127 && !std::strchr("()<>[]{}/%#", c)) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "#%02X", c);
      out += hex;
    }
  }
  return out;
}

// One page showing a letter in each font. Fixed-pitch descriptors change the
// substitute the reader picks for a name it cannot find, and only that.
std::string ProbePdf(const std::vector<std::string>& names, bool fixedPitch) {
  std::vector<std::string> objects(4);  // catalog, pages, page, contents
  std::string fonts, content = "BT";
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name = PdfName(names[i]);
    std::string font = "<< /Type /Font /Subtype /Type1 /BaseFont " + name;
    if (fixedPitch) {
      objects.push_back("<< /Type /FontDescriptor /FontName " + name +
                        " /Flags 1 /FontBBox [0 0 600 800] /ItalicAngle 0 /Ascent 800"
                        " /Descent -200 /CapHeight 700 /StemV 80 >>");
      font += " /FontDescriptor " + std::to_string(objects.size()) + " 0 R";
    }
    objects.push_back(font + " >>");
    fonts += " /F" + std::to_string(i) + " " + std::to_string(objects.size()) + " 0 R";
    content += " /F" + std::to_string(i) + " 1 Tf (a) Tj";
  }
  content += " ET";
  objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
  objects[1] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
  objects[2] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] /Resources << /Font <<" + fonts +
               " >> >> /Contents 4 0 R >>";
  objects[3] =
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream";
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char entry[24];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// What the reader loaded for each name, from its "Loading font <name> (or
// substitute) from <file>" lines: the files tried, in order, joined by '\n'.
std::optional<std::vector<std::string>> LoadedFiles(const std::string& output,
                                                    const std::vector<std::string>& names) {
  std::vector<std::string> files(names.size());
  size_t next = 0;  // names before this one are done
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    start = end + 1;
    if (!line.starts_with("Loading font ")) continue;
    // A name tried again (a failed file, then another) stays on the same entry.
    size_t at =
        next > 0 && line.starts_with("Loading font " + names[next - 1] + " (or substitute) from ")
            ? next - 1
            : next;
    std::string prefix =
        at < names.size() ? "Loading font " + names[at] + " (or substitute) from " : "";
    if (at >= names.size() || !line.starts_with(prefix)) return std::nullopt;
    std::string file = line.substr(prefix.size());
    // One of the reader's messages ends the file name with a full stop.
    if (file.ends_with(".") && !fs::exists(file) && fs::exists(file.substr(0, file.size() - 1))) {
      file.pop_back();
    }
    files[at] += (files[at].empty() ? "" : "\n") + file;
    next = at + 1;
  }
  if (next != names.size()) return std::nullopt;
  return files;
}

struct Probe {
  std::string program, lib, plainPdf, fixedPdf;
  const std::vector<std::string>* names;

  // Both probes' results under the given font arguments, plain then fixed.
  std::optional<std::vector<std::string>> Run(const std::vector<std::string>& fontArgs,
                                              bool* crashed) const {
    std::vector<std::string> all;
    for (const std::string* pdf : {&plainPdf, &fixedPdf}) {
      std::vector<std::string> argv = {program, "-dBATCH", "-dNOPAUSE", "-dSAFER",
                                       "-sDEVICE=nullpage"};
      argv.insert(argv.end(), fontArgs.begin(), fontArgs.end());
      argv.insert(argv.end(), {"-f", *pdf});
      platform::ChildOptions options;
      options.captureOutput = true;
      options.timeoutMs = 1000LL * platform::WatchdogSeconds();
      options.env = {{"GS_LIB", lib}};
      platform::ChildResult r = platform::RunChild(argv, options);
      if (!r.started || !r.exitedNormally) *crashed = true;
      if (!r.started || !r.exitedNormally || r.exitCode != 0) return std::nullopt;
      auto files = LoadedFiles(r.output, *names);
      if (!files) return std::nullopt;
      all.insert(all.end(), files->begin(), files->end());
    }
    return all;
  }
};

// A PostScript string, or nothing for text a map line cannot hold.
std::optional<std::string> PsString(const std::string& text) {
  std::string out = "(";
  for (unsigned char c : text) {
    if (c < ' ' || c == 127) return std::nullopt;
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += static_cast<char>(c);
  }
  return out + ")";
}

// A map line naming a file loads the font the name found there. For a
// collection that is its first font, as the folder scan does for the names
// that font declares; the PDF reader ignores entries that pick another one.
bool MapLineLoadsTheSameFont(const std::string& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  std::string head = ReadAt(in, 0, 16);
  if (!head.starts_with("ttcf")) return true;
  if (head.size() < 16 || U32(head, 8) == 0) return false;
  std::set<std::string> names;
  AddSfntNames(in, U32(head, 12), &names);
  return names.count(name) != 0;
}

struct TempFolder {
  std::string path;
  explicit TempFolder(const std::string& parent) {
    path = platform::CreateUniqueDirectory(parent, "new.");
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

bool WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  return static_cast<bool>(out.flush());
}

// The map's lines: each name that resolves through the fonts folder, or whose
// default alias would now lead there, bound to the file it resolved to, then
// the default map's other entries. Found by probing with the folder on
// FONTPATH, then with the map so far until both agree on every name. Nothing
// when a difference cannot be written as a map line (a substituted name, a
// font after the first in a collection); *why tells.
std::optional<std::string> MakeMapLines(const std::string& program, const std::string& lib,
                                        const std::string& fontsDir, const std::string& tmp,
                                        std::string* why, bool* crashed) {
  std::set<std::string> known;
  std::string defaultPath, defaultText;
  if (!AddGhostscriptNames(program, lib, fontsDir, &known, &defaultPath) ||
      !platform::ReadWholeFile(defaultPath, &defaultText)) {
    *why = "Ghostscript did not list its fonts";
    return std::nullopt;
  }
  auto defaults = ParseFontmap(defaultText);
  if (!defaults) {
    *why = "cannot read " + defaultPath;
    return std::nullopt;
  }
  platform::WalkDirectoryTree(
      fontsDir, kMaxDepth, [](const std::string&, long long) {},
      [&](const std::string& path, bool atTop) {
        if (atTop) known.insert(path.substr(path.rfind('/') + 1));
        AddFontFileNames(path, &known);
      });
  std::erase_if(known, [](const std::string& n) { return !IsNameText(n); });
  std::vector<std::string> names(known.begin(), known.end());

  Probe probe{program, lib, tmp + "/plain.pdf", tmp + "/fixed.pdf", &names};
  if (!WriteFile(probe.plainPdf, ProbePdf(names, false)) ||
      !WriteFile(probe.fixedPdf, ProbePdf(names, true))) {
    *why = "cannot write in " + tmp;
    return std::nullopt;
  }
  auto before = probe.Run({"-dNOPLATFONTS", "-sFONTPATH=" + fontsDir}, crashed);
  if (!before) {
    *why = "the probe with FONTPATH failed";
    return std::nullopt;
  }
  std::map<std::string, std::string> aliases;
  for (const FontmapEntry& entry : *defaults) {
    if (!entry.alias.empty()) aliases[entry.name] = entry.alias;
  }
  const std::string mapFile = tmp + "/map";
  std::map<std::string, std::string> entries;
  for (int round = 0; round < kMaxRounds; ++round) {
    std::string lines;
    for (const auto& [name, file] : entries) {
      auto quoted = PsString(file);
      if (!quoted) {
        *why = "file name not fit for a map: " + file;
        return std::nullopt;
      }
      lines += PdfName(name) + " " + *quoted + " ;\n";
    }
    for (const FontmapEntry& entry : *defaults) {
      if (!entries.count(entry.name)) lines += entry.text + " ;\n";
    }
    if (!WriteFile(mapFile, lines)) {
      *why = "cannot write " + mapFile;
      return std::nullopt;
    }
    auto after = probe.Run({"-dNOPLATFONTS", "-sFONTMAP=" + mapFile}, crashed);
    if (!after) {
      *why = "the probe with the map failed";
      return std::nullopt;
    }
    // First the names the folder itself answers, then the default aliases
    // that lead through those. A name found as a font loads the same file
    // whatever its descriptor; a substitute follows once the names it goes
    // through are bound.
    auto leadsToBound = [&](std::string name) {
      for (int hop = 0; hop < 64; ++hop) {
        auto it = aliases.find(name);
        if (it == aliases.end()) return false;
        name = it->second;
        if (entries.count(name)) return true;
      }
      return false;
    };
    std::vector<size_t> bind;
    std::string unbound;
    const size_t count = names.size();
    for (size_t i = 0; i < count; ++i) {
      if ((*after)[i] == (*before)[i] && (*after)[count + i] == (*before)[count + i]) continue;
      const std::string& plain = (*before)[i];
      if (plain == (*before)[count + i] && plain.find('\n') == std::string::npos &&
          plain.starts_with('/') && !entries.count(names[i]) &&
          (round == 0 ? plain.starts_with(fontsDir) && MapLineLoadsTheSameFont(plain, names[i])
                      : leadsToBound(names[i]))) {
        bind.push_back(i);
      } else if (unbound.empty()) {
        unbound = names[i] + " (" + plain + ")";
      }
    }
    for (size_t i : bind) entries[names[i]] = (*before)[i];
    bool changed = !bind.empty();
    if (!changed) {
      if (unbound.empty()) return lines;
      *why = "font " + unbound + " cannot be mapped";
      return std::nullopt;
    }
  }
  *why = "the map did not settle";
  return std::nullopt;
}

}  // namespace

std::vector<std::string> GhostscriptFontArguments(const std::string& ghostscriptProgram,
                                                  const std::string& ghostscriptLib,
                                                  const std::string& fontsDirectory,
                                                  const std::string& inputPath) {
  std::vector<std::string> fontPath = {"-dNOPLATFONTS", "-sFONTPATH=" + fontsDirectory};
  // The PostScript side scans the folder only for a font it cannot find
  // otherwise; the PDF reader scans it for the first font a document lacks.
  if (!ReadsAsPdf(inputPath)) return fontPath;
  // One map per program directory when it is ours alone (a build, a private
  // install), else one per user.
  const std::string programDir = platform::ProgramDirectory();
  const std::string dir =
      (platform::IsPrivateDirectory(programDir) ? programDir : platform::StateRoot()) + "fontmap/";
  const std::string mapPath =
      dir + Hex(Fnv1a(ghostscriptProgram + '\0' + ghostscriptLib + '\0' + fontsDirectory)) + ".map";
  // FONTMAP is a list split at ':'.
  if (mapPath.find(':') != std::string::npos) return fontPath;
  const std::vector<std::string> mapArgs = {"-dNOPLATFONTS", "-sFONTMAP=" + mapPath};
  const std::string header =
      std::string(kHeader) + Signature(ghostscriptProgram, ghostscriptLib, fontsDirectory) + "\n";
  switch (ReadCached(mapPath, header)) {
    case Cached::kMap:
      return mapArgs;
    case Cached::kUnusable:
      return fontPath;
    case Cached::kMissing:
      break;
  }

  std::error_code ec;
  fs::create_directories(dir, ec);
  TempFolder tmp(dir);
  if (tmp.path.empty()) return fontPath;
  std::string why;
  bool crashed = false;
  auto lines =
      MakeMapLines(ghostscriptProgram, ghostscriptLib, fontsDirectory, tmp.path, &why, &crashed);
  if (!lines) {
    TraceMessage("font map: %s; fonts through FONTPATH\n", why.c_str());
    // Remembered until the fonts change, unless Ghostscript did not run to
    // its end: that may pass.
    if (!crashed)
      platform::WriteFileAtomically(mapPath, header + std::string(kUnusable) + why + "\n");
    return fontPath;
  }
  // Concurrent makers write the same text; the rename keeps readers whole.
  if (!platform::WriteFileAtomically(mapPath, header + *lines)) return fontPath;
  return mapArgs;
}

}  // namespace scrivex
