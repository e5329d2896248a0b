// Exceptions shared by the whole core, and the printf-style formatting of their messages.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace vumo {

// The framework's base exception: every error the program raises carries a message text.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by the colour manager.
class EColorConversionError : public Exception {
 public:
  using Exception::Exception;
};

// Raised by the decompressors.
class EGraphicCompression : public Exception {
 public:
  using Exception::Exception;
};

// The framework's silent abort: ends an operation without a message box.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

// Fills "%s" and "%d" placeholders of a message text.
template <typename... Args>
std::string FormatMessage(const char* format, Args... args) {
  int needed = std::snprintf(nullptr, 0, format, args...);
  if (needed <= 0) return format;
  std::string text(static_cast<std::size_t>(needed), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

}  // namespace vumo
