// SPDX-License-Identifier: BSD-3-Clause
// AVX-512 kernels of realft's recombination and correl's products, four
// complex values per vector.  A butterfly does the operations of
// fft::butterfly with the same operands:
//   t_re = b_re*w_re + b_im*(-w_im),  t_im = b_im*w_re + b_re*w_im,
// then a - t and a + t.  AVX-512 has no add-subtract instruction, so
// b_im*w_im is formed as the product with -w_im, exactly its negative, and
// added: x + (-y) is x - y to the last bit, and a NaN operand passes
// through either form unchanged.  w is finite here, so no NaN sign can
// differ.  Every function of this unit carries the "avx512f" target
// attribute.  AVX-512F has fused multiply-adds of its own, which GCC's
// vectoriser forms from a complex product's scalar loop even without
// contraction: the values left at the ends go through explicit 128-bit
// vector operations, the AVX kernels (called) or the steps of one value,
// and the test numeric.no_fused_multiply_add checks that the library holds
// no fused multiply-add.
#include "x86/simd.h"

#include <immintrin.h>

#include "steps.h"

namespace tamsel::x86 {

#define TAMSEL_AVX512 __attribute__((target("avx512f")))

namespace {

// The factors w_k .. w_k+3, stored as (re, im) pairs at w, ready for the
// lanes: re = (w_re, w_re) and im = (-w_im, w_im) for each.
struct Factors {
  __m512d re;
  __m512d im;
};

[[gnu::always_inline]] TAMSEL_AVX512 inline Factors lanes_of(__m512d wv) {
  const __m512i sign = _mm512_set_epi64(0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN);
  const __m512d im = _mm512_shuffle_pd(wv, wv, 0xFF);
  return Factors{_mm512_shuffle_pd(wv, wv, 0x00),
               _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(im), sign))};
}
[[gnu::always_inline]] TAMSEL_AVX512 inline Factors lanes(const Real* w) {
  return lanes_of(_mm512_loadu_pd(w));
}

// t of four butterflies, b0..b3 in bv.
[[gnu::always_inline]] TAMSEL_AVX512 inline __m512d twiddled512(__m512d bv, const Factors& w) {
  const __m512d bs = _mm512_shuffle_pd(bv, bv, 0x55); // b_im, b_re of each
  return _mm512_add_pd(_mm512_mul_pd(bv, w.re), _mm512_mul_pd(bs, w.im));
}

// Four vectors of values, or of rows.
struct Quad {
  __m512d v0, v1, v2, v3;
};

// Two passes over four vectors, lane by lane: butterflies (v0, v1) and (v2,
// v3) with fa, then (v0, v2) with f0 and (v1, v3) with f1.
[[gnu::always_inline]] TAMSEL_AVX512 inline Quad pair512(__m512d v0, __m512d v1, __m512d v2,
                                                        __m512d v3, const Factors& fa,
                                                        const Factors& f0, const Factors& f1) {
  const __m512d t1 = twiddled512(v1, fa);
  const __m512d t3 = twiddled512(v3, fa);
  const __m512d a0 = _mm512_add_pd(v0, t1);
  const __m512d a1 = _mm512_sub_pd(v0, t1);
  const __m512d a2 = _mm512_add_pd(v2, t3);
  const __m512d a3 = _mm512_sub_pd(v2, t3);
  const __m512d t2 = twiddled512(a2, f0);
  const __m512d u3 = twiddled512(a3, f1);
  return {_mm512_add_pd(a0, t2), _mm512_add_pd(a1, u3), _mm512_sub_pd(a0, t2),
          _mm512_sub_pd(a1, u3)};
}

// The four vectors at at + r * span, r = 0..3.
[[gnu::always_inline]] TAMSEL_AVX512 inline Quad load_rows(const Real* at, Integer span) {
  return {_mm512_loadu_pd(at), _mm512_loadu_pd(at + span), _mm512_loadu_pd(at + 2 * span),
          _mm512_loadu_pd(at + 3 * span)};
}

} // namespace

// ---- realft's recombination and correl's products.

