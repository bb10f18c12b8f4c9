#include "main/service/service_metrics.h"

#include <cstdio>

namespace scrivex {

namespace {

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace

void ServiceMetrics::CountRequest(const std::string& route, int status) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++requests_[{route, status}];
}

void ServiceMetrics::ObserveConversion(const std::string& inputType, double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  Histogram& h = seconds_[inputType];
  for (size_t b = 0; b < kSecondsBuckets.size(); ++b) {
    if (seconds <= kSecondsBuckets[b]) ++h.buckets[b];
  }
  ++h.count;
  h.sum += seconds;
}

void ServiceMetrics::CountFailure(const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++failures_[reason];
}

std::string ServiceMetrics::Text(const PoolGauges& gauges) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  text += "# HELP scrivex_requests_total Requests answered, by route and status.\n";
  text += "# TYPE scrivex_requests_total counter\n";
  for (const auto& [key, count] : requests_) {
    text += "scrivex_requests_total{route=\"" + key.first + "\",status=\"" +
            std::to_string(key.second) + "\"} " + std::to_string(count) + "\n";
  }
  text += "# HELP scrivex_conversion_seconds Time a worker took per conversion, by input type.\n";
  text += "# TYPE scrivex_conversion_seconds histogram\n";
  for (const auto& [type, h] : seconds_) {
    const std::string label = "input_type=\"" + type + "\"";
    for (size_t b = 0; b < kSecondsBuckets.size(); ++b) {
      text += "scrivex_conversion_seconds_bucket{" + label + ",le=\"" + Number(kSecondsBuckets[b]) +
              "\"} " + std::to_string(h.buckets[b]) + "\n";
    }
    text += "scrivex_conversion_seconds_bucket{" + label + ",le=\"+Inf\"} " +
            std::to_string(h.count) + "\n";
    text += "scrivex_conversion_seconds_sum{" + label + "} " + Number(h.sum) + "\n";
    text += "scrivex_conversion_seconds_count{" + label + "} " + std::to_string(h.count) + "\n";
  }
  text += "# HELP scrivex_failures_total Requests that failed, by reason.\n";
  text += "# TYPE scrivex_failures_total counter\n";
  for (const auto& [reason, count] : failures_) {
    text += "scrivex_failures_total{reason=\"" + reason + "\"} " + std::to_string(count) + "\n";
  }
  auto single = [&text](const char* name, const char* type, const char* help, long long value) {
    text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" +
            name + " " + std::to_string(value) + "\n";
  };
  single("scrivex_queue_depth", "gauge", "Requests waiting for a worker.", gauges.queueDepth);
  single("scrivex_busy_workers", "gauge", "Workers converting now.", gauges.busyWorkers);
  single("scrivex_workers", "gauge", "Worker processes.", gauges.workers);
  single("scrivex_worker_restarts_total", "counter", "Workers replaced after dying or overrunning.",
         gauges.workerRestarts);
  return text;
}

}  // namespace scrivex
