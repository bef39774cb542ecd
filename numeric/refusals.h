// SPDX-License-Identifier: BSD-3-Clause
// Throwing the toolkit's refusals (<tamsel/numeric/errors.h>).
//
// Internal to the toolkit; not installed.
#pragma once

#include <tamsel/numeric/errors.h>

namespace tamsel::detail {

// Throws InvalidArgument with the printf-formatted message (511 bytes at
// most).
[[noreturn]] void refuse_argument(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Throws DomainError with the message.
[[noreturn]] void refuse_point(const char* message);

} // namespace tamsel::detail
