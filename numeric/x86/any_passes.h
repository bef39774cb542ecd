// SPDX-License-Identifier: BSD-3-Clause
// The any-length engine's passes of radix 2, 3, 4, 5 and 8 over W lanes:
// fft/any_passes.h's pass, each vector holding the W/2 butterflies of
// consecutive q (an odd s's last at two lanes), every value's operations those of
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

// The N factors at f as Factors<V>.
template <int V, int N>
TAMSEL_LANES void factors_at(const Real* f, Factors<V>* w) {
#pragma GCC unroll 8
  for (int k = 0; k < N; ++k) w[k] = factor_of<V>(f + 2 * k);
}

// row<V>(q, w) for q = 0, W, 2W, ... below 2s (in Reals), the last odd
// value of an odd s at two lanes, its factors made only then.
template <int W, int N, typename Row>
TAMSEL_LANES void rows(Integer s, const Real* f, const Row& row) {
  Factors<W> w[N];
  factors_at<W, N>(f, w);
  Integer q = 0;
  for (; q + W <= 2 * s; q += W) row.template operator()<W>(q, w);
  if constexpr (W > 2) {
    if (q < 2 * s) {
      Factors<2> w2[N];
      factors_at<2, N>(f, w2);
      row.template operator()<2>(q, w2);
    }
  }
}

template <int W>
TAMSEL_LANES void pass2(const Real* x, Real* y, Integer m, Integer s, const Real* tw) {
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* in = x + 2 * s * p;
    Real* out = y + 4 * s * p;
    rows<W, 1>(s, tw + 2 * (kTwiddle ? p : 0), [&]<int V>(Integer q, const Factors<V>* w)
                                                    TAMSEL_LANES_LAMBDA {
      const Vec<V> a0 = load<V>(in + q), a1 = load<V>(in + q + 2 * s * m);
      store<V>(out + q, a0 + a1);
      store<V>(out + q + 2 * s, !kTwiddle ? a0 - a1 : twiddled<V>(a0 - a1, w[0]));
    });
  });
}

template <int W>
TAMSEL_LANES void pass4(const Real* x, Real* y, Integer m, Integer s, const Real* tw) {
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* in = x + 2 * s * p;
    Real* out = y + 8 * s * p;
    const Integer step = 2 * s * m;
    rows<W, 3>(s, tw + 2 * (kTwiddle ? 3 * p : 0), [&]<int V>(Integer q, const Factors<V>* w)
                                                        TAMSEL_LANES_LAMBDA {
      const Vec<V> a0 = load<V>(in + q), a1 = load<V>(in + q + step);
      const Vec<V> a2 = load<V>(in + q + 2 * step), a3 = load<V>(in + q + 3 * step);
      const Vec<V> t0 = a0 + a2, t1 = a0 - a2, t2 = a1 + a3, t3 = neg_i<V>(a1 - a3);
      store<V>(out + q, t0 + t2);
      if (!kTwiddle) {
        store<V>(out + q + 2 * s, t1 + t3);
        store<V>(out + q + 4 * s, t0 - t2);
        store<V>(out + q + 6 * s, t1 - t3);
      } else {
        store<V>(out + q + 2 * s, twiddled<V>(t1 + t3, w[0]));
        store<V>(out + q + 4 * s, twiddled<V>(t0 - t2, w[1]));
        store<V>(out + q + 6 * s, twiddled<V>(t1 - t3, w[2]));
      }
    });
  });
}

template <int W>
TAMSEL_LANES void pass8(const Real* x, Real* y, Integer m, Integer s, const Real* tw, Real h) {
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* in = x + 2 * s * p;
    Real* out = y + 16 * s * p;
    rows<W, 7>(s, tw + 2 * (kTwiddle ? 7 * p : 0), [&]<int V>(Integer q, const Factors<V>* w)
                                                        TAMSEL_LANES_LAMBDA {
      const Vec<V> hh = splat<V>(h);
      Vec<V> a[8];
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j) a[j] = load<V>(in + q + 2 * s * j * m);
      const Vec<V> e0 = a[0] + a[4], e1 = a[0] - a[4], e2 = a[2] + a[6], e3 = neg_i<V>(a[2] - a[6]);
      const Vec<V> o0 = a[1] + a[5], o1 = a[1] - a[5], o2 = a[3] + a[7], o3 = neg_i<V>(a[3] - a[7]);
      const Vec<V> E[4] = {e0 + e2, e1 + e3, e0 - e2, e1 - e3};
      const Vec<V> O1 = o1 + o3, O3 = o1 - o3, S1 = swapped<V>(O1), S3 = swapped<V>(O3);
      const Vec<V> O[4] = {o0 + o2, lanes::pick<V, lanes::kEvenOdd>(O1 + S1, O1 - S1) * hh,
                           neg_i<V>(o0 - o2),
                           lanes::pick<V, lanes::kEvenOdd>(S3 - O3, -(O3 + S3)) * hh};
      Real* o = out + q;
      store<V>(o, E[0] + O[0]);
#pragma GCC unroll 7
      for (int k = 1; k < 8; ++k) {
        const Vec<V> b = k < 4 ? E[k] + O[k] : E[k - 4] - O[k - 4];
        store<V>(o + 2 * s * k, !kTwiddle ? b : twiddled<V>(b, w[k - 1]));
      }
    });
  });
}

// Radix 3 or 5: c and sn hold cos and sin of 2 pi jk/R at [k-1][j-1].
template <int W, int R>
TAMSEL_LANES void pass_odd(const Real* x, Real* y, Integer m, Integer s, const Real* tw,
                           const Real* c, const Real* sn) {
  constexpr int H = (R - 1) / 2;
  for_each_p(m, [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* in = x + 2 * s * p;
    Real* out = y + 2 * R * s * p;
    rows<W, R - 1>(s, tw + 2 * (kTwiddle ? (R - 1) * p : 0),
                   [&]<int V>(Integer q, const Factors<V>* w) TAMSEL_LANES_LAMBDA {
      const Vec<V> a0 = load<V>(in + q);
      Vec<V> t[H], u[H], b[R];
      b[0] = a0;
#pragma GCC unroll 4
      for (int j = 1; j <= H; ++j) {
        const Vec<V> aj = load<V>(in + q + 2 * s * j * m), ar = load<V>(in + q + 2 * s * (R - j) * m);
        t[j - 1] = aj + ar;
        u[j - 1] = aj - ar;
        b[0] += t[j - 1];
      }
#pragma GCC unroll 4
      for (int k = 1; k <= H; ++k) {
        Vec<V> a = a0, bb = splat<V>(0.0);
#pragma GCC unroll 4
        for (int j = 1; j <= H; ++j) {
          a += splat<V>(c[(k - 1) * H + j - 1]) * t[j - 1];
          bb += splat<V>(sn[(k - 1) * H + j - 1]) * u[j - 1];
        }
        b[k] = a + neg_i<V>(bb);
        b[R - k] = a - neg_i<V>(bb);
      }
      Real* o = out + q;
      store<V>(o, b[0]);
#pragma GCC unroll 4
      for (int k = 1; k < R; ++k) store<V>(o + 2 * s * k, !kTwiddle ? b[k] : twiddled<V>(b[k], w[k - 1]));
    });
  });
}

} // namespace mixed

// The pass of radix 2, 3, 4, 5 or 8 (Table::any_pass), any s.
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
