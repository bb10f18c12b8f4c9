// Joining several produced PDF parts into one output file.
#ifndef SCRIVEX_PDF_PDF_MERGE_H_
#define SCRIVEX_PDF_PDF_MERGE_H_

#include <string>
#include <vector>

#include "common/conversion_options.h"

namespace scrivex {

// Fixed document-information texts of every joined file.
inline constexpr const char* kPdfCreatorText = "Brindle Document Converter, Build: Feb 11 2008";
inline constexpr const char* kPdfProducerText =
    "Brindle Document Converter http://www.brindle-converter.example";

// Results of MergePdfParts.
inline constexpr int kMergeWritten = 0;
inline constexpr int kMergeNoDocument = 2;
inline constexpr int kMergeCannotCreate = 3;

// Joins the pages of `parts` (in list order) into `outputPath`, with their form
// fields renamed "Form0", "Form1", ... so equal names cannot clash. A part that
// is missing or cannot be opened (without a password, then with the job's
// `userPassword`) is left out. Document information, rotation (multiples of 90
// only, added to each page's own) and encryption (`encryptionKeyLength` 0: RC4
// 40-bit, 1: RC4 128-bit, 2: AES 128-bit, with `permissions` as restriction
// flags) come from `options`; nullptr counts as all defaults.
// Returns 0 when the output was written, 2 when no document could be made, 3
// when the output could not be created (nothing written; also when no part gave
// a page). The output is replaced in one step: a failure leaves it untouched.
int MergePdfParts(const std::vector<std::string>& parts, const std::string& outputPath,
                  const ConversionOptions* options);

// Restriction flags of `permissions` (a set bit denies).
inline constexpr int kDenyPrint = 0x4;
inline constexpr int kDenyModify = 0x8;
inline constexpr int kDenyCopy = 0x10;
inline constexpr int kDenyAnnotate = 0x20;
inline constexpr int kDenyFillForms = 0x100;
inline constexpr int kDenyAccessibility = 0x200;
inline constexpr int kDenyAssemble = 0x400;
inline constexpr int kDenyPrintHighRes = 0x800;

}  // namespace scrivex

#endif  // SCRIVEX_PDF_PDF_MERGE_H_
