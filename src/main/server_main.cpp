// scrivex-server: the conversion service, an HTTP API over worker processes.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "apps/routes.h"
#include "driver/options.h"
#include "driver/request_worker.h"
#include "driver/worker_pool.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "platform/state_root.h"
#include "platform/termination.h"
#include "platform/worker_process.h"
#include "main/real_converters.h"
#include "servers/register_servers.h"
#include "main/service/http_service.h"
#include "main/service/request_pool.h"

namespace {

constexpr const char* kWorkerFlag = "--serve-requests";

const char kUsage[] =
    "Usage: scrivex-server [options]\n"
    "  --listen ADDRESS:PORT   where to listen (127.0.0.1:3000)\n"
    "  --token FILE            requests need \"Authorization: Bearer <the file's text>\"\n"
    "  --insecure-no-auth      listen beyond this machine without a token\n"
    "  --workers N             worker processes, 0 for one per core (0)\n"
    "  --queue N               requests that may wait for a worker (4 x workers)\n"
    "  --timeout SECONDS       time limit of one conversion (the watchdog's)\n"
    "  --max-upload-mb N       largest upload (100)\n"
    "  --log-format text|json  one line per request on standard error (text)\n"
    "  --version, --help\n";

bool ReadCount(const std::string& text, long most, long* value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = std::atol(text.c_str());
  return *value <= most;
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

int Refuse(const std::string& why) {
  std::fprintf(stderr, "scrivex-server: %s\n%s", why.c_str(), kUsage);
  return 2;
}

// A worker: converts what the service sends on its socket.
int ServeAsWorker() {
  scrivex::RegisterServers();
  scrivex::PrintRun printing;
  const scrivex::Converters converters = scrivex::RealConverters(printing);
  const int code = scrivex::ServeRequests(scrivex::platform::kWorkerChannelFd,
                                          scrivex::platform::StateRoot() + "workers/", converters);
  scrivex::QuitKeptApplications(printing);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  scrivex::platform::InstallTerminationHandlers();
  if (argc == 2 && std::strcmp(argv[1], kWorkerFlag) == 0) return ServeAsWorker();

  scrivex::ServiceSettings settings;
  std::string tokenFile;
  bool insecure = false;
  int workers = 0;
  long queue = -1, timeout = -1, uploadMb = 100;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      scrivex::WriteVersion(stdout);
      return 0;
    } else if (arg == "--insecure-no-auth") {
      insecure = true;
    } else if (arg == "--listen" && value(&v)) {
      const size_t colon = v.rfind(':');
      long port = 0;
      if (colon == std::string::npos || !ReadCount(v.substr(colon + 1), 65535, &port) ||
          port == 0)
        return Refuse("--listen '" + v + "': accepted: ADDRESS:PORT, such as 127.0.0.1:3000");
      settings.host = v.substr(0, colon);
      if (settings.host.size() > 2 && settings.host.front() == '[' && settings.host.back() == ']')
        settings.host = settings.host.substr(1, settings.host.size() - 2);
      settings.port = static_cast<int>(port);
    } else if (arg == "--token" && value(&v)) {
      tokenFile = v;
    } else if (arg == "--workers" && value(&v)) {
      if (!scrivex::ReadWorkerCount(v, &workers))
        return Refuse("--workers '" + v + "': accepted: 0 (one per core) to " +
                      std::to_string(scrivex::kMostWorkers));
    } else if (arg == "--queue" && value(&v)) {
      if (!ReadCount(v, 100000, &queue)) return Refuse("--queue '" + v + "': accepted: 0 or more");
    } else if (arg == "--timeout" && value(&v)) {
      if (!ReadCount(v, 86400, &timeout))
        return Refuse("--timeout '" + v + "': accepted: seconds, 0 for no limit");
    } else if (arg == "--max-upload-mb" && value(&v)) {
      if (!ReadCount(v, 1 << 20, &uploadMb) || uploadMb == 0)
        return Refuse("--max-upload-mb '" + v + "': accepted: 1 or more");
    } else if (arg == "--log-format" && value(&v)) {
      if (v != "text" && v != "json") return Refuse("--log-format '" + v + "': text or json");
      settings.jsonLog = v == "json";
    } else {
      return Refuse("unknown or incomplete option '" + arg + "'");
    }
  }
  if (!tokenFile.empty()) {
    std::ifstream in(tokenFile);
    std::ostringstream text;
    text << in.rdbuf();
    settings.token = text.str();
    while (!settings.token.empty() && std::isspace(static_cast<unsigned char>(settings.token.back())))
      settings.token.pop_back();
    if (!in || settings.token.empty())
      return Refuse("--token " + tokenFile + ": no token can be read from it");
  }
  if (!IsLoopback(settings.host) && settings.token.empty() && !insecure)
    return Refuse("listening on " + settings.host +
                  " needs --token FILE (or, knowingly, --insecure-no-auth)");
  settings.maxUploadBytes = static_cast<size_t>(uploadMb) << 20;

  // The state root decides which programs the workers start: only ours.
  std::string error;
  if (!scrivex::platform::CheckStateRoot(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  // Uploads, results and the workers' scratch files: one private folder,
  // gone when the service ends.
  scrivex::platform::PrivateTempFolder temp;

  scrivex::PoolSettings pool;
  pool.workers = scrivex::WorkerCount(workers);
  pool.queue = queue >= 0 ? static_cast<int>(queue) : 4 * pool.workers;
  pool.timeoutSeconds =
      timeout >= 0 ? static_cast<int>(timeout) : scrivex::platform::WatchdogSeconds();
  pool.workerCommand = {scrivex::platform::ProgramDirectory() + "scrivex-server", kWorkerFlag};
  int code = 1;
  {
    scrivex::RequestPool requests(pool);
    if (!requests.Start(&error)) {
      std::fprintf(stderr, "scrivex-server: %s\n", error.c_str());
      return 1;
    }
    code = scrivex::RunService(settings, requests);
  }
  return code;
}
