#pragma once
// Bounds-checked little-endian reader over a byte buffer that the caller keeps
// alive. Reading past the end yields zeros and clears ok(); nothing ever reads
// outside [data, data + size). Binary loaders read file contents only through it.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>

namespace VantorGL {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t size() const { return size_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool ok() const { return ok_; }
  bool AtEnd() const { return pos_ >= size_; }
  const uint8_t* current() const { return data_ + pos_; }

  // Moves to `pos`; a position past the end clamps to the end and fails.
  void Seek(size_t pos) {
    if (pos > size_) {
      ok_ = false;
      pos = size_;
    }
    pos_ = pos;
  }
  void Skip(size_t n) { Seek(n > remaining() ? size_ + 1 : pos_ + n); }

  uint8_t U8() { return static_cast<uint8_t>(Read<1>()); }
  uint16_t U16() { return static_cast<uint16_t>(Read<2>()); }
  uint32_t U32() { return static_cast<uint32_t>(Read<4>()); }
  float F32() {
    const uint32_t bits = U32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }

  // A zero-terminated name of at most `maxLength` bytes before the terminator.
  // Without a terminator in reach the reader stays put and false is returned.
  bool Name(std::string& out, size_t maxLength) {
    const size_t limit = std::min(remaining(), maxLength + 1);
    const void* end = std::memchr(data_ + pos_, 0, limit);
    if (!end) {
      ok_ = false;
      return false;
    }
    const size_t len = static_cast<const uint8_t*>(end) - (data_ + pos_);
    out.assign(reinterpret_cast<const char*>(data_ + pos_), len);
    pos_ += len + 1;
    return true;
  }

  // A reader over the next `length` bytes (clamped to what is there); this one skips them.
  ByteReader Sub(size_t length) {
    if (length > remaining()) {
      ok_ = false;
      length = remaining();
    }
    ByteReader sub(data_ + pos_, length);
    pos_ += length;
    return sub;
  }

 private:
  template <size_t N>
  uint64_t Read() {
    if (remaining() < N) {
      ok_ = false;
      pos_ = size_;
      return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < N; ++i) v |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
    pos_ += N;
    return v;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace VantorGL
