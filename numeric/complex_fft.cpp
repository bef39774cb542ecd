// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/complex_fft.h>

#include <cmath>
#include <cstdint>

#include <tamsel/numeric/fft_passes.h>

namespace tamsel {

namespace {

// The same passes in their plain order, for a sign other than +1 and -1
// (whose angles only those callers see; 0 gives NaN factors).  h is the
// half-span in Reals, g = 2h the group span; positions count from 1.
void plain_passes(Real* data, Integer count, Integer direction) {
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };
  const Integer reals = 2 * count;
  Integer h = 2;
  while (reals > h) {
    const Integer g = 2 * h;
    // sign*h is formed as an integer, exactly (64 bits, so that no sign
    // value can overflow), and only then converted.
    const Real theta =
        fft::kFullTurn / static_cast<Real>(std::int64_t{direction} * h);
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

} // namespace

void four1(Real* data, const Integer& n, const Integer& sign) {
  const Integer count = n; // n is read here only
  if (count <= 0) {
    return;
  }
  fft::check_length("four1", count);

  fft::bit_reverse(data, count);
  if (count == 1) {
    return; // a single value is its own transform
  }

  const Integer direction = sign; // sign is read here only
  if (direction == 1 || direction == -1) {
    fft::radix2_passes(data, count, direction);
  } else {
    plain_passes(data, count, direction);
  }
}

} // namespace tamsel
