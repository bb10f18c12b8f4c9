// The printing route: documents that Ghostscript does not render (office
// files, text, web pages, images, and every EMF or WMF output) are printed
// through the virtual printer by the input-type dispatch.
#ifndef SCRIVEX_IMAGE_PRINT_ROUTE_H_
#define SCRIVEX_IMAGE_PRINT_ROUTE_H_

#include <string>
#include <vector>

#include "common/conversion_options.h"

namespace scrivex {

// The input-type dispatch: prints the input to the output, appends the files
// the printer's driver announced to *produced and returns their number. It
// lives above this layer and is installed by its owner; until then printing
// produces nothing and says so.
using PrintDocumentFunction = int (*)(const std::string& input, const std::string& output,
                                      const ConversionOptions* options,
                                      std::vector<std::string>* produced);
// Installs the dispatch; null restores the one that prints nothing.
void SetPrintDocumentFunction(PrintDocumentFunction print);

// Prints the input to the output: 1 when the driver announced at least one
// file. DCX and MNG outputs are printed to temporary PNG pages that the
// image converter joins into the output.
int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions* options);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_PRINT_ROUTE_H_