namespace {

// The four complex values of x in reverse order (the all-lanes mask form,
// which names every input).
[[gnu::always_inline]] TAMSEL_AVX512 inline __m512d reversed(__m512d x) {
  return _mm512_mask_shuffle_f64x2(x, 0xFF, x, x, 0x1B);
}

[[gnu::always_inline]] TAMSEL_AVX512 inline __m512d negate_even(__m512d x) {
  const __m512i sign = _mm512_set_epi64(0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN);
  return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(x), sign));
}

// fft::split of k .. k+3 at once: Z_k .. Z_k+3 in bv, Z_n-k-3 .. Z_n-k as
// stored in a_stored, the factors w_k .. w_k+3 at w.  new b's subtraction
// is the addition of the product with -w_im, exactly its negative (w is
// finite).
struct Split {
  __m512d b; // the new Z_k .. Z_k+3
  __m512d a; // the new Z_n-k-3 .. Z_n-k, in stored order
};

[[gnu::always_inline]] TAMSEL_AVX512 inline Split split_four(__m512d bv, __m512d a_stored,
                                                             const Real* w, __m512d fv) {
  const __m512d half = _mm512_set1_pd(0.5);
  const __m512d av = reversed(a_stored); // Z_n-k .. Z_n-k-3
  const __m512d sum = _mm512_add_pd(bv, av);
  const __m512d diff = _mm512_sub_pd(bv, av);
  const __m512d u = _mm512_mul_pd(_mm512_mask_blend_pd(0x55, diff, sum), half);
  const __m512d v = negate_even(_mm512_mul_pd(_mm512_shuffle_pd(sum, diff, 0x55), fv));
  const __m512d vs = _mm512_shuffle_pd(v, v, 0x55);
  const __m512d wv = _mm512_loadu_pd(w);
  const __m512d w_im = _mm512_shuffle_pd(wv, wv, 0xFF);
  const __m512d x = _mm512_mul_pd(v, _mm512_shuffle_pd(wv, wv, 0x00));
  const __m512d y = _mm512_mul_pd(vs, w_im);              // v_im*w_im, v_re*w_im
  const __m512d y_b = _mm512_mul_pd(vs, negate_even(w_im)); // v_im*(-w_im), v_re*w_im
  const __m512d new_b = _mm512_add_pd(_mm512_add_pd(x, u), y_b);
  const __m512d r =
      _mm512_sub_pd(_mm512_mask_blend_pd(0x55, x, u), _mm512_mask_blend_pd(0x55, u, x));
  return {new_b, reversed(_mm512_add_pd(r, y))};
}

// fft::split of eight values at once, taken apart into their real and
// imaginary parts: Z_k .. Z_k+3 in front, with their partners Z_n-k-3 ..
// Z_n-k as stored in front_partners and the factors w_k .. w_k+3 at
// w_front; Z_j .. Z_j+3 in back, with Z_n-j-3 .. Z_n-j in back_partners
// and w_j .. w_j+3 at w_back.  Each lane does fft::split's operations in
// its order, without a shuffle between them.
struct SplitEight {
  __m512d front;
  __m512d back;
  __m512d front_partners;
  __m512d back_partners;
};

