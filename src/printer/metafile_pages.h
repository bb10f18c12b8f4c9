// EMF and WMF pages: the office suite's drawing program imports each page of
// the print stream and exports it as one metafile.
#ifndef SCRIVEX_PRINTER_METAFILE_PAGES_H_
#define SCRIVEX_PRINTER_METAFILE_PAGES_H_

#include <string>
#include <vector>

namespace scrivex {

// Writes one metafile per page of the stream, named as the output's pages
// (base + "_0001" + extension …), replacing the output's earlier pages as a
// series. The written paths go to *written; false with *why set.
bool WriteMetafilePages(const std::string& stream, const std::string& output,
                        std::vector<std::string>* written, std::string* why);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_METAFILE_PAGES_H_
