#include "servers/request_filter.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/path.h"

namespace scrivex {
namespace {

using platform::IpAddress;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX escapes undone; false for a broken escape or a NUL, which no file
// name or host holds.
bool PercentDecode(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return false;
      int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      c = static_cast<char>(high * 16 + low);
      i += 2;
    }
    if (c == '\0') return false;
    out->push_back(c);
  }
  return true;
}

// One dotted part of an IPv4 host the way browsers read it: 0x hex,
// a leading 0 octal, else decimal.
bool Ipv4Number(std::string_view part, unsigned long long* value) {
  int base = 10;
  if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
    base = 16;
    part.remove_prefix(2);
  } else if (part.size() >= 2 && part[0] == '0') {
    base = 8;
    part.remove_prefix(1);
  }
  *value = 0;
  for (char c : part) {
    int digit = HexDigit(c);
    if (digit < 0 || digit >= base) return false;
    *value = *value * base + digit;
    if (*value > 0xFFFFFFFFull) *value = 0x100000000ull;  // too big either way
  }
  return true;
}

std::vector<std::string_view> SplitDots(std::string_view host) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t dot; (dot = host.find('.', start)) != std::string_view::npos; start = dot + 1) {
    parts.push_back(host.substr(start, dot - start));
  }
  parts.push_back(host.substr(start));
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // "127.0.0.1."
  return parts;
}

// Browsers read a host whose last part is a number as an IPv4 address
// ("2130706433", "0x7f.1", "0177.0.0.1" are all 127.0.0.1).
bool EndsInNumber(std::string_view host) {
  std::string_view last = SplitDots(host).back();
  if (last.empty()) return false;
  if (last.find_first_not_of("0123456789") == std::string_view::npos) return true;
  unsigned long long ignored;
  return last.size() >= 2 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X') &&
         Ipv4Number(last, &ignored);
}

bool ParseIpv4(std::string_view host, IpAddress* address) {
  std::vector<std::string_view> parts = SplitDots(host);
  if (parts.size() > 4) return false;
  unsigned long long value = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    unsigned long long n;
    if (parts[i].empty() || !Ipv4Number(parts[i], &n)) return false;
    if (i + 1 < parts.size()) {
      if (n > 255) return false;
      value = value * 256 + n;
    } else {
      const int bytesLeft = 5 - static_cast<int>(parts.size());
      if (n >= (1ull << (8 * bytesLeft))) return false;
      value = (value << (8 * bytesLeft)) | n;
    }
  }
  *address = IpAddress{};
  (*address)[10] = (*address)[11] = 0xff;
  for (int i = 0; i < 4; ++i)
    (*address)[12 + i] = static_cast<unsigned char>(value >> (24 - 8 * i));
  return true;
}

bool IsMappedIpv4(const IpAddress& a) {
  for (int i = 0; i < 10; ++i) {
    if (a[i] != 0) return false;
  }
  return a[10] == 0xff && a[11] == 0xff;
}

bool IsPrivateIpv4(const unsigned char* b) {
  return b[0] == 0 || b[0] == 10 || b[0] == 127 ||  // this network, private, loopback
         (b[0] == 169 && b[1] == 254) ||            // link-local (cloud metadata)
         (b[0] == 172 && (b[1] & 0xf0) == 16) ||    // private
         (b[0] == 192 && b[1] == 168) ||            // private
         (b[0] == 100 && (b[1] & 0xc0) == 64) ||    // carrier-grade NAT
         b[0] >= 224;                               // multicast, reserved, broadcast
}

// Loopback, link-local, private and the like: addresses of this machine or
// its neighbourhood, which no page from outside has business with.
bool IsPrivateAddress(const IpAddress& a) {
  if (IsMappedIpv4(a)) return IsPrivateIpv4(a.data() + 12);
  bool zeroPrefix = true;  // ::, ::1 and the old IPv4-compatible form
  for (int i = 0; i < 12; ++i) zeroPrefix = zeroPrefix && a[i] == 0;
  if (zeroPrefix) return true;
  if ((a[0] & 0xfe) == 0xfc) return true;                  // unique local fc00::/7
  if (a[0] == 0xfe && (a[1] & 0x80) == 0x80) return true;  // link- and site-local
  if (a[0] == 0xff) return true;                           // multicast
  // IPv4 reached through IPv6: NAT64 64:ff9b::/96 and 6to4 2002::/16.
  static const unsigned char kNat64[12] = {0, 0x64, 0xff, 0x9b};
  if (std::equal(a.begin(), a.begin() + 12, kNat64)) return IsPrivateIpv4(a.data() + 12);
  if (a[0] == 0x20 && a[1] == 0x02) return IsPrivateIpv4(a.data() + 2);
  return false;
}

struct Host {
  bool isAddress = false;
  IpAddress address{};
  std::string name;  // lower case, no trailing dot
};

bool ParseHost(std::string_view written, Host* host) {
  std::string text;
  if (written.empty() || !PercentDecode(written, &text)) return false;
  text = platform::ToLower(text);
  if (text.front() == '[') {
    host->isAddress = true;
    return text.back() == ']' &&
           platform::ParseIpv6(text.substr(1, text.size() - 2), &host->address);
  }
  if (text.find_first_of(" #%/:<>?@[\\]^|") != std::string::npos) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  if (EndsInNumber(text)) {
    host->isAddress = true;
    return ParseIpv4(text, &host->address);
  }
  host->name = text.back() == '.' ? text.substr(0, text.size() - 1) : text;
  return !host->name.empty() && host->name.back() != '.';
}

