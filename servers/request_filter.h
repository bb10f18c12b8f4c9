// What a printed web page may load. A page from a file reads its own folder
// and below; any page reaches public web hosts; an address's page also
// reaches the host (and port) it came from, whatever its range. Everything
// else - other files, loopback, link-local and private hosts, other schemes -
// is refused, so a hostile page cannot print local files or call local
// services.
#ifndef SCRIVEX_SERVERS_REQUEST_FILTER_H_
#define SCRIVEX_SERVERS_REQUEST_FILTER_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/host_addresses.h"

namespace scrivex {

struct RequestScope {
  // A file page: the folder it is named in and its own file (the name may
  // be a link to elsewhere), symlinks resolved. Empty for an address.
  std::string folder;
  std::string page;
  // An address page: its "host:port", the host read the way browsers do.
  // Empty for a file.
  std::string host;
};

// The addresses a host name stands for; false when none.
using HostResolver =
    std::function<bool(const std::string& name, std::vector<platform::IpAddress>* addresses)>;

// The scope of the page the browser is sent to (a file: or http(s): address).
RequestScope ScopeOfPage(const std::string& pageUrl);

// True when a page of this scope may load the address; otherwise why says
// what refused it. Host names are looked up through resolve.
bool MayLoad(const std::string& url, const RequestScope& scope, const HostResolver& resolve,
             std::string* why);

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_REQUEST_FILTER_H_
