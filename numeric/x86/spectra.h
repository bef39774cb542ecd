// SPDX-License-Identifier: BSD-3-Clause
// realft's recombination (fft::split, alone or after the last pass or two)
// and the separation of twofft and correl (fft::separate, and correl's
// fft::cross_product), written once over W lanes (x86/lanes.h).  W values
// are taken apart into real and imaginary parts (Parts), where butterflies
// and splits need no shuffle; partners n-k are read mirrored, so lane i
// meets lane i.  What W does not cover goes with fewer lanes, single values
// in vectors of two.  Internal to the toolkit; not installed.
#pragma once

#include "x86/lanes.h"
#include "x86/passes.h"

namespace tamsel::x86 {

// W complex values as parts.  Forward's lane i holds value i, but for W = 4
// (0, 2, 1, 3: AVX shuffles within halves); mirrored's lane i the value
// forward's lane i holds, counted from the other end.
template <int W>
struct Parts {
  Vec<W> re;
  Vec<W> im;
};

// Two vectors of W/2 values each as (re, im) pairs, taken apart into parts
// in forward's lane order.
template <int W>
TAMSEL_LANES Parts<W> parts_of(const Vec<W>& x, const Vec<W>& y) {
  if constexpr (W == 2) {
    return {__builtin_shufflevector(x, y, 0, 2), __builtin_shufflevector(x, y, 1, 3)};
  } else if constexpr (W == 4) {
    return {__builtin_shufflevector(x, y, 0, 4, 2, 6), __builtin_shufflevector(x, y, 1, 5, 3, 7)};
  } else {
    return {__builtin_shufflevector(x, y, 0, 2, 4, 6, 8, 10, 12, 14),
            __builtin_shufflevector(x, y, 1, 3, 5, 7, 9, 11, 13, 15)};
  }
}

// The inverse of parts_of: forward's first W/2 values as pairs in low, the
// others in high.  With two and four lanes, parts_of's own shuffles, which
// undo themselves.
template <int W>
struct Pairs {
  Vec<W> low;
  Vec<W> high;
};
template <int W>
TAMSEL_LANES Pairs<W> pairs_of(const Parts<W>& v) {
  if constexpr (W == 8) {
    return {__builtin_shufflevector(v.re, v.im, 0, 8, 1, 9, 2, 10, 3, 11),
            __builtin_shufflevector(v.re, v.im, 4, 12, 5, 13, 6, 14, 7, 15)};
  } else {
    const Parts<W> x = parts_of<W>(v.re, v.im);
    return {x.re, x.im};
  }
}

template <int W>
TAMSEL_LANES Parts<W> forward(const Real* p) {
  return parts_of<W>(load<W>(p), load<W>(p + W));
}

// For W = 4 the halves are read apart into each other's place: shuffles
// across halves share a port with the additions on some processors
// (bench/NOTES.md).
template <int W>
TAMSEL_LANES Parts<W> mirrored(const Real* p) {
  if constexpr (W == 2) {
    const Vec<2> x = load<2>(p), y = load<2>(p + 2);
    return {__builtin_shufflevector(x, y, 2, 0), __builtin_shufflevector(x, y, 3, 1)};
  } else if constexpr (W == 4) {
    const Vec<4> x = load_halves<4>(p + 2, p);
    const Vec<4> y = load_halves<4>(p + 6, p + 4);
    return {__builtin_shufflevector(y, x, 0, 4, 2, 6), __builtin_shufflevector(y, x, 1, 5, 3, 7)};
  } else {
    const Vec<8> x = load<8>(p), y = load<8>(p + 8);
    return {__builtin_shufflevector(x, y, 14, 12, 10, 8, 6, 4, 2, 0),
            __builtin_shufflevector(x, y, 15, 13, 11, 9, 7, 5, 3, 1)};
  }
}

template <int W>
TAMSEL_LANES void store_forward(Real* p, const Parts<W>& v) {
  const Pairs<W> x = pairs_of<W>(v);
  store<W>(p, x.low);
  store<W>(p + W, x.high);
}

// Forward's store with the values counted from the other end: pairs_of's
// two vectors in each other's place, the pairs of each reversed (with
// eight lanes in one shuffle each, which the compiler does not make of
// two).
template <int W>
TAMSEL_LANES void store_mirrored(Real* p, const Parts<W>& v) {
  if constexpr (W == 8) {
    store<8>(p, __builtin_shufflevector(v.re, v.im, 7, 15, 6, 14, 5, 13, 4, 12));
    store<8>(p + 8, __builtin_shufflevector(v.re, v.im, 3, 11, 2, 10, 1, 9, 0, 8));
  } else if constexpr (W == 4) {
    const Pairs<4> x = pairs_of<4>(v);
    store_half<4>(p + 6, x.low, 0);
    store_half<4>(p + 4, x.low, 1);
    store_half<4>(p + 2, x.high, 0);
    store_half<4>(p, x.high, 1);
  } else {
    const Pairs<2> x = pairs_of<2>(v);
    store<2>(p, x.high);
    store<2>(p + 2, x.low);
  }
}

// Forward's lanes of two values put in mirrored's order.
TAMSEL_LANES Parts<2> reversed(const Parts<2>& v) { return {swapped<2>(v.re), swapped<2>(v.im)}; }

// fft::butterfly of W values as parts: a + t in a, a - t in b.
template <int W>
TAMSEL_LANES void butterflies_of(Parts<W>& a, Parts<W>& b, const Parts<W>& w) {
  const Vec<W> t_re = b.re * w.re - b.im * w.im;
  const Vec<W> t_im = b.im * w.re + b.re * w.im;
  b = {a.re - t_re, a.im - t_im};
  a = {a.re + t_re, a.im + t_im};
}

// fft::split of W values Z_k in b, partners Z_n-k in a, as parts.
template <int W>
TAMSEL_LANES void split_parts(Parts<W>& b, Parts<W>& a, const Parts<W>& w, const Vec<W>& fv) {
  const Vec<W> half = splat<W>(0.5);
  const Vec<W> u_re = (b.re + a.re) * half;
  const Vec<W> u_im = (b.im - a.im) * half;
  const Vec<W> v_re = -((b.im + a.im) * fv);
  const Vec<W> v_im = (b.re - a.re) * fv;
  const Vec<W> wr_vr = w.re * v_re;
  const Vec<W> wi_vi = w.im * v_im;
  const Vec<W> vi_wr = v_im * w.re;
  const Vec<W> vr_wi = v_re * w.im;
  b = {(wr_vr + u_re) - wi_vi, (u_im + vi_wr) + vr_wi};
  a = {(u_re - wr_vr) + wi_vi, vr_wi + (vi_wr - u_im)};
}

// ---- One value at a time, (re, im) in a vector of two lanes.

// fft::split of Z_k at b and Z_n-k at a; w_im*v_im is subtracted as the
// product with -w_im, exactly its negative (w is finite).
TAMSEL_LANES void split_one(Real* b, Real* a, Real w_re, Real w_im, Real f) {
  const Vec<2> bv = load<2>(b), av = load<2>(a);
  const Vec<2> sum = bv + av, diff = bv - av;
  const Vec<2> u = __builtin_shufflevector(sum, diff, 0, 3) * splat<2>(0.5);
  const Vec<2> fv = splat<2>(f);
  const Vec<2> v = __builtin_shufflevector(-(sum * fv), diff * fv, 1, 2); // -(sum_im*f), diff_re*f
  const Vec<2> vs = swapped<2>(v); // v_im, v_re
  const Vec<2> x = v * splat<2>(w_re);
  store<2>(b, (x + u) + vs * Vec<2>{-w_im, w_im});
  const Vec<2> r = __builtin_shufflevector(u, x, 0, 3) - __builtin_shufflevector(x, u, 0, 3);
  store<2>(a, r + vs * splat<2>(w_im));
}

// fft::separate's sums of Z_k at b and Z_n-k at a, before their halves:
// f = (b_re + a_re, b_im - a_im) and g = (b_im + a_im, b_re - a_re).
TAMSEL_LANES void separation_sums(const Real* b, const Real* a, Vec<2>& f, Vec<2>& g) {
  const Vec<2> bv = load<2>(b), av = load<2>(a);
  f = __builtin_shufflevector(bv + av, bv - av, 0, 3);
  g = __builtin_shufflevector(bv + av, bv - av, 1, 2);
}

// fft::separate of the values at offsets b and a.
TAMSEL_LANES void separate_one(Real* spectrum1, Real* spectrum2, Integer b, Integer a) {
  Vec<2> f, g;
  separation_sums(spectrum1 + b, spectrum1 + a, f, g);
  const Vec<2> plus = splat<2>(0.5), minus = Vec<2>{0.5, -0.5};
  store<2>(spectrum1 + b, plus * f);
  store<2>(spectrum2 + b, minus * g);
  store<2>(spectrum1 + a, minus * f);
  store<2>(spectrum2 + a, plus * g);
}

// fft::cross_product of F in f and G in g: C * scale.
TAMSEL_LANES Vec<2> cross_product_one(const Vec<2>& f, const Vec<2>& g, const Vec<2>& scale) {
  const Vec<2> x = f * real_parts<2>(g);            // f_re*g_re, f_im*g_re
  const Vec<2> y = swapped<2>(f) * imag_parts<2>(g); // f_im*g_im, f_re*g_im
  return __builtin_shufflevector(x + y, x - y, 0, 3) * scale;
}

// The end of separate_products: fft::separate of Z_k and Z_n-k, k = first
// .. count/2, then fft::cross_product of F_k into G_k from the registers
// (reading them back just after their stores would wait); G_n-k is stored,
// F_k and F_n-k are not; at k = n/2 the values are those fft::separate
// leaves there last.  Then C_0.
TAMSEL_LANES void separate_products_from(Real* spectrum1, Real* spectrum2, Integer count,
                                         Integer first, Real reciprocal) {
  const Vec<2> scale = splat<2>(reciprocal), plus = splat<2>(0.5), minus = Vec<2>{0.5, -0.5};
  for (Integer k = first; k <= count / 2; ++k) {
    const Integer b = 2 * k, a = 2 * (count - k);
    Vec<2> f, g;
    separation_sums(spectrum1 + b, spectrum1 + a, f, g);
    if (a == b) {
      store<2>(spectrum2 + b, cross_product_one(minus * f, plus * g, scale));
    } else {
      store<2>(spectrum2 + a, plus * g);
      store<2>(spectrum2 + b, cross_product_one(plus * f, minus * g, scale));
    }
  }
  store<2>(spectrum2, cross_product_one(load<2>(spectrum1), load<2>(spectrum2), scale));
}

// kernels::Table::split: W values of k at a time, their partners mirrored.
template <int W>
TAMSEL_LANES void split(Real* data, Integer count, const Real* w, Integer first, Integer end,
                        Real f) {
  const Vec<W> fv = splat<W>(f);
  Integer k = first;
  for (; k + W <= end; k += W) {
    Real* b = data + 2 * k;                   // Z_k .. Z_k+W-1
    Real* a = data + 2 * (count - k - W + 1); // Z_n-k-W+1 .. Z_n-k
    Parts<W> bp = forward<W>(b);
    Parts<W> ap = mirrored<W>(a);
    split_parts<W>(bp, ap, forward<W>(w + 2 * (k - first)), fv);
    store_forward<W>(b, bp);
    store_mirrored<W>(a, ap);
  }
  if constexpr (W > 2) {
    split<W / 2>(data, count, w + 2 * (k - first), k, end, f);
  } else {
    for (; k < end; ++k) {
      const Real* wk = w + 2 * (k - first);
      split_one(data + 2 * k, data + 2 * (count - k), wk[0], wk[1], f);
    }
  }
}

// With h = count/2, butterflies k .. k+W-1 and (mirrored) h-k-W+1 .. h-k
// give the splits of k .. k+W-1 (partners Z_n-k-W+1 .. Z_n-k) and of
// h-k-W+1 .. h-k (partners Z_h+k ..), for k = 1, 1+W, .. while the runs are
// apart; then fewer lanes.  Returns where it stopped: h/2 - 1.
template <int W>
TAMSEL_LANES Integer pass_split_runs(const Real* in, Real* out, Integer count, const Real* wl,
                                     const Real* ws, Real f, Integer k) {
  const Vec<W> fv = splat<W>(f);
  const Integer h = count / 2;
  for (; k + W - 1 < h - k - W + 1; k += W) {
    const Integer p = 2 * k;               // Z_k ..
    const Integer q = 2 * (h - k - W + 1); // Z_h-k-W+1 ..
    Parts<W> pa = forward<W>(in + p), pb = forward<W>(in + p + 2 * h);
    Parts<W> qa = mirrored<W>(in + q), qb = mirrored<W>(in + q + 2 * h);
    butterflies_of<W>(pa, pb, forward<W>(wl + p));
    butterflies_of<W>(qa, qb, mirrored<W>(wl + q));
    split_parts<W>(pa, qb, forward<W>(ws + p), fv);
    split_parts<W>(qa, pb, mirrored<W>(ws + q), fv);
    store_forward<W>(out + p, pa);
    store_mirrored<W>(out + q + 2 * h, qb);
    store_mirrored<W>(out + q, qa);
    store_forward<W>(out + p + 2 * h, pb);
  }
  if constexpr (W > 2) return pass_split_runs<W / 2>(in, out, count, wl, ws, f, k);
  return k;
}

// kernels::Table::pass_split (and pass_split_to): pass_split_runs, then
// k = h/2 - 1 .. h/2 + 1 as two runs of two, x from k and y from h/2,
// sharing h/2 (done alike in both, stored twice): x's value k + i has its
// partner among y's far values in lane 1 - i, and y's among x's; then
// butterfly 0.  Read at in, stored at out (out may be in).
template <int W>
TAMSEL_LANES void pass_split(const Real* in, Real* out, Integer count, const Real* wl,
                             const Real* ws, Real f) {
  const Integer h = count / 2;
  const Integer k = pass_split_runs<W>(in, out, count, wl, ws, f, 1);
  const Vec<2> fv = splat<2>(f);
  const Integer x = 2 * k, y = h; // Reals to Z_k and to Z_h/2
  Parts<2> xa = forward<2>(in + x), xb = forward<2>(in + x + 2 * h);
  Parts<2> ya = forward<2>(in + y), yb = forward<2>(in + y + 2 * h);
  butterflies_of<2>(xa, xb, forward<2>(wl + x));
  butterflies_of<2>(ya, yb, forward<2>(wl + y));
  Parts<2> xb_mirrored = reversed(xb);
  Parts<2> yb_mirrored = reversed(yb);
  split_parts<2>(xa, yb_mirrored, forward<2>(ws + x), fv);
  split_parts<2>(ya, xb_mirrored, forward<2>(ws + y), fv);
  store_forward<2>(out + x, xa);
  store_mirrored<2>(out + y + 2 * h, yb_mirrored);
  store_forward<2>(out + y, ya);
  store_mirrored<2>(out + x + 2 * h, xb_mirrored);
  butterflies_at<2>(in, in + 2 * h, out, out + 2 * h, factors<2>(wl));
}

// The passes of half-spans q = count/4 (factors wa) and 2q (wl), then the
// splits, which pair pass pair j's Z_j, Z_j+q, Z_j+2q, Z_j+3q with pass pair
// q - j's slots 3, 2, 1, 0: runs j .. j+W-1 with the mirrored q-j-W+1 ..
// q-j, j = 1, 1+W, .. while apart; then fewer lanes.  Returns q/2 - 1.
template <int W>
TAMSEL_LANES Integer pass_pair_split_runs(Real* data, Integer count, const Real* wa,
                                          const Real* wl, const Real* ws, Real f, Integer j) {
  const Vec<W> fv = splat<W>(f);
  const Integer q = count / 4;
  const Integer span = 2 * q; // Reals from Z_j to Z_j+q
  for (; j + W - 1 < q - j - W + 1; j += W) {
    const Integer m = q - j - W + 1; // the mirrored run
    Real* const vj = data + 2 * j;
    Real* const xm = data + 2 * m;
    Parts<W> v0 = forward<W>(vj), v1 = forward<W>(vj + span);
    Parts<W> v2 = forward<W>(vj + 2 * span), v3 = forward<W>(vj + 3 * span);
    pair_values<W>(v0, v1, v2, v3, forward<W>(wa + 2 * j), forward<W>(wl + 2 * j),
                   forward<W>(wl + 2 * j + span));
    Parts<W> x0 = mirrored<W>(xm), x1 = mirrored<W>(xm + span);
    Parts<W> x2 = mirrored<W>(xm + 2 * span), x3 = mirrored<W>(xm + 3 * span);
    pair_values<W>(x0, x1, x2, x3, mirrored<W>(wa + 2 * m), mirrored<W>(wl + 2 * m),
                   mirrored<W>(wl + 2 * m + span));
    split_parts<W>(v0, x3, forward<W>(ws + 2 * j), fv);
    split_parts<W>(v1, x2, forward<W>(ws + 2 * j + span), fv);
    split_parts<W>(x1, v2, mirrored<W>(ws + 2 * m + span), fv);
    split_parts<W>(x0, v3, mirrored<W>(ws + 2 * m), fv);
    store_forward<W>(vj, v0);
    store_forward<W>(vj + span, v1);
    store_forward<W>(vj + 2 * span, v2);
    store_forward<W>(vj + 3 * span, v3);
    store_mirrored<W>(xm, x0);
    store_mirrored<W>(xm + span, x1);
    store_mirrored<W>(xm + 2 * span, x2);
    store_mirrored<W>(xm + 3 * span, x3);
  }
  if constexpr (W > 2) return pass_pair_split_runs<W / 2>(data, count, wa, wl, ws, f, j);
  return j;
}

// kernels::Table::pass_pair_split: the runs, then pass pairs 0, j .. q-j.
template <int W>
TAMSEL_LANES void pass_pair_split(Real* data, Integer count, const Real* wa, const Real* wl,
                                  const Real* ws, Real f) {
  const Integer q = count / 4;
  const Integer span = 2 * q;
  const Integer j = pass_pair_split_runs<W>(data, count, wa, wl, ws, f, 1);
  const Integer mid = q - 2 * j + 1; // j .. q-j
  pass<2>(data, count, q, wa, 0, 1);
  pass<2>(data, count, q, wa + 2 * j, j, mid);
  pass<2>(data, count, 2 * q, wl, 0, 1);
  pass<2>(data, count, 2 * q, wl + 2 * j, j, mid);
  pass<2>(data, count, 2 * q, wl + span, q, 1);
  pass<2>(data, count, 2 * q, wl + 2 * j + span, j + q, mid);
  split<2>(data, count, ws + 2 * j, j, j + mid, f);
  split<2>(data, count, ws + span, q, q + 1, f);
  split<2>(data, count, ws + 2 * j + span, j + q, j + q + mid, f);
}

// fft::separate by W values while k + W - 1 < n/2, then fewer; returns k.
template <int W>
TAMSEL_LANES Integer separate_runs(Real* spectrum1, Real* spectrum2, Integer count, Integer k) {
  const Vec<W> plus = splat<W>(0.5), minus = splat<W>(-0.5);
  for (; k + W - 1 < count / 2; k += W) {
    const Integer b = 2 * k;               // Z_k ..
    const Integer a = 2 * (count - k - W + 1); // .. Z_n-k
    const Parts<W> z = forward<W>(spectrum1 + b);
    const Parts<W> p = mirrored<W>(spectrum1 + a);
    const Vec<W> sum_re = z.re + p.re, diff_im = z.im - p.im;
    const Vec<W> sum_im = z.im + p.im, diff_re = z.re - p.re;
    store_forward<W>(spectrum1 + b, {plus * sum_re, plus * diff_im});
    store_forward<W>(spectrum2 + b, {plus * sum_im, minus * diff_re});
    store_mirrored<W>(spectrum1 + a, {plus * sum_re, minus * diff_im});
    store_mirrored<W>(spectrum2 + a, {plus * sum_im, plus * diff_re});
  }
  if constexpr (W > 2) return separate_runs<W / 2>(spectrum1, spectrum2, count, k);
  return k;
}

// kernels::Table::separate.
template <int W>
TAMSEL_LANES void separate(Real* spectrum1, Real* spectrum2, Integer count) {
  for (Integer k = separate_runs<W>(spectrum1, spectrum2, count, 1); k <= count / 2; ++k) {
    separate_one(spectrum1, spectrum2, 2 * k, 2 * (count - k));
  }
}

// kernels::Table::separate_products: separate's F_k and G_k, W values of k
// at a time while k + W - 1 < n/2, straight into C_k; G_n-k is stored, F_k
// and F_n-k are not.  Then fewer lanes, and separate_products_from.
template <int W>
TAMSEL_LANES Integer separate_products_runs(Real* spectrum1, Real* spectrum2, Integer count,
                                            Real reciprocal, Integer k) {
  const Vec<W> plus = splat<W>(0.5), minus = splat<W>(-0.5), scale = splat<W>(reciprocal);
  for (; k + W - 1 < count / 2; k += W) {
    const Integer b = 2 * k;
    const Integer a = 2 * (count - k - W + 1);
    const Parts<W> z = forward<W>(spectrum1 + b);
    const Parts<W> partner = mirrored<W>(spectrum1 + a);
    const Vec<W> g_re = plus * (z.im + partner.im);
    const Vec<W> g_diff = z.re - partner.re;
    store_mirrored<W>(spectrum2 + a, {g_re, plus * g_diff});
    const Vec<W> f_re = plus * (z.re + partner.re);
    const Vec<W> f_im = plus * (z.im - partner.im);
    const Vec<W> g_im = minus * g_diff;
    const Vec<W> c_re = f_re * g_re + f_im * g_im;
    const Vec<W> c_im = f_im * g_re - f_re * g_im;
    store_forward<W>(spectrum2 + b, {c_re * scale, c_im * scale});
  }
  if constexpr (W > 2) {
    return separate_products_runs<W / 2>(spectrum1, spectrum2, count, reciprocal, k);
  }
  return k;
}
template <int W>
TAMSEL_LANES void separate_products(Real* spectrum1, Real* spectrum2, Integer count,
                                    Real reciprocal) {
  const Integer k = separate_products_runs<W>(spectrum1, spectrum2, count, reciprocal, 1);
  separate_products_from(spectrum1, spectrum2, count, k, reciprocal);
}

} // namespace tamsel::x86
