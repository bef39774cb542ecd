// SPDX-License-Identifier: BSD-3-Clause
#include "driver/stop.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tamsel {

Stop::Stop(int status, const char* message) noexcept : status_(status) {
  std::snprintf(message_, sizeof message_, "%s", message);
}

void stop(const char* message) { throw Stop(kStopStatus, message); }

void stopf(int status, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  throw Stop(status, text);
}

} // namespace tamsel
