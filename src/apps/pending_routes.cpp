// Routes whose applications are being built: until each lands, it prints
// nothing and says so. Each definition goes when its route's own file does.
#include "apps/routes.h"
#include "common/failure_reason.h"

namespace scrivex {

int PrintHtmlWithCreator(const std::string&, const std::string&, const ConversionOptions*) {
  NoteFailure("web pages cannot be printed yet");
  return 0;
}

}  // namespace scrivex