[[gnu::always_inline]] TAMSEL_AVX512 inline SplitEight
split_eight(__m512d front, __m512d back, __m512d front_partners, __m512d back_partners,
            const Real* w_front, const Real* w_back, __m512d fv) {
  const __m512i re = _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14);
  const __m512i im = _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15);
  // Lane i of the partners is the partner of lane i of the values.
  const __m512i re_mirrored = _mm512_setr_epi64(6, 4, 2, 0, 14, 12, 10, 8);
  const __m512i im_mirrored = _mm512_setr_epi64(7, 5, 3, 1, 15, 13, 11, 9);
  const __m512d b_re = _mm512_permutex2var_pd(front, re, back);
  const __m512d b_im = _mm512_permutex2var_pd(front, im, back);
  const __m512d a_re = _mm512_permutex2var_pd(front_partners, re_mirrored, back_partners);
  const __m512d a_im = _mm512_permutex2var_pd(front_partners, im_mirrored, back_partners);
  const __m512d wf = _mm512_loadu_pd(w_front);
  const __m512d wb = _mm512_loadu_pd(w_back);
  const __m512d w_re = _mm512_permutex2var_pd(wf, re, wb);
  const __m512d w_im = _mm512_permutex2var_pd(wf, im, wb);
  const __m512d half = _mm512_set1_pd(0.5);
  const __m512d u_re = _mm512_mul_pd(_mm512_add_pd(b_re, a_re), half);
  const __m512d u_im = _mm512_mul_pd(_mm512_sub_pd(b_im, a_im), half);
  const __m512i sign = _mm512_set1_epi64(INT64_MIN);
  const __m512d v_re = _mm512_castsi512_pd(_mm512_xor_si512(
      _mm512_castpd_si512(_mm512_mul_pd(_mm512_add_pd(b_im, a_im), fv)), sign));
  const __m512d v_im = _mm512_mul_pd(_mm512_sub_pd(b_re, a_re), fv);
  const __m512d wr_vr = _mm512_mul_pd(w_re, v_re);
  const __m512d wi_vi = _mm512_mul_pd(w_im, v_im);
  const __m512d vi_wr = _mm512_mul_pd(v_im, w_re);
  const __m512d vr_wi = _mm512_mul_pd(v_re, w_im);
  const __m512d nb_re = _mm512_sub_pd(_mm512_add_pd(wr_vr, u_re), wi_vi);
  const __m512d nb_im = _mm512_add_pd(_mm512_add_pd(u_im, vi_wr), vr_wi);
  const __m512d na_im = _mm512_add_pd(vr_wi, _mm512_sub_pd(vi_wr, u_im));
  const __m512d na_re = _mm512_add_pd(_mm512_sub_pd(u_re, wr_vr), wi_vi);
  return {_mm512_permutex2var_pd(nb_re, _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11), nb_im),
          _mm512_permutex2var_pd(nb_re, _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15), nb_im),
          _mm512_permutex2var_pd(na_re, _mm512_setr_epi64(3, 11, 2, 10, 1, 9, 0, 8), na_im),
          _mm512_permutex2var_pd(na_re, _mm512_setr_epi64(7, 15, 6, 14, 5, 13, 4, 12), na_im)};
}

// The last complex value of x, then the first three of y (the all-lanes
// mask form).
[[gnu::always_inline]] TAMSEL_AVX512 inline __m512d across(__m512d x, __m512d y) {
  const __m512i yi = _mm512_castpd_si512(y);
  return _mm512_castsi512_pd(_mm512_mask_alignr_epi64(yi, 0xFF, yi, _mm512_castpd_si512(x), 6));
}

} // namespace

// fft::split of k .. k+7 at once while those values and their partners
// are sixteen apart (eight splits that touch no value in common), in the
// order of k; the rest through the AVX kernel.
TAMSEL_AVX512 void split_avx512(Real* data, Integer count, const Real* w, Integer first,
                                Integer end, Real f) {
  const __m512d fv = _mm512_set1_pd(f);
  Integer k = first;
  for (; k + 8 <= end && k + 7 < count - k - 7; k += 8) {
    Real* front = data + 2 * k;                      // Z_k .. Z_k+3
    Real* back = front + 8;                          // Z_k+4 .. Z_k+7
    Real* front_partners = data + 2 * (count - k - 3); // Z_n-k-3 .. Z_n-k
    Real* back_partners = front_partners - 8;        // Z_n-k-7 .. Z_n-k-4
    const Real* wk = w + 2 * (k - first);
    const SplitEight s =
        split_eight(_mm512_loadu_pd(front), _mm512_loadu_pd(back), _mm512_loadu_pd(front_partners),
                    _mm512_loadu_pd(back_partners), wk, wk + 8, fv);
    _mm512_storeu_pd(front, s.front);
    _mm512_storeu_pd(back, s.back);
    _mm512_storeu_pd(front_partners, s.front_partners);
    _mm512_storeu_pd(back_partners, s.back_partners);
  }
  split_avx(data, count, w + 2 * (k - first), k, end, f);
}

