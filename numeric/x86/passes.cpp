// SPDX-License-Identifier: BSD-3-Clause
// The SSE2 and AVX-512 kernels of the complex passes, written once over the
// lanes of a vector of W Reals (GCC's vector types, whose every operation
// acts lane by lane with the rounding of the scalar operation): W = 2, one
// complex value a vector, for SSE2; W = 8, four, for AVX-512F.  (The AVX
// ones, in x86/fft.cpp, stay written for AVX: its add-subtract instruction
// and its load that duplicates the factors' real parts save a shuffle a
// butterfly over what GCC makes of the same steps over generic lanes.)
// Each butterfly does the operations of fft::butterfly with the same
// operands:
//   t_re = b_re*w_re + b_im*(-w_im),  t_im = b_im*w_re + b_re*w_im,
// then a - t and a + t.  Neither instruction set has an add-subtract, so
// b_im*w_im is formed as the product with -w_im, exactly its negative, and
// added: x + (-y) is x - y to the last bit, and a NaN operand passes
// through either form unchanged (w is finite here, so no NaN sign can
// differ).  The templates carry no target of their own: they are always
// inlined, at every optimisation level, into the entries at the end, which
// do; the entries hand them pointers and references, never a vector by
// value.  No vector crosses a function boundary, so the calling convention
// GCC notes for wide vectors never applies: the build compiles this unit
// with -Wno-psabi.
#include "x86/simd.h"

#include <cstdint>
#include <cstring>

#include <immintrin.h>

