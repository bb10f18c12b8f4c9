// What the service counts, in the Prometheus text format.
#ifndef SCRIVEX_SERVICE_SERVICE_METRICS_H_
#define SCRIVEX_SERVICE_SERVICE_METRICS_H_

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace scrivex {

// Upper bounds of the conversion-seconds histogram's buckets.
constexpr std::array<double, 10> kSecondsBuckets = {0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 300};

struct PoolGauges {
  int queueDepth = 0;
  int busyWorkers = 0;
  int workers = 0;
  long workerRestarts = 0;
};

class ServiceMetrics {
 public:
  void CountRequest(const std::string& route, int status);
  void ObserveConversion(const std::string& inputType, double seconds);
  void CountFailure(const std::string& reason);
  std::string Text(const PoolGauges& gauges);

 private:
  struct Histogram {
    std::array<long, kSecondsBuckets.size()> buckets{};
    long count = 0;
    double sum = 0;
  };
  std::mutex mutex_;
  std::map<std::pair<std::string, int>, long> requests_;
  std::map<std::string, Histogram> seconds_;
  std::map<std::string, long> failures_;
};

}  // namespace scrivex

#endif  // SCRIVEX_SERVICE_SERVICE_METRICS_H_
