// SPDX-License-Identifier: BSD-3-Clause
// The single stop path of the program.
//
// A routine that meets an input it cannot handle does not return: it throws
// a Stop carrying a one-line message and the exit status.  The program's
// entry point catches it, writes the message on standard error and exits
// with that status; tests and fuzzers catch it in-process.
// Stop, stop and stopf keep no state and may be used from any thread.
#pragma once

#include <exception>

namespace tamsel {

// The status of every stop of the toolkit; the run may use others.
inline constexpr int kStopStatus = 1;

class Stop : public std::exception {
public:
  Stop(int status, const char* message) noexcept;
  int status() const noexcept { return status_; }
  // The message, without a line end.
  const char* what() const noexcept override { return message_; }

private:
  int status_;
  char message_[512];
};

// Stops with exit status kStopStatus and the given message.
[[noreturn]] void stop(const char* message);

// Stops with the given status and a printf-formatted message.
[[noreturn]] void stopf(int status, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

} // namespace tamsel
