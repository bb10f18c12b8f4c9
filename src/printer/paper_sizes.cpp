#include "printer/paper_sizes.h"

#include <cstring>

namespace scrivex {
namespace {

// The common paper codes.
constexpr PaperSize kPapers[] = {
    {1, 8.5, 11, "in"},      // Letter
    {2, 8.5, 11, "in"},      // Letter small
    {3, 11, 17, "in"},       // Tabloid
    {4, 17, 11, "in"},       // Ledger
    {5, 8.5, 14, "in"},      // Legal
    {6, 5.5, 8.5, "in"},     // Statement
    {7, 7.25, 10.5, "in"},   // Executive
    {8, 297, 420, "mm"},     // A3
    {9, 210, 297, "mm"},     // A4
    {10, 210, 297, "mm"},    // A4 small
    {11, 148, 210, "mm"},    // A5
    {12, 250, 354, "mm"},    // B4 (JIS)
    {13, 182, 257, "mm"},    // B5 (JIS)
    {14, 8.5, 13, "in"},     // Folio
    {15, 215, 275, "mm"},    // Quarto
    {16, 10, 14, "in"},      // 10x14
    {17, 11, 17, "in"},      // 11x17
    {18, 8.5, 11, "in"},     // Note
    {20, 4.125, 9.5, "in"},  // Envelope #10
    {27, 110, 220, "mm"},    // Envelope DL
    {28, 162, 229, "mm"},    // Envelope C5
    {34, 176, 250, "mm"},    // Envelope B5
    {66, 420, 594, "mm"},    // A2
    {70, 105, 148, "mm"},    // A6
};

}  // namespace

const PaperSize* FindPaperSize(int code) {
  for (const PaperSize& paper : kPapers) {
    if (paper.code == code) return &paper;
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

}  // namespace scrivex
