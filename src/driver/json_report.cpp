#include "driver/json_report.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace scrivex {

std::string FileRecordJson(const FileRecord& record) {
  nlohmann::ordered_json json;
  json["input"] = record.input;
  json["output"] = record.output;
  json["result"] = record.converted ? "Successful" : "Failed";
  json["files"] = record.files;
  json["pages"] = record.pages;
  if (!record.converted) json["reason"] = record.reason;
  // Milliseconds are what the clock gives.
  json["seconds"] = std::round(record.seconds * 1000) / 1000;
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace scrivex
