#include "common/conversion_options.h"

namespace scrivex {

std::string TargetPrinterName;

}  // namespace scrivex
