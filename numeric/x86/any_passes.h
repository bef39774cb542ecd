// SPDX-License-Identifier: BSD-3-Clause
// The any-length engine's passes of radix 2, 3, 4, 5 and 8 over W lanes:
// fft/any_passes.h's pass, each vector holding the W/2 butterflies of
// consecutive q (so s a multiple of W/2), every value's operations those of
// the plain passes (fft/any_passes.cpp) in the same order.  Internal to
// the toolkit; not installed.
#pragma once

#include <utility>

#include "x86/lanes.h"

namespace tamsel::x86 {

namespace mixed {

// (im, -re) of each value: minus_i.
template <int W, std::size_t... I>
TAMSEL_LANES Vec<W> neg_i(const Vec<W>& a, std::index_sequence<I...>) {
  return __builtin_shufflevector(a, -a, int(I % 2 == 0 ? I + 1 : W + I - 1)...);
}
template <int W>
TAMSEL_LANES Vec<W> neg_i(const Vec<W>& a) { return neg_i<W>(a, std::make_index_sequence<W>{}); }

// The one factor (w[0], w[1]) as Factors<W> of W/2 equal pairs, from
// registers (the table's factor<W> goes through memory, a stall per factor
// where each serves few butterflies).
template <int W, std::size_t... I>
TAMSEL_LANES Factors<W> factor_of(const Real* w, std::index_sequence<I...>) {
  const Vec<2> v = load<2>(w);
  if constexpr (kAddSub<W>) {
    const Vec<W> pairs = __builtin_shufflevector(v, v, int(I % 2)...);
    return {pairs, pairs};
  } else {
    return {__builtin_shufflevector(v, v, int(I * 0)...),
            __builtin_shufflevector(-v, v, int(I % 2 == 0 ? 1 : 3)...)};
  }
}
template <int W>
TAMSEL_LANES Factors<W> factor_of(const Real* w) {
  return factor_of<W>(w, std::make_index_sequence<W>{});
}

// The butterflies of each p, the first (p = 0) without twiddle factors;
// the lambdas always inlined too, into the entry and its target.
#define TAMSEL_LANES_LAMBDA __attribute__((always_inline))
template <typename Butterflies>
TAMSEL_LANES void for_each_p(Integer m, const Butterflies& butterflies) {
  if (m > 0) butterflies.template operator()<false>(0);
  for (Integer p = 1; p < m; ++p) butterflies.template operator()<true>(p);
}

template <int W>
TAMSEL_LANES void pass2(const Real* x, Real* y, Integer m, Integer s, const Real* tw) {
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Factors<W> w = factor_of<W>(tw + 2 * (kTwiddle ? p : 0));
    const Real* in = x + 2 * s * p;
    Real* out = y + 4 * s * p;
    for (Integer q = 0; q < 2 * s; q += W) {
      const Vec<W> a0 = load<W>(in + q), a1 = load<W>(in + q + 2 * s * m);
      store<W>(out + q, a0 + a1);
      store<W>(out + q + 2 * s, !kTwiddle ? a0 - a1 : twiddled<W>(a0 - a1, w));
    }
  });
}

template <int W>
TAMSEL_LANES void pass4(const Real* x, Real* y, Integer m, Integer s, const Real* tw) {
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* f = tw + 2 * (kTwiddle ? 3 * p : 0);
    const Factors<W> w1 = factor_of<W>(f), w2 = factor_of<W>(f + 2), w3 = factor_of<W>(f + 4);
    const Real* in = x + 2 * s * p;
    Real* out = y + 8 * s * p;
    const Integer step = 2 * s * m;
    for (Integer q = 0; q < 2 * s; q += W) {
      const Vec<W> a0 = load<W>(in + q), a1 = load<W>(in + q + step);
      const Vec<W> a2 = load<W>(in + q + 2 * step), a3 = load<W>(in + q + 3 * step);
      const Vec<W> t0 = a0 + a2, t1 = a0 - a2, t2 = a1 + a3, t3 = neg_i<W>(a1 - a3);
      store<W>(out + q, t0 + t2);
      if (!kTwiddle) {
        store<W>(out + q + 2 * s, t1 + t3);
        store<W>(out + q + 4 * s, t0 - t2);
        store<W>(out + q + 6 * s, t1 - t3);
      } else {
        store<W>(out + q + 2 * s, twiddled<W>(t1 + t3, w1));
        store<W>(out + q + 4 * s, twiddled<W>(t0 - t2, w2));
        store<W>(out + q + 6 * s, twiddled<W>(t1 - t3, w3));
      }
    }
  });
}

