// SPDX-License-Identifier: BSD-3-Clause
// The Chebyshev kernels and favr's scan, written once over W lanes
// (x86/lanes.h), each lane doing a scalar loop's operations in its order.
// The range test and the scan only compare: a NaN fails as in scalar code.
// Internal to the toolkit; not installed.
#pragma once

#include "x86/lanes.h"

namespace tamsel::x86 {

// chebev's recurrence for S series c[s] at the V * W points x (V vectors
// interleaved) into result[s]; y and y2 are formed once for every series.
template <int W, int V, int S>
TAMSEL_LANES void evaluate(Real a, Real b, const Real* const* c, Integer terms,
                           const Real* x, Real* const* result) {
  Vec<W> y[V], y2[V], d[S][V], e[S][V];
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v) {
    const Vec<W> xv = load<W>(x + W * v);
    y[v] = (((xv + xv) - a) - b) / (b - a);
    y2[v] = y[v] + y[v];
#pragma GCC unroll 4
    for (int s = 0; s < S; ++s) d[s][v] = e[s][v] = Vec<W>{};
  }
  for (Integer j = terms; j >= 2; --j) {
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
#pragma GCC unroll 4
      for (int s = 0; s < S; ++s) {
        const Vec<W> previous = d[s][v];
        d[s][v] = ((y2[v] * d[s][v]) - e[s][v]) + c[s][j - 1];
        e[s][v] = previous;
      }
    }
  }
#pragma GCC unroll 4
  for (int s = 0; s < S; ++s) {
    const Real half_c1 = 0.5 * c[s][0];
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) store<W>(result[s] + W * v, ((y[v] * d[s][v]) - e[s][v]) + half_c1);
  }
}

// One series on whole batches of 32 points, two on runs of 4W, four vectors
// at a time; each returns how many points were done.
template <int W>
TAMSEL_LANES Integer evaluate_one(Real a, Real b, const Real* c, Integer terms, const Real* x,
                                  Real* result, Integer count) {
  const Integer done = count / 32 * 32;
  for (Integer i = 0; i < done; i += 4 * W) {
    Real* out[] = {result + i};
    evaluate<W, 4, 1>(a, b, &c, terms, x + i, out);
  }
  return done;
}
template <int W>
TAMSEL_LANES Integer evaluate_two(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                                  const Real* x, Real* result1, Real* result2, Integer count) {
  const Real* const c[] = {c1, c2};
  Integer i = 0;
  for (; i + 4 * W <= count; i += 4 * W) {
    Real* out[] = {result1 + i, result2 + i};
    evaluate<W, 4, 2>(a, b, c, terms, x + i, out);
  }
  return i;
}

// chebft's sums for n up to 32 in `vectors` vectors, a sum per lane with
// its terms in node order; lanes from n on read inside the table, unused.
template <int W>
TAMSEL_LANES void sums(const Real* f, Integer n, const Real* term, Real* sum, Integer vectors) {
  Vec<W> s[32 / W];
#pragma GCC unroll 16
  for (Integer q = 0; q < vectors; ++q) s[q] = Vec<W>{};
  for (Integer k = 1; k <= n; ++k) {
    const Real fk = f[k - 1];
    const Real* cosines = term + (k - 1) * n;
#pragma GCC unroll 16
    for (Integer q = 0; q < vectors; ++q) s[q] = s[q] + fk * load<W>(cosines + W * q);
  }
#pragma GCC unroll 16
  for (Integer q = 0; q < vectors; ++q) store<W>(sum + W * q, s[q]);
}

// Whether any lane of a comparison's result is set, or'ed by halves.
template <int W>
TAMSEL_LANES bool any(const typename Lanes<W>::bits& m) {
  if constexpr (W == 2) {
    return (m[0] | m[1]) != 0;
  } else {
    typename Lanes<W / 2>::bits low, high;
    std::memcpy(&low, &m, sizeof low);
    std::memcpy(&high, reinterpret_cast<const char*>(&m) + sizeof low, sizeof high);
    return any<W / 2>(low | high);
  }
}

// Whether every point of x passes chebev's range test, W at a time.
template <int W>
TAMSEL_LANES bool all_in_range(Real a, Real b, const Real* x, Integer count) {
  typename Lanes<W>::bits outside{};
  Integer i = 0;
  for (; i + W <= count; i += W) {
    const Vec<W> xv = load<W>(x + i);
    outside |= (xv - a) * (xv - b) > splat<W>(0.0);
  }
  bool inside = !any<W>(outside);
  for (; i < count; ++i) inside = inside && !((x[i] - a) * (x[i] - b) > 0.0);
  return inside;
}

// favr's scan by runs of V vectors from interval i: sets i to the first
// match and returns true, or to the first interval not tested and false.
template <int W, int V>
TAMSEL_LANES bool scan(const Real* xtab, Integer last, Real t, Integer& i) {
  using Bits = typename Lanes<W>::bits;
  const Vec<W> tv = splat<W>(t);
  for (; i + V * W - 1 <= last; i += V * W) {
    Bits found{};
#pragma GCC unroll 4
    for (int r = 0; r < V; ++r) { // interval k is xtab[k-1] < t <= xtab[k]
      const Real* p = xtab + i + r * W;
      const Bits right = load<W>(p) >= tv, left = load<W>(p - 1) < tv;
      found |= right & left;
    }
    if (any<W>(found)) { // the same comparisons, one interval at a time
      while (!(xtab[i] >= t && xtab[i - 1] < t)) ++i;
      return true;
    }
  }
  return false;
}
// The scan from interval 1 by runs of Vs[0] vectors, then Vs[1], ...
template <int W, int... Vs>
TAMSEL_LANES bool first_match(const Real* xtab, Integer last, Real t, Integer& i) {
  i = 1;
  return (scan<W, Vs>(xtab, last, t, i) || ...);
}

} // namespace tamsel::x86
