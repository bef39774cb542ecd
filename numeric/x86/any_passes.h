// SPDX-License-Identifier: BSD-3-Clause
// The any-length engine's passes of radix 2, 3, 4, 5, 7, 8, 11 and 13 over
// W lanes: fft/any_passes.h's pass, each vector holding the W/2 butterflies
// of consecutive q (or, with s = 1, of consecutive p), every value's
// operations those of the plain passes (fft/any_passes.cpp) in the same
// order.  Internal to the toolkit; not installed.
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

// The N factors at f as Factors<V>.
template <int V, int N>
TAMSEL_LANES void factors_at(const Real* f, Factors<V>* w) {
#pragma GCC unroll 8
  for (int k = 0; k < N; ++k) w[k] = factor_of<V>(f + 2 * k);
}

// The factor at a in the first pair of lanes and that at b in the second.
TAMSEL_LANES Factors<4> factors_of_two(const Real* a, const Real* b) {
  const Vec<4> v = load_halves<4>(a, b);
  if constexpr (kAddSub<4>) return {v, v};
  else return {__builtin_shufflevector(v, v, 0, 0, 2, 2), __builtin_shufflevector(-v, v, 1, 5, 3, 7)};
}

// A pass of radix R: body.template operator()<V, kTwiddle>(in, w, put)
// does the butterflies of the values a_j at in + j step (step = 2 s m
// Reals), V/2 at a time, with the R-1 factors w (not read without
// kTwiddle), handing b_k to put(k, b_k).  In the lanes: consecutive q, an
// odd s's last at two lanes; with s = 1 and W = 4, the butterflies of p and
// p + 1 (p > 0).  The first butterflies (p = 0) have no twiddle factor.
template <int W, int R, typename Body>
TAMSEL_LANES void drive(const Real* x, Real* y, Integer m, Integer s, const Real* tw,
                        const Body& body) {
  constexpr int N = R - 1;
  const Integer step = 2 * s * m;
  const auto at_p = [&]<bool kTwiddle>(Integer p) TAMSEL_LANES_LAMBDA {
    const Real* in = x + 2 * s * p;
    Real* out = y + 2 * R * s * p;
    const Real* f = tw + 2 * N * p;
    Factors<W> w[N];
    if (kTwiddle) factors_at<W, N>(f, w);
    Integer q = 0;
    for (; q + W <= 2 * s; q += W)
      body.template operator()<W, kTwiddle>(in + q, step, w,
          [&](int k, const Vec<W>& v) TAMSEL_LANES_LAMBDA { store<W>(out + q + 2 * s * k, v); });
    if constexpr (W > 2) {
      if (q < 2 * s) {
        Factors<2> w2[N];
        if (kTwiddle) factors_at<2, N>(f, w2);
        body.template operator()<2, kTwiddle>(in + q, step, w2,
            [&](int k, const Vec<2>& v) TAMSEL_LANES_LAMBDA { store<2>(out + q + 2 * s * k, v); });
      }
    }
  };
  if (m > 0) at_p.template operator()<false>(0);
  Integer p = 1;
  if constexpr (W == 4) {
    if (s == 1)
      for (; p + 1 < m; p += 2) {
        Factors<4> w[N];
#pragma GCC unroll 8
        for (int k = 0; k < N; ++k) w[k] = factors_of_two(tw + 2 * (N * p + k), tw + 2 * (N * (p + 1) + k));
        body.template operator()<4, true>(x + 2 * p, step, w,
            [&](int k, const Vec<4>& v) TAMSEL_LANES_LAMBDA {
          store_half<4>(y + 2 * (R * p + k), v, 0);
          store_half<4>(y + 2 * (R * (p + 1) + k), v, 1);
        });
      }
  }
  for (; p < m; ++p) at_p.template operator()<true>(p);
}

template <int W>
TAMSEL_LANES void pass2(const Real* x, Real* y, Integer m, Integer s, const Real* tw) {
  drive<W, 2>(x, y, m, s, tw, []<int V, bool kTwiddle>(const Real* in, Integer step,
                                                       const Factors<V>* w, const auto& put)
                                  TAMSEL_LANES_LAMBDA {
    const Vec<V> a0 = load<V>(in), a1 = load<V>(in + step);
    put(0, a0 + a1);
    put(1, !kTwiddle ? a0 - a1 : twiddled<V>(a0 - a1, w[0]));
  });
}

template <int W>
TAMSEL_LANES void pass4(const Real* x, Real* y, Integer m, Integer s, const Real* tw) {
  drive<W, 4>(x, y, m, s, tw, []<int V, bool kTwiddle>(const Real* in, Integer step,
                                                       const Factors<V>* w, const auto& put)
                                  TAMSEL_LANES_LAMBDA {
    const Vec<V> a0 = load<V>(in), a1 = load<V>(in + step);
    const Vec<V> a2 = load<V>(in + 2 * step), a3 = load<V>(in + 3 * step);
    const Vec<V> t0 = a0 + a2, t1 = a0 - a2, t2 = a1 + a3, t3 = neg_i<V>(a1 - a3);
    put(0, t0 + t2);
    if (!kTwiddle) {
      put(1, t1 + t3);
      put(2, t0 - t2);
      put(3, t1 - t3);
    } else {
      put(1, twiddled<V>(t1 + t3, w[0]));
      put(2, twiddled<V>(t0 - t2, w[1]));
      put(3, twiddled<V>(t1 - t3, w[2]));
    }
  });
}

