#include "formats/byte_source.h"

#include <algorithm>
#include <cstring>

namespace vumo {
namespace {

// The largest read-ahead, reached after this many bytes of sequential reading.
constexpr std::size_t kBlockSize = std::size_t{1} << 18;
// A file in memory gives back what was read through in steps of this size, so that reading a
// large file costs no more memory than its picture.
constexpr std::uint64_t kReleaseStep = std::uint64_t{32} << 20;

}  // namespace

TByteSource::TByteSource(TStream& stream) : stream_(stream), memory_(stream.Memory()) {
  if (memory_) {
    memorySize_ = static_cast<std::uint64_t>(std::max<std::int64_t>(stream.Size(), 0));
    memoryPosition_ = static_cast<std::uint64_t>(stream.Position());
  }
  // Most readers go on from where the stream stands, so the first refill may read a block.
  readSinceMove_ = kBlockSize;
}

TByteSource::~TByteSource() {
  try {
    Sync();
  } catch (const Exception&) {
    // The stream stays where the last read left it.
  }
}

std::uint64_t TByteSource::Remaining() {
  if (memory_) return memoryPosition_ < memorySize_ ? memorySize_ - memoryPosition_ : 0;
  return (end_ - begin_) + static_cast<std::uint64_t>(stream_.Remaining());
}

std::int64_t TByteSource::Position() {
  if (memory_) return static_cast<std::int64_t>(memoryPosition_);
  return stream_.Position() - static_cast<std::int64_t>(end_ - begin_);
}

void TByteSource::Seek(std::int64_t position) {
  position = std::max<std::int64_t>(position, 0);
  if (memory_) {
    memoryPosition_ = static_cast<std::uint64_t>(position);
    return;
  }
  const std::int64_t streamPosition = stream_.Position();
  const std::int64_t windowStart = streamPosition - static_cast<std::int64_t>(end_);
  if (position >= windowStart && position <= streamPosition) {
    begin_ = static_cast<std::size_t>(position - windowStart);
    return;
  }
  stream_.SetPosition(position);
  Drop();
}

void TByteSource::Drop() {
  begin_ = end_ = 0;
  readSinceMove_ = 0;
}

void TByteSource::Sync() {
  if (memory_) {
    stream_.SetPosition(static_cast<std::int64_t>(memoryPosition_));
  } else if (end_ > begin_) {
    stream_.SetPosition(Position());
    Drop();
  }
}

void TByteSource::Fill(std::size_t want) {
  if (end_ - begin_ >= want) return;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // What is asked plus the read-ahead, and never more than the stream can fill: a hostile
  // count cannot make the buffer grow past the file's own size.
  const std::size_t readAhead = static_cast<std::size_t>(std::min<std::uint64_t>(readSinceMove_, kBlockSize));
  const std::uint64_t left = end_ + static_cast<std::uint64_t>(stream_.Remaining());
  const std::uint64_t asked = std::max<std::uint64_t>(want, std::uint64_t{end_} + readAhead);
  const std::size_t room = static_cast<std::size_t>(std::min(asked, left));
  if (buffer_.size() < room) buffer_.resize(room);
  while (end_ < want && end_ < room) {
    const std::size_t got = stream_.Read(buffer_.data() + end_, room - end_);
    if (got == 0) break;
    end_ += got;
    readSinceMove_ += got;
  }
}

std::span<const std::uint8_t> TByteSource::Peek(std::size_t count) {
  if (memory_) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, Remaining()));
    return {memory_ + std::min(memoryPosition_, memorySize_), n};
  }
  Fill(count);
  return {buffer_.data() + begin_, std::min(count, end_ - begin_)};
}

void TByteSource::Consume(std::size_t count) {
  if (memory_) {
    if (memoryPosition_ >= released_ + kReleaseStep) {
      stream_.Release(static_cast<std::int64_t>(memoryPosition_));
      released_ = memoryPosition_;
    }
    memoryPosition_ += std::min<std::uint64_t>(count, Remaining());
    return;
  }
  if (count > end_ - begin_) {
    // Past the buffer: skip the rest in the stream itself.
    const std::size_t beyond = count - (end_ - begin_);
    Drop();
    stream_.Seek(static_cast<std::int64_t>(std::min<std::uint64_t>(beyond, static_cast<std::uint64_t>(stream_.Remaining()))),
                 TSeekOrigin::soCurrent);
    return;
  }
  begin_ += count;
}

const std::uint8_t* TByteSource::Take(std::size_t count) {
  if (count > Remaining()) return nullptr;
  const std::span<const std::uint8_t> bytes = Peek(count);
  if (bytes.size() < count) return nullptr;
  Consume(count);
  return bytes.data();
}

int TByteSource::Next() {
  if (memory_) return memoryPosition_ < memorySize_ ? memory_[memoryPosition_++] : -1;
  if (begin_ == end_) {
    Fill(1);
    if (begin_ == end_) return -1;
  }
  return buffer_[begin_++];
}

}  // namespace vumo
