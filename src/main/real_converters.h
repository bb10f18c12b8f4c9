// The real converters wired into the driver's record, for the programs that
// convert (scrivex and the service's workers).
#ifndef SCRIVEX_REAL_CONVERTERS_H_
#define SCRIVEX_REAL_CONVERTERS_H_

#include "apps/print_job.h"
#include "driver/pipeline.h"

namespace scrivex {

// The converters; what they keep between files lives in `printing`, which
// outlives them.
Converters RealConverters(PrintRun& printing);

}  // namespace scrivex

#endif  // SCRIVEX_REAL_CONVERTERS_H_
