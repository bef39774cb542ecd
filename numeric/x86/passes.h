// SPDX-License-Identifier: BSD-3-Clause
// The complex passes, written once over W lanes (x86/lanes.h): alone, in
// pairs and triples, the pair that trades two runs' places, and over fourn's
// rows; each butterfly does fft::butterfly's operations with its operands.
// Internal to the toolkit; not installed.
#pragma once

#include <cstddef>

#include "x86/lanes.h"

namespace tamsel::x86 {

// The passes' tuning for W lanes: up to kCachedValues values (the
// first-level cache), each factor is taken once for all groups by a pass
// with four groups or more, a pair with kPairGroups, a triple with two.  A
// triple's last factors stay in registers only with 32 of them (AVX-512).
template <int W>
struct Tuning {
  static constexpr Integer kCachedValues = W == 2 ? 0 : 2048;
  static constexpr Integer kPairGroups = W == 8 ? 2 : 4;
  static constexpr bool kTripleFactorsInRegisters = W == 8;
};

// A column's factors: a pair's in a, b0 and b1; a triple's last in c.
template <class F, class C = std::nullptr_t>
struct Column { F a, b0, b1; C c; };

// step(s, k, make(k)) for every group s < n (s += group) and every column
// k < reals of W Reals: columns outer, each column's factors made once for
// all groups, where `once`; groups outer otherwise.
template <int W, class Make, class Step>
TAMSEL_LANES void columns(Integer n, Integer group, Integer reals, bool once, const Make& make,
                          const Step& step) {
  for (Integer k = 0; once && k < reals; k += W) {
    const auto f = make(k);
    for (Integer s = 0; s < n; s += group) step(s, k, f);
  }
  for (Integer s = 0; !once && s < n; s += group) {
    for (Integer k = 0; k < reals; k += W) step(s, k, make(k));
  }
}

// count butterflies with one factor, the rest with fewer lanes.
template <int W>
TAMSEL_LANES void butterflies(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
  constexpr Integer step = W / 2;
  const Factors<W> f = factor<W>(w_re, w_im);
  Integer i = 0;
  for (; i + step <= count; i += step) butterflies_at<W>(a + 2 * i, b + 2 * i, f);
  if constexpr (W > 2) {
    if (i < count) butterflies<W / 2>(a + 2 * i, b + 2 * i, w_re, w_im, count - i);
  }
}

// One pass of half-span h, butterflies j0 .. j0+count-1 of each group.
template <int W>
TAMSEL_LANES void pass(Real* data, Integer n, Integer h, const Real* w, Integer j0,
                       Integer count) {
  if constexpr (W > 2) { if (count % (W / 2) != 0) return pass<W / 2>(data, n, h, w, j0, count); }
  columns<W>(
      n, 2 * h, 2 * count, n >= 8 * h && n <= Tuning<W>::kCachedValues,
      [&](Integer k) TAMSEL_LANES_LAMBDA { return factors<W>(w + k); },
      [&](Integer s, Integer k, const Factors<W>& f) TAMSEL_LANES_LAMBDA {
        Real* a = data + 2 * (s + j0) + k;
        butterflies_at<W>(a, a + 2 * h, f);
      });
}

// Passes of half-spans h and 2h on W/2 values of j of a group, in place:
// (v0, v1), (v2, v3) with fa, then (v0, v2) with f0, (v1, v3) with f1; the
// values vectors (V = Vec<W>) or parts (x86/spectra.h).
template <int W, class V, class F>
TAMSEL_LANES void pair_values(V& v0, V& v1, V& v2, V& v3, const F& fa, const F& f0,
                              const F& f1) {
  butterflies_of<W>(v0, v1, fa);
  butterflies_of<W>(v2, v3, fa);
  butterflies_of<W>(v0, v2, f0);
  butterflies_of<W>(v1, v3, f1);
}

// Four vectors of values at from + r * span, r = 0..3, and their stores.
template <int W>
struct Quad { Vec<W> v[4]; };
template <int W>
TAMSEL_LANES Quad<W> load_quad(const Real* from, Integer span) {
  return {{load<W>(from), load<W>(from + span), load<W>(from + 2 * span),
           load<W>(from + 3 * span)}};
}
template <int W>
TAMSEL_LANES void store_quad(Real* to, Integer span, const Quad<W>& q) {
  store<W>(to + 2 * span, q.v[2]);
  store<W>(to, q.v[0]);
  store<W>(to + 3 * span, q.v[3]);
  store<W>(to + span, q.v[1]);
}

// pair_values on the values at from + r * span, stored at to + r * span.
template <int W>
TAMSEL_LANES void pair_step(const Real* from, Real* to, Integer span, const Factors<W>& fa,
                            const Factors<W>& f0, const Factors<W>& f1) {
  Quad<W> q = load_quad<W>(from, span);
  pair_values<W>(q.v[0], q.v[1], q.v[2], q.v[3], fa, f0, f1);
  store_quad<W>(to, span, q);
}

// kernels::Table::pass_pair (and pass_pair_to): for j = 0..h-1 the values
// s+j+r*h, r = 0..3, through pair_step with wa[j], wb[j] and wb[j+h], read
// at in and stored at out (out may be in).
template <int W>
TAMSEL_LANES void pass_pair(const Real* in, Real* out, Integer n, Integer h, const Real* wa,
                            const Real* wb) {
  if constexpr (W > 2) { if (h % (W / 2) != 0) return pass_pair<W / 2>(in, out, n, h, wa, wb); }
  const Integer span = 2 * h; // Reals from one value to the next in a group
  columns<W>(
      n, 4 * h, span, n >= 4 * Tuning<W>::kPairGroups * h && n <= Tuning<W>::kCachedValues,
      [&](Integer k) TAMSEL_LANES_LAMBDA {
        return Column<Factors<W>>{factors<W>(wa + k), factors<W>(wb + k),
                                  factors<W>(wb + span + k), {}};
      },
      [&](Integer s, Integer k, const Column<Factors<W>>& f) TAMSEL_LANES_LAMBDA {
        pair_step<W>(in + 2 * s + k, out + 2 * s + k, span, f.a, f.b0, f.b1);
      });
}

// A triple's last factors: held in registers, or read at p + r * step.
template <int W>
struct HeldFactors {
  Factors<W> f[4];
  TAMSEL_LANES Factors<W> at(int r) const { return f[r]; }
};
template <int W>
struct ReadFactors {
  const Real* p;
  Integer step;
  TAMSEL_LANES Factors<W> at(int r) const { return factors<W>(p + r * step); }
};
// Those at p + r * step, W Reals each: one factor in every pair of lanes
// (rows), or W/2 factors (passes).
template <int W>
TAMSEL_LANES auto last_factors(const Real* p, Integer step) {
  if constexpr (Tuning<W>::kTripleFactorsInRegisters) {
    return HeldFactors<W>{{factors<W>(p), factors<W>(p + step), factors<W>(p + 2 * step),
                           factors<W>(p + 3 * step)}};
  } else {
    return ReadFactors<W>{p, step};
  }
}

// Three passes on W/2 values of j, v_r at at + r * span, in place:
// pair_values on v0..v3 and v4..v7, then (v_r, v_r+4) with fc.at(r).
template <int W, class Last>
TAMSEL_LANES void triple_step(Real* at, Integer span, const Factors<W>& fa,
                              const Factors<W>& fb0, const Factors<W>& fb1, const Last& fc) {
  Vec<W> v[8];
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r) v[r] = load<W>(at + r * span);
  pair_values<W>(v[0], v[1], v[2], v[3], fa, fb0, fb1);
  pair_values<W>(v[4], v[5], v[6], v[7], fa, fb0, fb1);
#pragma GCC unroll 4
  for (int r = 0; r < 4; ++r) {
    const Vec<W> t = twiddled<W>(v[r + 4], fc.at(r));
    store<W>(at + (r + 4) * span, v[r] - t);
    store<W>(at + r * span, v[r] + t);
  }
}

