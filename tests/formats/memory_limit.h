// Runs a piece of work in a child process whose address space is capped, so that a load
// which allocates more than a file can justify fails the test instead of the machine.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <new>
#include <string>

#include "pixels/errors.h"

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

// What a hostile file may cost: no file under 1 MB may take more.
inline constexpr std::size_t kHostileFileMemory = std::size_t{1536} << 20;

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

// The same for a load that may be refused: it succeeds when the work returns or raises the
// program's own error, whose message comes back in `message`, and fails when memory ran
// out (an allocation beyond the cap), on any other exception, or when the child died.
// `peakKilobytes`, when given, receives the child's largest resident size, for work whose
// address space is allowed but whose touching of it is not.
inline testing::AssertionResult RunUnderMemoryLimit(std::size_t bytes, const std::function<void()>& work,
                                                    std::string* message, long* peakKilobytes = nullptr) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return testing::AssertionFailure() << "no pipe";
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return testing::AssertionFailure() << "no fork";
  if (child == 0) {
    close(pipeEnds[0]);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
    int code = 0;
    std::string text;
    try {
      work();
    } catch (const std::bad_alloc&) {
      code = 2;
      text = "out of memory";
    } catch (const Exception& error) {
      text = error.what();
    } catch (const std::exception& error) {
      code = 3;
      text = error.what();
    }
    if (!text.empty() && write(pipeEnds[1], text.data(), text.size()) < 0) code = 4;
    _exit(code);
  }
  close(pipeEnds[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
  }
  if (message) *message = text;
  if (peakKilobytes) *peakKilobytes = usage.ru_maxrss;
  if (WIFSIGNALED(status)) return testing::AssertionFailure() << "killed by signal " << WTERMSIG(status);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return testing::AssertionFailure() << "exit " << WEXITSTATUS(status) << ": " << text;
  return testing::AssertionSuccess();
}

}  // namespace vumo::test
