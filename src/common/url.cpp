#include "common/url.h"

#include "platform/path.h"

namespace scrivex {
namespace {

const char* const kUrlPrefixes[] = {"http:", "https:", "www.", "file:"};
const char* const kUrlMarkers[] = {".com", ".net", ".org",  ".gov", ".info", ".biz",
                                   ".tv",  ".cc",  ".name", "asp",  ".php"};
const char* const kUrlExtensions[] = {".htm", ".html", ".asp"};

}  // namespace

bool HasUrlPrefix(const std::string& path) {
  for (const char* prefix : kUrlPrefixes)
    if (platform::StartsWithNoCase(path, prefix)) return true;
  return false;
}

int IsUrl(const std::string& path) {
  std::string lower = platform::ToLower(path);
  if (HasUrlPrefix(lower)) return 1;
  for (const char* marker : kUrlMarkers)
    if (lower.find(marker) != std::string::npos) return 1;
  std::string ext = platform::SplitPath(lower).ext;
  for (const char* urlExt : kUrlExtensions)
    if (ext == urlExt) return 1;
  return 0;
}

}  // namespace scrivex
