#include "numeric/complex_fft.h"

#include <cmath>
#include <cstdint>

#include "numeric/stop.h"

namespace tamsel {

namespace {

// Largest accepted length: 2n Reals, and the butterfly counters that run up
// to about 1.5 * 2n, must stay within an Integer.
constexpr Integer kMaxLength = Integer{1} << 29;

// The pass angle is this constant over sign*h; it lies 4 units in the last
// place above 2*pi, and the results are fixed to it.
constexpr Real kFullTurn = 6.28318530717959;

} // namespace

void four1(Real* data, const Integer& n, const Integer& sign) {
  // Positions p counted from 1 are data[p - 1].
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };

  const Integer count = n; // n is read here only
  if (count <= 0) {
    return;
  }
  if ((count & (count - 1)) != 0) {
    stopf(kStopStatus, "four1: length %d is not a power of two", count);
  }
  if (count > kMaxLength) {
    stopf(kStopStatus, "four1: length %d is too large (at most %d)", count,
          kMaxLength);
  }

  const Integer reals = 2 * count; // N, the number of Reals

  // Bit-reversal permutation.  b is the bit-reversed position of the
  // running position a (both odd, the real part of a value); each pair of
  // values that trade places is exchanged once, when b > a.
  {
    Integer b = 1;
    Integer a = 1;
    for (;;) {
      Integer m = count;
      while (m >= 2 && b > m) {
        b = b - m;
        m = m / 2;
      }
      if (a == reals - 1) {
        break;
      }
      b = b + m;
      a = a + 2;
      if (b > a) {
        const Real re = at(b);
        const Real im = at(b + 1);
        at(b) = at(a);
        at(b + 1) = at(a + 1);
        at(a) = re;
        at(a + 1) = im;
      }
    }
  }
  if (reals <= 2) {
    return; // a single value is its own transform
  }

  const Integer direction = sign; // sign is read here only

  // Butterfly passes.  h is the half-span in Reals, g = 2h the group span.
  Integer h = 2;
  while (reals > h) {
    const Integer g = 2 * h;
    // sign*h is formed as an integer, exactly (64 bits, so that no sign
    // value can overflow), and only then converted.
    const Real theta =
        kFullTurn / static_cast<Real>(std::int64_t{direction} * h);
    const Real s = std::sin(0.5 * theta);
    const Real c_re = (s * s) * (-2.0); // cos(theta) - 1
    const Real c_im = std::sin(theta);
    Real w_re = 1.0;
    Real w_im = 0.0;
    for (Integer m = 1; m <= h - 1; m += 2) {
      for (Integer a = m; a <= reals; a += g) {
        const Integer b = a + h;
        const Real t_re = at(b) * w_re - at(b + 1) * w_im;
        const Real t_im = at(b + 1) * w_re + at(b) * w_im;
        at(b) = at(a) - t_re;
        at(b + 1) = at(a + 1) - t_im;
        at(a) = at(a) + t_re;
        at(a + 1) = at(a + 1) + t_im;
      }
      if (m != h - 1) {
        // w <- w * exp(i*theta), both parts from the old w.
        const Real old_re = w_re;
        w_re = w_re + (w_re * c_re - w_im * c_im);
        w_im = w_im + (old_re * c_im + w_im * c_re);
      }
    }
    h = g;
  }
}

} // namespace tamsel