struct WebUrl {
  std::string scheme;  // lower case
  Host host;
  int port = 0;  // the scheme's own when none is written
};

// scheme://[user@]host[:port][/...]; browsers take backslashes and any
// number of slashes after the colon alike.
bool ParseWebUrl(const std::string& url, WebUrl* out) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos) return false;
  out->scheme = platform::ToLower(url.substr(0, colon));
  const bool secure = out->scheme == "https" || out->scheme == "wss";
  size_t start = url.find_first_not_of("/\\", colon + 1);
  if (start == std::string::npos || start == colon + 1) return false;
  std::string_view authority(url);
  authority = authority.substr(start, url.find_first_of("/\\?#", start) - start);
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  size_t hostEnd = authority.front() == '[' ? authority.find(']') + 1 : authority.find(':');
  if (hostEnd == 0) return false;  // "[" without "]"
  if (hostEnd > authority.size()) hostEnd = authority.size();
  if (!ParseHost(authority.substr(0, hostEnd), &out->host)) return false;
  std::string_view port = authority.substr(hostEnd);
  out->port = secure ? 443 : 80;
  if (port.empty()) return true;
  if (port.front() != ':') return false;
  port.remove_prefix(1);
  if (port.empty()) return true;
  if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  out->port = std::stoi(std::string(port));
  return out->port <= 65535;
}

std::string HostKey(const WebUrl& url) {
  std::string key;
  if (!url.host.isAddress) {
    key = url.host.name;
  } else if (IsMappedIpv4(url.host.address)) {
    for (int i = 12; i < 16; ++i) key += std::to_string(url.host.address[i]) + (i < 15 ? "." : "");
  } else {
    static const char kHex[] = "0123456789abcdef";
    key = "[";
    for (unsigned char b : url.host.address) key += {kHex[b >> 4], kHex[b & 15]};
    key += "]";
  }
  return key + ":" + std::to_string(url.port);
}

// The file an address names, "..", "." and symlinks resolved as far as it
// exists; empty when it names none on this machine.
std::string FileOfUrl(const std::string& url) {
  if (url.compare(0, 7, "file://") != 0) return "";
  const size_t pathStart = url.find('/', 7);
  if (pathStart == std::string::npos) return "";
  const std::string authority = platform::ToLower(url.substr(7, pathStart - 7));
  if (!authority.empty() && authority != "localhost") return "";  // another machine's share
  std::string path;
  if (!PercentDecode(
          std::string_view(url).substr(pathStart, url.find_first_of("?#", pathStart) - pathStart),
          &path)) {
    return "";
  }
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
  return error ? "" : resolved.string();
}

bool Inside(const std::string& path, const std::string& folder) {
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || folder.back() == '/' || path[folder.size()] == '/';
}

bool Refuse(std::string* why, const std::string& reason) {
  *why = reason;
  return false;
}

}  // namespace

RequestScope ScopeOfPage(const std::string& pageUrl) {
  RequestScope scope;
  if (platform::StartsWithNoCase(pageUrl, "file:")) {
    // Its pictures are beside the name it has, wherever that name leads.
    scope.page = FileOfUrl(pageUrl);
    const size_t slash = pageUrl.rfind('/');
    if (!scope.page.empty() && slash != std::string::npos) {
      scope.folder = FileOfUrl(pageUrl.substr(0, slash + 1));
      while (scope.folder.size() > 1 && scope.folder.back() == '/') scope.folder.pop_back();
    }
  } else if (WebUrl url; ParseWebUrl(pageUrl, &url)) {
    scope.host = HostKey(url);
  }
  return scope;
}

bool MayLoad(const std::string& url, const RequestScope& scope, const HostResolver& resolve,
             std::string* why) {
  const std::string scheme = platform::ToLower(url.substr(0, url.find(':')));
  // The page's own content.
  if (scheme == "data" || scheme == "blob") return true;
  if (scheme == "about") {
    const std::string what = platform::ToLower(url.substr(0, url.find_first_of("?#")));
    return what == "about:blank" || what == "about:srcdoc" ||
           Refuse(why, "only about:blank and about:srcdoc are the page's own");
  }
  if (scheme == "file") {
    if (scope.folder.empty()) return Refuse(why, "a file, and the page is no file");
    const std::string file = FileOfUrl(url);
    if (file.empty()) return Refuse(why, "no file of this machine");
    return Inside(file, scope.folder) || file == scope.page ||
           Refuse(why, file + " is outside " + scope.folder);
  }
  if (scheme != "http" && scheme != "https" && scheme != "ws" && scheme != "wss") {
    return Refuse(why, "the scheme " + scheme + ": is not loaded");
  }
  WebUrl web;
  if (!ParseWebUrl(url, &web)) return Refuse(why, "no host that can be read");
  // The host the page came from: the user asked for it, whatever its range.
  if (!scope.host.empty() && HostKey(web) == scope.host) return true;
  if (web.host.isAddress) {
    return !IsPrivateAddress(web.host.address) || Refuse(why, "a local or private address");
  }
  const std::string& name = web.host.name;
  // The browser takes these for loopback without asking the resolver.
  if (name == "localhost" || (name.size() > 10 && name.ends_with(".localhost"))) {
    return Refuse(why, "a name of this machine");
  }
  std::vector<IpAddress> addresses;
  if (!resolve(name, &addresses)) return Refuse(why, "the name resolves to no address");
  for (const IpAddress& a : addresses) {
    if (IsPrivateAddress(a)) return Refuse(why, "the name resolves to a local or private address");
  }
  return true;
}

}  // namespace scrivex
