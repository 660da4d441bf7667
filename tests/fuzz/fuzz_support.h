// Shared by the fuzz targets: a check that ends the run the way a crash does (so that
// libFuzzer keeps the input, and a corpus replay fails), and a reader that takes typed
// values from the front of the input and never past its end.
// Depends on the standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace nb::fuzz {

class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  size_t Left() const { return size_ - at_; }
  // 0 once the input is used up.
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // Low byte first; two reads in one expression would leave their order to the compiler.
  uint16_t Word() {
    const uint8_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  // Up to count bytes (fewer at the end of the input); returns where they start.
  const uint8_t* Take(size_t count, size_t* taken) {
    *taken = count < Left() ? count : Left();
    const uint8_t* start = data_ + at_;
    at_ += *taken;
    return start;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace nb::fuzz