// kernels::Table::pass_triple: for j = 0..h-1 the values v_r at s+j+r*h
// through (v_r, v_r+1), r even, with wa[j]; (v_r, v_r+2), r = 0, 1, 4, 5,
// with wb[j + (r % 2) * h]; then (v_r, v_r+4), r < 4, with wc[j + r*h].
template <int W>
TAMSEL_LANES void pass_triple(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                              const Real* wc) {
  if constexpr (W > 2) { if (h % (W / 2) != 0) return pass_triple<W / 2>(data, n, h, wa, wb, wc); }
  const Integer span = 2 * h;
  using Last = decltype(last_factors<W>(wc, span));
  columns<W>(
      n, 8 * h, span, n >= 16 * h && n <= Tuning<W>::kCachedValues,
      [&](Integer k) TAMSEL_LANES_LAMBDA {
        return Column<Factors<W>, Last>{factors<W>(wa + k), factors<W>(wb + k),
                                        factors<W>(wb + span + k), last_factors<W>(wc + k, span)};
      },
      [&](Integer s, Integer k, const Column<Factors<W>, Last>& f) TAMSEL_LANES_LAMBDA {
        triple_step<W>(data + 2 * s + k, span, f.a, f.b0, f.b1, f.c);
      });
}

// kernels::Table::pass_pair_swap.
template <int W>
TAMSEL_LANES void pass_pair_swap(Real* a, Real* b, Integer n, Integer h, const Real* wa,
                                 const Real* wb) {
  if constexpr (W > 2) { if (h % (W / 2) != 0) return pass_pair_swap<W / 2>(a, b, n, h, wa, wb); }
  const Integer span = 2 * h;
  for (Integer e = 0; e < 2 * n; e += 4 * span) {
    for (Integer k = 0; k < span; k += W) {
      const Factors<W> fa = factors<W>(wa + k), f0 = factors<W>(wb + k);
      const Factors<W> f1 = factors<W>(wb + span + k);
      Quad<W> x = load_quad<W>(a + e + k, span), y = load_quad<W>(b + e + k, span);
      pair_values<W>(x.v[0], x.v[1], x.v[2], x.v[3], fa, f0, f1);
      pair_values<W>(y.v[0], y.v[1], y.v[2], y.v[3], fa, f0, f1);
      store_quad<W>(b + e + k, span, x);
      store_quad<W>(a + e + k, span, y);
    }
  }
}

