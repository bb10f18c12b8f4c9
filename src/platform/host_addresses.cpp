#include "platform/host_addresses.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

namespace scrivex::platform {

bool ParseIpv6(const std::string& text, IpAddress* address) {
  in6_addr parsed{};
  if (inet_pton(AF_INET6, text.c_str(), &parsed) != 1) return false;
  std::memcpy(address->data(), &parsed, address->size());
  return true;
}

bool ResolveHostName(const std::string& name, std::vector<IpAddress>* addresses) {
  addresses->clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (name.empty() || getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return false;
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, freeaddrinfo);
  for (const addrinfo* a = found; a; a = a->ai_next) {
    IpAddress address{};
    if (a->ai_family == AF_INET) {
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
      address[10] = address[11] = 0xff;
      std::memcpy(address.data() + 12, &v4->sin_addr, 4);
    } else if (a->ai_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(a->ai_addr);
      std::memcpy(address.data(), &v6->sin6_addr, 16);
    } else {
      continue;
    }
    addresses->push_back(address);
  }
  return !addresses->empty();
}

}  // namespace scrivex::platform
