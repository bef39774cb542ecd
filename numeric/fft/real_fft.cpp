// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/real_fft.h>

#include <cmath>

#include <tamsel/numeric/complex_fft.h>

#include "fft/engine.h"
#include "kernels.h"

namespace tamsel {

namespace {

// The base angle is this constant over n; it lies 4 units in the last
// place above pi, and the results are fixed to it.
constexpr Real kHalfTurn = 3.141592653589795;

static_assert(kHalfTurn * 2.0 == fft::kFullTurn,
              "realft's angle is half of four1's, exactly");

// The splits of k = 1 .. count/2 - 1 without a kept table: the factors
// w_1, w_2, ... from the pass recurrence started at w_1 = exp(i*theta), a
// chunk at a time; w_last gets w_{count/2}.  A function of its own, so that
// the chunk (8 KiB) sits on the stack only on this path.
[[gnu::noinline]] void split_in_chunks(const kernels::Table& k, Real* data, Integer count,
                                       Real theta, Real f, Real* w_last) {
  const Integer last = count / 2;
  const fft::Step c = fft::angle_step(theta);
  fft::Twiddle chain{c.c_re, c.c_im, 1.0 + c.c_re, c.c_im};
  Real factors[2 * fft::kChunk];
  for (Integer first = 1; first < last; first += fft::kChunk) {
    const Integer end = last - first < fft::kChunk ? last : first + fft::kChunk;
    chain.generate(factors, end - first);
    k.split(data, count, factors, first, end, f);
  }
  w_last[0] = chain.w_re;
  w_last[1] = chain.w_im;
}

// realft, or with first_only (inverse only) the inverse up to its complex
// transform, of which only value 0 is formed.
void real_transform(Real* data, const Integer& n, const Integer& sign,
                    bool first_only) {
  const kernels::Table& k = kernels::active();
  Integer count = n; // read on entry ...
  Integer direction = sign;
  fft::check_length("realft", count);
  const Integer entry_count = count;
  const bool forward = direction == 1;

  Real f;
  bool split_done = false; // with four1's last pass
  if (forward) {
    // Forward: the 2n reals taken as n complex values z_p = x_2p + i*x_2p+1.
    f = -0.5;
    split_done = fft::transform_and_split(data, count, f);
    if (!split_done) {
      four1(data, n, 1);
      count = n; // ... and again after the transform
      direction = sign;
    }
  } else {
    f = 0.5;
  }

  // Split Z_k and Z_{n-k}, k = 1 .. n/2, into the even and odd halves and
  // recombine them (fft::split).  The factors w_1, w_2, ... are those of
  // four1's pass of length 2n for the direction's sign, of angle theta =
  // +-kHalfTurn / n (the same angle, to the last bit), whose kept table then
  // serves; without one they come from the pass recurrence (fft::Twiddle)
  // started at w_1 = exp(i*theta), a chunk at a time.
  const Integer last = count / 2;
  const Real* table = nullptr;
  if (count == entry_count) {
    table = fft::cached_twiddles(forward ? 1 : -1, 2 * count);
  }
  Real w_last[2];
  if (table != nullptr) {
    if (!split_done) k.split(data, count, table + 2, 1, last, f);
    w_last[0] = table[2 * last];
    w_last[1] = table[2 * last + 1];
  } else {
    const Real theta = kHalfTurn / static_cast<Real>(entry_count);
    split_in_chunks(k, data, count, forward ? theta : -theta, f, w_last);
  }
  if (last >= 1) {
    Real* middle = data + 2 * last; // Z_{n/2}, its own partner
    fft::split(middle, middle, w_last[0], w_last[1], f);
  }

  fft::join_ends(data, direction == 1);
  if (direction != 1) {
    if (first_only) {
      k.first_value(data, n);
    } else {
      four1(data, n, -1);
    }
  }
}

} // namespace

void realft(Real* data, const Integer& n, const Integer& sign) {
  real_transform(data, n, sign, false);
}

namespace fft {

Real realft_inverse_first(Real* data, const Integer& n) {
  const Integer inverse = -1;
  real_transform(data, n, inverse, true);
  return data[0];
}

} // namespace fft

namespace fft {

void joint_spectrum(const Real* data1, const Real* data2, Real* spectrum1, Real* spectrum2,
                    const Integer& n) {
  // Positions p counted from 1 are array[p - 1].
  auto s1 = [spectrum1](Integer p) -> Real& { return spectrum1[p - 1]; };
  auto s2 = [spectrum2](Integer p) -> Real& { return spectrum2[p - 1]; };

  const Integer count = n; // read on entry ...
  fft::check_length("twofft", count);

  // One complex sequence: data1 as real parts, data2 as imaginary parts.
  fft::transform_interleaved(data1, data2, spectrum1, count, 1);

  s2(1) = s1(2);
  s2(2) = 0.0;
  s1(2) = 0.0;
}

} // namespace fft

void twofft(const Real* data1, const Real* data2, Real* spectrum1,
            Real* spectrum2, const Integer& n) {
  fft::joint_spectrum(data1, data2, spectrum1, spectrum2, n);
  const Integer count = n; // ... and again after the transform

  // Z_k and Z_{n-k}, k = 1 .. n/2, separate into F_k and G_k (fft::separate).
  kernels::active().separate(spectrum1, spectrum2, count);
}

} // namespace tamsel
