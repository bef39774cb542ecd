// SPDX-License-Identifier: BSD-3-Clause
// The SSE2, AVX and AVX-512 kernels of the toolkit, built on x86
// processors only.  Each does, for every value, the very operations of the
// portable kernel it stands for (numeric/kernels.cpp, whose steps are in
// numeric/steps.h), in the same order and with the same operands: only the
// loops are arranged to do two, four or eight Reals per instruction.
// Multiplications and additions stay separate instructions (the build
// forbids FMA).  The AVX and AVX-512 kernels carry the "avx" or "avx512f"
// target attribute and are reached only through the AVX and AVX-512 tables
// (x86/native.cpp); what the AVX kernels share with the SSE2 ones is
// inlined into them, never called, since SSE2 code run while the upper
// halves of the AVX registers are in use is slowed on every instruction.
//
// Internal to the toolkit; not installed.
#pragma once

#include <cstdint>

#include <immintrin.h>

#include <tamsel/numeric/types.h>

#include "kernels.h"

namespace tamsel::x86 {

// The step through the tiles of a permutation where the plain order
// stalls: tile t = (k * step) mod tiles is taken k-th, k = 0 .. tiles - 1,
// every tile once (the step is odd, tiles a power of two).  In the plain
// order, the rows that successive tiles write (in place: their partners)
// lie a multiple of 4 KiB apart, and the processor holds each later load
// whose address matches a pending store's in those 12 bits (measured on AMD
// family 26: a swap of tiles without arithmetic 4-7 times as fast from
// 2^13 values on, stepping by about 0.618 tiles).  Far beyond the
// second-level cache, the plain order, which reads half of the values in
// sequence, can be faster again.  The kernels keep a loop of their own for
// the plain order: one loop for both, with a step of 1, cost the small
// sizes 4-25% in the code the compiler made of it.
constexpr std::int32_t tile_step(std::int32_t tiles) {
  return std::int32_t(std::int64_t{tiles} * 633 / 1024) | 1;
}

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

// (-w_im, w_im).  SSE2 has no add-subtract, so b_im*w_im is formed as
// b_im*(-w_im), exactly its negative, and added: x + (-y) is x - y to the
// last bit.
[[gnu::always_inline]] inline __m128d minus_plus(Real w_im) { return _mm_set_pd(w_im, -w_im); }

// fft::butterfly of the values at a and b, one value a vector, with
// w_re = (w_re, w_re) and w_im_pm = minus_plus(w_im), the results stored
// at a_to and b_to (or back at a and b).  Inlined into the SSE2, AVX and
// AVX-512 kernels alike.
[[gnu::always_inline]] inline void butterfly_sse2(const Real* a, const Real* b, Real* a_to,
                                                  Real* b_to, __m128d w_re, __m128d w_im_pm) {
  const __m128d av = _mm_loadu_pd(a);
  const __m128d bv = _mm_loadu_pd(b);
  const __m128d bs = _mm_shuffle_pd(bv, bv, 1); // (b_im, b_re)
  const __m128d t = _mm_add_pd(_mm_mul_pd(bv, w_re), _mm_mul_pd(bs, w_im_pm));
  _mm_storeu_pd(b_to, _mm_sub_pd(av, t));
  _mm_storeu_pd(a_to, _mm_add_pd(av, t));
}
[[gnu::always_inline]] inline void butterfly_sse2(Real* a, Real* b, __m128d w_re,
                                                  __m128d w_im_pm) {
  butterfly_sse2(a, b, a, b, w_re, w_im_pm);
}

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

// A vector of W Reals, and one of W 64-bit words, W = 2, 4 or 8, in GCC's
// vector types: every operation acts lane by lane with the rounding of the
// scalar operation.  The kernels written once over a width use these.
template <int W>
struct Lanes;
template <>
struct Lanes<2> {
  using type = Real __attribute__((vector_size(2 * sizeof(Real))));
  using bits = std::uint64_t __attribute__((vector_size(2 * sizeof(Real))));
};
template <>
struct Lanes<4> {
  using type = Real __attribute__((vector_size(4 * sizeof(Real))));
  using bits = std::uint64_t __attribute__((vector_size(4 * sizeof(Real))));
};
template <>
struct Lanes<8> {
  using type = Real __attribute__((vector_size(8 * sizeof(Real))));
  using bits = std::uint64_t __attribute__((vector_size(8 * sizeof(Real))));
};

// Each kernel below is the entry of kernels::Table of its name, with the
// exceptions said beside it; x86/native.cpp fills the tables.

// ---- Complex passes (x86/passes.cpp; the AVX ones in x86/fft.cpp).
void pass_sse2(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count);
void pass_avx(Real* data, Integer n, Integer h, const Real* w, Integer j0,
              Integer count); // count even
void pass_avx512(Real* data, Integer n, Integer h, const Real* w, Integer j0,
                 Integer count); // count a multiple of 4
void pass_triple_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                     const Real* wc);
void pass_pair_avx(Real* data, Integer n, Integer h, const Real* wa,
                   const Real* wb); // h even
void pass_triple_avx512(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                        const Real* wc);
void pass_pair_avx512(Real* data, Integer n, Integer h, const Real* wa,
                      const Real* wb); // h a multiple of 4
void pass_pair_to_avx512(const Real* in, Real* out, Integer n, Integer h, const Real* wa,
                         const Real* wb); // h a multiple of 4
void pass_pair_swap_avx(Real* a, Real* b, Integer n, Integer h, const Real* wa,
                        const Real* wb); // h even
void pass_pair_swap_avx512(Real* a, Real* b, Integer n, Integer h, const Real* wa,
                           const Real* wb); // h a multiple of 4
