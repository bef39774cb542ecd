// SPDX-License-Identifier: BSD-3-Clause
// SSE2 and AVX kernels of realft's recombination, twofft's separation and
// correl's products: the operations of fft::split, fft::separate and
// fft::cross_product on (re, im) pairs, one value per SSE2 vector and two
// per AVX vector.  realft's AVX recombination and correl's AVX separation
// with its products take four values at a time apart into a vector of
// their real parts and one of their imaginary parts, where no operation
// needs a shuffle (x86/parts.h).
#include "x86/simd.h"

#include <immintrin.h>

#include "steps.h"
#include "x86/parts.h"
#include "x86/passes.h"

namespace tamsel::x86 {

namespace {

// fft::split on (re, im) pairs.  w_im*v_im is subtracted as the product
// with -w_im, exactly its negative (w is finite).
[[gnu::always_inline]] inline void split_one(Real* b, Real* a, Real w_re, Real w_im, Real f) {
  const __m128d bv = _mm_loadu_pd(b);
  const __m128d av = _mm_loadu_pd(a);
  const __m128d sum = _mm_add_pd(bv, av);  // b_re + a_re, b_im + a_im
  const __m128d diff = _mm_sub_pd(bv, av); // b_re - a_re, b_im - a_im
  const __m128d u = _mm_mul_pd(_mm_move_sd(diff, sum), _mm_set1_pd(0.5));
  const __m128d v = _mm_xor_pd(_mm_mul_pd(_mm_shuffle_pd(sum, diff, 1), _mm_set1_pd(f)),
                               _mm_set_pd(0.0, -0.0)); // -(sum_im * f), diff_re * f
  const __m128d vs = _mm_shuffle_pd(v, v, 1);          // v_im, v_re
  const __m128d x = _mm_mul_pd(v, _mm_set1_pd(w_re));  // v_re*w_re, v_im*w_re
  const __m128d new_b = _mm_add_pd(_mm_add_pd(x, u), _mm_mul_pd(vs, _mm_set_pd(w_im, -w_im)));
  const __m128d r = _mm_sub_pd(_mm_move_sd(x, u), _mm_move_sd(u, x));
  const __m128d new_a = _mm_add_pd(r, _mm_mul_pd(vs, _mm_set1_pd(w_im)));
  _mm_storeu_pd(b, new_b);
  _mm_storeu_pd(a, new_a);
}

// fft::separate of the values at offsets b and a.
[[gnu::always_inline]] inline void separate_one(Real* spectrum1, Real* spectrum2, Integer b,
                                               Integer a) {
  const auto [f, g] = separation_sums_one(spectrum1 + b, spectrum1 + a);
  const __m128d plus = _mm_set1_pd(0.5);
  const __m128d minus = _mm_set_pd(-0.5, 0.5);
  _mm_storeu_pd(spectrum1 + b, _mm_mul_pd(plus, f));
  _mm_storeu_pd(spectrum2 + b, _mm_mul_pd(minus, g));
  _mm_storeu_pd(spectrum1 + a, _mm_mul_pd(minus, f));
  _mm_storeu_pd(spectrum2 + a, _mm_mul_pd(plus, g));
}

} // namespace

void split_sse2(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f) {
  for (Integer k = first; k < end; ++k) {
    const Real* wk = w + 2 * (k - first);
    split_one(data + 2 * k, data + 2 * (count - k), wk[0], wk[1], f);
  }
}

void pass_split_sse2(Real* data, Integer count, const Real* wl, const Real* ws, Real f) {
  pass<2>(data, count, count / 2, wl, 0, count / 2);
  split_sse2(data, count, ws + 2, 1, count / 2, f);
}

void pass_pair_split_sse2(Real* data, Integer count, const Real* wa, const Real* wl,
                          const Real* ws, Real f) {
  pass<2>(data, count, count / 4, wa, 0, count / 4);
  pass_split_sse2(data, count, wl, ws, f);
}

namespace {

// fft::split of k and k + 1 at once: Z_k, Z_k+1 in bv, Z_n-k-1, Z_n-k as
// stored in a_stored, the factors w_k, w_k+1 in wv; the new values stored
// at b and a.  The add-subtract instruction gives the subtraction and the
// addition of new b.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
split_two(__m256d bv, __m256d a_stored, __m256d wv, __m256d fv, Real* b, Real* a) {
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d negate_re = _mm256_setr_pd(-0.0, 0.0, -0.0, 0.0);
  const __m256d av = _mm256_permute2f128_pd(a_stored, a_stored, 0x01); // Z_n-k, Z_n-k-1
  const __m256d sum = _mm256_add_pd(bv, av);
  const __m256d diff = _mm256_sub_pd(bv, av);
  const __m256d u = _mm256_mul_pd(_mm256_blend_pd(diff, sum, 0x5), half);
  const __m256d v =
      _mm256_xor_pd(_mm256_mul_pd(_mm256_shuffle_pd(sum, diff, 0x5), fv), negate_re);
  const __m256d vs = _mm256_permute_pd(v, 0x5);
  const __m256d w_re = _mm256_movedup_pd(wv);
  const __m256d w_im = _mm256_permute_pd(wv, 0xF);
  const __m256d x = _mm256_mul_pd(v, w_re);
  const __m256d y = _mm256_mul_pd(vs, w_im); // v_im*w_im, v_re*w_im
  const __m256d new_b = _mm256_addsub_pd(_mm256_add_pd(x, u), y);
  const __m256d r = _mm256_sub_pd(_mm256_blend_pd(x, u, 0x5), _mm256_blend_pd(u, x, 0x5));
  const __m256d new_a = _mm256_add_pd(r, y);
  _mm256_storeu_pd(b, new_b);
  _mm256_storeu_pd(a, _mm256_permute2f128_pd(new_a, new_a, 0x01));
}

} // namespace


// k .. k+3 at once, as parts (the partners mirrored), then k and k + 1.
__attribute__((target("avx"))) void split_avx(Real* data, Integer count, const Real* w,
                                              Integer first, Integer end, Real f) {
  const __m256d fv = _mm256_set1_pd(f);
  Integer k = first;
  for (; k + 3 < end; k += 4) {
    Real* b = data + 2 * k;               // Z_k .. Z_k+3
    Real* a = data + 2 * (count - k - 3); // Z_n-k-3 .. Z_n-k
    Parts bp = forward_parts(b);
    Parts ap = mirrored_parts(a);
    split_parts(bp, ap, forward_parts(w + 2 * (k - first)), fv);
    store_forward(b, bp);
    store_mirrored(a, ap);
  }
  for (; k + 1 < end; k += 2) {
    Real* b = data + 2 * k;               // Z_k, Z_k+1
    Real* a = data + 2 * (count - k - 1); // Z_n-k-1, Z_n-k
    split_two(_mm256_loadu_pd(b), _mm256_loadu_pd(a), _mm256_loadu_pd(w + 2 * (k - first)), fv,
              b, a);
  }
  for (; k < end; ++k) {
    const Real* wk = w + 2 * (k - first);
    split_one(data + 2 * k, data + 2 * (count - k), wk[0], wk[1], f);
  }
}

// With h = count/2: butterflies j = k .. k+3 (values Z_k.., Z_k+h..) and
// j = h-k-3 .. h-k (values Z_h-k-3.., Z_n-k-3..) give the values of the
// splits of k .. k+3 (partners Z_n-k-3 .. Z_n-k) and of h-k-3 .. h-k
// (partners Z_h+k .. Z_h+k+3), for k = 1, 5, .. while the two runs are
// apart, taken apart into real and imaginary parts with the second run
// mirrored, so that lane i of a run's values meets lane i of its
// partners; then the butterflies and splits between the runs, and
// butterfly 0.
__attribute__((target("avx"))) void pass_split_avx(Real* data, Integer count, const Real* wl,
                                                   const Real* ws, Real f) {
  const __m256d fv = _mm256_set1_pd(f);
  const Integer h = count / 2;
  Integer k = 1;
  for (; k + 3 < h - k - 3; k += 4) {
    Real* p = data + 2 * k;           // Z_k .. Z_k+3
    Real* p_far = p + 2 * h;          // Z_k+h .. Z_k+h+3
    Real* q = data + 2 * (h - k - 3); // Z_h-k-3 .. Z_h-k
    Real* q_far = q + 2 * h;          // Z_n-k-3 .. Z_n-k
    Parts pa = forward_parts(p);
    Parts pb = forward_parts(p_far);
    Parts qa = mirrored_parts(q);
    Parts qb = mirrored_parts(q_far);
    butterflies(pa, pb, forward_parts(wl + 2 * k));
    butterflies(qa, qb, mirrored_parts(wl + 2 * (h - k - 3)));
    split_parts(pa, qb, forward_parts(ws + 2 * k), fv);
    split_parts(qa, pb, mirrored_parts(ws + 2 * (h - k - 3)), fv);
    store_forward(p, pa);
    store_mirrored(q_far, qb);
    store_mirrored(q, qa);
    store_forward(p_far, pb);
  }
  // Here k = h/2 - 3.  Left: butterfly 0, and butterflies and splits k ..
  // h/2 + 3, done as two runs of four, x from k and y from h/2, that share
  // h/2 (its butterfly and split done in both, alike, and stored twice):
  // value k + i of x has its partner among the far values of y, in lane
  // 3 - i, and h/2 + i of y among those of x.
  Real* x = data + 2 * k;
  Real* y = data + h;
  Parts xa = forward_parts(x);
  Parts xb = forward_parts(x + 2 * h);
  Parts ya = forward_parts(y);
  Parts yb = forward_parts(y + 2 * h);
  butterflies(xa, xb, forward_parts(wl + 2 * k));
  butterflies(ya, yb, forward_parts(wl + h));
  Parts xb_mirrored = reversed(xb);
  Parts yb_mirrored = reversed(yb);
  split_parts(xa, yb_mirrored, forward_parts(ws + 2 * k), fv);
  split_parts(ya, xb_mirrored, forward_parts(ws + h), fv);
  store_forward(x, xa);
  store_mirrored(y + 2 * h, yb_mirrored);
  store_forward(y, ya);
  store_mirrored(x + 2 * h, xb_mirrored);
  fft::butterfly(data, data + 2 * h, wl[0], wl[1]);
}

// The pass pairs of pass_pair_split left between the runs, with j = q/2 -
// 3 and q = count/4: pass pairs 0 and j .. j+6, then their splits.
void pass_pair_split_rest(Real* data, Integer count, const Real* wa, const Real* wl,
                          const Real* ws, Real f) {
  const Integer q = count / 4;
  const Integer span = 2 * q;
  const Integer j = q / 2 - 3;
  pass<2>(data, count, q, wa, 0, 1);
  pass<2>(data, count, q, wa + 2 * j, j, 7);
  pass<2>(data, count, 2 * q, wl, 0, 1);
  pass<2>(data, count, 2 * q, wl + 2 * j, j, 7);
  pass<2>(data, count, 2 * q, wl + span, q, 1);
  pass<2>(data, count, 2 * q, wl + 2 * j + span, j + q, 7);
  split_avx(data, count, ws + 2 * j, j, j + 7, f);
  split_avx(data, count, ws + span, q, q + 1, f);
  split_avx(data, count, ws + 2 * j + span, j + q, j + q + 7, f);
}

// As pass_pair_split_avx512, four values of j at a time as parts: the
// pass pairs of j .. j+3 (forward) and of q-j-3 .. q-j (mirrored), whose
// values meet their partners lane by lane; then pass_pair_split_rest.
__attribute__((target("avx"))) void pass_pair_split_avx(Real* data, Integer count,
                                                        const Real* wa, const Real* wl,
                                                        const Real* ws, Real f) {
  if (count < 32) {
    pass<4>(data, count, count / 4, wa, 0, count / 4);
    return pass_split_avx(data, count, wl, ws, f);
  }
  const __m256d fv = _mm256_set1_pd(f);
  const Integer q = count / 4;
  const Integer span = 2 * q; // Reals from Z_j to Z_j+q
  Integer j = 1;
  for (; j + 3 < q - j - 3; j += 4) {
    const Integer m = q - j - 3; // the mirrored run
    Real* const vj = data + 2 * j;
    Real* const xm = data + 2 * m;
    Parts v0 = forward_parts(vj), v1 = forward_parts(vj + span);
    Parts v2 = forward_parts(vj + 2 * span), v3 = forward_parts(vj + 3 * span);
    pair_parts(v0, v1, v2, v3, forward_parts(wa + 2 * j), forward_parts(wl + 2 * j),
               forward_parts(wl + 2 * j + span));
    Parts x0 = mirrored_parts(xm), x1 = mirrored_parts(xm + span);
    Parts x2 = mirrored_parts(xm + 2 * span), x3 = mirrored_parts(xm + 3 * span);
    pair_parts(x0, x1, x2, x3, mirrored_parts(wa + 2 * m), mirrored_parts(wl + 2 * m),
               mirrored_parts(wl + 2 * m + span));
    split_parts(v0, x3, forward_parts(ws + 2 * j), fv);
    split_parts(v1, x2, forward_parts(ws + 2 * j + span), fv);
    split_parts(x1, v2, mirrored_parts(ws + 2 * m + span), fv);
    split_parts(x0, v3, mirrored_parts(ws + 2 * m), fv);
    store_forward(vj, v0);
    store_forward(vj + span, v1);
    store_forward(vj + 2 * span, v2);
    store_forward(vj + 3 * span, v3);
    store_mirrored(xm, x0);
    store_mirrored(xm + span, x1);
    store_mirrored(xm + 2 * span, x2);
    store_mirrored(xm + 3 * span, x3);
  }
  pass_pair_split_rest(data, count, wa, wl, ws, f);
}


void separate_sse2(Real* spectrum1, Real* spectrum2, Integer count) {
  for (Integer k = 1; k <= count / 2; ++k) {
    separate_one(spectrum1, spectrum2, 2 * k, 2 * (count - k));
  }
}

// k and k + 1 at once while k + 1 < n/2, the same products per value.
__attribute__((target("avx"))) void separate_avx(Real* spectrum1, Real* spectrum2,
                                                 Integer count) {
  const __m256d plus = _mm256_set1_pd(0.5);
  const __m256d minus = _mm256_setr_pd(0.5, -0.5, 0.5, -0.5);
  Integer k = 1;
  for (; k + 1 < count / 2; k += 2) {
    const Integer b = 2 * k;               // Z_k, Z_k+1
    const Integer a = 2 * (count - k - 1); // Z_n-k-1, Z_n-k
    const __m256d bv = _mm256_loadu_pd(spectrum1 + b);
    const __m256d a_stored = _mm256_loadu_pd(spectrum1 + a);
    const __m256d av = _mm256_permute2f128_pd(a_stored, a_stored, 0x01);
    const __m256d sum = _mm256_add_pd(bv, av);
    const __m256d diff = _mm256_sub_pd(bv, av);
    const __m256d f = _mm256_blend_pd(diff, sum, 0x5);   // b_re + a_re, b_im - a_im
    const __m256d g = _mm256_shuffle_pd(sum, diff, 0x5); // b_im + a_im, b_re - a_re
    const __m256d f_a = _mm256_mul_pd(minus, f);
    const __m256d g_a = _mm256_mul_pd(plus, g);
    _mm256_storeu_pd(spectrum1 + b, _mm256_mul_pd(plus, f));
    _mm256_storeu_pd(spectrum2 + b, _mm256_mul_pd(minus, g));
    _mm256_storeu_pd(spectrum1 + a, _mm256_permute2f128_pd(f_a, f_a, 0x01));
    _mm256_storeu_pd(spectrum2 + a, _mm256_permute2f128_pd(g_a, g_a, 0x01));
  }
  for (; k <= count / 2; ++k) separate_one(spectrum1, spectrum2, 2 * k, 2 * (count - k));
}

// separate_avx's values of F_k and G_k, k .. k+3 at once as parts (Z_n-k
// mirrored) while k + 3 < n/2, go straight into their products C_k; G_n-k
// is stored, F_k and F_n-k are not.  The rest one by one, and C_0 last.
__attribute__((target("avx"))) void separate_products_avx(Real* spectrum1, Real* spectrum2,
                                                          Integer count, Real reciprocal) {
  const __m256d plus = _mm256_set1_pd(0.5);
  const __m256d minus = _mm256_set1_pd(-0.5);
  const __m256d scale = _mm256_set1_pd(reciprocal);
  Integer k = 1;
  for (; k + 3 < count / 2; k += 4) {
    const Integer b = 2 * k;               // Z_k .. Z_k+3
    const Integer a = 2 * (count - k - 3); // Z_n-k-3 .. Z_n-k
    const Parts z = forward_parts(spectrum1 + b);
    const Parts partner = mirrored_parts(spectrum1 + a);
    const __m256d g_re = _mm256_mul_pd(plus, _mm256_add_pd(z.im, partner.im));
    const __m256d g_diff = _mm256_sub_pd(z.re, partner.re);
    store_mirrored(spectrum2 + a, {g_re, _mm256_mul_pd(plus, g_diff)});
    const __m256d f_re = _mm256_mul_pd(plus, _mm256_add_pd(z.re, partner.re));
    const __m256d f_im = _mm256_mul_pd(plus, _mm256_sub_pd(z.im, partner.im));
    const __m256d g_im = _mm256_mul_pd(minus, g_diff);
    const __m256d c_re = _mm256_add_pd(_mm256_mul_pd(f_re, g_re), _mm256_mul_pd(f_im, g_im));
    const __m256d c_im = _mm256_sub_pd(_mm256_mul_pd(f_im, g_re), _mm256_mul_pd(f_re, g_im));
    store_forward(spectrum2 + b, {_mm256_mul_pd(c_re, scale), _mm256_mul_pd(c_im, scale)});
  }
  separate_products_from(spectrum1, spectrum2, count, k, reciprocal);
}

void separate_products_sse2(Real* spectrum1, Real* spectrum2, Integer count, Real reciprocal) {
  separate_products_from(spectrum1, spectrum2, count, 1, reciprocal);
}

} // namespace tamsel::x86
