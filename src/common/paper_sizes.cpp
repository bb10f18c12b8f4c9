#include "common/paper_sizes.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/path.h"

namespace scrivex {
namespace {

// The common paper codes; the names are those -f takes.
// clang-format off
constexpr PaperSize kPapers[] = {
    {1, 8.5, 11, "in", "Letter"},
    {2, 8.5, 11, "in", nullptr},      // Letter small
    {3, 11, 17, "in", "Tabloid"},
    {4, 17, 11, "in", "Ledger"},
    {5, 8.5, 14, "in", "Legal"},
    {6, 5.5, 8.5, "in", nullptr},     // Statement
    {7, 7.25, 10.5, "in", "Executive"},
    {8, 297, 420, "mm", "A3"},
    {9, 210, 297, "mm", "A4"},
    {10, 210, 297, "mm", nullptr},    // A4 small
    {11, 148, 210, "mm", "A5"},
    {12, 250, 354, "mm", "B4"},       // JIS
    {13, 182, 257, "mm", "B5"},       // JIS
    {14, 8.5, 13, "in", nullptr},     // Folio
    {15, 215, 275, "mm", nullptr},    // Quarto
    {16, 10, 14, "in", nullptr},      // 10x14
    {17, 11, 17, "in", nullptr},      // 11x17
    {18, 8.5, 11, "in", nullptr},     // Note
    {20, 4.125, 9.5, "in", nullptr},  // Envelope #10
    {27, 110, 220, "mm", nullptr},    // Envelope DL
    {28, 162, 229, "mm", nullptr},    // Envelope C5
    {34, 176, 250, "mm", nullptr},    // Envelope B5
    {66, 420, 594, "mm", nullptr},    // A2
    {70, 105, 148, "mm", nullptr},    // A6
};
// clang-format on

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  size_t start = text.find_first_not_of(blanks);
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_last_not_of(blanks) + 1 - start);
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The end of a side of "WxH" starting at pos: digits with an optional
// fraction, or a fraction alone; npos when there is none.
size_t SideEnd(const std::string& text, size_t pos) {
  size_t digits = 0;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) ++digits;
  if (pos < text.size() && text[pos] == '.') {
    for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos) ++digits;
  }
  return digits > 0 ? pos : std::string::npos;
}

std::string Accepted() {
  return "accepted: a paper name (" + KnownPaperNames() + "), a paper code (" + KnownPaperCodes() +
         ") or WxH in in (the default), mm or pt, such as 11x17in or 210x297mm";
}

}  // namespace

const PaperSize* FindPaperSize(int code) {
  for (const PaperSize& paper : kPapers) {
    if (paper.code == code) return &paper;
  }
  return nullptr;
}

const PaperSize* FindPaperByName(const std::string& name) {
  for (const PaperSize& paper : kPapers) {
    if (paper.name && platform::EqualsNoCase(name, paper.name)) return &paper;
  }
  return nullptr;
}

bool PaperSizePoints(int paperSize, double* width, double* height) {
  const PaperSize* paper = FindPaperSize(paperSize);
  if (!paper) return false;
  const double pointsPerUnit = std::strcmp(paper->unit, "mm") == 0 ? 72.0 / 25.4 : 72.0;
  *width = paper->width * pointsPerUnit;
  *height = paper->height * pointsPerUnit;
  return true;
}

int PaperTenthsOfMm(float value, float factor) {
  const double points = static_cast<double>(value) * factor;
  const double tenths = std::round(points * 254.0 / 72.0);
  if (!(points >= 1 && tenths <= kMaxPaperField)) return 0;  // also NaN
  return static_cast<int>(tenths);
}

std::string KnownPaperCodes() {
  // Runs of three or more consecutive codes read as one span: "1-18, 20, 27, 28".
  std::string list;
  const size_t count = sizeof kPapers / sizeof kPapers[0];
  for (size_t i = 0; i < count;) {
    size_t end = i;
    while (end + 1 < count && kPapers[end + 1].code == kPapers[end].code + 1) ++end;
    if (end < i + 2) end = i;
    if (!list.empty()) list += ", ";
    list += std::to_string(kPapers[i].code);
    if (end > i) list += "-" + std::to_string(kPapers[end].code);
    i = end + 1;
  }
  return list;
}

std::string KnownPaperNames() {
  std::string list;
  for (const PaperSize& paper : kPapers) {
    if (!paper.name) continue;
    if (!list.empty()) list += ", ";
    list += paper.name;
  }
  return list;
}

bool ReadPaperText(const std::string& text, std::string* stored, std::string* why) {
  const std::string value = Trimmed(text);
  if (value.empty()) {
    *stored = "1";
    return true;
  }
  if (const PaperSize* paper = FindPaperByName(value)) {
    *stored = std::to_string(paper->code);
    return true;
  }
  if (value.size() <= 9 && value.find_first_not_of("0123456789") == std::string::npos) {
    if (!FindPaperSize(std::atoi(value.c_str()))) {
      *why = "no paper has this code; " + Accepted();
      return false;
    }
    *stored = value;
    return true;
  }
  // WxH and the unit, read as the printers read them.
  std::string size = platform::ToLower(value);
  float factor = 72.0f;
  const std::string unit = size.size() > 2 ? size.substr(size.size() - 2) : "";
  if (unit == "in" || unit == "mm" || unit == "pt") {
    size.resize(size.size() - 2);
    factor = unit == "mm" ? 2.8346457f : unit == "pt" ? 1.0f : 72.0f;
  }
  const size_t widthEnd = SideEnd(size, 0);
  if (widthEnd == std::string::npos || widthEnd >= size.size() || size[widthEnd] != 'x' ||
      SideEnd(size, widthEnd + 1) != size.size()) {
    *why = Accepted();
    return false;
  }
  // Each side on its own: "0x11" whole would read as a hexadecimal number.
  if (PaperTenthsOfMm(std::strtof(size.substr(0, widthEnd).c_str(), nullptr), factor) == 0 ||
      PaperTenthsOfMm(std::strtof(size.c_str() + widthEnd + 1, nullptr), factor) == 0) {
    *why = "each side must be from 1 point to 3276.7 mm";
    return false;
  }
  *stored = value;
  return true;
}

}  // namespace scrivex
