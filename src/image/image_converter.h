// The printing road for image and metafile outputs, and the external image
// converter ("pictor.dll" beside the program) that joins or re-encodes pages.
#ifndef SCRIVEX_IMAGE_IMAGE_CONVERTER_H_
#define SCRIVEX_IMAGE_IMAGE_CONVERTER_H_

#include <string>
#include <vector>

#include "driver/conversion_options.h"

namespace scrivex {

constexpr const char* kImageConverterName = "pictor.dll";

// The printing road's input-type dispatch: prints the input to the output
// and returns what it produced (0: nothing). Until the printing road is part
// of the program the installed function prints nothing.
using PrintDocumentFunction = int (*)(const std::string& input, const std::string& output,
                                      const ConversionOptions* options);
// Installs the dispatch; null restores the one that prints nothing.
void SetPrintDocumentFunction(PrintDocumentFunction print);

// Prints the input to the output; DCX and MNG outputs are printed to
// temporary PNG pages that the image converter joins into the output.
int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions* options);

// The file name in the running executable's folder; with mustExist, the bare
// name when it is not there, so that the program search decides.
std::string LocateImageConverter(const std::string& fileName, bool mustExist);

// The converter's command line: the quoted converter path, the resource
// limits, the quoted inputs in order and the quoted output. Empty when an
// argument holds a double quote.
std::string BuildImageConverterCommandLine(const std::string& converter,
                                           const std::vector<std::string>& inputs,
                                           const std::string& output);

// Writes the inputs, in order, into one output file in the format its
// extension names. The converter writes a temporary file that replaces the
// output only when the converter succeeded, so an existing output survives a
// failure. 1 on success, 0 otherwise.
int RunImageConverter(const std::vector<std::string>& inputs, const std::string& output);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_IMAGE_CONVERTER_H_
