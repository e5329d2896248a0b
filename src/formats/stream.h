// Byte streams over files and memory, with the framework's exact read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "pixels/errors.h"

namespace vumo {

// A stream ended before an exact read was satisfied.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

// A file could not be opened.
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads at most count bytes and returns how many were read.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Returns the new position; positions are clamped at 0.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size() = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  std::int64_t Remaining() {
    std::int64_t left = Size() - Position();
    return left > 0 ? left : 0;
  }
  // Reads exactly count bytes or raises EReadError "Stream read error".
  void ReadBuffer(void* buffer, std::size_t count);
  // The whole stream's bytes where it holds them in memory, else null.
  virtual const std::uint8_t* Memory() const { return nullptr; }
  // Says that the bytes before `position` will not be asked for again soon, so the memory
  // behind them may go back to the system (they can still be read).
  virtual void Release(std::int64_t position) { (void)position; }
};

// A read-only view of bytes owned elsewhere, or of its own copy.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(const void* data, std::size_t size);
  explicit TMemoryStream(std::vector<std::uint8_t> bytes);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

  const std::uint8_t* Memory() const override { return data_; }

 private:
  std::vector<std::uint8_t> owned_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

class TFileMapping;

// A file opened for reading. A regular file is mapped, so its bytes are in memory as a memory
// stream's are; where the system refuses that, it is read through stdio.
class TFileStream : public TStream {
 public:
  // Raises EFOpenError "Cannot open file "%s". %s" when the file cannot be opened.
  explicit TFileStream(const std::string& fileName);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return size_; }
  const std::uint8_t* Memory() const override;
  void Release(std::int64_t position) override;
  const std::string& FileName() const { return fileName_; }
  // Raises EReadError "Stream read error" when the file was shortened by another program
  // while it was mapped: what was read from it since may be zeros instead of its bytes.
  void CheckIntact() const;

 private:
  std::unique_ptr<TFileMapping> map_;
  std::int64_t position_ = 0;  // of the mapping's reads
  std::FILE* file_ = nullptr;
  std::string fileName_;
  std::int64_t size_ = 0;
};

// Reads a whole file into memory; raises EFOpenError or EReadError.
std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName);

}  // namespace vumo
