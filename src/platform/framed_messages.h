// Messages between a program and its worker processes: a length, ":", then
// fields of the same form, so paths and output go through byte for byte.
#ifndef SCRIVEX_PLATFORM_FRAMED_MESSAGES_H_
#define SCRIVEX_PLATFORM_FRAMED_MESSAGES_H_

#include <string>
#include <vector>

namespace scrivex::platform {

// The fields as one message.
std::string Frame(const std::vector<std::string>& fields);

// Takes the first whole message off the front of *buffer into *fields;
// false when none is all there yet, or (*broken) when the bytes are no
// message at all.
bool TakeMessage(std::string* buffer, std::vector<std::string>* fields, bool* broken);

// Appends what the descriptor has to *buffer (one read); false at its end.
bool ReadInto(int fd, std::string* buffer);

// Waits for the next whole message on the descriptor (*buffer keeps what
// came after it); false at its end or when the bytes are no message.
bool ReceiveMessage(int fd, std::string* buffer, std::vector<std::string>* fields);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_FRAMED_MESSAGES_H_
