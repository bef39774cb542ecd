// SPDX-License-Identifier: BSD-3-Clause
// The butterfly passes of four1 and one dimension of fourn in their plain
// loop order, for every sign; for +1 and -1 the schedule of fft/engine.cpp
// gives the same bits.
#include <cstdint>

#include "fft/engine.h"

namespace tamsel::fft {

void plain_passes(Real* data, Integer count, Integer direction) {
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };
  const Integer reals = 2 * count;
  Integer h = 2;
  while (reals > h) {
    const Integer g = 2 * h;
    // sign*h is formed as an integer, exactly (64 bits, so that no sign
    // value can overflow), and only then converted.
    const Step c = angle_step(kFullTurn / static_cast<Real>(std::int64_t{direction} * h));
    Real w_re = 1.0;
    Real w_im = 0.0;
    for (Integer m = 1; m <= h - 1; m += 2) {
      for (Integer a = m; a <= reals; a += g) {
        butterfly(&at(a), &at(a + h), w_re, w_im);
      }
      if (m != h - 1) {
        advance(w_re, w_im, c);
      }
    }
    h = g;
  }
}

void plain_dimension(Real* data, Integer L, Integer B, Integer A, Real sign) {
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
  const Real R = sign * kFullTurn;
  for (Integer h = step; h < span;) {
    const Integer g = 2 * h;
    const Integer M = g / step; // length of the sub-transforms
    const Step c = angle_step(R / static_cast<Real>(M));
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
      if (u < M / 2 - 1) advance(wre, wim, c);
    }
    h = g;
  }
}

} // namespace tamsel::fft