void butterflies_sse2(Real* a, Real* b, Real w_re, Real w_im, Integer count);
void butterflies_avx(Real* a, Real* b, Real w_re, Real w_im, Integer count);
void butterflies_avx512(Real* a, Real* b, Real w_re, Real w_im, Integer count);
void rows_pair_avx(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                   Integer count);
void rows_pair_avx512(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                      Integer count); // count a multiple of 4
void rows_triple_avx(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                     const Real* fc, Integer fc_step, Integer count);
void rows_triple_avx512(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                        const Real* fc, Integer fc_step, Integer count); // count a multiple of 4

// ---- The transform's first steps (x86/fft.cpp, AVX-512 in x86/fft512.cpp).
void first_two_passes_avx(Real* data, Integer n, const Real* w2, const Real* w4);
void reverse_first_two_avx(Real* data, Integer n, const Real* w2, const Real* w4,
                           const std::uint16_t* order);
void reverse_first_two_avx512(Real* data, Integer n, const Real* w2, const Real* w4,
                              const std::uint16_t* order); // x86/fft512.cpp
void reverse_first_two_to_avx512(const Real* in, Real* out, Integer n, const Real* w2,
                                 const Real* w4, const std::uint16_t* order); // x86/fft512.cpp
void first_value_sse2(Real* data, Integer n);
void first_value_avx(Real* data, Integer n);
void interleave_sse2(const Real* re, const Real* im, Real* out, Integer n,
                     const std::uint16_t* order);
void interleave_avx(const Real* re, const Real* im, Real* out, Integer n,
                    const std::uint16_t* order);
void interleave_first_two_avx(const Real* re, const Real* im, Real* out, Integer n,
                              const Real* w2, const Real* w4, const std::uint16_t* order);
void interleave_first_two_avx512(const Real* re, const Real* im, Real* out, Integer n,
                                 const Real* w2, const Real* w4,
                                 const std::uint16_t* order); // n >= 32, x86/fft512.cpp
void interleave_avx512(const Real* re, const Real* im, Real* out, Integer n,
                       const std::uint16_t* order); // x86/fft512.cpp
void exchange_sse2(Real* a, Real* b, kernels::Reals reals);
void exchange_avx(Real* a, Real* b, kernels::Reals reals);
void exchange_avx512(Real* a, Real* b, kernels::Reals reals); // x86/fft512.cpp

// ---- Real transforms and the correlation (x86/spectra.cpp).
void split_sse2(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f);
void split_avx(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f);
void split_avx512(Real* data, Integer count, const Real* w, Integer first, Integer end,
                  Real f); // x86/fft512.cpp
void pass_split_avx(Real* data, Integer count, const Real* wl, const Real* ws, Real f);
void pass_pair_split_avx(Real* data, Integer count, const Real* wa, const Real* wl,
                         const Real* ws, Real f); // count >= 32
// What pass_pair_split_avx and _avx512 leave: pass pairs 0 and count/8-3 ..
// count/8+3 with their splits, through the SSE2 and AVX kernels.
void pass_pair_split_rest(Real* data, Integer count, const Real* wa, const Real* wl,
                          const Real* ws, Real f);
void pass_split_avx512(Real* data, Integer count, const Real* wl, const Real* ws,
                       Real f); // x86/fft512.cpp
void pass_split_to_avx512(const Real* in, Real* out, Integer count, const Real* wl,
                          const Real* ws, Real f); // x86/fft512.cpp
void pass_pair_split_avx512(Real* data, Integer count, const Real* wa, const Real* wl,
                            const Real* ws, Real f); // count >= 32, x86/fft512.cpp
void pass_parts_avx(Real* data, Integer n, Integer h, const Real* w);
void pass_pair_parts_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                         bool from_values, bool to_values);
void split_from_parts_avx(Real* data, Integer count, const Real* ws, Real f);
void separate_sse2(Real* spectrum1, Real* spectrum2, Integer count);
void separate_avx(Real* spectrum1, Real* spectrum2, Integer count);
void separate_avx512(Real* spectrum1, Real* spectrum2, Integer count); // x86/fft512.cpp
void separate_products_sse2(Real* spectrum1, Real* spectrum2, Integer count, Real reciprocal);
void separate_products_avx(Real* spectrum1, Real* spectrum2, Integer count, Real reciprocal);
void separate_products_avx512(Real* spectrum1, Real* spectrum2, Integer count,
                              Real reciprocal); // x86/fft512.cpp

// ---- Chebyshev series and tables (x86/series.cpp).
void sums_sse2(const Real* f, Integer n, const Real* term, Real* sum);
void sums_avx(const Real* f, Integer n, const Real* term, Real* sum); // n <= 16
// These do the first whole batches of 32 points, or runs of 16.
Integer evaluate_sse2(Real a, Real b, const Real* c, Integer terms, const Real* x,
                      Real* result, Integer count);
Integer evaluate_avx(Real a, Real b, const Real* c, Integer terms, const Real* x,
                     Real* result, Integer count);
Integer evaluate_two_avx(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                         const Real* x, Real* result1, Real* result2, Integer count);
Integer evaluate_two_avx512(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                            const Real* x, Real* result1, Real* result2, Integer count);
bool all_in_range_avx(Real a, Real b, const Real* x, Integer count);
// These scan whole runs of four intervals, or of sixteen then four.
bool first_match_sse2(const Real* xtab, Integer last, Real t, Integer& i);
bool first_match_avx(const Real* xtab, Integer last, Real t, Integer& i);

} // namespace tamsel::x86
