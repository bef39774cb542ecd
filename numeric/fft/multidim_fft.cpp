// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/multidim_fft.h>

#include <bit>
#include <cstdint>
#include <limits>

#include "fft/engine.h"
#include "fft/plan.h"
#include "refusals.h"

namespace tamsel {

namespace {

static_assert(std::bit_cast<std::uint64_t>(fft::kFullTurn) == 0x401921FB54442D1Cu);

// Most complex values whose 2N Reals can still be indexed by an Integer.
constexpr Integer kMaxValues = std::numeric_limits<Integer>::max() / 2;

} // namespace

void fourn(Real* data, const Integer* lengths, const Integer& dimcount,
           const Integer& sign) {
  const Integer D = dimcount;
  if (D <= 0) {
    return;
  }

  // N, the number of complex values, as the product of the lengths in index
  // order.  Every length is checked before any value of data is touched.
  Integer N = 1;
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    if (!fft::is_power_of_two(L)) {
      detail::refuse_argument("fourn: length %d of dimension %d is not a power of two", L, d);
    }
    if (N > kMaxValues / L) {
      detail::refuse_argument("fourn: length %d of dimension %d makes 2N exceed the Integer range",
                              L, d);
    }
    N = N * L;
  }

  Integer B = 1; // product of the lengths of the dimensions already done
  bool rows_permuted = false; // the next dimension's rows already permuted
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    const Integer A = N / (L * B); // number of blocks
    if (L >= 2) {
      // Every line goes through the bit-reversal permutation and the radix-2
      // passes of four1 with the same sign, whose angles are those of fourn
      // for sign +1 and -1 to the last bit: theta = (sign *
      // 6.28318530717959) / M for the sub-transform length M.
      const Integer direction = sign; // read once for each such dimension, or pair of them
      if (direction == 1 || direction == -1) {
        // The sign reads the same for the next dimension: nothing here
        // writes it.
        const Integer next = d < D ? lengths[d] : 0;
        const bool permuted = rows_permuted;
        rows_permuted = false;
        switch (fft::dimension_step(L, B, A, next, permuted, direction)) {
        case fft::DimensionStep::planes:
          fft::transform_planes(data, L, next, A / next, direction);
          B = B * L * next;
          ++d;
          continue;
        case fft::DimensionStep::lines_permuted:
          fft::transform_lines_permuted(data, L, A, next, direction);
          rows_permuted = true;
          break;
        case fft::DimensionStep::lines:
          fft::transform_lines(data, L, A, direction);
          break;
        case fft::DimensionStep::strided:
          fft::transform_strided(data, L, B, A, direction, permuted);
          break;
        }
      } else {
        fft::plain_dimension(data, L, B, A, static_cast<Real>(direction));
      }
    }
    B = B * L;
  }
}

} // namespace tamsel
