// A buffered byte reader over a C stream that keeps its own offset, so line
// scans over files of any size stay fast and never need the whole file.
#ifndef SCRIVEX_POSTSCRIPT_BYTE_READER_H_
#define SCRIVEX_POSTSCRIPT_BYTE_READER_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace scrivex {

class ByteReader {
 public:
  ByteReader() = default;
  ~ByteReader() { Close(); }
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  // Opens a file for binary reading.
  bool Open(const std::string& path);
  // Reads from a stream the reader does not own (standard input).
  void Borrow(std::FILE* stream);
  // Takes a stream that it closes itself.
  void Adopt(std::FILE* stream);
  // Closes an owned stream; false when closing reported an error.
  bool Close();

  // Next byte, or EOF at the end of the data or on a read error.
  int Get() {
    if (pos_ < end_) return static_cast<unsigned char>(buffer_[pos_++]);
    return Refill() ? static_cast<unsigned char>(buffer_[pos_++]) : EOF;
  }
  // Up to `size` bytes; fewer only at the end or on an error.
  size_t Read(char* out, size_t size);
  bool Failed() const { return failed_; }

  enum class LineStop { kDelimiter, kLimit, kEnd };
  // Replaces `line` with the bytes up to a line feed (or a carriage return
  // too, when `crEnds`), which is consumed but not stored, or up to `limit`
  // bytes, or up to the end of the data (or a read error).
  LineStop ReadLinePiece(std::string* line, size_t limit, bool crEnds);

  int64_t Tell() const { return base_ + static_cast<int64_t>(pos_); }
  bool Seek(int64_t offset);
  bool Rewind() { return Seek(0); }

 private:
  bool Refill();

  std::FILE* stream_ = nullptr;
  bool owned_ = false;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  int64_t base_ = 0;  // file offset of buffer_[0]
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_BYTE_READER_H_
