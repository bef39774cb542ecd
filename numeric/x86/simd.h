// SPDX-License-Identifier: BSD-3-Clause
// The x86 kernels written for one instruction set each (realft's splits,
// correl's products, the parts layout, the Chebyshev series and favr's
// scan), and the 128-bit steps they share.  Each does, for every value,
// the very operations of the portable kernel it stands for
// (numeric/kernels.cpp, whose steps are in numeric/steps.h), in the same
// order and with the same operands: only the loops are arranged to do two,
// four or eight Reals per instruction.  Multiplications and additions stay
// separate instructions (the build forbids FMA).  The AVX and AVX-512
// kernels carry the "avx" or "avx512f" target attribute and are reached
// only through the AVX and AVX-512 tables (x86/tables.cpp); the 128-bit
// steps below are inlined into them, never called, since SSE2 code run
// while the upper halves of the AVX registers are in use is slowed on
// every instruction.
//
// Internal to the toolkit; not installed.
#pragma once

#include <cstdint>

#include <immintrin.h>

#include <tamsel/numeric/types.h>

namespace tamsel::x86 {

// (-w_im, w_im).  SSE2 has no add-subtract, so b_im*w_im is formed as
// b_im*(-w_im), exactly its negative, and added: x + (-y) is x - y to the
// last bit.
[[gnu::always_inline]] inline __m128d minus_plus(Real w_im) { return _mm_set_pd(w_im, -w_im); }

// fft::cross_product of F in f and G in g, one (re, im) value a vector:
// C * scale.  Inlined into the SSE2, AVX and AVX-512 kernels alike.
[[gnu::always_inline]] inline __m128d cross_product_one(__m128d f, __m128d g, __m128d scale) {
  const __m128d x = _mm_mul_pd(f, _mm_unpacklo_pd(g, g)); // f_re*g_re, f_im*g_re
  const __m128d y = _mm_mul_pd(_mm_shuffle_pd(f, f, 1), _mm_unpackhi_pd(g, g)); // f_im*g_im, ..
  return _mm_mul_pd(_mm_move_sd(_mm_sub_pd(x, y), _mm_add_pd(x, y)), scale);
}

// fft::separate's sums of Z_k at b and Z_n-k at a, before their halves:
// f = (b_re + a_re, b_im - a_im) and g = (b_im + a_im, b_re - a_re).
struct SeparationSums {
  __m128d f;
  __m128d g;
};
[[gnu::always_inline]] inline SeparationSums separation_sums_one(const Real* b, const Real* a) {
  const __m128d bv = _mm_loadu_pd(b);
  const __m128d av = _mm_loadu_pd(a);
  const __m128d sum = _mm_add_pd(bv, av);
  const __m128d diff = _mm_sub_pd(bv, av);
  return {_mm_move_sd(diff, sum), _mm_shuffle_pd(sum, diff, 1)};
}

// fft::separate of Z_k at spectrum1 + b and Z_n-k at spectrum1 + a, then
// fft::cross_product of F_k into G_k, C_k taken from the registers: a
// product that read F_k and G_k back just after their stores would wait
// for them.  G_n-k is stored, F_k and F_n-k are not; with a = b (k = n/2)
// the values are those fft::separate leaves there last.  Inlined into the
// SSE2, AVX and AVX-512 kernels alike.
[[gnu::always_inline]] inline void separate_product_one(Real* spectrum1, Real* spectrum2,
                                                       Integer b, Integer a, __m128d scale) {
  const auto [f, g] = separation_sums_one(spectrum1 + b, spectrum1 + a);
  const __m128d plus = _mm_set1_pd(0.5);
  const __m128d minus = _mm_set_pd(-0.5, 0.5);
  if (a == b) {
    _mm_storeu_pd(spectrum2 + b,
                  cross_product_one(_mm_mul_pd(minus, f), _mm_mul_pd(plus, g), scale));
    return;
  }
  _mm_storeu_pd(spectrum2 + a, _mm_mul_pd(plus, g));
  _mm_storeu_pd(spectrum2 + b,
                cross_product_one(_mm_mul_pd(plus, f), _mm_mul_pd(minus, g), scale));
}

// The end of the kernels' separate_products: separate_product_one for k =
// first .. count/2, one value at a time, then C_0, whose values were stored
// just before the call, a Real at a time.
[[gnu::always_inline]] inline void separate_products_from(Real* spectrum1, Real* spectrum2,
                                                         Integer count, Integer first,
                                                         Real reciprocal) {
  const __m128d scale = _mm_set1_pd(reciprocal);
  for (Integer k = first; k <= count / 2; ++k) {
    separate_product_one(spectrum1, spectrum2, 2 * k, 2 * (count - k), scale);
  }
  _mm_storeu_pd(spectrum2,
                cross_product_one(_mm_loadu_pd(spectrum1), _mm_loadu_pd(spectrum2), scale));
}

// Each kernel below is the entry of kernels::Table of its name, with the
// exceptions said beside it; x86/tables.cpp fills the tables with them and
// with the kernels written once over W lanes (x86/entries.inc).

// ---- The passes and realft's splits in the parts layout (x86/parts.cpp).
void pass_parts_avx(Real* data, Integer n, Integer h, const Real* w);
void pass_pair_parts_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                         bool from_values, bool to_values);
void split_from_parts_avx(Real* data, Integer count, const Real* ws, Real f);

// ---- Chebyshev series and tables (x86/series.cpp).
void sums_sse2(const Real* f, Integer n, const Real* term, Real* sum);
void sums_avx(const Real* f, Integer n, const Real* term, Real* sum);
// These do the first whole batches of 32 points, or runs of 16.
Integer evaluate_sse2(Real a, Real b, const Real* c, Integer terms, const Real* x,
                      Real* result, Integer count);
Integer evaluate_avx(Real a, Real b, const Real* c, Integer terms, const Real* x,
                     Real* result, Integer count);
Integer evaluate_two_sse2(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                          const Real* x, Real* result1, Real* result2, Integer count);
Integer evaluate_two_avx(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                         const Real* x, Real* result1, Real* result2, Integer count);
Integer evaluate_two_avx512(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                            const Real* x, Real* result1, Real* result2, Integer count);
bool all_in_range_avx(Real a, Real b, const Real* x, Integer count);
// These scan whole runs of four intervals, or of sixteen then four.
bool first_match_sse2(const Real* xtab, Integer last, Real t, Integer& i);
bool first_match_avx(const Real* xtab, Integer last, Real t, Integer& i);

} // namespace tamsel::x86
