// Converting a run's files on worker processes, each a private copy of the
// printing world in its own folder of the state root.
#ifndef SCRIVEX_DRIVER_WORKER_POOL_H_
#define SCRIVEX_DRIVER_WORKER_POOL_H_

#include <string>
#include <vector>

#include "driver/pipeline.h"
#include "driver/work_list.h"

namespace scrivex {

// The items that write one output, or read another's output, in input
// order: one worker converts them one after the other, as a serial run
// would. Chains come in the order of their first items.
std::vector<std::vector<size_t>> OutputChains(const WorkList& list);

// Converts the list on up to `workers` worker processes, printing every
// file's lines in input order as ConvertAll does, and returns the last
// file's result. A worker that dies fails the file it held; its chain's
// other files go to a fresh worker.
int ConvertOnWorkers(const WorkList& list, const ConversionOptions& options,
                     const std::string& printer, const Converters& converters,
                     const Reporting& reporting, int workers);

// config.ini [Queue] Parallel=1: runs of one account do not wait for each
// other; each converts on workers of its own.
bool RunsInParallel();
// The workers --jobs asks for; 0 is one per core.
int WorkerCount(int asked);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_WORKER_POOL_H_
