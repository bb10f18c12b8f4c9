#include "servers/register_servers.h"

namespace scrivex {

void RegisterServers() {
  RegisterAcrobatServer();
  RegisterQuireServer();
}

}  // namespace scrivex
