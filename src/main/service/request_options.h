// A conversion request's named fields as the command line's options: the
// same checks, the same values.
#ifndef SCRIVEX_SERVICE_REQUEST_OPTIONS_H_
#define SCRIVEX_SERVICE_REQUEST_OPTIONS_H_

#include <string>
#include <utility>
#include <vector>

#include "common/conversion_options.h"

namespace scrivex {

using NamedFields = std::vector<std::pair<std::string, std::string>>;

struct RequestOptions {
  ConversionOptions options;
  std::string printer;
  std::string format = "pdf";  // the output's extension, without the dot
  std::string error;           // why the fields are refused; empty: accepted
};

// Reads the fields (format, paper, resolution, pages, colorBits,
// compression, orientation, rotation, title, author, subject, keywords,
// wait, printer, excelMode). An unknown field or a value the command line
// refuses gives the error, naming the field.
RequestOptions ReadRequestOptions(const NamedFields& fields);

// The content type of an output format ("tif"); empty when no conversion
// writes that format.
std::string ContentTypeOf(const std::string& format);

}  // namespace scrivex

#endif  // SCRIVEX_SERVICE_REQUEST_OPTIONS_H_
