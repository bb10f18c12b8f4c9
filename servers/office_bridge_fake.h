// For the tests of the bridge and the office servers: the stand-in helper
// office_bridge_fake.py in place of the office for as long as a FakeOffice
// lives, and what the stand-in recorded in a PDF it wrote.
#ifndef SCRIVEX_SERVERS_OFFICE_BRIDGE_FAKE_H_
#define SCRIVEX_SERVERS_OFFICE_BRIDGE_FAKE_H_

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/test_support.h"
#include "servers/devtools_message.h"
#include "servers/office_bridge.h"

namespace scrivex::test {

class FakeOffice {
 public:
  // answerMs > 0: the bridge waits that long for an answer, not the watchdog's time.
  explicit FakeOffice(long long answerMs = 0) {
    // A copy in the test's folder: the box shows the stand-in's folder, so
    // what the test puts there (a file a request waits for) reaches it.
    const std::string script = dir_.Path("office_bridge_fake.py");
    std::filesystem::copy_file(platform::ProgramDirectory() + "office_bridge_fake.py", script);
    UseOfficeHelper(script, answerMs);
  }
  ~FakeOffice() { UseOfficeHelper(""); }
  FakeOffice(const FakeOffice&) = delete;
  FakeOffice& operator=(const FakeOffice&) = delete;

  const ScratchDir& dir() const { return dir_; }
  // A document whose first line says what the stand-in does with it.
  std::string Document(const std::string& name, const std::string& what) const {
    return dir_.Write(name, what);
  }

 private:
  ScratchDir dir_;
};

// The request as the stand-in decoded it; an empty peer when the file holds
// no record.
struct FakeRequest {
  std::string peer;  // which start of the stand-in answered
  int served = 0;    // its requests so far, this one included
  std::vector<std::string> fields;
};

inline FakeRequest ReadFakeRequest(const std::string& pdf) {
  FakeRequest request;
  const std::string bytes = ReadBytes(pdf);
  const size_t at = bytes.find("\n%request ");
  if (at == std::string::npos) return request;
  const size_t begin = at + 10;
  Json record;
  if (!ParseMessage(std::string_view(bytes).substr(begin, bytes.find('\n', begin) - begin),
                    &record)) {
    return request;
  }
  request.peer = Text(record, "peer");
  request.served = static_cast<int>(Number(record, "served"));
  if (const Json* fields = Member(record, "fields"); fields && fields->is_array()) {
    for (const Json& field : *fields) {
      request.fields.push_back(field.is_string() ? field.get<std::string>() : "");
    }
  }
  return request;
}

}  // namespace scrivex::test

#endif  // SCRIVEX_SERVERS_OFFICE_BRIDGE_FAKE_H_
