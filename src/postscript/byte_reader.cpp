#include "postscript/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace scrivex {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

bool ByteReader::Open(const std::string& path) {
  Close();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  Adopt(f);
  return true;
}

void ByteReader::Borrow(std::FILE* stream) {
  Close();
  stream_ = stream;
  owned_ = false;
}

void ByteReader::Adopt(std::FILE* stream) {
  Close();
  stream_ = stream;
  owned_ = true;
}

bool ByteReader::Close() {
  bool ok = true;
  if (stream_ != nullptr && owned_) ok = std::fclose(stream_) == 0;
  stream_ = nullptr;
  owned_ = false;
  pos_ = end_ = 0;
  base_ = 0;
  atEnd_ = failed_ = false;
  return ok;
}

bool ByteReader::Refill() {
  if (stream_ == nullptr || atEnd_ || failed_) return false;
  if (buffer_.empty()) buffer_.resize(kBufferSize);
  base_ += static_cast<int64_t>(end_);
  pos_ = end_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), stream_);
  if (end_ == 0) {
    if (std::ferror(stream_)) {
      failed_ = true;
    } else {
      atEnd_ = true;
    }
    return false;
  }
  return true;
}

size_t ByteReader::Read(char* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    if (pos_ == end_ && !Refill()) break;
    size_t n = std::min(size - done, end_ - pos_);
    std::memcpy(out + done, buffer_.data() + pos_, n);
    pos_ += n;
    done += n;
  }
  return done;
}

ByteReader::LineStop ByteReader::ReadLinePiece(std::string* line, size_t limit, bool crEnds) {
  line->clear();
  for (;;) {
    if (line->size() >= limit) return LineStop::kLimit;
    if (pos_ == end_ && !Refill()) return LineStop::kEnd;
    size_t n = std::min(limit - line->size(), end_ - pos_);
    const char* start = buffer_.data() + pos_;
    const char* stop = static_cast<const char*>(std::memchr(start, '\n', n));
    if (crEnds) {
      const char* cr = static_cast<const char*>(std::memchr(start, '\r', stop ? stop - start : n));
      if (cr != nullptr) stop = cr;
    }
    if (stop != nullptr) {
      line->append(start, static_cast<size_t>(stop - start));
      pos_ += static_cast<size_t>(stop - start) + 1;
      return LineStop::kDelimiter;
    }
    line->append(start, n);
    pos_ += n;
  }
}

bool ByteReader::Seek(int64_t offset) {
  if (stream_ == nullptr || offset < 0) return false;
  // Within the buffered block: no system call.
  if (offset >= base_ && offset <= base_ + static_cast<int64_t>(end_)) {
    pos_ = static_cast<size_t>(offset - base_);
    if (pos_ < end_) atEnd_ = false;
    return true;
  }
  std::clearerr(stream_);
  if (std::fseek(stream_, static_cast<long>(offset), SEEK_SET) != 0) {
    failed_ = true;
    return false;
  }
  base_ = offset;
  pos_ = end_ = 0;
  atEnd_ = failed_ = false;
  return true;
}

}  // namespace scrivex
