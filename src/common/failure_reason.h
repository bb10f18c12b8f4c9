// Why the file being converted failed. The first reason noted since the file
// began is kept: it is the one nearest the cause. The pipeline prints it on
// standard error, naming the input, before the file's result line.
#ifndef SCRIVEX_COMMON_FAILURE_REASON_H_
#define SCRIVEX_COMMON_FAILURE_REASON_H_

#include <string>

namespace scrivex {

void ClearFailureReason();
// Keeps the reason (made one line) unless one is kept already.
void NoteFailure(const std::string& reason);
const std::string& FailureReason();

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_FAILURE_REASON_H_
