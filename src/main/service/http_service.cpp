#include "main/service/http_service.h"

#include <httplib.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "apps/print_document.h"
#include "common/url.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "platform/host_addresses.h"
#include "platform/termination.h"
#include "servers/request_filter.h"
#include "main/service/program_check.h"
#include "main/service/request_options.h"
#include "main/service/service_metrics.h"
#include "main/service/stored_zip.h"

#ifndef SCRIVEX_VERSION_TEXT
#error "SCRIVEX_VERSION_TEXT comes from the build: the packaging's version"
#endif

namespace scrivex {

namespace {

using nlohmann::json;

// What the log line tells of a request, filled as it is answered. The
// handler and the logger run on the same thread, one request after another.
struct RequestNote {
  long long startMs = 0;
  std::string inputType = "-";
  size_t bytesIn = 0;
  int worker = -1;
};
thread_local RequestNote note;

void SetError(httplib::Response& res, int status, const std::string& reason) {
  res.status = status;
  res.set_content(json{{"reason", reason}}.dump() + "\n", "application/json");
}

// The routes the metrics name; anything else is "other", so a scan of
// random paths cannot grow them without end.
std::string RouteLabel(const std::string& path) {
  for (const char* route : {"/convert", "/health", "/metrics", "/version"}) {
    if (path == route) return route;
  }
  return "other";
}

std::string FailureLabel(int status) {
  switch (status) {
    case 400: return "bad_option";
    case 401: return "unauthorized";
    case 413: return "too_large";
    case 415: return "unsupported_input";
    case 422: return "conversion_failed";
    case 503: return "queue_full";
    case 504: return "timeout";
    default: return status >= 500 ? "internal" : "other";
  }
}

// A name safe in a header and on disk: letters, digits, "-", "_", "." only.
std::string SafeBaseName(const std::string& name) {
  std::string safe;
  for (char c : name) {
    safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
  }
  if (safe.empty() || safe.size() > 100) safe = safe.empty() ? "document" : safe.substr(0, 100);
  return safe;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool SameToken(const std::string& given, const std::string& token) {
  // Every byte compared, so the time taken tells nothing of where they differ.
  unsigned char differ = given.size() != token.size();
  for (size_t i = 0; i < given.size(); ++i)
    differ |= static_cast<unsigned char>(given[i] ^ token[i % (token.empty() ? 1 : token.size())]);
  return differ == 0 && !token.empty();
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *bytes = all.str();
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// How long the answer to "do the office and the browser start" is kept.
constexpr long long kProgramCheckMs = 60 * 1000;

class Service {
 public:
  Service(const ServiceSettings& settings, RequestPool& pool)
      : settings_(settings), pool_(pool), programs_(HelperPrograms(), kProgramCheckMs) {}

  // Whether the office and the browser start, as the health route reports it.
  bool ProgramsOk(std::string* why) { return programs_.Ok(why); }

  void Convert(const httplib::Request& req, httplib::Response& res) {
    NamedFields fields;
    std::string upload, uploadName, url;
    const std::string contentType = Lower(req.get_header_value("Content-Type"));
    if (req.is_multipart_form_data()) {
      if (!req.has_file("file")) return SetError(res, 400, "no 'file' field in the form");
      const httplib::MultipartFormData file = req.get_file_value("file");
      upload = file.content;
      uploadName = file.filename;
      for (const auto& [name, part] : req.files) {
        if (name != "file") fields.emplace_back(name, part.content);
      }
    } else if (contentType.rfind("application/json", 0) == 0) {
      json body = json::parse(req.body, nullptr, false);
      if (!body.is_object()) return SetError(res, 400, "the body is no JSON object");
      for (const auto& [name, value] : body.items()) {
        std::string text = value.is_string() ? value.get<std::string>() : value.dump();
        if (name == "url") {
          url = text;
        } else {
          fields.emplace_back(name, text);
        }
      }
      if (url.empty()) return SetError(res, 400, "no 'url' in the JSON body");
      const std::string scheme = Lower(url.substr(0, 8));
      if (scheme.rfind("http://", 0) != 0 && scheme.rfind("https://", 0) != 0)
        return SetError(res, 415, "only http:// and https:// addresses are converted");
      // A caller must not reach this machine's or its network's services
      // through us: the address's own host gets no exemption here, unlike a
      // page named on the command line by someone who sits at the machine.
      std::string refusal;
      if (!MayLoad(url, RequestScope{}, platform::ResolveHostName, &refusal))
        return SetError(res, 400, "the address is not converted: " + refusal);
    } else {
      return SetError(res, 415,
                      "send multipart/form-data with a 'file', or a JSON body with a 'url'");
    }
    note.bytesIn = upload.size();

    const RequestOptions options = ReadRequestOptions(fields);
    if (!options.error.empty()) return SetError(res, 400, options.error);

    platform::PathParts parts = platform::SplitPath(uploadName);
    const std::string ext = Lower(parts.ext);
    note.inputType = url.empty() ? (ext.empty() ? "none" : ext.substr(1)) : "url";
    if (url.empty() && (ext.empty() || !HasPrintRoute(ext))) {
      note.inputType = "unsupported";
      return SetError(res, 415, "no conversion reads '" + (ext.empty() ? uploadName : ext) +
                                    "' files");
    }
    const std::string base = url.empty() ? SafeBaseName(parts.name) : "page";

    // The upload and what is made of it live in a folder of this request
    // alone, gone with everything in it when the answer is built.
    platform::StagingFolder folder;
    std::string why;
    if (!folder.CreateIn(platform::TempDirectory(), &why))
      return SetError(res, 500, "no folder for the request: " + why);
    ConversionRequest request;
    request.options = options.options;
    request.printer = options.printer;
    request.output = folder.path() + base + "." + options.format;
    if (url.empty()) {
      request.input = folder.path() + "input" + ext;
      if (!WriteWholeFile(request.input, upload))
        return SetError(res, 500, "the upload cannot be stored");
    } else {
      request.input = url;
    }
    upload.clear();

    const PoolAnswer answer = pool_.Convert(request);
    note.worker = answer.worker;
    switch (answer.outcome) {
      case PoolOutcome::kQueueFull:
        res.set_header("Retry-After", std::to_string(settings_.retryAfterSeconds));
        return SetError(res, 503, "every worker is busy and the queue is full");
      case PoolOutcome::kStopping:
        res.set_header("Retry-After", std::to_string(settings_.retryAfterSeconds));
        return SetError(res, 503, "the service is stopping");
      case PoolOutcome::kTimedOut:
        return SetError(res, 504, "the conversion took longer than the time limit");
      case PoolOutcome::kWorkerEnded:
        return SetError(res, 422, "the worker converting it ended" +
                                      (answer.why.empty() ? "" : " (" + answer.why + ")"));
      case PoolOutcome::kConverted:
        break;
    }
    const ConversionReply& reply = answer.reply;
    metrics_.ObserveConversion(note.inputType, reply.seconds);
    if (reply.result != 1)
      return SetError(res, 422, reply.reason.empty() ? "nothing was produced" : reply.reason);
    std::vector<std::string> files = reply.files;
    if (files.empty()) files.push_back(request.output);

    res.set_header("X-Scrivex-Pages", std::to_string(reply.pages));
    if (files.size() == 1) {
      std::string bytes;
      if (!ReadWholeFile(files[0], &bytes))
        return SetError(res, 500, "the converted file cannot be read");
      res.set_header("Content-Disposition",
                     "attachment; filename=\"" + base + "." + options.format + "\"");
      res.set_content(std::move(bytes), ContentTypeOf(options.format));
      return;
    }
    // A page series: one archive, its entries in page order.
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& file : files) {
      std::string bytes;
      if (!ReadWholeFile(file, &bytes)) return SetError(res, 500, "a page file cannot be read");
      entries.emplace_back(platform::SplitPath(file).name + platform::SplitPath(file).ext,
                           std::move(bytes));
    }
    std::string zip = StoredZip(entries);
    if (zip.empty()) return SetError(res, 500, "the pages are too large for one archive");
    res.set_header("Content-Disposition", "attachment; filename=\"" + base + ".zip\"");
    res.set_content(std::move(zip), "application/zip");
  }

  void Health(httplib::Response& res) {
    std::string why;
    if (!pool_.Healthy(&why)) return SetError(res, 503, why);
    if (!programs_.Ok(&why)) return SetError(res, 503, why);
    res.set_content(json{{"status", "ok"}, {"workers", pool_.Workers()}}.dump() + "\n",
                    "application/json");
  }

  void Metrics(httplib::Response& res) {
    PoolGauges gauges;
    gauges.queueDepth = pool_.Waiting();
    gauges.busyWorkers = pool_.Busy();
    gauges.workers = pool_.Workers();
    gauges.workerRestarts = pool_.Restarts();
    res.set_content(metrics_.Text(gauges), "text/plain; version=0.0.4");
  }

  void Log(const httplib::Request& req, const httplib::Response& res) {
    const std::string route = RouteLabel(req.path);
    metrics_.CountRequest(route, res.status);
    if (res.status >= 400) metrics_.CountFailure(FailureLabel(res.status));
    const long long ms = platform::TickCountMs() - note.startMs;
    const size_t bytesIn = note.bytesIn ? note.bytesIn : req.body.size();
    std::string line;
    if (settings_.jsonLog) {
      line = json{{"method", req.method},
                  {"route", route},
                  {"status", res.status},
                  {"input_type", note.inputType},
                  {"bytes_in", bytesIn},
                  {"bytes_out", res.body.size()},
                  {"ms", ms},
                  {"worker", note.worker}}
                 .dump();
    } else {
      line = req.method + " " + route + " " + std::to_string(res.status) + " " + note.inputType +
             " in=" + std::to_string(bytesIn) + " out=" + std::to_string(res.body.size()) +
             " ms=" + std::to_string(ms) +
             " worker=" + (note.worker < 0 ? "-" : std::to_string(note.worker));
    }
    line += "\n";
    std::fputs(line.c_str(), stderr);
  }

  httplib::Server::HandlerResponse Admit(const httplib::Request& req, httplib::Response& res) {
    note = RequestNote{};
    note.startMs = platform::TickCountMs();
    if (settings_.token.empty()) return httplib::Server::HandlerResponse::Unhandled;
    const std::string given = req.get_header_value("Authorization");
    if (given.rfind("Bearer ", 0) == 0 && SameToken(given.substr(7), settings_.token))
      return httplib::Server::HandlerResponse::Unhandled;
    res.set_header("WWW-Authenticate", "Bearer");
    SetError(res, 401, "a bearer token is needed");
    return httplib::Server::HandlerResponse::Handled;
  }

 private:
  const ServiceSettings& settings_;
  RequestPool& pool_;
  ProgramCheck programs_;
  ServiceMetrics metrics_;
};

}  // namespace

int RunService(const ServiceSettings& settings, RequestPool& pool) {
  Service service(settings, pool);
  httplib::Server server;
  server.set_payload_max_length(settings.maxUploadBytes);
  server.set_pre_routing_handler(
      [&](const httplib::Request& req, httplib::Response& res) { return service.Admit(req, res); });
  server.Post("/convert", [&](const httplib::Request& req, httplib::Response& res) {
    service.Convert(req, res);
  });
  server.Get("/health",
             [&](const httplib::Request&, httplib::Response& res) { service.Health(res); });
  server.Get("/metrics",
             [&](const httplib::Request&, httplib::Response& res) { service.Metrics(res); });
  server.Get("/version", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(json{{"version", SCRIVEX_VERSION_TEXT}}.dump() + "\n", "application/json");
  });
  // Statuses the library answers itself (an upload over the limit, a path
  // without a route) get a JSON reason too.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    const char* reason = res.status == 413   ? "the upload is over the size limit"
                         : res.status == 404 ? "no such route"
                         : res.status == 405 ? "the route takes another method"
                                             : "the request cannot be answered";
    SetError(res, res.status, reason);
    return httplib::Server::HandlerResponse::Handled;
  }));
  server.set_logger(
      [&](const httplib::Request& req, const httplib::Response& res) { service.Log(req, res); });

  if (!server.bind_to_port(settings.host, settings.port)) {
    std::fprintf(stderr, "scrivex-server: cannot listen on %s:%d\n", settings.host.c_str(),
                 settings.port);
    return 1;
  }
  // Checked once now, so the first health probe is quick and the log says
  // early what is missing.
  if (std::string why; !service.ProgramsOk(&why))
    std::fprintf(stderr, "scrivex-server: unhealthy until fixed: %s\n", why.c_str());
  std::fprintf(stderr, "scrivex-server: listening on %s:%d with %d workers\n",
               settings.host.c_str(), settings.port, pool.Workers());
  // A signal stops the listening; the running requests finish before
  // listen_after_bind returns.
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done && !platform::TerminationSignal()) platform::SleepMs(100);
    server.stop();
  });
  server.listen_after_bind();
  done = true;
  watcher.join();
  std::fputs("scrivex-server: stopped\n", stderr);
  return 0;
}

}  // namespace scrivex
