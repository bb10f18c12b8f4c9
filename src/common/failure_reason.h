// Why a conversion failed. Its steps note reasons into the string the job
// carries (Job::failure) or a caller hands down; the first reason noted is
// kept: it is the one nearest the cause. The pipeline prints it on standard
// error, naming the input, before the file's result line.
#ifndef SCRIVEX_COMMON_FAILURE_REASON_H_
#define SCRIVEX_COMMON_FAILURE_REASON_H_

#include <string>

namespace scrivex {

// Keeps the reason in *why, made one line, unless *why holds one already or
// why is null.
void NoteFailure(std::string* why, const std::string& reason);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_FAILURE_REASON_H_
