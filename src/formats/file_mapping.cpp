#include "formats/file_mapping.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo {

namespace {

// The mappings alive, for the bus-error handler: it may run on any thread at any moment, so
// it reads only these atomics. A slot is free while its begin is zero.
struct TSlot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> shrunk{false};
};
constexpr int kSlots = 64;
TSlot slots[kSlots];

struct sigaction previousHandler {};

void RaiseAsBefore(int signal, siginfo_t* info, void* context) {
  if (previousHandler.sa_flags & SA_SIGINFO) {
    if (previousHandler.sa_sigaction) return previousHandler.sa_sigaction(signal, info, context);
  } else if (previousHandler.sa_handler != SIG_DFL && previousHandler.sa_handler != SIG_IGN) {
    return previousHandler.sa_handler(signal);
  }
  // The default action: returning re-runs the faulting access, which now kills the process.
  ::signal(signal, SIG_DFL);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (TSlot& slot : slots) {
    const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire)) continue;
    // Zero pages from the faulting one to the mapping's end: the access is re-run and reads
    // zeros, and so does every later one past the file's new end.
    const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = address & ~(page - 1);
    const std::uintptr_t to = slot.end.load(std::memory_order_acquire);
    void* zeros = ::mmap(reinterpret_cast<void*>(from), to - from, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                         -1, 0);
    slot.shrunk.store(true, std::memory_order_release);
    if (zeros != MAP_FAILED) return;
    break;
  }
  RaiseAsBefore(signal, info, context);
}

void InstallHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousHandler);
  });
}

int TakeSlot(std::uintptr_t begin, std::uintptr_t end) {
  for (int i = 0; i < kSlots; ++i) {
    std::uintptr_t expected = 0;
    // The end first: the handler trusts a slot once its begin is set.
    if (slots[i].begin.load(std::memory_order_relaxed) != 0) continue;
    slots[i].end.store(end, std::memory_order_release);
    slots[i].shrunk.store(false, std::memory_order_release);
    if (slots[i].begin.compare_exchange_strong(expected, begin, std::memory_order_acq_rel)) return i;
  }
  return -1;
}

}  // namespace

std::unique_ptr<TFileMapping> TFileMapping::Map(int fd, std::uint64_t size) {
  if (size == 0 || size > SIZE_MAX) return nullptr;
  InstallHandler();
  void* data = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) return nullptr;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const int slot = TakeSlot(begin, begin + static_cast<std::uintptr_t>(size));
  if (slot < 0) {
    // More files open at once than the handler watches: these are read as streams.
    ::munmap(data, static_cast<std::size_t>(size));
    return nullptr;
  }
  const int own = ::dup(fd);
  if (own < 0) {
    slots[slot].begin.store(0, std::memory_order_release);
    ::munmap(data, static_cast<std::size_t>(size));
    return nullptr;
  }
  return std::unique_ptr<TFileMapping>(new TFileMapping(own, static_cast<std::uint8_t*>(data), size, slot));
}

TFileMapping::TFileMapping(int fd, std::uint8_t* data, std::uint64_t size, int slot)
    : fd_(fd), data_(data), size_(size), slot_(slot) {}

TFileMapping::~TFileMapping() {
  // Unwatched before unmapped: the range may be another mapping's as soon as it is free.
  slots[slot_].begin.store(0, std::memory_order_release);
  ::munmap(data_, static_cast<std::size_t>(size_));
  ::close(fd_);
}

bool TFileMapping::Shrunk() const {
  if (slots[slot_].shrunk.load(std::memory_order_acquire)) return true;
  struct stat info {};
  return ::fstat(fd_, &info) != 0 || static_cast<std::uint64_t>(info.st_size) < size_;
}

void TFileMapping::Release(std::uint64_t offset) {
  const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  offset = std::min(offset, size_) & ~(page - 1);
  if (offset <= released_) return;
  ::madvise(data_ + released_, static_cast<std::size_t>(offset - released_), MADV_DONTNEED);
  released_ = offset;
}

}  // namespace vumo