// As pass_split_avx, four values of k at a time: with h = count/2,
// butterflies j = k .. k+3 and j = h-k-3 .. h-k give the values of the
// splits of those j, for k = 1, 5, .. while the two runs are apart; then
// butterfly 0 and the butterflies and splits between the runs.
namespace {

// pass_split_avx512 on the values at in, stored at out (out may be in).
[[gnu::always_inline]] TAMSEL_AVX512 inline void
pass_split512(const Real* in, Real* out, Integer count, const Real* wl, const Real* ws, Real f) {
  const __m512d fv = _mm512_set1_pd(f);
  const Integer h = count / 2;
  Integer k = 1;
  for (; k + 3 < h - k - 3; k += 4) {
    const Integer p = 2 * k;           // Z_k .. Z_k+3
    const Integer p_far = p + 2 * h;   // Z_k+h .. Z_k+h+3
    const Integer q = 2 * (h - k - 3); // Z_h-k-3 .. Z_h-k
    const Integer q_far = q + 2 * h;   // Z_n-k-3 .. Z_n-k
    const __m512d pa = _mm512_loadu_pd(in + p);
    const __m512d qa = _mm512_loadu_pd(in + q);
    const __m512d tp = twiddled512(_mm512_loadu_pd(in + p_far), lanes(wl + 2 * k));
    const __m512d tq = twiddled512(_mm512_loadu_pd(in + q_far), lanes(wl + 2 * (h - k - 3)));
    const __m512d p_new = _mm512_add_pd(pa, tp);
    const __m512d p_far_new = _mm512_sub_pd(pa, tp);
    const __m512d q_new = _mm512_add_pd(qa, tq);
    const __m512d q_far_new = _mm512_sub_pd(qa, tq);
    const SplitEight s =
        split_eight(p_new, q_new, q_far_new, p_far_new, ws + 2 * k, ws + 2 * (h - k - 3), fv);
    _mm512_storeu_pd(out + p, s.front);
    _mm512_storeu_pd(out + q_far, s.front_partners);
    _mm512_storeu_pd(out + q, s.back);
    _mm512_storeu_pd(out + p_far, s.back_partners);
  }
  // Here k = h/2 - 3.  Left: butterfly 0, and butterflies and splits k ..
  // h/2 + 3, done as four values from k and three from h/2 + 1: a lane
  // beyond them is loaded masked (it may lie past the array or its
  // factors) and never stored.
  constexpr __mmask8 kThree = 0x3F; // the first three values of a vector
  const Integer p = 2 * k;          // Z_h/2-3 .. Z_h/2
  const Integer q = p + 8;          // Z_h/2+1 .. Z_h/2+3
  const Integer p_far_at = p + 2 * h; // Z_3h/2-3 .. Z_3h/2
  const __m512d pa = _mm512_loadu_pd(in + p);
  const __m512d qa = _mm512_maskz_loadu_pd(kThree, in + q);
  const __m512d tp = twiddled512(_mm512_loadu_pd(in + p_far_at), lanes(wl + 2 * k));
  const __m512d tq = twiddled512(_mm512_maskz_loadu_pd(kThree, in + q + 2 * h),
                                 lanes_of(_mm512_maskz_loadu_pd(kThree, wl + 2 * k + 8)));
  const __m512d p_far = _mm512_sub_pd(pa, tp); // Z_3h/2-3 .. Z_3h/2
  const __m512d q_far = _mm512_sub_pd(qa, tq); // Z_3h/2+1 .. Z_3h/2+3
  // The partners of h/2-3 .. h/2 are Z_3h/2+3 .. Z_3h/2 (p_far's last value
  // and q_far's three), those of h/2+1 .. h/2+3 Z_3h/2-1 .. Z_3h/2-3
  // (p_far's first three, after a lane not stored).
  const Split sp = split_four(_mm512_add_pd(pa, tp), across(p_far, q_far), ws + 2 * k, fv);
  const Split sq = split_four(_mm512_add_pd(qa, tq), across(p_far, p_far), ws + 2 * k + 8, fv);
  _mm512_storeu_pd(out + p, sp.b);
  _mm512_storeu_pd(out + p_far_at + 6, sp.a);            // Z_3h/2 .. Z_3h/2+3
  _mm512_mask_storeu_pd(out + q, kThree, sq.b);
  _mm512_mask_storeu_pd(out + p_far_at - 2, 0xFC, sq.a); // Z_3h/2-3 .. Z_3h/2-1
  // Butterfly 0, in 128-bit vectors: the caller reads both values back
  // at once, and a load is served from a plain store still in flight, not
  // from a masked one.
  butterfly_sse2(in, in + 2 * h, out, out + 2 * h, _mm_set1_pd(wl[0]), minus_plus(wl[1]));
}

// The pass pair of four values of j: the values at at + r * span, r = 0..3,
// through the pass of half-span span/2 with the factors at wa and that of
// half-span span with those at wb and wb + span.
[[gnu::always_inline]] TAMSEL_AVX512 inline Quad pair_from(const Real* at, Integer span,
                                                          const Real* wa, const Real* wb) {
  const Quad v = load_rows(at, span);
  return pair512(v.v0, v.v1, v.v2, v.v3, lanes(wa), lanes(wb), lanes(wb + span));
}

} // namespace

