// Telling a web address from a file name.
#ifndef SCRIVEX_COMMON_URL_H_
#define SCRIVEX_COMMON_URL_H_

#include <string>

namespace scrivex {

// 1 when the text looks like a web address: a URL prefix, a host marker
// (".com", "asp", ...) anywhere, or a web page's extension.
int IsUrl(const std::string& path);
// True when the text starts like a web address ("http:", "https:", "www.",
// "file:"); such an input is kept as typed, never made into a file path.
bool HasUrlPrefix(const std::string& path);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_URL_H_
