// SPDX-License-Identifier: BSD-3-Clause
// The SSE2 and AVX kernels of the toolkit's routines, compiled where
// TAMSEL_X86_KERNELS is defined.  Each does, for every value, the very
// operations of the portable step it stands for (numeric/fft_steps.h, or the
// routine's own plain loop), in the same order and with the same operands:
// only the loops are arranged to do two or four values per instruction.
// Multiplications and additions stay separate instructions (the build
// forbids FMA).  The AVX kernels carry the "avx" target attribute and run
// only when kernels::active() is Kernel::avx; what they share with the SSE2
// ones is inlined into them, never called, since SSE2 code run while the
// upper halves of the AVX registers are in use is slowed on every
// instruction.
//
// Internal to the toolkit; not part of its interface.
#pragma once

#include <cstdint>

#include <tamsel/numeric/kernels.h>

#ifdef TAMSEL_X86_KERNELS

#include <immintrin.h>

namespace tamsel::x86 {

// The t of two butterflies of the AVX kernels, b0 and b1 in bv with
// factors w0 and w1 in wv: t = (b_re*w_re - b_im*w_im, b_im*w_re +
// b_re*w_im) for each, the add-subtract instruction giving the difference
// of the real parts and the sum of the imaginary ones directly.
__attribute__((target("avx"))) inline __m256d twiddled(__m256d bv, __m256d wv) {
  const __m256d w_re = _mm256_movedup_pd(wv);      // w0_re w0_re w1_re w1_re
  const __m256d w_im = _mm256_permute_pd(wv, 0xF); // w0_im w0_im w1_im w1_im
  const __m256d bs = _mm256_permute_pd(bv, 0x5);   // b0_im b0_re b1_im b1_re
  return _mm256_addsub_pd(_mm256_mul_pd(bv, w_re), _mm256_mul_pd(bs, w_im));
}

// ---- Complex passes (x86_fft.cpp), the kernels of fft_passes.h's blocks.

// fft::pass; the AVX one needs count even.
void pass_sse2(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count);
void pass_avx(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count);
// fft::butterflies.
void butterflies_sse2(Real* a, Real* b, Real w_re, Real w_im, Integer count);
void butterflies_avx(Real* a, Real* b, Real w_re, Real w_im, Integer count);
// fft::pass_pair with h even, and fft::first_two_passes, together on each
// group of values.
void pass_pair_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb);
void first_two_passes_avx(Real* data, Integer n, const Real* w2, const Real* w4);
// fft::bit_reverse then fft::first_two_passes, n >= 16, with order[t] the
// bit reversal of t < n/16 over log2(n) - 4 bits.
void reverse_first_two_avx(Real* data, Integer n, const Real* w2, const Real* w4,
                           const std::uint16_t* order);
// fft::first_value.
void first_value_sse2(Real* data, Integer n);
void first_value_avx(Real* data, Integer n);
// out[2 place(j)] = re[j], out[2 place(j) + 1] = im[j], j = 0..n-1, with
// place(j) = order[j], or j when order is null.
void interleave_sse2(const Real* re, const Real* im, Real* out, Integer n,
                     const std::uint16_t* order);

// ---- Real transforms and the correlation (x86_real.cpp).

// fft::split of Z_k at data[2k] and Z_{count-k} at data[2(count-k)] for
// k = first .. end-1, with the factor w_k at w[2(k - first)].
void split_sse2(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f);
void split_avx(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f);
// The last pass of four1 on count values, half-span count/2 with the
// factors wl[2j], wl[2j + 1] (fft::butterfly), and then fft::split of Z_k
// and Z_{count-k} for k = 1 .. count/2 - 1 with the factor w_k at ws[2k],
// in one sweep; count >= 16.  Every split comes after the two butterflies
// that give its values.
void pass_split_avx(Real* data, Integer count, const Real* wl, const Real* ws, Real f);
// fft::separate of Z_k and Z_{count-k} for k = 1 .. count/2.
void separate_sse2(Real* spectrum1, Real* spectrum2, Integer count);
void separate_avx(Real* spectrum1, Real* spectrum2, Integer count);
// fft::cross_product of F_k at f[2k] into G_k at g[2k], k = 0 .. half.
void products_sse2(const Real* f, Real* g, Integer half, Real reciprocal);
void products_avx(const Real* f, Real* g, Integer half, Real reciprocal);

// ---- Chebyshev series and tables (x86_series.cpp).

// chebft's sums: sum[j] = sum over k = 1..n, from 0.0 in node order, of
// f[k-1] * term[(k-1) n + j], j = 0..n-1, n from 1 to 32, with term holding
// at least 32 * 32 Reals.  The AVX one takes n up to 16.
void sums_sse2(const Real* f, Integer n, const Real* term, Real* sum);
void sums_avx(const Real* f, Integer n, const Real* term, Real* sum);
// chebev's recurrence on the first whole batches of 32 of x[0 .. count-1],
// all in range; returns how many points were done.
Integer evaluate_sse2(Real a, Real b, const Real* c, Integer terms, const Real* x,
                      Real* result, Integer count);
Integer evaluate_avx(Real a, Real b, const Real* c, Integer terms, const Real* x,
                     Real* result, Integer count);
// The same for two series at the same points, the first whole runs of 16.
Integer evaluate_two_avx(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                         const Real* x, Real* result1, Real* result2, Integer count);
// Whether every point of x[0 .. count-1] passes chebev's range test.
bool all_in_range_avx(Real a, Real b, const Real* x, Integer count);
// favr's scan over whole runs of intervals: sets i to the first matching
// interval and returns true, or sets i to the first interval not yet tested
// and returns false.
bool first_match_sse2(const Real* xtab, Integer last, Real t, Integer& i);
bool first_match_avx(const Real* xtab, Integer last, Real t, Integer& i);

} // namespace tamsel::x86

#endif // TAMSEL_X86_KERNELS
