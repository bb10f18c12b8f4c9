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
  std::string
      folder;        // the folder a file page is named in, symlinks resolved; empty for an address
  std::string page;  // that page's file, symlinks resolved (the page may be a link to elsewhere)
  std::string host;  // an address page's "host:port" as HostKey gives it; empty for a file
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