// The passes of half-spans q = count/4 (factors wa) and 2q (factors wl)
// and the splits.  With Z_j, Z_j+q, Z_j+2q, Z_j+3q the values of pass pair
// j, the splits pair them with those of pass pair q - j, in its slots 3, 2,
// 1 and 0: runs j .. j+3 go with the mirrored runs q-j-3 .. q-j, for j = 1,
// 5, .. while the two are apart; then pass_pair_split_rest.
TAMSEL_AVX512 void pass_pair_split_avx512(Real* data, Integer count, const Real* wa,
                                          const Real* wl, const Real* ws, Real f) {
  if (count < 32) return pass_pair_split_avx(data, count, wa, wl, ws, f);
  const __m512d fv = _mm512_set1_pd(f);
  const Integer q = count / 4;
  const Integer span = 2 * q; // Reals from Z_j to Z_j+q
  Integer j = 1;
  for (; j + 3 < q - j - 3; j += 4) {
    const Integer m = q - j - 3; // the mirrored run
    Real* const vj = data + 2 * j;
    Real* const xm = data + 2 * m;
    const Quad v = pair_from(vj, span, wa + 2 * j, wl + 2 * j);
    const Quad x = pair_from(xm, span, wa + 2 * m, wl + 2 * m);
    const SplitEight s = split_eight(v.v0, v.v1, x.v3, x.v2, ws + 2 * j, ws + 2 * j + span, fv);
    const SplitEight t = split_eight(x.v1, x.v0, v.v2, v.v3, ws + 2 * m + span, ws + 2 * m, fv);
    _mm512_storeu_pd(vj, s.front);
    _mm512_storeu_pd(vj + span, s.back);
    _mm512_storeu_pd(xm + 3 * span, s.front_partners);
    _mm512_storeu_pd(xm + 2 * span, s.back_partners);
    _mm512_storeu_pd(xm + span, t.front);
    _mm512_storeu_pd(xm, t.back);
    _mm512_storeu_pd(vj + 2 * span, t.front_partners);
    _mm512_storeu_pd(vj + 3 * span, t.back_partners);
  }
  pass_pair_split_rest(data, count, wa, wl, ws, f);
}

TAMSEL_AVX512 void pass_split_avx512(Real* data, Integer count, const Real* wl, const Real* ws,
                                     Real f) {
  pass_split512(data, data, count, wl, ws, f);
}

TAMSEL_AVX512 void pass_split_to_avx512(const Real* in, Real* out, Integer count, const Real* wl,
                                        const Real* ws, Real f) {
  pass_split512(in, out, count, wl, ws, f);
}

