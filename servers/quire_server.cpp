#include "servers/register_servers.h"

namespace scrivex {

// The HTML creator object is not built yet: nothing is registered, so
// creating it fails and the route says so.
void RegisterQuireServer() {}

}  // namespace scrivex
