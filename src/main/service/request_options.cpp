#include "main/service/request_options.h"

#include "driver/options.h"

namespace scrivex {

namespace {

struct FieldOption {
  const char* field;
  const char* option;
};

constexpr FieldOption kFieldOptions[] = {
    {"paper", "-f"},       {"resolution", "-r"}, {"pages", "-g"},    {"colorBits", "-b"},
    {"compression", "-c"}, {"orientation", "-O"}, {"rotation", "-R"}, {"title", "-t"},
    {"author", "-a"},      {"subject", "-j"},    {"keywords", "-k"}, {"wait", "-l"},
    {"excelMode", "-E"},
};

struct FormatType {
  const char* format;
  const char* contentType;
};

constexpr FormatType kFormats[] = {
    {"pdf", "application/pdf"},  {"ps", "application/postscript"},
    {"eps", "application/postscript"}, {"tif", "image/tiff"},
    {"tiff", "image/tiff"},      {"png", "image/png"},
    {"jpg", "image/jpeg"},       {"jpeg", "image/jpeg"},
    {"bmp", "image/bmp"},        {"gif", "image/gif"},
    {"pcx", "image/x-pcx"},      {"tga", "image/x-tga"},
    {"dcx", "image/x-dcx"},      {"mng", "video/x-mng"},
    {"emf", "image/emf"},        {"wmf", "image/wmf"},
};

// The command line's message names its option ("-r 'x': accepted: ..."):
// the request's names its field instead.
std::string FieldMessage(const std::string& message) {
  for (const FieldOption& pair : kFieldOptions) {
    const std::string option = std::string(pair.option) + " ";
    if (message.rfind(option, 0) == 0) return pair.field + message.substr(option.size() - 1);
  }
  return message;
}

}  // namespace

std::string ContentTypeOf(const std::string& format) {
  for (const FormatType& type : kFormats) {
    if (format == type.format) return type.contentType;
  }
  return "";
}

RequestOptions ReadRequestOptions(const NamedFields& fields) {
  RequestOptions request;
  // Arguments as a command line would give them, each value one argument,
  // so no value can add an option.
  // Workers live between requests, so their applications do too (-D):
  // without it every office document would start an office of its own.
  std::vector<std::string> args = {"scrivex", "-i", "request", "-D"};
  bool inkwell = false;
  for (const auto& [name, value] : fields) {
    if (name == "format") {
      request.format = value;
      continue;
    }
    if (name == "printer") {
      if (value != "creator" && value != "inkwell") {
        request.error = "printer '" + value + "': accepted: creator or inkwell";
        return request;
      }
      inkwell = value == "inkwell";
      continue;
    }
    const FieldOption* match = nullptr;
    for (const FieldOption& pair : kFieldOptions) {
      if (name == pair.field) match = &pair;
    }
    if (match == nullptr) {
      request.error = "unknown field '" + name + "'";
      return request;
    }
    args.push_back(match->option);
    args.push_back(value);
  }
  if (ContentTypeOf(request.format).empty()) {
    request.error = "format '" + request.format + "': no conversion writes it";
    return request;
  }
  if (inkwell) args.push_back("-e");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  const JobRequest job = ScanCommandLine(static_cast<int>(argv.size()), argv.data());
  if (!job.badArgument.empty()) {
    request.error = FieldMessage(job.badArgument);
    return request;
  }
  request.options = job.options;
  request.printer = job.printer;
  return request;
}

}  // namespace scrivex
