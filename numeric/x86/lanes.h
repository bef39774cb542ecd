// SPDX-License-Identifier: BSD-3-Clause
// The lanes the x86 kernels are written over: W Reals, W = 2 (SSE2), 4 (AVX) or
// 8 (AVX-512F), in GCC's vector types (each operation lane by lane, with the
// scalar operation's rounding), complex values (re, im) in pairs of
// lanes.  Each kernel is a template over W, always inlined, at every
// optimisation level, into the table entries (x86/tables.cpp), which carry the
// instruction set's target attribute; the templates carry none, use no
// intrinsic and take pointers, references and scalars, never a vector by value,
// so no vector crosses between code of two targets (hence -Wno-psabi).  What W
// does not divide goes through the template at W/2.  Internal to the toolkit;
// not installed.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include <tamsel/numeric/types.h>

namespace tamsel::x86 {

// (A template drops a type's attribute, so each W is spelled out.)
template <int W>
struct Lanes;
#define TAMSEL_LANES_OF(w)                                                 \
  template <>                                                              \
  struct Lanes<w> {                                                        \
    using type = Real __attribute__((vector_size(w * sizeof(Real))));          \
    using bits = std::uint64_t __attribute__((vector_size(w * sizeof(Real)))); \
  };
TAMSEL_LANES_OF(2)
TAMSEL_LANES_OF(4)
TAMSEL_LANES_OF(8)
#undef TAMSEL_LANES_OF
template <int W>
using Vec = typename Lanes<W>::type;

#define TAMSEL_LANES [[gnu::always_inline]] inline
// The kernels' lambdas, always inlined too, into the entry and its target.
#define TAMSEL_LANES_LAMBDA __attribute__((always_inline))

template <int W>
TAMSEL_LANES Vec<W> load(const Real* p) {
  Vec<W> v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <int W>
TAMSEL_LANES void store(Real* p, const Vec<W>& v) { std::memcpy(p, &v, sizeof v); }

// x in every lane.
template <int W>
TAMSEL_LANES Vec<W> splat(Real x) {
  Vec<W> v;
#pragma GCC unroll 8
  for (int i = 0; i < W; ++i) v[i] = x;
  return v;
}

// A vector's halves stored or loaded apart: no shuffle needed.
template <int W>
TAMSEL_LANES void store_half(Real* p, const Vec<W>& v, int half) {
  std::memcpy(p, reinterpret_cast<const char*>(&v) + half * (sizeof v / 2), sizeof v / 2);
}
template <int W, std::size_t... I>
TAMSEL_LANES Vec<W> load_halves(const Real* low, const Real* high, std::index_sequence<I...>) {
  return __builtin_shufflevector(load<W / 2>(low), load<W / 2>(high), int(I)...);
}
template <int W>
TAMSEL_LANES Vec<W> load_halves(const Real* low, const Real* high) {
  return load_halves<W>(low, high, std::make_index_sequence<W>{});
}

namespace lanes {
// Lane i from x's lanes and y's (lane W + j is y's lane j), as kPick picks.
enum Pick { kSwap, kEvens, kOdds, kEvenOdd };
template <int W, Pick kPick, std::size_t... I>
TAMSEL_LANES Vec<W> pick(const Vec<W>& x, const Vec<W>& y, std::index_sequence<I...>) {
  return __builtin_shufflevector(x, y, int(kPick == kSwap    ? I ^ 1
                                           : kPick == kEvens ? I & ~std::size_t{1}
                                           : kPick == kOdds  ? I | 1
                                           : I % 2 == 0      ? I
                                                             : I + W)...);
}
template <int W, Pick kPick>
TAMSEL_LANES Vec<W> pick(const Vec<W>& x, const Vec<W>& y) {
  return pick<W, kPick>(x, y, std::make_index_sequence<W>{});
}
} // namespace lanes

// Each complex value's parts exchanged: (im, re).
template <int W>
TAMSEL_LANES Vec<W> swapped(const Vec<W>& v) { return lanes::pick<W, lanes::kSwap>(v, v); }
// Each complex value's real part in both of its lanes, or its imaginary part.
template <int W>
TAMSEL_LANES Vec<W> real_parts(const Vec<W>& v) { return lanes::pick<W, lanes::kEvens>(v, v); }
template <int W>
TAMSEL_LANES Vec<W> imag_parts(const Vec<W>& v) { return lanes::pick<W, lanes::kOdds>(v, v); }

// Whether W has an add-subtract instruction (AVX's): there the factors stay
// (w_re, w_im) pairs and t is the add-subtract of b*w_re and swapped(b)*w_im.
// SSE2 and AVX-512F have none: the factors are made ready once, re = (w_re,
// w_re), im = (-w_im, w_im), and t = b*re + swapped(b)*im, the product with
// -w_im being exactly the negative of that with w_im and x + (-y) x - y (w is
// finite: no NaN sign differs).  Both do fft::butterfly's operations.
template <int W>
inline constexpr bool kAddSub = W == 4;

template <int W>
struct Factors {
  Vec<W> re; // (w_re, w_re), or the factors as loaded where kAddSub
  Vec<W> im; // (-w_im, w_im), unused where kAddSub
};

// The factors w[0 .. W-1], W/2 (re, im) pairs, ready for the lanes.
template <int W>
TAMSEL_LANES Factors<W> factors(const Real* w) {
  const Vec<W> v = load<W>(w);
  if constexpr (kAddSub<W>) {
    return {v, v};
  } else {
    typename Lanes<W>::bits sign{};
#pragma GCC unroll 8
    for (int k = 0; k < W; k += 2) sign[k] = std::uint64_t{1} << 63;
    using Bits = typename Lanes<W>::bits;
    return {real_parts<W>(v), reinterpret_cast<Vec<W>>(reinterpret_cast<Bits>(imag_parts<W>(v)) ^ sign)};
  }
}

// The one factor (w_re, w_im) in every pair of lanes.
template <int W>
TAMSEL_LANES Factors<W> factor(Real w_re, Real w_im) {
  Real w[W];
#pragma GCC unroll 8
  for (int k = 0; k < W; k += 2) {
    w[k] = w_re;
    w[k + 1] = w_im;
  }
  return factors<W>(w);
}
template <int W>
TAMSEL_LANES Factors<W> factor(const Real* w) { return factor<W>(w[0], w[1]); }

// t of W/2 butterflies, their b in bv.
template <int W>
TAMSEL_LANES Vec<W> twiddled(const Vec<W>& bv, const Factors<W>& f) {
  if constexpr (kAddSub<W>) {
    const Vec<W> x = bv * real_parts<W>(f.re);
    const Vec<W> y = swapped<W>(bv) * imag_parts<W>(f.re);
    return lanes::pick<W, lanes::kEvenOdd>(x - y, x + y); // (x - y, x + y) pairs
  } else {
    return bv * f.re + swapped<W>(bv) * f.im;
  }
}

// W/2 butterflies of values held in registers: a + t in a, a - t in b, t
// being b twiddled by f.
template <int W>
TAMSEL_LANES void butterflies_of(Vec<W>& a, Vec<W>& b, const Factors<W>& f) {
  const Vec<W> t = twiddled<W>(b, f);
  b = a - t;
  a = a + t;
}

// W/2 butterflies of the values at a and b, stored at a_to and b_to.
template <int W>
TAMSEL_LANES void butterflies_at(const Real* a, const Real* b, Real* a_to, Real* b_to,
                                 const Factors<W>& f) {
  const Vec<W> av = load<W>(a);
  const Vec<W> t = twiddled<W>(load<W>(b), f);
  store<W>(b_to, av - t);
  store<W>(a_to, av + t);
}
template <int W>
TAMSEL_LANES void butterflies_at(Real* a, Real* b, const Factors<W>& f) {
  butterflies_at<W>(a, b, a, b, f);
}

} // namespace tamsel::x86