template <int W>
TAMSEL_LANES void pass8(const Real* x, Real* y, Integer m, Integer s, const Real* tw, Real h) {
  drive<W, 8>(x, y, m, s, tw, [h]<int V, bool kTwiddle>(const Real* in, Integer step,
                                                        const Factors<V>* w, const auto& put)
                                  TAMSEL_LANES_LAMBDA {
    const Vec<V> hh = splat<V>(h);
    Vec<V> a[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) a[j] = load<V>(in + j * step);
    const Vec<V> e0 = a[0] + a[4], e1 = a[0] - a[4], e2 = a[2] + a[6], e3 = neg_i<V>(a[2] - a[6]);
    const Vec<V> o0 = a[1] + a[5], o1 = a[1] - a[5], o2 = a[3] + a[7], o3 = neg_i<V>(a[3] - a[7]);
    const Vec<V> E[4] = {e0 + e2, e1 + e3, e0 - e2, e1 - e3};
    const Vec<V> O1 = o1 + o3, O3 = o1 - o3, S1 = swapped<V>(O1), S3 = swapped<V>(O3);
    const Vec<V> O[4] = {o0 + o2, lanes::pick<V, lanes::kEvenOdd>(O1 + S1, O1 - S1) * hh,
                         neg_i<V>(o0 - o2),
                         lanes::pick<V, lanes::kEvenOdd>(S3 - O3, -(O3 + S3)) * hh};
    put(0, E[0] + O[0]);
#pragma GCC unroll 7
    for (int k = 1; k < 8; ++k) {
      const Vec<V> b = k < 4 ? E[k] + O[k] : E[k - 4] - O[k - 4];
      put(k, !kTwiddle ? b : twiddled<V>(b, w[k - 1]));
    }
  });
}

// Odd radix R up to 13: c and sn hold cos and sin of 2 pi jk/R at [k-1][j-1].
template <int W, int R>
TAMSEL_LANES void pass_odd(const Real* x, Real* y, Integer m, Integer s, const Real* tw,
                           const Real* c, const Real* sn) {
  drive<W, R>(x, y, m, s, tw, [c, sn]<int V, bool kTwiddle>(const Real* in, Integer step,
                                                            const Factors<V>* w, const auto& put)
                                  TAMSEL_LANES_LAMBDA {
    constexpr int H = (R - 1) / 2;
    const Vec<V> a0 = load<V>(in);
    Vec<V> t[H], u[H], b[R];
    b[0] = a0;
#pragma GCC unroll 8
    for (int j = 1; j <= H; ++j) {
      const Vec<V> aj = load<V>(in + j * step), ar = load<V>(in + (R - j) * step);
      t[j - 1] = aj + ar;
      u[j - 1] = aj - ar;
      b[0] += t[j - 1];
    }
#pragma GCC unroll 8
    for (int k = 1; k <= H; ++k) {
      Vec<V> a = a0, bb = splat<V>(0.0);
#pragma GCC unroll 8
      for (int j = 1; j <= H; ++j) {
        a += splat<V>(c[(k - 1) * H + j - 1]) * t[j - 1];
        bb += splat<V>(sn[(k - 1) * H + j - 1]) * u[j - 1];
      }
      b[k] = a + neg_i<V>(bb);
      b[R - k] = a - neg_i<V>(bb);
    }
    put(0, b[0]);
#pragma GCC unroll 12
    for (int k = 1; k < R; ++k) put(k, !kTwiddle ? b[k] : twiddled<V>(b[k], w[k - 1]));
  });
}

} // namespace mixed

// The pass of radix 2, 3, 4, 5, 7, 8, 11 or 13 (Table::any_pass), any s.
template <int W>
TAMSEL_LANES void any_pass(unsigned radix, const Real* x, Real* y, Integer m, Integer s,
                           const Real* tw, const Real* constants) {
  switch (radix) {
    case 2: return mixed::pass2<W>(x, y, m, s, tw);
    case 3: return mixed::pass_odd<W, 3>(x, y, m, s, tw, constants, constants + 1);
    case 4: return mixed::pass4<W>(x, y, m, s, tw);
    case 5: return mixed::pass_odd<W, 5>(x, y, m, s, tw, constants, constants + 4);
    case 7: return mixed::pass_odd<W, 7>(x, y, m, s, tw, constants, constants + 9);
    case 11: return mixed::pass_odd<W, 11>(x, y, m, s, tw, constants, constants + 25);
    case 13: return mixed::pass_odd<W, 13>(x, y, m, s, tw, constants, constants + 36);
    default: return mixed::pass8<W>(x, y, m, s, tw, constants[0]);
  }
}

} // namespace tamsel::x86

