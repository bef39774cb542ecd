// SPDX-License-Identifier: BSD-3-Clause
// The single stop path of the programs.
//
// A part of the program that meets an input it cannot handle does not
// return: it throws a Stop carrying a one-line message and the exit status.
// The program's entry point catches it, writes the message on standard
// error and exits with that status; tests and fuzzers catch it in-process.
// The toolkit throws refusals of its own (<tamsel/numeric/errors.h>), which
// the entry points turn into stops with the same message and kStopStatus
// (stop_on_refusal).
// Stop, stop, stopf and stop_on_refusal keep no state and may be used from
// any thread.
#pragma once

#include <exception>
#include <utility>

#include <tamsel/numeric/errors.h>

namespace tamsel {

// The status of the program's own stops and of the toolkit's refusals; the
// run may use others (driver/status.h).
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

// body(), whose refusal by the toolkit (tamsel::InvalidArgument or
// tamsel::DomainError) stops with the refusal's message and kStopStatus;
// a Stop, and any other exception, goes on unchanged.
template <class Body>
decltype(auto) stop_on_refusal(Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (const InvalidArgument& refusal) {
    stop(refusal.what());
  } catch (const DomainError& refusal) {
    stop(refusal.what());
  }
}

} // namespace tamsel