template <int W>
TAMSEL_LANES void pass8(const Real* x, Real* y, Integer m, Integer s, const Real* tw, Real h) {
  const Vec<W> hh = splat<W>(h);
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* f = tw + 2 * (kTwiddle ? 7 * p : 0);
    Factors<W> w[7];
#pragma GCC unroll 7
    for (int k = 0; k < 7; ++k) w[k] = factor_of<W>(f + 2 * k);
    const Real* in = x + 2 * s * p;
    Real* out = y + 16 * s * p;
    for (Integer q = 0; q < 2 * s; q += W) {
      Vec<W> a[8];
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j) a[j] = load<W>(in + q + 2 * s * j * m);
      const Vec<W> e0 = a[0] + a[4], e1 = a[0] - a[4], e2 = a[2] + a[6], e3 = neg_i<W>(a[2] - a[6]);
      const Vec<W> o0 = a[1] + a[5], o1 = a[1] - a[5], o2 = a[3] + a[7], o3 = neg_i<W>(a[3] - a[7]);
      const Vec<W> E[4] = {e0 + e2, e1 + e3, e0 - e2, e1 - e3};
      const Vec<W> O1 = o1 + o3, O3 = o1 - o3, S1 = swapped<W>(O1), S3 = swapped<W>(O3);
      const Vec<W> O[4] = {o0 + o2, lanes::pick<W, lanes::kEvenOdd>(O1 + S1, O1 - S1) * hh,
                           neg_i<W>(o0 - o2),
                           lanes::pick<W, lanes::kEvenOdd>(S3 - O3, -(O3 + S3)) * hh};
      Real* o = out + q;
      store<W>(o, E[0] + O[0]);
#pragma GCC unroll 7
      for (int k = 1; k < 8; ++k) {
        const Vec<W> b = k < 4 ? E[k] + O[k] : E[k - 4] - O[k - 4];
        store<W>(o + 2 * s * k, !kTwiddle ? b : twiddled<W>(b, w[k - 1]));
      }
    }
  });
}

// Radix 3 or 5: c and sn hold cos and sin of 2 pi jk/R at [k-1][j-1].
template <int W, int R>
TAMSEL_LANES void pass_odd(const Real* x, Real* y, Integer m, Integer s, const Real* tw,
                           const Real* c, const Real* sn) {
  constexpr int H = (R - 1) / 2;
  Vec<W> cv[H][H], sv[H][H];
  for (int k = 0; k < H; ++k)
    for (int j = 0; j < H; ++j) {
      cv[k][j] = splat<W>(c[k * H + j]);
      sv[k][j] = splat<W>(sn[k * H + j]);
    }
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* f = tw + 2 * (kTwiddle ? (R - 1) * p : 0);
    Factors<W> w[R - 1];
#pragma GCC unroll 4
    for (int k = 0; k < R - 1; ++k) w[k] = factor_of<W>(f + 2 * k);
    const Real* in = x + 2 * s * p;
    Real* out = y + 2 * R * s * p;
    for (Integer q = 0; q < 2 * s; q += W) {
      const Vec<W> a0 = load<W>(in + q);
      Vec<W> t[H], u[H], b[R];
      b[0] = a0;
#pragma GCC unroll 4
      for (int j = 1; j <= H; ++j) {
        const Vec<W> aj = load<W>(in + q + 2 * s * j * m), ar = load<W>(in + q + 2 * s * (R - j) * m);
        t[j - 1] = aj + ar;
        u[j - 1] = aj - ar;
        b[0] += t[j - 1];
      }
#pragma GCC unroll 4
      for (int k = 1; k <= H; ++k) {
        Vec<W> a = a0, bb = splat<W>(0.0);
#pragma GCC unroll 4
        for (int j = 1; j <= H; ++j) {
          a += cv[k - 1][j - 1] * t[j - 1];
          bb += sv[k - 1][j - 1] * u[j - 1];
        }
        b[k] = a + neg_i<W>(bb);
        b[R - k] = a - neg_i<W>(bb);
      }
      Real* o = out + q;
      store<W>(o, b[0]);
#pragma GCC unroll 4
      for (int k = 1; k < R; ++k) store<W>(o + 2 * s * k, !kTwiddle ? b[k] : twiddled<W>(b[k], w[k - 1]));
    }
  });
}

} // namespace mixed

// The pass of radix 2, 3, 4, 5 or 8 (Table::any_pass).
template <int W>
TAMSEL_LANES void any_pass(unsigned radix, const Real* x, Real* y, Integer m, Integer s,
                           const Real* tw, const Real* constants) {
  switch (radix) {
    case 2: return mixed::pass2<W>(x, y, m, s, tw);
    case 3: return mixed::pass_odd<W, 3>(x, y, m, s, tw, constants, constants + 1);
    case 4: return mixed::pass4<W>(x, y, m, s, tw);
    case 5: return mixed::pass_odd<W, 5>(x, y, m, s, tw, constants, constants + 4);
    default: return mixed::pass8<W>(x, y, m, s, tw, constants[0]);
  }
}

} // namespace tamsel::x86

#undef TAMSEL_LANES_LAMBDA
