// SPDX-License-Identifier: BSD-3-Clause
// Scalar types shared by the toolkit and the run.
#pragma once

#if !defined(__cplusplus) || __cplusplus < 202002L
#error "tamsel's headers need C++20 or later: compile with -std=c++20 (or newer)"
#endif

#include <cstdint>

namespace tamsel {

using Real = double;          // 64-bit IEEE double
using Integer = std::int32_t; // counts, indices, sign flags

} // namespace tamsel
