// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/errors.h>

#include <cstdarg>
#include <cstdio>

#include "refusals.h"

namespace tamsel {

// Defined here, so that the types' vtables and type information live in
// the library once.
InvalidArgument::~InvalidArgument() = default;
DomainError::~DomainError() = default;

namespace detail {

void refuse_argument(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  throw InvalidArgument(text);
}

void refuse_point(const char* message) { throw DomainError(message); }

} // namespace detail

} // namespace tamsel
