// Network addresses of hosts: IPv6 text read, names looked up through the
// system's resolver. IPv4 addresses come in their IPv6-mapped form
// (::ffff:a.b.c.d), so one record serves both families.
#ifndef SCRIVEX_PLATFORM_HOST_ADDRESSES_H_
#define SCRIVEX_PLATFORM_HOST_ADDRESSES_H_

#include <array>
#include <string>
#include <vector>

namespace scrivex::platform {

using IpAddress = std::array<unsigned char, 16>;

// An IPv6 address in text ("::1", "::ffff:10.0.0.1"; no brackets); false when it is none.
bool ParseIpv6(const std::string& text, IpAddress* address);
// Every address the name resolves to; false when it resolves to none.
bool ResolveHostName(const std::string& name, std::vector<IpAddress>* addresses);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_HOST_ADDRESSES_H_
