// A regular file's bytes mapped read-only, so that readers take them in place as they take a
// memory stream's. A file that another program shortens while it is mapped would make every
// touch of a page past its new end a bus error; here such a page reads as zeros instead and
// the mapping remembers it, so that the load ends in a read error rather than a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vumo {

class TFileMapping {
 public:
  // Maps `size` bytes of the open file `fd`; null when the system refuses (the caller then
  // reads the file as a stream).
  static std::unique_ptr<TFileMapping> Map(int fd, std::uint64_t size);
  ~TFileMapping();
  TFileMapping(const TFileMapping&) = delete;
  TFileMapping& operator=(const TFileMapping&) = delete;

  const std::uint8_t* Data() const { return data_; }
  std::uint64_t Size() const { return size_; }
  // Whether the file now holds fewer bytes than were mapped, or a page past its end was read.
  bool Shrunk() const;
  // Lets the system take back the pages below `offset`; a later touch reads them again from
  // the file, so nothing is lost, only memory given back while a large file is read through.
  void Release(std::uint64_t offset);

 private:
  TFileMapping(int fd, std::uint8_t* data, std::uint64_t size, int slot);

  int fd_;
  std::uint8_t* data_;
  std::uint64_t size_;
  int slot_;
  std::uint64_t released_ = 0;
};

}  // namespace vumo