namespace tamsel::x86 {

namespace {

// Complex values (re, im) in the lanes of a vector of W Reals, with the
// shuffles a butterfly needs and the passes' tuning for that width: while
// the array holds at most kCachedValues values, a pass takes each factor
// once for all its groups when it has four groups or more, a pair of
// passes when it has kPairGroups groups or more.
template <int W>
struct Complex;

template <>
struct Complex<2> {
  using V = Lanes<2>::type;
  using Bits = Lanes<2>::bits;
  [[gnu::always_inline]] static V swapped(V v) { return __builtin_shufflevector(v, v, 1, 0); }
  [[gnu::always_inline]] static V real_parts(V v) { return __builtin_shufflevector(v, v, 0, 0); }
  [[gnu::always_inline]] static V imag_parts(V v) { return __builtin_shufflevector(v, v, 1, 1); }
  static constexpr Integer kCachedValues = 0; // each factor taken group by group
};

template <>
struct Complex<8> {
  using V = Lanes<8>::type;
  using Bits = Lanes<8>::bits;
  [[gnu::always_inline]] static V swapped(V v) {
    return __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
  }
  [[gnu::always_inline]] static V real_parts(V v) {
    return __builtin_shufflevector(v, v, 0, 0, 2, 2, 4, 4, 6, 6);
  }
  [[gnu::always_inline]] static V imag_parts(V v) {
    return __builtin_shufflevector(v, v, 1, 1, 3, 3, 5, 5, 7, 7);
  }
  // The first complex value alone.
  [[gnu::always_inline]] static Lanes<2>::type first(V v) {
    return __builtin_shufflevector(v, v, 0, 1);
  }
  static constexpr Integer kCachedValues = 2048;
  static constexpr Integer kPairGroups = 2;
};

template <int W>
using Vec = typename Complex<W>::V;

template <int W>
[[gnu::always_inline]] inline Vec<W> load(const Real* p) {
  Vec<W> v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <int W>
[[gnu::always_inline]] inline void store(Real* p, Vec<W> v) {
  std::memcpy(p, &v, sizeof v);
}

// The factors of W/2 butterflies ready for the lanes: re = (w_re, w_re) and
// im = (-w_im, w_im) for each.
template <int W>
struct Factors {
  Vec<W> re;
  Vec<W> im;
};

// The factors w[0 .. W-1], W/2 (re, im) pairs: the sign of each imaginary
// part's even copy flipped.
template <int W>
[[gnu::always_inline]] inline Factors<W> factors(const Real* w) {
  using Bits = typename Complex<W>::Bits;
  Bits sign{};
  for (int k = 0; k < W; k += 2) sign[k] = std::uint64_t{1} << 63;
  const Vec<W> v = load<W>(w);
  const Bits im = reinterpret_cast<Bits>(Complex<W>::imag_parts(v)) ^ sign;
  return {Complex<W>::real_parts(v), reinterpret_cast<Vec<W>>(im)};
}

// t of W/2 butterflies, their b in bv.
template <int W>
[[gnu::always_inline]] inline Vec<W> twiddled(Vec<W> bv, const Factors<W>& f) {
  return bv * f.re + Complex<W>::swapped(bv) * f.im;
}

// W/2 butterflies at a and b.
template <int W>
[[gnu::always_inline]] inline void butterflies_at(Real* a, Real* b, const Factors<W>& f) {
  const Vec<W> av = load<W>(a);
  const Vec<W> t = twiddled<W>(load<W>(b), f);
  store<W>(b, av - t);
  store<W>(a, av + t);
}

// count butterflies with one factor f (the same in every pair of lanes);
// those left after the whole vectors go one by one.
template <int W>
[[gnu::always_inline]] inline void butterflies(Real* a, Real* b, const Factors<W>& f,
                                               Integer count) {
  constexpr Integer step = W / 2;
  Integer i = 0;
  for (; i + step <= count; i += step) butterflies_at<W>(a + 2 * i, b + 2 * i, f);
  if constexpr (W > 2) {
    const Factors<2> one{Complex<W>::first(f.re), Complex<W>::first(f.im)};
    for (; i < count; ++i) butterflies_at<2>(a + 2 * i, b + 2 * i, one);
  }
}

// One pass, half-span h, butterflies j0 .. j0+count-1 of each group of 2h
// values; count a multiple of W/2.
template <int W>
[[gnu::always_inline]] inline void pass(Real* data, Integer n, Integer h, const Real* w,
                                        Integer j0, Integer count) {
  constexpr Integer step = W / 2;
  if (n >= 8 * h && n <= Complex<W>::kCachedValues) {
    for (Integer j = 0; j < count; j += step) {
      const Factors<W> f = factors<W>(w + 2 * j);
      for (Integer s = 0; s < n; s += 2 * h) {
        Real* a = data + 2 * (s + j0 + j);
        butterflies_at<W>(a, a + 2 * h, f);
      }
    }
    return;
  }
  for (Integer s = 0; s < n; s += 2 * h) {
    Real* a = data + 2 * (s + j0);
    for (Integer j = 0; j < count; j += step) {
      butterflies_at<W>(a + 2 * j, a + 2 * h + 2 * j, factors<W>(w + 2 * j));
    }
  }
}

// Passes of half-spans h and 2h together on W/2 values of j of one group:
// v0..v3 through (v0, v1) and (v2, v3) with fa, then (v0, v2) with f0 and
// (v1, v3) with f1, in place.
template <int W>
[[gnu::always_inline]] inline void pair_values(Vec<W>& v0, Vec<W>& v1, Vec<W>& v2, Vec<W>& v3,
                                               const Factors<W>& fa, const Factors<W>& f0,
                                               const Factors<W>& f1) {
  const Vec<W> t1 = twiddled<W>(v1, fa);
  const Vec<W> t3 = twiddled<W>(v3, fa);
  v1 = v0 - t1;
  v0 = v0 + t1;
  v3 = v2 - t3;
  v2 = v2 + t3;
  const Vec<W> t2 = twiddled<W>(v2, f0);
  const Vec<W> u3 = twiddled<W>(v3, f1);
  v2 = v0 - t2;
  v0 = v0 + t2;
  v3 = v1 - u3;
  v1 = v1 + u3;
}

// pair_values on the values at from + k * span, k = 0..3, stored at to +
// k * span (to may be from).
template <int W>
[[gnu::always_inline]] inline void pair_step(const Real* from, Real* to, Integer span,
                                             const Factors<W>& fa, const Factors<W>& f0,
                                             const Factors<W>& f1) {
  Vec<W> v0 = load<W>(from);
  Vec<W> v1 = load<W>(from + span);
  Vec<W> v2 = load<W>(from + 2 * span);
  Vec<W> v3 = load<W>(from + 3 * span);
  pair_values<W>(v0, v1, v2, v3, fa, f0, f1);
  store<W>(to + 2 * span, v2);
  store<W>(to, v0);
  store<W>(to + 3 * span, v3);
  store<W>(to + span, v1);
}

// Passes of half-spans h and 2h together on each group of 4h values: for
// j = 0..h-1 the values at s+j, s+j+h, s+j+2h, s+j+3h go through pair_step
// with wa[j], wb[j] and wb[j+h]; h a multiple of W/2.  The values are read
// at in and stored at out (out may be in).
template <int W>
[[gnu::always_inline]] inline void pass_pair(const Real* in, Real* out, Integer n, Integer h,
                                             const Real* wa, const Real* wb) {
  const Integer span = 2 * h; // Reals from one value to the next in a group
  if (n >= 4 * Complex<W>::kPairGroups * h && n <= Complex<W>::kCachedValues) {
    for (Integer k = 0; k < span; k += W) {
      const Factors<W> fa = factors<W>(wa + k);
      const Factors<W> f0 = factors<W>(wb + k);
      const Factors<W> f1 = factors<W>(wb + span + k);
      for (Integer s = 0; s < n; s += 4 * h) {
        pair_step<W>(in + 2 * s + k, out + 2 * s + k, span, fa, f0, f1);
      }
    }
    return;
  }
  for (Integer s = 0; s < n; s += 4 * h) {
    for (Integer k = 0; k < span; k += W) {
      pair_step<W>(in + 2 * s + k, out + 2 * s + k, span, factors<W>(wa + k), factors<W>(wb + k),
                   factors<W>(wb + span + k));
    }
  }
}

// Three passes on W/2 values of j, v_r at at + r * span, r = 0..7, in
// place: pair_values on v0..v3 and on v4..v7, then (v_r, v_r+4) with fc[r].
template <int W>
[[gnu::always_inline]] inline void triple_step(Real* at, Integer span, const Factors<W>& fa,
                                               const Factors<W>& fb0, const Factors<W>& fb1,
                                               const Factors<W> (&fc)[4]) {
  Vec<W> v[8];
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r) v[r] = load<W>(at + r * span);
  pair_values<W>(v[0], v[1], v[2], v[3], fa, fb0, fb1);
  pair_values<W>(v[4], v[5], v[6], v[7], fa, fb0, fb1);
#pragma GCC unroll 4
  for (int r = 0; r < 4; ++r) {
    const Vec<W> t = twiddled<W>(v[r + 4], fc[r]);
    store<W>(at + (r + 4) * span, v[r] - t);
    store<W>(at + r * span, v[r] + t);
  }
}

// Passes of half-spans h, 2h and 4h together on each group of 8h values:
// for j = 0..h-1 the values v_r at s+j+r*h, r = 0..7, go through (v_r,
// v_r+1), r even, with wa[j]; then (v_r, v_r+2), r = 0, 1, 4, 5, with
// wb[j + (r % 2) * h]; then (v_r, v_r+4), r = 0..3, with wc[j + r*h]; h a
// multiple of W/2.  With two groups or more in cache, each j's factors are
// taken once for all groups.
template <int W>
[[gnu::always_inline]] inline void pass_triple(Real* data, Integer n, Integer h, const Real* wa,
                                               const Real* wb, const Real* wc) {
  const Integer span = 2 * h;
  if (n >= 16 * h && n <= Complex<W>::kCachedValues) {
    for (Integer k = 0; k < span; k += W) {
      const Factors<W> fa = factors<W>(wa + k);
      const Factors<W> fb0 = factors<W>(wb + k);
      const Factors<W> fb1 = factors<W>(wb + span + k);
      const Factors<W> fc[4] = {factors<W>(wc + k), factors<W>(wc + span + k),
                                factors<W>(wc + 2 * span + k), factors<W>(wc + 3 * span + k)};
      for (Integer s = 0; s < n; s += 8 * h) {
        triple_step<W>(data + 2 * s + k, span, fa, fb0, fb1, fc);
      }
    }
    return;
  }
  for (Integer s = 0; s < n; s += 8 * h) {
    for (Integer k = 0; k < span; k += W) {
      const Factors<W> fc[4] = {factors<W>(wc + k), factors<W>(wc + span + k),
                                factors<W>(wc + 2 * span + k), factors<W>(wc + 3 * span + k)};
      triple_step<W>(data + 2 * s + k, span, factors<W>(wa + k), factors<W>(wb + k),
                     factors<W>(wb + span + k), fc);
    }
  }
}

// kernels::Table::rows_triple with the factors ready; count a multiple of
// W/2.
template <int W>
[[gnu::always_inline]] inline void rows_triple(Real* a, Integer span, const Factors<W>& fa,
                                               const Factors<W>& f0, const Factors<W>& f1,
                                               const Factors<W> (&fc)[4], Integer count) {
  for (Integer e = 0; e < 2 * count; e += W) triple_step<W>(a + e, span, fa, f0, f1, fc);
}

// kernels::Table::pass_pair_swap; h a multiple of W/2.
template <int W>
[[gnu::always_inline]] inline void pass_pair_swap(Real* a, Real* b, Integer n, Integer h,
                                                  const Real* wa, const Real* wb) {
  const Integer span = 2 * h;
  for (Integer s = 0; s < n; s += 4 * h) {
    for (Integer k = 0; k < span; k += W) {
      const Factors<W> fa = factors<W>(wa + k);
      const Factors<W> f0 = factors<W>(wb + k);
      const Factors<W> f1 = factors<W>(wb + span + k);
      Real* const p = a + 2 * s + k;
      Real* const q = b + 2 * s + k;
      Vec<W> x0 = load<W>(p), x1 = load<W>(p + span);
      Vec<W> x2 = load<W>(p + 2 * span), x3 = load<W>(p + 3 * span);
      Vec<W> y0 = load<W>(q), y1 = load<W>(q + span);
      Vec<W> y2 = load<W>(q + 2 * span), y3 = load<W>(q + 3 * span);
      pair_values<W>(x0, x1, x2, x3, fa, f0, f1);
      pair_values<W>(y0, y1, y2, y3, fa, f0, f1);
      store<W>(q, x0);
      store<W>(q + span, x1);
      store<W>(q + 2 * span, x2);
      store<W>(q + 3 * span, x3);
      store<W>(p, y0);
      store<W>(p + span, y1);
      store<W>(p + 2 * span, y2);
      store<W>(p + 3 * span, y3);
    }
  }
}

// kernels::Table::rows_pair with the factors ready; count a multiple of W/2.
template <int W>
[[gnu::always_inline]] inline void rows_pair(Real* a, Integer span, const Factors<W>& fa,
                                             const Factors<W>& f0, const Factors<W>& f1,
                                             Integer count) {
  for (Integer e = 0; e < 2 * count; e += W) pair_step<W>(a + e, a + e, span, fa, f0, f1);
}

} // namespace

// ---- The entries.  Each makes the factors of one value for every lane
// with its own instructions, then hands them by reference.

#define TAMSEL_AVX512 __attribute__((target("avx512f")))

namespace {

[[gnu::always_inline]] inline Factors<2> factor_sse2(Real w_re, Real w_im) {
  return {_mm_set1_pd(w_re), _mm_set_pd(w_im, -w_im)};
}
[[gnu::always_inline]] TAMSEL_AVX512 inline Factors<8> factor_avx512(Real w_re, Real w_im) {
  return {_mm512_set1_pd(w_re),
          _mm512_setr_pd(-w_im, w_im, -w_im, w_im, -w_im, w_im, -w_im, w_im)};
}

} // namespace

void pass_sse2(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count) {
  pass<2>(data, n, h, w, j0, count);
}
TAMSEL_AVX512 void pass_avx512(Real* data, Integer n, Integer h, const Real* w, Integer j0,
                               Integer count) {
  pass<8>(data, n, h, w, j0, count);
}

TAMSEL_AVX512 void pass_pair_avx512(Real* data, Integer n, Integer h, const Real* wa,
                                    const Real* wb) {
  pass_pair<8>(data, data, n, h, wa, wb);
}

TAMSEL_AVX512 void pass_triple_avx512(Real* data, Integer n, Integer h, const Real* wa,
                                      const Real* wb, const Real* wc) {
  pass_triple<8>(data, n, h, wa, wb, wc);
}

TAMSEL_AVX512 void pass_pair_to_avx512(const Real* in, Real* out, Integer n, Integer h,
                                       const Real* wa, const Real* wb) {
  pass_pair<8>(in, out, n, h, wa, wb);
}

TAMSEL_AVX512 void pass_pair_swap_avx512(Real* a, Real* b, Integer n, Integer h,
                                         const Real* wa, const Real* wb) {
  pass_pair_swap<8>(a, b, n, h, wa, wb);
}

void butterflies_sse2(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
  butterflies<2>(a, b, factor_sse2(w_re, w_im), count);
}
TAMSEL_AVX512 void butterflies_avx512(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
  butterflies<8>(a, b, factor_avx512(w_re, w_im), count);
}

TAMSEL_AVX512 void rows_pair_avx512(Real* a, Integer span, const Real* fa, const Real* f0,
                                    const Real* f1, Integer count) {
  rows_pair<8>(a, span, factor_avx512(fa[0], fa[1]), factor_avx512(f0[0], f0[1]),
               factor_avx512(f1[0], f1[1]), count);
}

TAMSEL_AVX512 void rows_triple_avx512(Real* a, Integer span, const Real* fa, const Real* f0,
                                      const Real* f1, const Real* fc, Integer fc_step,
                                      Integer count) {
  const Factors<8> c[4] = {factor_avx512(fc[0], fc[1]),
                           factor_avx512(fc[fc_step], fc[fc_step + 1]),
                           factor_avx512(fc[2 * fc_step], fc[2 * fc_step + 1]),
                           factor_avx512(fc[3 * fc_step], fc[3 * fc_step + 1])};
  rows_triple<8>(a, span, factor_avx512(fa[0], fa[1]), factor_avx512(f0[0], f0[1]),
                 factor_avx512(f1[0], f1[1]), c, count);
}

#undef TAMSEL_AVX512

} // namespace tamsel::x86
