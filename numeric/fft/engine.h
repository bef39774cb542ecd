// SPDX-License-Identifier: BSD-3-Clause
// The FFT engine under four1, realft, twofft, correl and fourn: the
// twiddle factors, the transforms that run plans (numeric/fft/plan.h
// decides their steps), and the plain loops that serve the signs other
// than +1 and -1.  The inner loops of the passes run through the kernel
// table (numeric/kernels.h); the arithmetic of one value and the
// permutation are below both (numeric/steps.h).
//
// Internal to the toolkit; not installed.
#pragma once

#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <tamsel/numeric/types.h>

#include "../steps.h"

namespace tamsel::fft {

// The angle constant of every pass: the double nearest 6.28318530717959,
// bit pattern 401921FB54442D1C, 4 units in the last place above 2*pi.  The
// results are fixed to it, not to 2*pi.
inline constexpr Real kFullTurn = 6.28318530717959;

// Largest length of four1, realft and twofft: their 2n Reals, and the
// butterfly counters that run up to about 1.5 * 2n, stay within an Integer.
inline constexpr Integer kMaxLength = Integer{1} << 29;

inline constexpr bool is_power_of_two(Integer n) { return n >= 1 && (n & (n - 1)) == 0; }

// Refuses (InvalidArgument, naming `routine`) a length n that is not a
// power of two from 1 to kMaxLength.
void check_length(const char* routine, Integer n);

// ---- The twiddle recurrence.  Every pass makes its factors so.

// The factor c = (cos(theta) - 1, sin(theta)) of the twiddle recurrence
// w <- w + w * c, with cos(theta) - 1 formed as -2 sin^2(theta/2).  Every
// pass restarts w at 1 + 0i.
struct Step {
  Real c_re;
  Real c_im;
};
inline Step angle_step(Real theta) {
  const Real s = std::sin(0.5 * theta);
  return Step{(s * s) * (-2.0), std::sin(theta)};
}

// w <- w + w * c, both parts from the old w:
//   w_re <- w_re + (w_re * c_re - w_im * c_im),
//   w_im <- w_im + (w_re_old * c_im + w_im * c_re).
inline void advance(Real& w_re, Real& w_im, const Step& c) {
  const Real old_re = w_re;
  w_re = w_re + (w_re * c.c_re - w_im * c.c_im);
  w_im = w_im + (old_re * c.c_im + w_im * c.c_re);
}

// ---- The twiddle factors.

// The recurrence of a pass: w starts at 1 + 0i and advances by `advance`.
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
// and kept (m Reals on the heap for each length and sign used: at most as
// much as the data of the largest transform); nullptr when m is
// above kCachedLength.  That is twice four1's largest fused length, so
// that realft of 2^20 values, whose splits take the factors of the pass of
// length 2^21, finds them kept rather than making them as the splits go, a
// chain of 2^19 dependent steps (bench/NOTES.md).
inline constexpr Integer kCachedLength = Integer{1} << 21;
inline constexpr int kCachedLevels = std::countr_zero(std::uint32_t(kCachedLength));
// Factors made at a time, on the stack, where no kept table serves.
inline constexpr Integer kChunk = 512;
namespace detail {
// The kept tables once made, by sign (+1 first) and log2(m): a small
// transform asks for up to ten, so the path of a table already made is one
// load, not the guarded call that makes one (bench/NOTES.md).
extern std::atomic<const Real*> kept_twiddles[2][kCachedLevels + 1];
const Real* make_twiddles(Integer sign, Integer m);
// The table of `kept` for sign and m (a power of two) once made, else the
// one make makes and keeps there.
template <std::size_t Levels>
inline const Real* kept_or_made(std::atomic<const Real*> (&kept)[2][Levels], Integer sign,
                                Integer m, const Real* (*make)(Integer, Integer)) {
  const Real* table =
      kept[sign == 1 ? 0 : 1][std::countr_zero(std::uint32_t(m))].load(std::memory_order_acquire);
  return table != nullptr ? table : make(sign, m);
}
} // namespace detail
inline const Real* cached_twiddles(Integer sign, Integer m) {
  if (m < 2 || m > kCachedLength) return nullptr;
  return detail::kept_or_made(detail::kept_twiddles, sign, m, detail::make_twiddles);
}

// ---- The exact factors: those of the conventional layer's powers of two.

// Where a plan's factors come from: the recurrence's tables (four1, realft,
// twofft, correl, fourn, whose bits are fixed to them), or the exact roots
// exp(sign 2 pi i j/m), each part the double nearest (unit_root, zero parts
// +0), at every length: kept tables up to kExactLength, beyond it made as
// the passes go, a few runs at a time (exact_runs).
enum class Roots : std::uint8_t { recurrence, exact };
inline constexpr int kRootSources = 2;
// The longest sub-transform whose exact factors are kept: four times
// kCachedLength, so that transforms of up to 2^23 complex values or real
// ones of 2^23 values run at the speed of four1 and realft from their
// second call on.  Beyond, the factors are made anew at each pass, a
// double-double evaluation for every four (its cost: bench/NOTES.md).
inline constexpr Integer kExactLength = Integer{1} << 23;
inline constexpr int kExactLevels = std::countr_zero(std::uint32_t(kExactLength));

// The exact factors of sub-transform length m (a power of two from 2^12 to
// 2^30) for sign +1 or -1 in four runs of kRun, made from the kRun + 1
// roots from i0 (a multiple of kRun below m/8) by the symmetries of the
// quarter turns, so that each root computed serves four factors: at out,
// j = i0 ..; at out + 2 kRun, j = m/4 - i0 - kRun ..; at out + 4 kRun,
// j = m/4 + i0 ..; at out + 6 kRun, j = m/2 - i0 - kRun .. .  Over i0 = 0,
// kRun, .. below m/8 the runs hold every j < m/2 once.
inline constexpr Integer kRun = 256;
void exact_runs(Integer sign, Integer m, Integer i0, Real* out);

namespace detail {
extern std::atomic<const Real*> kept_exact[2][kExactLevels + 1];
const Real* make_exact(Integer sign, Integer m);
// m Reals on a 64-byte boundary for a kept table of level L = log2(m) and
// sign S, never freed, at the offset within a page that the level's tables
// of the recurrence take (engine.cpp).
Real* table_memory(int L, int S);
} // namespace detail

// The exact factors exp(sign 2 pi i j/m), j < m/2, in the layout of
// cached_twiddles, made on first use (m/8 of them by unit_root, the rest by
// its symmetries) and kept (m Reals for each length and sign used);
// nullptr when m is above kExactLength.
inline const Real* exact_twiddles(Integer sign, Integer m) {
  if (m < 2 || m > kExactLength) return nullptr;
  return detail::kept_or_made(detail::kept_exact, sign, m, detail::make_exact);
}

// ---- The transforms, each running the plan of its length, sign, factors
// and the kernel table in use.

// four1's transform for sign +1 or -1 of n values in their given order:
// bit_reverse, then radix2_passes.  n >= 2, a power of two.  With
// Roots::exact, the same steps with the exact factors.
void transform(Real* data, Integer n, Integer sign, Roots roots = Roots::recurrence);

// transform of the values z_i = (re[i], im[i]), i < count, into out (2 *
// count Reals, overlapping neither re nor im); count a power of two from 1
// to kMaxLength.
void transform_interleaved(const Real* re, const Real* im, Real* out, Integer count,
                           Integer sign);

// transform of each of `lines` runs of count values side by side at data
// (count >= 2, a power of two), with the factors of `roots`.
void transform_lines(Real* data, Integer count, Integer lines, Integer sign,
                     Roots roots = Roots::recurrence);

// transform_lines, with the lines taken in groups of `group` (a power of two
// from 2 dividing lines) and the result of line r of a group stored at line
// rev(r), r's log2(group) bits reversed: done, and true, for count from 16
// to 2^13; false, with nothing done, otherwise.
bool transform_lines_permuted(Real* data, Integer count, Integer lines, Integer group,
                              Integer sign);

// The lines of one dimension of fourn for sign +1 or -1, L >= 2 and B >= 2:
// the data are A blocks of L * B values, value i of line e (i < L, e < B)
// being value i * B + e of its block, and every line goes through the
// bit-reversal permutation (none where rows_permuted: the rows i are in
// bit-reversed order already) and the passes of transform.
void transform_strided(Real* data, Integer L, Integer B, Integer A, Integer sign,
                       bool rows_permuted);

// transform with the factors of `roots` of each of `lines` adjacent lines
// of L >= 2 values (a power of two), value i of line e at data[2 (i stride
// + e)], stride >= lines: strips of them through the steps of
// transform_strided, with transform's bits for every line.
void transform_strips(Real* data, Integer L, Integer stride, Integer lines, Integer sign,
                      Roots roots);

// Two dimensions of fourn for sign +1 or -1, the first of contiguous lines
// of L >= 2 values, the second of length next >= 2: the data are `planes`
// planes of L * next values, each taken through both dimensions in turn.
void transform_planes(Real* data, Integer L, Integer next, Integer planes, Integer sign);

// transform for sign +1 and realft's recombination of the n values
// (fft::split of k = 1 .. n/2 - 1 with the factors cached_twiddles(1, 2n)
// and f), its last pass or two joined to the recombination where that
// saves time: done, and true, for 16 <= n <= kCachedLength / 2; otherwise
// false, and nothing done.
bool transform_and_split(Real* data, Integer n, Real f);
// The same for sign +1 or -1 with the factors of `roots` (the splits' of
// that sign too); with Roots::exact for n up to kExactLength / 2.
bool transform_and_split(Real* data, Integer n, Real f, Integer sign, Roots roots);

// All butterfly passes of a complex transform of n contiguous values
// (n >= 2, a power of two, already in bit-reversed order) for sign +1 or -1,
// with pass angles 6.28318530717959 / (sign * m), m = 2, 4, .., n.
void radix2_passes(Real* data, Integer n, Integer sign);

// data[0] after realft(data, n, -1), the other values not formed; data is
// left in no useful state.  Refuses n as realft does.
Real realft_inverse_first(Real* data, const Integer& n);

// twofft less its separation: the transform Z of data1 + i data2 in
// spectrum1, with Z_0's imaginary part moved to spectrum2[0] and
// spectrum1[1] and spectrum2[1] set to 0.  n is read as twofft reads it.
void joint_spectrum(const Real* data1, const Real* data2, Real* spectrum1, Real* spectrum2,
                    const Integer& n);

// ---- The plain loops, for any sign.

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
