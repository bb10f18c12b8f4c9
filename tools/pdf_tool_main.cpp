// tools.cfg: adds the pages of one PDF to an existing PDF, or writes document
// information, replacing the file in one step. Exit 0 on success, 1 when the
// work failed, 2 for a wrong command line.
#include <cstdio>
#include <string>
#include <vector>

#include "pdf/qpdf/pdf_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  scrivex::PdfToolRequest request;
  std::string error;
  if (!scrivex::ParsePdfToolArguments(args, &request, &error)) {
    std::fprintf(stderr, "tools.cfg: %s\n%s", error.c_str(), scrivex::PdfToolUsage().c_str());
    return 2;
  }
  if (!scrivex::RunPdfTool(request, &error)) {
    std::fprintf(stderr, "tools.cfg: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
