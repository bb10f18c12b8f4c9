#include "common/conversion_options.h"

namespace scrivex {

// Defined here, beside its declaration, so every layer that reads it links.
std::string TargetPrinterName;

}  // namespace scrivex