// kernels::Table::rows_pair.
template <int W>
TAMSEL_LANES void rows_pair(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                            Integer count) {
  if constexpr (W > 2) {
    if (count % (W / 2) != 0) return rows_pair<W / 2>(a, span, fa, f0, f1, count);
  }
  const Factors<W> va = factor<W>(fa), v0 = factor<W>(f0), v1 = factor<W>(f1);
  for (Integer e = 0; e < 2 * count; e += W) pair_step<W>(a + e, a + e, span, va, v0, v1);
}

// kernels::Table::rows_triple.
template <int W>
TAMSEL_LANES void rows_triple(Real* a, Integer span, const Real* fa, const Real* f0,
                              const Real* f1, const Real* fc, Integer fc_step, Integer count) {
  if constexpr (W > 2) {
    if (count % (W / 2) != 0) return rows_triple<W / 2>(a, span, fa, f0, f1, fc, fc_step, count);
  }
  const HeldFactors<W> last{{factor<W>(fc), factor<W>(fc + fc_step), factor<W>(fc + 2 * fc_step),
                             factor<W>(fc + 3 * fc_step)}};
  const Factors<W> va = factor<W>(fa), v0 = factor<W>(f0), v1 = factor<W>(f1);
  for (Integer e = 0; e < 2 * count; e += W) triple_step<W>(a + e, span, va, v0, v1, last);
}

} // namespace tamsel::x86
