// The bytes of a stream as a reader wants them, from the stream's position on: in place
// where the stream holds them in memory, otherwise through a window of its own. The window
// survives seeks that land inside it, and a refill reads what is asked plus a read-ahead
// that grows only while reading stays sequential, so a file of many tiny scattered pieces
// (a TIFF of one-byte strips) costs reads in proportion to the file, not a block per piece.
// Readers take their bytes from here and never ask which kind of stream they were given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/stream.h"

namespace vumo {

class TByteSource {
 public:
  explicit TByteSource(TStream& stream);
  // Leaves the stream just past what was consumed.
  ~TByteSource();
  TByteSource(const TByteSource&) = delete;
  TByteSource& operator=(const TByteSource&) = delete;

  // Up to `count` bytes from the current position, not consumed; fewer only where the
  // stream ends. Valid until the next call.
  std::span<const std::uint8_t> Peek(std::size_t count);
  // Moves past `count` bytes, at most as many as are left.
  void Consume(std::size_t count);
  // Exactly `count` bytes, consumed, or null (and nothing consumed) when fewer are left.
  // Valid until the next call.
  const std::uint8_t* Take(std::size_t count);
  // The next byte, or -1 at the end.
  int Next();
  // Bytes left to consume.
  std::uint64_t Remaining();
  // Where the next byte lies in the stream.
  std::int64_t Position();
  // Moves to an absolute stream position; what is buffered stays when the position lies
  // inside it.
  void Seek(std::int64_t position);
  // Puts the stream's position just past what was consumed.
  void Sync();

 private:
  // Makes at least `want` bytes (or all that are left) buffered.
  void Fill(std::size_t want);
  // Forgets the window after the stream was moved elsewhere.
  void Drop();

  TStream& stream_;
  const std::uint8_t* memory_ = nullptr;
  std::uint64_t memorySize_ = 0;
  std::uint64_t memoryPosition_ = 0;
  std::uint64_t released_ = 0;  // what lies before this was given back to the stream
  std::vector<std::uint8_t> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  // Bytes read from the stream since it was last moved; the next read-ahead is no larger,
  // so what a seek throws away is never more than what was read before it.
  std::uint64_t readSinceMove_ = 0;
};

}  // namespace vumo
