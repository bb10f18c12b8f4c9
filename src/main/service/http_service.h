// The conversion service's HTTP side: routes, errors as JSON, the token
// check, one log line per request, and the drain on SIGTERM.
#ifndef SCRIVEX_SERVICE_HTTP_SERVICE_H_
#define SCRIVEX_SERVICE_HTTP_SERVICE_H_

#include <string>

#include "main/service/request_pool.h"

namespace scrivex {

struct ServiceSettings {
  std::string host = "127.0.0.1";
  int port = 3000;
  std::string token;  // requests need "Authorization: Bearer <token>"; empty: none
  size_t maxUploadBytes = 100u << 20;
  bool jsonLog = false;
  // Answers to a request waiting on a full queue: come back in this many seconds.
  int retryAfterSeconds = 5;
};

// Serves until SIGTERM or SIGINT, then takes no new request, lets running
// ones finish and returns 0; 1 (said on standard error) when it cannot listen.
int RunService(const ServiceSettings& settings, RequestPool& pool);

}  // namespace scrivex

#endif  // SCRIVEX_SERVICE_HTTP_SERVICE_H_
