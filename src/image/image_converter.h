// The external image converter ("pictor.dll" beside the program), which joins
// pages into one DCX or MNG file and re-encodes pages Ghostscript cannot
// write itself.
#ifndef SCRIVEX_IMAGE_IMAGE_CONVERTER_H_
#define SCRIVEX_IMAGE_IMAGE_CONVERTER_H_

#include <string>
#include <vector>

namespace scrivex {

constexpr const char* kImageConverterName = "pictor.dll";

// The file name in the running executable's folder; with mustExist, the bare
// name when it is not there, so that the program search decides.
std::string LocateImageConverter(const std::string& fileName, bool mustExist);

// The joining arguments: the converter, its resource limits and the inputs
// in order; the output name goes last.
std::vector<std::string> ImageConverterArguments(const std::string& converter,
                                                 const std::vector<std::string>& inputs);

// Joins the inputs, in order, into one output file in the format its
// extension names. 1 on success, 0 otherwise; an existing output is replaced
// only by a complete one. Why the converter failed goes to *why.
int RunImageConverter(const std::vector<std::string>& inputs, const std::string& output,
                      std::string* why = nullptr);

// Re-encodes one page into the format the output's extension names (GIF,
// TGA). No joining limits: a page fits in memory. False when it failed.
bool ConvertImagePage(const std::string& page, const std::string& output,
                      std::string* why = nullptr);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_IMAGE_CONVERTER_H_
