// Files joined into one zip archive as they are (stored, not compressed):
// a series of page images gains little from compression, and storing keeps
// the archive quick to write.
#ifndef SCRIVEX_SERVICE_STORED_ZIP_H_
#define SCRIVEX_SERVICE_STORED_ZIP_H_

#include <string>
#include <utility>
#include <vector>

namespace scrivex {

// Entries as (name in the archive, contents), kept in this order. Empty
// when an entry is too large for a zip without its 64-bit extension.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace scrivex

#endif  // SCRIVEX_SERVICE_STORED_ZIP_H_
