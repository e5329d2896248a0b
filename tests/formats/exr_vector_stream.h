// An OpenEXR output stream into a vector, for the tests and benchmarks that write their files
// with libopenexr's own writer.
#pragma once

#include <ImfIO.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace vumo::test {

class TVectorOStream : public Imf::OStream {
 public:
  TVectorOStream() : Imf::OStream("memory") {}
  void write(const char c[], int n) override {
    if (position_ + n > bytes.size()) bytes.resize(position_ + n);
    std::memcpy(bytes.data() + position_, c, static_cast<std::size_t>(n));
    position_ += static_cast<std::size_t>(n);
  }
  std::uint64_t tellp() override { return position_; }
  void seekp(std::uint64_t position) override { position_ = position; }
  std::vector<std::uint8_t> bytes;

 private:
  std::size_t position_ = 0;
};

}  // namespace vumo::test
