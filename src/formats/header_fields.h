// Reads a little-endian header's fields in the order they lie in the file, each as wide as
// the member it goes into, so a header parses in a line or two instead of a line a field
// with its offset written out.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vumo {

// Bytes of a header that hold nothing the reader uses, read past as a field.
struct TReserved {
  std::size_t count;
};
inline TReserved Reserved(std::size_t count) { return {count}; }

class TLittleEndianFields {
 public:
  // `size` bytes are there to read; a field that would run past them keeps its value.
  TLittleEndianFields(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  template <typename T>
    requires std::is_unsigned_v<T>
  TLittleEndianFields& operator>>(T& field) {
    if (sizeof(T) <= size_ - used_) {
      T value = 0;
      for (std::size_t i = 0; i < sizeof(T); ++i) value = static_cast<T>(value | T(bytes_[used_ + i]) << (8 * i));
      field = value;
    }
    used_ = std::min(size_, used_ + sizeof(T));
    return *this;
  }
  // A run of bytes kept as they are (a palette, a name).
  template <std::size_t N>
  TLittleEndianFields& operator>>(std::uint8_t (&field)[N]) {
    if (N <= size_ - used_) std::memcpy(field, bytes_ + used_, N);
    used_ = std::min(size_, used_ + N);
    return *this;
  }
  // Passes over bytes the reader does not use.
  TLittleEndianFields& operator>>(TReserved reserved) {
    used_ = reserved.count <= size_ - used_ ? used_ + reserved.count : size_;
    return *this;
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t used_ = 0;
};

}  // namespace vumo
