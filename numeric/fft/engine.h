// SPDX-License-Identifier: BSD-3-Clause
// Building blocks of the complex transforms four1 and fourn: the
// bit-reversal permutation (fft_order.cpp), the twiddle factors of a pass
// (fft_twiddles.cpp) and the radix-2 butterflies and their schedule
// (fft_passes.cpp), each doing exactly the arithmetic of the plain loops
// (fft_plain.cpp) in the same order per butterfly, only with the loops
// arranged for speed; the butterflies run the kernel in use (kernels.h).
//
// Internal to the toolkit; not part of its interface.
#pragma once

#include <cstdint>

#include <tamsel/numeric/types.h>

namespace tamsel::fft {

// The angle constant of every pass: the double nearest 6.28318530717959,
// bit pattern 401921FB54442D1C, 4 units in the last place above 2*pi.  The
// results are fixed to it, not to 2*pi.
inline constexpr Real kFullTurn = 6.28318530717959;

// Largest length of four1, realft and twofft: their 2n Reals, and the
// butterfly counters that run up to about 1.5 * 2n, stay within an Integer.
inline constexpr Integer kMaxLength = Integer{1} << 29;

inline constexpr bool is_power_of_two(Integer n) { return n >= 1 && (n & (n - 1)) == 0; }

// Refuses (Stop, naming `routine`) a length n that is not a power of two
// from 1 to kMaxLength.
void check_length(const char* routine, Integer n);

// Exchanges complex value p (at data[2p], data[2p+1]) with value rev(p), the
// index p with its log2(n) bits reversed, for p = 0..n-1.  n a power of two.
void bit_reverse(Real* data, Integer n);

// Writes the complex values (re[j], im[j]), j = 0..n-1, straight to their
// bit-reversed places, data[2 rev(j)] = re[j] and data[2 rev(j) + 1] =
// im[j]: the order bit_reverse would give them.  n a power of two from 1 to
// kMaxInterleaved; data must overlap neither input.
inline constexpr Integer kMaxInterleaved = Integer{1} << 11;
void interleave_reversed(const Real* re, const Real* im, Real* data, Integer n);

// The recurrence of a pass: w starts at 1 + 0i and is advanced by
//   w_re <- w_re + (w_re * c_re - w_im * c_im),
//   w_im <- w_im + (w_re_old * c_im + w_im * c_re),
// with c_re = -2 sin^2(theta/2) = cos(theta) - 1 and c_im = sin(theta).
struct Twiddle {
  Real c_re;
  Real c_im;
  Real w_re = 1.0;
  Real w_im = 0.0;

  // Writes the next count factors, w_k as (re, im) pairs, to out[0 .. 2count-1].
  void generate(Real* out, Integer count);
};

// Pass angle of four1 and fourn for sign +1 or -1 and sub-transform length
// m (so half-span m/2 values): 6.28318530717959 / (sign * m).
Twiddle pass_twiddle(Integer sign, Integer m);

// The m/2 factors of a pass of sub-transform length m for sign +1 or -1,
// as (re, im) pairs, made once per process by the recurrence on first use
// and kept (m Reals of static storage for each length and sign used: at
// most as much as the data of the largest transform); nullptr when m is
// above kCachedLength.
inline constexpr Integer kCachedLength = Integer{1} << 20;
const Real* cached_twiddles(Integer sign, Integer m);

// One radix-2 pass of half-span h values over n contiguous values: for
// every group start s = 0, 2h, 4h, ... below n and j = j0 .. j0+count-1,
// the butterfly of values a = s + j and b = a + h with factor
// w = (w[2(j - j0)], w[2(j - j0) + 1]):
//   t = (b_re*w_re - b_im*w_im, b_im*w_re + b_re*w_im),  b = a - t,  a = a + t.
void pass(Real* data, Integer n, Integer h, const Real* w, Integer j0,
          Integer count);

// The passes of half-spans h and 2h over n values, with the h factors wa of
// the first and the 2h factors wb of the second; the same as
// pass(data, n, h, wa, 0, h) then pass(data, n, 2h, wb, 0, 2h), done
// together on each group of 4h values.  n a multiple of 4h.
void pass_pair(Real* data, Integer n, Integer h, const Real* wa,
               const Real* wb);

// The first two passes (half-spans 1 and 2, factors w2 = the one factor of
// m = 2 and w4 = the two of m = 4) over n >= 4 values, done together on each
// run of four values.
void first_two_passes(Real* data, Integer n, const Real* w2, const Real* w4);

// count butterflies with one factor w: a = data_a[2i], b = data_b[2i] for
// i = 0..count-1, the same arithmetic as pass.
void butterflies(Real* a, Real* b, Real w_re, Real w_im, Integer count);

// rev(j) over log2(n) bits for j = 0..n-1, at the result's [j]; n a power
// of two from 1 to kMaxInterleaved.
const std::uint16_t* reversed_order(Integer n);

// four1's transform for sign +1 or -1 of n values in their given order:
// bit_reverse, then radix2_passes.  n >= 2, a power of two.
void transform(Real* data, Integer n, Integer sign);

// transform, less its last pass (half-span n/2, factors cached_twiddles(sign,
// n)), which is left for the caller to join to a sweep of its own: done,
// and true, with the AVX kernel where that pass stands alone in the
// schedule (log2(n) odd, 32 <= n <= 8192); otherwise false, and nothing done.
bool transform_all_but_last(Real* data, Integer n, Integer sign);

// All butterfly passes of a complex transform of n contiguous values
// (n >= 2, a power of two, already in bit-reversed order) for sign +1 or -1,
// with pass angles 6.28318530717959 / (sign * m), m = 2, 4, .., n.
void radix2_passes(Real* data, Integer n, Integer sign);

// Value 0 of the transform four1(data, n, +1 or -1) would leave, formed
// without the other values: every pass gives value 0 its butterfly with the
// factor 1 + 0i, so in bit-reversed order it is the sum, pass by pass, of
// a = a + t with t = (b_re*1.0 - b_im*0.0, b_im*1.0 + b_re*0.0).  Writes
// data[0], data[1]; the rest of data[0 .. 2n-1] is left in no useful state.
// n a power of two.
void first_value(Real* data, Integer n);

// The butterfly passes of four1 for any sign, in the plain loop order with
// the recurrence of each pass, pass angle 6.28318530717959 / (sign * m) with
// sign * m formed as a 64-bit integer; count >= 2 values, a power of two,
// already in bit-reversed order.  A sign of 0 gives NaN factors.
void plain_passes(Real* data, Integer count, Integer sign);

// One dimension of fourn of length L >= 2 in the plain loop order, its bit
// reversal included: the data are A blocks of L * B values, value i of
// line e being value i * B + e of its block; pass angles
// (sign * 6.28318530717959) / M for sub-transform length M.
void plain_dimension(Real* data, Integer L, Integer B, Integer A, Real sign);

} // namespace tamsel::fft
