// A PackBits coder for the fixtures that tests and benchmarks write: runs of two or more
// equal bytes as one repeat, the rest as literal runs of up to 128 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vumo::test {

inline void PackBits(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) {
  for (std::size_t i = 0; i < n;) {
    std::size_t run = 1;
    while (i + run < n && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(257 - run));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    std::size_t j = i;
    while (j < n && j - i < 128 && !(j + 1 < n && row[j] == row[j + 1])) ++j;
    out.push_back(static_cast<std::uint8_t>(j - i - 1));
    out.insert(out.end(), row + i, row + j);
    i = j;
  }
}

}  // namespace vumo::test
