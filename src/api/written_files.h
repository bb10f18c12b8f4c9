// The files a call of the C interface wrote, kept until the next call for
// the caller to read one by one.
#ifndef SCRIVEX_API_WRITTEN_FILES_H_
#define SCRIVEX_API_WRITTEN_FILES_H_

#include <mutex>
#include <string>
#include <vector>

namespace scrivex {

struct WrittenFiles {
  std::mutex mutex;
  std::vector<std::string> paths;
};

void KeepWrittenFiles(WrittenFiles& kept, std::vector<std::string> paths);
// The index-th path copied, terminated, into path (size bytes): its length;
// -1 when there is none or it does not fit.
int CopyWrittenFile(WrittenFiles& kept, int index, char* path, int size);

}  // namespace scrivex

#endif  // SCRIVEX_API_WRITTEN_FILES_H_
