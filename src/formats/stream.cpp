#include "formats/stream.h"

#include "formats/file_mapping.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo {

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(kStreamReadError);
}

TMemoryStream::TMemoryStream(const void* data, std::size_t size)
    : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}

TMemoryStream::TMemoryStream(std::vector<std::uint8_t> bytes) : owned_(std::move(bytes)) {
  data_ = owned_.data();
  size_ = owned_.size();
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (count == 0 || position_ >= size_) return 0;  // a zero count may come with no buffer
  std::size_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(position_)
                                                         : static_cast<std::int64_t>(size_);
  std::int64_t target = base + offset;
  if (offset > 0 && target < base) target = INT64_MAX;  // saturate instead of wrapping
  position_ = static_cast<std::size_t>(std::max<std::int64_t>(0, target));
  return static_cast<std::int64_t>(position_);
}

TFileStream::TFileStream(const std::string& fileName) : fileName_(fileName) {
  // Opened without waiting, so a pipe named like a picture cannot hang the program, and only
  // regular files are read: a folder opens for reading here and claims a size of up to
  // 2^63 bytes, and devices and pipes have no size at all.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EFOpenError(FormatMessage(kCannotOpenFile, fileName.c_str(), std::strerror(errno)));
  struct stat info {};
  const char* refusal = nullptr;
  if (::fstat(fd, &info) != 0) refusal = std::strerror(errno);
  else if (S_ISDIR(info.st_mode)) refusal = std::strerror(EISDIR);
  else if (!S_ISREG(info.st_mode)) refusal = kNotARegularFile;
  if (refusal == nullptr) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) refusal = std::strerror(errno);
  }
  if (refusal == nullptr && info.st_size > 0) {
    map_ = TFileMapping::Map(fd, static_cast<std::uint64_t>(info.st_size));
    if (map_) {
      ::close(fd);  // the mapping keeps its own descriptor
      size_ = static_cast<std::int64_t>(map_->Size());
      return;
    }
  }
  if (refusal == nullptr) {
    file_ = ::fdopen(fd, "rb");
    if (!file_) refusal = std::strerror(errno);
  }
  if (refusal != nullptr) {
    ::close(fd);
    throw EFOpenError(FormatMessage(kCannotOpenFile, fileName.c_str(), refusal));
  }
  // Large reads bypass stdio's buffer; small header reads profit from it.
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  if (std::fseek(file_, 0, SEEK_END) == 0) size_ = ftello(file_);
  if (size_ < 0) size_ = 0;
  std::fseek(file_, 0, SEEK_SET);
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

const std::uint8_t* TFileStream::Memory() const { return map_ ? map_->Data() : nullptr; }

void TFileStream::Release(std::int64_t position) {
  if (map_ && position > 0) map_->Release(static_cast<std::uint64_t>(position));
}

void TFileStream::CheckIntact() const {
  if (map_ && map_->Shrunk()) throw EReadError(kStreamReadError);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  if (count == 0) return 0;  // it may come with no buffer
  if (!map_) return std::fread(buffer, 1, count, file_);
  if (position_ >= size_) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - position_));
  std::memcpy(buffer, map_->Data() + position_, n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (map_) {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : size_;
    std::int64_t target = base + offset;
    if (offset > 0 && target < base) target = INT64_MAX;
    position_ = std::max<std::int64_t>(0, target);
    return position_;
  }
  if (origin == TSeekOrigin::soCurrent && offset == 0) return ftello(file_);
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(ftello(file_))
                                                         : size_;
  std::int64_t target = base + offset;
  if (offset > 0 && target < base) target = INT64_MAX;
  if (target < 0) target = 0;
  fseeko(file_, static_cast<off_t>(target), SEEK_SET);
  return ftello(file_);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName) {
  TFileStream stream(fileName);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.Size()));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

}  // namespace vumo
