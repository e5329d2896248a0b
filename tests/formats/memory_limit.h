// Runs a piece of work in a child process whose address space is capped, so that a load
// which allocates more than a file can justify fails the test instead of the machine.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <functional>

namespace vumo::test {

// AddressSanitizer reserves terabytes of address space up front: a cap cannot be set there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryLimitWorks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMemoryLimitWorks = false;
#else
inline constexpr bool kMemoryLimitWorks = true;
#endif
#else
inline constexpr bool kMemoryLimitWorks = true;
#endif

enum class TChildEnd {
  kReturned,   // the work ran to its end, or threw an exception it was meant to
  kThrew,      // an exception escaped the work (std::bad_alloc among them)
  kCrashed,    // a signal ended the child
  kNotRun,     // fork failed
};

// `work` runs in a forked child under RLIMIT_AS of `bytes`; the child never returns into
// the test framework.
inline TChildEnd RunUnderMemoryLimit(std::size_t bytes, const std::function<void()>& work) {
  const pid_t child = fork();
  if (child < 0) return TChildEnd::kNotRun;
  if (child == 0) {
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
    int code = 0;
    try {
      work();
    } catch (...) {
      code = 3;
    }
    _exit(code);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  if (WIFSIGNALED(status)) return TChildEnd::kCrashed;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? TChildEnd::kReturned : TChildEnd::kThrew;
}

}  // namespace vumo::test
