#include "numeric/multidim_fft.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "numeric/stop.h"

namespace tamsel {

namespace {

// Angle constant of every pass: the double nearest 6.28318530717959, bit
// pattern 0x401921FB54442D1C, four units in the last place above 2pi.
constexpr Real kAngle = 6.28318530717959;
static_assert(std::bit_cast<std::uint64_t>(kAngle) == 0x401921FB54442D1Cu);

// Most complex values whose 2N Reals can still be indexed by an Integer.
constexpr Integer kMaxValues = std::numeric_limits<Integer>::max() / 2;

bool isPowerOfTwo(Integer n) { return n >= 1 && (n & (n - 1)) == 0; }

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
    if (!isPowerOfTwo(L)) {
      stopf(kStopStatus, "fourn: length %d of dimension %d is not a power of two",
            L, d);
    }
    if (N > kMaxValues / L) {
      stopf(kStopStatus,
            "fourn: length %d of dimension %d makes 2N exceed the Integer range",
            L, d);
    }
    N = N * L;
  }

  // Positions below count Reals from 1: position p is data[p - 1].
  Integer B = 1; // product of the lengths of the dimensions already done
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    const Integer A = N / (L * B); // number of blocks
    const Integer step = 2 * B;    // from one value of a line to the next
    const Integer span = step * L; // one block: B interleaved lines
    const Integer total = span * A;

    // Bit reversal along the dimension.  p walks the positions of the first
    // line; q is the position of p's reversed index in that line.  Each
    // exchange is done once, from the smaller position, in every line.
    Integer q = 1;
    for (Integer p = 1; p <= span; p += step) {
      if (p < q) {
        for (Integer e = 0; e < step; e += 2) {
          for (Integer r = p + e; r <= total; r += span) {
            const Integer rq = r + (q - p);
            const Real re = data[r - 1];
            const Real im = data[r];
            data[r - 1] = data[rq - 1];
            data[r] = data[rq];
            data[rq - 1] = re;
            data[rq] = im;
          }
        }
      }
      Integer z = span / 2;
      while (q > z && z >= step) {
        q = q - z;
        z = z / 2;
      }
      q = q + z;
    }

    // Butterfly passes, half-span h = step, 2 step, ... below span.
    if (step < span) {
      const Real R = static_cast<Real>(sign) * kAngle;
      for (Integer h = step; h < span;) {
        const Integer g = 2 * h;
        const Integer M = g / step; // length of the sub-transforms
        const Real theta = R / static_cast<Real>(M);
        const Real s = std::sin(theta * 0.5);
        const Real cre = (s * s) * (-2.0); // cos(theta) - 1
        const Real cim = std::sin(theta);
        Real wre = 1.0;
        Real wim = 0.0;
        for (Integer u = 0; u < M / 2; ++u) {
          const Integer o = 1 + u * step;
          for (Integer e = 0; e < step; e += 2) {
            for (Integer r = o + e; r <= total; r += g) {
              const Integer j = r + h;
              const Real tre = data[j - 1] * wre - data[j] * wim;
              const Real tim = data[j - 1] * wim + data[j] * wre;
              data[j - 1] = data[r - 1] - tre;
              data[j] = data[r] - tim;
              data[r - 1] = data[r - 1] + tre;
              data[r] = data[r] + tim;
            }
          }
          if (u < M / 2 - 1) {
            const Real oldre = wre;
            wre = wre + (wre * cre - wim * cim);
            wim = wim + (wim * cre + oldre * cim);
          }
        }
        h = g;
      }
    }

    B = B * L;
  }
}

} // namespace tamsel
