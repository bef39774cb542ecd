#include "numeric/complex_fft.h"

#include <cmath>
#include <cstdint>

#include "numeric/fft_passes.h"
#include "numeric/stop.h"

namespace tamsel {

namespace {

// Largest accepted length: 2n Reals, and the butterfly counters that run up
// to about 1.5 * 2n, must stay within an Integer.
constexpr Integer kMaxLength = Integer{1} << 29;

// The pass angle is this constant over sign*h; it lies 4 units in the last
// place above 2*pi, and the results are fixed to it.
constexpr Real kFullTurn = 6.28318530717959;

// Pass angle theta = 6.28318530717959 / (sign*m) for sub-transform length m
// (half-span h = m/2 values); the factor w_j of butterfly j = 0..h-1 starts
// at 1 + 0i and advances by w <- w + w*(exp(i*theta) - 1), with
// cos(theta) - 1 formed as -2 sin^2(theta/2).  Each pass is one sweep over
// the data, group after group, j after j; the twiddle factors of a pass are
// made once and reused for all its groups.  Passes of length up to kBlock run
// block by block, each block finished while it is in cache.
constexpr Integer kBlock = Integer{1} << 13;
constexpr Integer kChunk = 512; // twiddle factors made at a time, uncached m

// The passes of lengths m = first .. last over count values, two at a time
// while there are two left.
void cached_passes(Real* data, Integer count, Integer direction,
                   Integer first, Integer last) {
  Integer m = first;
  for (; 2 * m <= last; m *= 4) {
    fft::pass_pair(data, count, m / 2, fft::cached_twiddles(direction, m),
                   fft::cached_twiddles(direction, 2 * m));
  }
  if (m <= last) {
    fft::pass(data, count, m / 2, fft::cached_twiddles(direction, m), 0, m / 2);
  }
}

void passes(Real* data, Integer count, Integer direction) {
  const Real* w2 = fft::cached_twiddles(direction, 2);
  if (count == 2) {
    fft::pass(data, count, 1, w2, 0, 1);
    return;
  }
  const Real* w4 = fft::cached_twiddles(direction, 4);
  const Integer block = count < kBlock ? count : kBlock;
  for (Integer start = 0; start < count; start += block) {
    Real* part = data + 2 * start;
    fft::first_two_passes(part, block, w2, w4);
    cached_passes(part, block, direction, 8, block);
  }
  const Integer cached = count < fft::kCachedLength ? count : fft::kCachedLength;
  cached_passes(data, count, direction, 2 * block, cached);
  for (Integer m = 2 * cached; m <= count; m *= 2) {
    fft::Twiddle twiddle = fft::pass_twiddle(direction, m);
    Real factors[2 * kChunk];
    for (Integer j0 = 0; j0 < m / 2; j0 += kChunk) {
      twiddle.generate(factors, kChunk);
      fft::pass(data, count, m / 2, factors, j0, kChunk);
    }
  }
}

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

} // namespace

void four1(Real* data, const Integer& n, const Integer& sign) {
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

  fft::bit_reverse(data, count);
  if (count == 1) {
    return; // a single value is its own transform
  }

  const Integer direction = sign; // sign is read here only
  if (direction == 1 || direction == -1) {
    passes(data, count, direction);
  } else {
    plain_passes(data, count, direction);
  }
}

} // namespace tamsel
