// SPDX-License-Identifier: BSD-3-Clause
// Scalar types shared by the toolkit and the run.
#pragma once

#include <cstdint>

namespace tamsel {

using Real = double;          // 64-bit IEEE double
using Integer = std::int32_t; // counts, indices, sign flags

} // namespace tamsel
