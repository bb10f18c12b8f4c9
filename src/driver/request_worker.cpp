#include "driver/request_worker.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "platform/framed_messages.h"
#include "platform/termination.h"

namespace scrivex {

namespace {

constexpr const char* kConvert = "convert";

// Every field of the options, in one order both ends know.
constexpr int ConversionOptions::*kNumbers[] = {
    &ConversionOptions::width,
    &ConversionOptions::height,
    &ConversionOptions::orientation,
    &ConversionOptions::colorBits,
    &ConversionOptions::grayscale,
    &ConversionOptions::jpegQuality,
    &ConversionOptions::tiffCompression,
    &ConversionOptions::resolutionX,
    &ConversionOptions::resolutionY,
    &ConversionOptions::viewResult,
    &ConversionOptions::existingOutputMode,
    &ConversionOptions::encryptionKeyLength,
    &ConversionOptions::permissions,
    &ConversionOptions::rotation,
    &ConversionOptions::hidePrintDialog,
    &ConversionOptions::noSinglePageSuffix,
    &ConversionOptions::removeBlankPages,
    &ConversionOptions::excelMode,
    &ConversionOptions::fastOfficeMode,
    &ConversionOptions::htmlWaitMs,
};
constexpr std::string ConversionOptions::*kTexts[] = {
    &ConversionOptions::paperSize,     &ConversionOptions::subject,
    &ConversionOptions::title,         &ConversionOptions::author,
    &ConversionOptions::keywords,      &ConversionOptions::userPassword,
    &ConversionOptions::ownerPassword, &ConversionOptions::printZoomPaper,
    &ConversionOptions::pageRange,
};
constexpr size_t kNumberCount = sizeof kNumbers / sizeof kNumbers[0];
constexpr size_t kTextCount = sizeof kTexts / sizeof kTexts[0];
constexpr size_t kRequestFieldCount = 4 + kNumberCount + kTextCount;

bool ReadInt(const std::string& text, int* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || number < -2147483647L - 1 || number > 2147483647L) return false;
  *value = static_cast<int>(number);
  return true;
}

}  // namespace

std::vector<std::string> RequestFields(const ConversionRequest& request) {
  std::vector<std::string> fields = {kConvert, request.input, request.output, request.printer};
  for (auto number : kNumbers) fields.push_back(std::to_string(request.options.*number));
  for (auto text : kTexts) fields.push_back(request.options.*text);
  return fields;
}

std::optional<ConversionRequest> ReadRequest(const std::vector<std::string>& fields) {
  if (fields.size() != kRequestFieldCount || fields[0] != kConvert) return std::nullopt;
  ConversionRequest request;
  request.input = fields[1];
  request.output = fields[2];
  request.printer = fields[3];
  size_t at = 4;
  for (auto number : kNumbers) {
    if (!ReadInt(fields[at++], &(request.options.*number))) return std::nullopt;
  }
  for (auto text : kTexts) request.options.*text = fields[at++];
  return request;
}

ConversionReply ReplyOf(const ItemOutcome& outcome) {
  ConversionReply reply;
  reply.result = outcome.result;
  reply.pages = outcome.record.pages;
  reply.reason = outcome.record.reason;
  reply.seconds = outcome.record.seconds;
  reply.files = outcome.record.files;
  return reply;
}

std::vector<std::string> ReplyFields(const ConversionReply& reply) {
  std::vector<std::string> fields = {std::to_string(reply.result),
                                     std::to_string(reply.pages),
                                     reply.reason,
                                     std::to_string(reply.seconds),
                                     reply.out,
                                     reply.err};
  fields.insert(fields.end(), reply.files.begin(), reply.files.end());
  return fields;
}

std::optional<ConversionReply> ReadReply(const std::vector<std::string>& fields) {
  if (fields.size() < 6) return std::nullopt;
  ConversionReply reply;
  if (!ReadInt(fields[0], &reply.result) || !ReadInt(fields[1], &reply.pages)) return std::nullopt;
  reply.reason = fields[2];
  reply.seconds = std::strtod(fields[3].c_str(), nullptr);
  reply.out = fields[4];
  reply.err = fields[5];
  reply.files.assign(fields.begin() + 6, fields.end());
  return reply;
}

std::optional<WorkerSetting> SettleWorker(const std::string& workersFolder) {
  std::optional<platform::ClaimedFolder> root = platform::ClaimNumberedFolder(workersFolder);
  if (!root) {
    std::fprintf(stderr, "No worker folder can be had in %s.\n", workersFolder.c_str());
    return std::nullopt;
  }
  setenv("SCRIVEX_HOME", root->path.c_str(), 1);
  // Scratch files of its own too: a kept office's sockets and profile.
  const std::string temp = platform::TempDirectory() + "worker-" + std::to_string(getpid());
  if (mkdir(temp.c_str(), 0700) == 0) setenv("TMPDIR", temp.c_str(), 1);
  WorkerSetting setting{std::move(*root), {}};
  if (!setting.capture.Start()) return std::nullopt;
  return setting;
}

int ServeRequests(int channel, const std::string& workersFolder, const Converters& converters) {
  std::optional<WorkerSetting> setting = SettleWorker(workersFolder);
  if (!setting) return 3;
  std::string buffer;
  std::vector<std::string> fields;
  bool writable = true;
  while (writable && !platform::TerminationSignal() &&
         platform::ReceiveMessage(channel, &buffer, &fields)) {
    if (fields.size() == 1 && fields[0] == kPing) {
      writable = platform::WriteAll(channel, platform::Frame({kPong}));
      continue;
    }
    std::optional<ConversionRequest> request = ReadRequest(fields);
    if (!request) break;
    const WorkList list = {{request->input, request->output}};
    bool replaced = false;
    const ItemOutcome outcome =
        ConvertListItem(list, 0, request->options, request->printer, converters, &replaced, {});
    ConversionReply reply = ReplyOf(outcome);
    setting->capture.Take(&reply.out, &reply.err);
    writable = platform::WriteAll(channel, platform::Frame(ReplyFields(reply)));
  }
  if (converters.endRun) converters.endRun();
  return 0;
}

}  // namespace scrivex
