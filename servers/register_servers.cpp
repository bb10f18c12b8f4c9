#include "servers/register_servers.h"

namespace scrivex {

void RegisterServers() {
  RegisterAcrobatServer();
  RegisterQuireServer();
  RegisterWordServer();
  RegisterExcelServer();
  RegisterPowerPointServer();
  RegisterVisioServer();
}

}  // namespace scrivex
