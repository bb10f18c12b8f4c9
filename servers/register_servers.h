// Fills the automation layer's table of servers by ProgID; the program and
// the library call it once at start.
#ifndef SCRIVEX_SERVERS_REGISTER_SERVERS_H_
#define SCRIVEX_SERVERS_REGISTER_SERVERS_H_

namespace scrivex {

void RegisterServers();

// Each server's own registration.
void RegisterAcrobatServer();
void RegisterQuireServer();
void RegisterWordServer();
void RegisterExcelServer();
void RegisterPowerPointServer();
void RegisterVisioServer();

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_REGISTER_SERVERS_H_
