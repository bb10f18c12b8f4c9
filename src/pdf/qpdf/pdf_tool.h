// The PDF tools program's work: adding the pages of one PDF to an existing
// one, and writing document information, always replacing the file in one step.
#ifndef SCRIVEX_PDF_QPDF_PDF_TOOL_H_
#define SCRIVEX_PDF_QPDF_PDF_TOOL_H_

#include <string>
#include <vector>

namespace scrivex {

// Texts are UTF-8; an empty one leaves the document's entry as it is.
struct PdfDocumentInfo {
  std::string title;
  std::string author;
  std::string subject;
  std::string keywords;
};

bool HasAnyText(const PdfDocumentInfo& info);

// One run of the tools program.
struct PdfToolRequest {
  std::string input;      // -i
  std::string output;     // -o; the input when not given
  std::string pagesFrom;  // -*: the PDF whose pages are added
  bool atFront = false;   // -* "1|0|<pdf>": before the first page, else after the last
  PdfDocumentInfo info;   // -t -a -s -k
};

// Reads the arguments after the program name. False with *error set when they
// do not form a request (unknown option, missing value, no -i, nothing to do).
bool ParsePdfToolArguments(const std::vector<std::string>& args, PdfToolRequest* request,
                           std::string* error);

// Adds the pages (with form fields) of `pagesFrom` to `existing` and sets the
// document information, writing the result to `output` (empty: `existing`).
// The output is replaced in one step; on any failure it is left byte for byte
// as it was and *error holds a one-line reason. A damaged existing PDF is
// refused, not repaired.
bool UpdatePdf(const std::string& existing, const std::string& pagesFrom, bool atFront,
               const PdfDocumentInfo& info, const std::string& output, std::string* error);

// Convenience forms of UpdatePdf.
bool AddPdfPages(const std::string& existing, const std::string& pagesFrom, bool atFront,
                 std::string* error);
bool SetPdfDocumentInformation(const std::string& input, const std::string& output,
                               const PdfDocumentInfo& info, std::string* error);

// Runs a parsed request; false with *error set on failure.
bool RunPdfTool(const PdfToolRequest& request, std::string* error);

// The usage text printed for a wrong command line.
std::string PdfToolUsage();

}  // namespace scrivex

#endif  // SCRIVEX_PDF_QPDF_PDF_TOOL_H_