namespace {

// fft::separate's sums for k .. k+3, before their halves: Z_k .. Z_k+3 at
// spectrum + b and Z_n-k-3 .. Z_n-k at spectrum + a give, for each k,
// u = (b_re + a_re, b_im - a_im) and v = (b_im + a_im, b_re - a_re).
struct Sums {
  __m512d u;
  __m512d v;
};

[[gnu::always_inline]] TAMSEL_AVX512 inline Sums separation_sums(const Real* spectrum,
                                                                 Integer b, Integer a) {
  const __m512d bv = _mm512_loadu_pd(spectrum + b);
  const __m512d av = reversed(_mm512_loadu_pd(spectrum + a));
  const __m512d sum = _mm512_add_pd(bv, av);
  const __m512d diff = _mm512_sub_pd(bv, av);
  return {_mm512_mask_blend_pd(0x55, diff, sum), _mm512_shuffle_pd(sum, diff, 0x55)};
}

// fft::cross_product of four values before the scaling: f and g give
// (f_re*g_re + f_im*g_im, f_im*g_re - f_re*g_im) for each.
[[gnu::always_inline]] TAMSEL_AVX512 inline __m512d cross_products(__m512d fv, __m512d gv) {
  const __m512d x = _mm512_mul_pd(fv, _mm512_shuffle_pd(gv, gv, 0x00)); // f_re*g_re, ..
  const __m512d y = _mm512_mul_pd(_mm512_shuffle_pd(fv, fv, 0x55),
                                  _mm512_shuffle_pd(gv, gv, 0xFF)); // f_im*g_im, ..
  return _mm512_mask_blend_pd(0xAA, _mm512_add_pd(x, y), _mm512_sub_pd(x, y));
}

} // namespace

// fft::separate of k .. k+3 at once while k + 3 < n/2, the same products
// per value; the rest one by one.
TAMSEL_AVX512 void separate_avx512(Real* spectrum1, Real* spectrum2, Integer count) {
  const __m512d plus = _mm512_set1_pd(0.5);
  const __m512d minus = _mm512_setr_pd(0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5);
  Integer k = 1;
  for (; k + 3 < count / 2; k += 4) {
    const Integer b = 2 * k;               // Z_k .. Z_k+3
    const Integer a = 2 * (count - k - 3); // Z_n-k-3 .. Z_n-k
    const Sums s = separation_sums(spectrum1, b, a);
    _mm512_storeu_pd(spectrum1 + b, _mm512_mul_pd(plus, s.u));
    _mm512_storeu_pd(spectrum2 + b, _mm512_mul_pd(minus, s.v));
    _mm512_storeu_pd(spectrum1 + a, reversed(_mm512_mul_pd(minus, s.u)));
    _mm512_storeu_pd(spectrum2 + a, reversed(_mm512_mul_pd(plus, s.v)));
  }
  for (; k <= count / 2; ++k) fft::separate(spectrum1, spectrum2, 2 * k, 2 * (count - k));
}

// separate_avx512's values of F_k and G_k, k .. k+3 at once while k + 3 <
// n/2, go straight into their products C_k; G_n-k is stored and F_n-k is
// not.  The rest one by one, and C_0 last: its values were stored just
// before the call, a Real at a time.
TAMSEL_AVX512 void separate_products_avx512(Real* spectrum1, Real* spectrum2, Integer count,
                                            Real reciprocal) {
  const __m512d plus = _mm512_set1_pd(0.5);
  const __m512d minus = _mm512_setr_pd(0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5);
  const __m512d scale = _mm512_set1_pd(reciprocal);
  Integer k = 1;
  for (; k + 3 < count / 2; k += 4) {
    const Integer b = 2 * k;               // Z_k .. Z_k+3
    const Integer a = 2 * (count - k - 3); // Z_n-k-3 .. Z_n-k
    const Sums s = separation_sums(spectrum1, b, a);
    _mm512_storeu_pd(spectrum2 + a, reversed(_mm512_mul_pd(plus, s.v)));
    const __m512d prod = cross_products(_mm512_mul_pd(plus, s.u), _mm512_mul_pd(minus, s.v));
    _mm512_storeu_pd(spectrum2 + b, _mm512_mul_pd(prod, scale));
  }
  separate_products_from(spectrum1, spectrum2, count, k, reciprocal);
}

#undef TAMSEL_AVX512

} // namespace tamsel::x86
