// SPDX-License-Identifier: BSD-3-Clause
// Four complex values taken apart into a vector of their real parts and one
// of their imaginary parts, for the AVX kernels of realft's recombination,
// correl's products (x86/spectra.cpp) and the passes in the parts layout
// (x86/parts.cpp): in that form no operation of a butterfly or a split
// needs a shuffle.
//
// Internal to the toolkit; not installed.
#pragma once

#include <immintrin.h>

#include <tamsel/numeric/types.h>

namespace tamsel::x86 {

// Four complex values taken apart into their real and imaginary parts.
struct Parts {
  __m256d re;
  __m256d im;
};

// The values of x = (Z_0, Z_1) and y = (Z_2, Z_3) as parts, in lanes
// 0, 2 | 1, 3.
[[gnu::always_inline]] __attribute__((target("avx"))) inline Parts parts(__m256d x, __m256d y) {
  return {_mm256_unpacklo_pd(x, y), _mm256_unpackhi_pd(x, y)};
}

// The two halves of x exchanged.
[[gnu::always_inline]] __attribute__((target("avx"))) inline __m256d halves_swapped(__m256d x) {
  return _mm256_permute2f128_pd(x, x, 0x01);
}

// The two values at v with halves exchanged, and stored so, through two
// 128-bit loads or stores instead of a shuffle (measured on a processor
// whose lane-crossing shuffles share one port with its adds: realft 2^8 ..
// 2^17 1-4% faster with the AVX kernels).  Whatever reads those values
// back does so after the sweep, when the half stores have long left the
// store buffer, so no load waits on forwarding from them.
[[gnu::always_inline]] __attribute__((target("avx"))) inline __m256d swapped_load(const Real* v) {
  return _mm256_set_m128d(_mm_loadu_pd(v), _mm_loadu_pd(v + 2));
}
[[gnu::always_inline]] __attribute__((target("avx"))) inline void swapped_store(Real* v,
                                                                                __m256d x) {
  _mm_storeu_pd(v + 2, _mm256_castpd256_pd128(x));
  _mm_storeu_pd(v, _mm256_extractf128_pd(x, 1));
}

// The four values at v .. v+3 as parts, in lanes 0, 2 | 1, 3 (forward) or
// in lanes 3, 1 | 2, 0 (mirrored).
[[gnu::always_inline]] __attribute__((target("avx"))) inline Parts forward_parts(const Real* v) {
  return parts(_mm256_loadu_pd(v), _mm256_loadu_pd(v + 4));
}
[[gnu::always_inline]] __attribute__((target("avx"))) inline Parts mirrored_parts(const Real* v) {
  return parts(swapped_load(v + 4), swapped_load(v));
}

// The inverses: parts in those lanes stored back as four values at v.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
store_forward(Real* v, Parts x) {
  _mm256_storeu_pd(v, _mm256_unpacklo_pd(x.re, x.im));
  _mm256_storeu_pd(v + 4, _mm256_unpackhi_pd(x.re, x.im));
}
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
store_mirrored(Real* v, Parts x) {
  swapped_store(v + 4, _mm256_unpacklo_pd(x.re, x.im));
  swapped_store(v, _mm256_unpackhi_pd(x.re, x.im));
}

// Parts in lanes 0, 2 | 1, 3 put in lanes 3, 1 | 2, 0.
[[gnu::always_inline]] __attribute__((target("avx"))) inline Parts reversed(Parts x) {
  return {_mm256_permute_pd(halves_swapped(x.re), 0x5),
          _mm256_permute_pd(halves_swapped(x.im), 0x5)};
}

// fft::butterfly of four values a, b with factors w, all as parts: a + t
// in a and a - t in b.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
butterflies(Parts& a, Parts& b, Parts w) {
  const __m256d t_re = _mm256_sub_pd(_mm256_mul_pd(b.re, w.re), _mm256_mul_pd(b.im, w.im));
  const __m256d t_im = _mm256_add_pd(_mm256_mul_pd(b.im, w.re), _mm256_mul_pd(b.re, w.im));
  b = {_mm256_sub_pd(a.re, t_re), _mm256_sub_pd(a.im, t_im)};
  a = {_mm256_add_pd(a.re, t_re), _mm256_add_pd(a.im, t_im)};
}

// Two passes over four runs as parts: butterflies (v0, v1) and (v2, v3)
// with fa, then (v0, v2) with f0 and (v1, v3) with f1.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
pair_parts(Parts& v0, Parts& v1, Parts& v2, Parts& v3, Parts fa, Parts f0, Parts f1) {
  butterflies(v0, v1, fa);
  butterflies(v2, v3, fa);
  butterflies(v0, v2, f0);
  butterflies(v1, v3, f1);
}

// fft::split of four values Z_k in b with their partners Z_n-k in a and
// the factors w, all as parts, lane by lane: each lane does fft::split's
// operations in its order.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
split_parts(Parts& b, Parts& a, Parts w, __m256d fv) {
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d u_re = _mm256_mul_pd(_mm256_add_pd(b.re, a.re), half);
  const __m256d u_im = _mm256_mul_pd(_mm256_sub_pd(b.im, a.im), half);
  const __m256d v_re =
      _mm256_xor_pd(_mm256_mul_pd(_mm256_add_pd(b.im, a.im), fv), _mm256_set1_pd(-0.0));
  const __m256d v_im = _mm256_mul_pd(_mm256_sub_pd(b.re, a.re), fv);
  const __m256d wr_vr = _mm256_mul_pd(w.re, v_re);
  const __m256d wi_vi = _mm256_mul_pd(w.im, v_im);
  const __m256d vi_wr = _mm256_mul_pd(v_im, w.re);
  const __m256d vr_wi = _mm256_mul_pd(v_re, w.im);
  b = {_mm256_sub_pd(_mm256_add_pd(wr_vr, u_re), wi_vi),
       _mm256_add_pd(_mm256_add_pd(u_im, vi_wr), vr_wi)};
  a = {_mm256_add_pd(_mm256_sub_pd(u_re, wr_vr), wi_vi),
       _mm256_add_pd(vr_wi, _mm256_sub_pd(vi_wr, u_im))};
}

} // namespace tamsel::x86
