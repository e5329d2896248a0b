// Runs a piece of work in a child process whose address space is capped, so that a load
// which allocates more than it may fails the test instead of passing on a large machine.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <exception>
#include <functional>
#include <new>
#include <string>

#include "pixels/errors.h"

namespace vumo::test {

// AddressSanitizer reserves terabytes of shadow memory: no address-space cap survives it.
inline constexpr bool kMemoryLimitAvailable =
#if defined(__SANITIZE_ADDRESS__)
    false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    false;
#else
    true;
#endif
#else
    true;
#endif

inline constexpr std::size_t kHostileFileMemory = std::size_t{1536} << 20;

// The work succeeds when it returns or raises the program's own error (a refused file),
// whose message comes back in `message`. It fails when memory ran out (an allocation beyond
// the cap), on any other exception, or when the child died.
// `peakKilobytes` receives the child's largest resident size, for work whose address space is
// allowed but whose touching of it is not.
inline testing::AssertionResult RunUnderMemoryLimit(std::size_t bytes, const std::function<void()>& work,
                                                    std::string* message = nullptr, long* peakKilobytes = nullptr) {
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
  wait4(child, &status, 0, &usage);
  if (message) *message = text;
  if (peakKilobytes) *peakKilobytes = usage.ru_maxrss;
  if (WIFSIGNALED(status)) return testing::AssertionFailure() << "killed by signal " << WTERMSIG(status);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return testing::AssertionFailure() << "exit " << WEXITSTATUS(status) << ": " << text;
  return testing::AssertionSuccess();
}

}  // namespace vumo::test
