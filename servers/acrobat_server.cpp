#include "servers/register_servers.h"

namespace scrivex {

void RegisterAcrobatServer() {}

}  // namespace scrivex
