// SPDX-License-Identifier: BSD-3-Clause
// SSE2, AVX and AVX-512 kernels of the Chebyshev routines and of favr's
// scan.  The sums and recurrences are written once over the lanes of a
// vector of W Reals (GCC's vector types, whose every operation acts lane by
// lane with the rounding of the scalar operation): W = 2 is the SSE2
// kernel, W = 4, compiled for AVX, the AVX one, W = 8 the AVX-512 one.
// Each lane does a scalar loop's operations in its order.
#include "x86/simd.h"

#include "x86/lanes.h"

#include <bit>
#include <cstring>

#include <immintrin.h>

namespace tamsel::x86 {

namespace {

// The recurrence of chebev for S series c[0 .. S-1] at the same V * W
// points x[0 .. V*W-1], V vectors whose recurrences interleave, into
// result[s][0 .. V*W-1]: each point's y and y2 are formed once and serve
// every series.
template <int W, int V, int S>
[[gnu::always_inline]] inline void evaluate(Real av, Real bv, const Real* const* c,
                                            Integer terms, const Real* x,
                                            Real* const* result) {
  using L = typename Lanes<W>::type;
  static_assert(sizeof(L) == W * sizeof(Real));
  L y[V], y2[V], d[S][V], e[S][V];
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v) {
    L xv;
    std::memcpy(&xv, x + W * v, sizeof xv);
    y[v] = (((xv + xv) - av) - bv) / (bv - av);
    y2[v] = y[v] + y[v];
#pragma GCC unroll 4
    for (int s = 0; s < S; ++s) d[s][v] = e[s][v] = L{}; // zeros
  }
  for (Integer j = terms; j >= 2; --j) {
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
#pragma GCC unroll 4
      for (int s = 0; s < S; ++s) {
        const L previous = d[s][v];
        d[s][v] = ((y2[v] * d[s][v]) - e[s][v]) + c[s][j - 1];
        e[s][v] = previous;
      }
    }
  }
#pragma GCC unroll 4
  for (int s = 0; s < S; ++s) {
    const Real half_c1 = 0.5 * c[s][0];
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
      const L r = ((y[v] * d[s][v]) - e[s][v]) + half_c1;
      std::memcpy(result[s] + W * v, &r, sizeof r);
    }
  }
}

// chebft's sums for n up to 32 with `vectors` vectors of W lanes, each
// lane one sum taking its terms in node order; lanes from n on read later
// entries of the table (inside it) and are never used.
template <int W>
[[gnu::always_inline]] inline void lane_sums(const Real* f, Integer n, const Real* term,
                                             Real* sum, Integer vectors) {
  using L = typename Lanes<W>::type;
  L s[32 / W];
#pragma GCC unroll 16
  for (Integer q = 0; q < vectors; ++q) s[q] = L{}; // zeros
  for (Integer k = 1; k <= n; ++k) {
    const Real fk = f[k - 1];
    const Real* cosines = term + (k - 1) * n;
#pragma GCC unroll 16
    for (Integer q = 0; q < vectors; ++q) {
      L factor;
      std::memcpy(&factor, cosines + W * q, sizeof factor);
      s[q] = s[q] + fk * factor;
    }
  }
  std::memcpy(sum, s, sizeof(L) * std::size_t(vectors));
}

constexpr Integer kBatch = 32; // points at a time

} // namespace

void sums_sse2(const Real* f, Integer n, const Real* term, Real* sum) {
  lane_sums<2>(f, n, term, sum, (n + 1) / 2);
}

// Up to n = 16, four vectors of four that stay in registers; the last read
// is term[(n - 1) * n + 15], inside the table for n <= 16.
[[gnu::target("avx")]] void sums_avx(const Real* f, Integer n, const Real* term, Real* sum) {
  if (n > 16) return lane_sums<2>(f, n, term, sum, (n + 1) / 2);
  lane_sums<4>(f, n, term, sum, 4);
}

Integer evaluate_sse2(Real a, Real b, const Real* c, Integer terms, const Real* x,
                      Real* result, Integer count) {
  const Integer done = count / kBatch * kBatch;
  for (Integer i = 0; i < done; i += 8) {
    Real* out[] = {result + i};
    evaluate<2, 4, 1>(a, b, &c, terms, x + i, out);
  }
  return done;
}

// The two series one after the other.
Integer evaluate_two_sse2(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                          const Real* x, Real* result1, Real* result2, Integer count) {
  const Integer done = evaluate_sse2(a, b, c1, terms, x, result1, count);
  evaluate_sse2(a, b, c2, terms, x, result2, count);
  return done;
}

[[gnu::target("avx")]] Integer evaluate_avx(Real a, Real b, const Real* c, Integer terms,
                                            const Real* x, Real* result, Integer count) {
  const Integer done = count / kBatch * kBatch;
  for (Integer i = 0; i < done; i += 16) {
    Real* out[] = {result + i};
    evaluate<4, 4, 1>(a, b, &c, terms, x + i, out);
  }
  return done;
}

// Sixteen points at a time, eight recurrences interleaved.
[[gnu::target("avx")]] Integer evaluate_two_avx(Real a, Real b, const Real* c1,
                                                const Real* c2, Integer terms, const Real* x,
                                                Real* result1, Real* result2, Integer count) {
  const Real* const c[] = {c1, c2};
  Integer i = 0;
  for (; i + 16 <= count; i += 16) {
    Real* out[] = {result1 + i, result2 + i};
    evaluate<4, 4, 2>(a, b, c, terms, x + i, out);
  }
  return i;
}

// Thirty-two points at a time, eight recurrences of eight lanes interleaved:
// enough to keep both 512-bit units busy through the recurrence's latency.
[[gnu::target("avx512f")]] Integer evaluate_two_avx512(Real a, Real b, const Real* c1,
                                                      const Real* c2, Integer terms,
                                                      const Real* x, Real* result1,
                                                      Real* result2, Integer count) {
  const Real* const c[] = {c1, c2};
  Integer i = 0;
  for (; i + 32 <= count; i += 32) {
    Real* out[] = {result1 + i, result2 + i};
    evaluate<8, 4, 2>(a, b, c, terms, x + i, out);
  }
  return i + evaluate_two_avx(a, b, c1, c2, terms, x + i, result1 + i, result2 + i, count - i);
}

// The range test of chebev on x[0 .. count-1], four points at a time, with
// the same subtractions and product: whether every point passes.
[[gnu::target("avx")]] bool all_in_range_avx(Real av, Real bv, const Real* x, Integer count) {
  const __m256d a4 = _mm256_set1_pd(av), b4 = _mm256_set1_pd(bv), zero = _mm256_setzero_pd();
  __m256d outside = zero;
  Integer i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256d xv = _mm256_loadu_pd(x + i);
    const __m256d p = _mm256_mul_pd(_mm256_sub_pd(xv, a4), _mm256_sub_pd(xv, b4));
    outside = _mm256_or_pd(outside, _mm256_cmp_pd(p, zero, _CMP_GT_OQ));
  }
  bool inside = _mm256_movemask_pd(outside) == 0;
  for (; i < count; ++i) inside = inside && !((x[i] - av) * (x[i] - bv) > 0.0);
  return inside;
}
// The scan below, several intervals at a time over whole runs of four: sets
// i to the first matching interval and returns true, or sets i to the first
// interval not yet tested and returns false.  Comparisons only: a NaN fails
// them as it fails the scalar ones.
bool first_match_sse2(const Real* xtab, Integer last, Real t, Integer& i) {
  const __m128d tv = _mm_set1_pd(t);
  auto matches = [&](Integer k) {
    const __m128d right = _mm_loadu_pd(xtab + k);    // xtab[k], xtab[k+1]
    const __m128d left = _mm_loadu_pd(xtab + k - 1); // xtab[k-1], xtab[k]
    return _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(right, tv), _mm_cmplt_pd(left, tv)));
  };
  for (i = 1; i + 3 <= last; i += 4) {
    const int found = matches(i) | (matches(i + 2) << 2);
    if (found != 0) {
      i += std::countr_zero(unsigned(found));
      return true;
    }
  }
  return false;
}

// Which of the intervals k .. k+3 match, as a lane mask in the low 4 bits.
[[gnu::target("avx")]] inline unsigned matches_avx(const Real* xtab, Integer k,
                                                   __m256d tv) {
  const __m256d right = _mm256_loadu_pd(xtab + k);    // xtab[k .. k+3]
  const __m256d left = _mm256_loadu_pd(xtab + k - 1); // xtab[k-1 .. k+2]
  return unsigned(_mm256_movemask_pd(_mm256_and_pd(
      _mm256_cmp_pd(right, tv, _CMP_GE_OQ), _mm256_cmp_pd(left, tv, _CMP_LT_OQ))));
}

[[gnu::target("avx")]] bool first_match_avx(const Real* xtab, Integer last,
                                             Real t, Integer& i) {
  const __m256d tv = _mm256_set1_pd(t);
  // Sixteen intervals per test while they last, then four.
  for (i = 1; i + 15 <= last; i += 16) {
    const unsigned found = matches_avx(xtab, i, tv) | matches_avx(xtab, i + 4, tv) << 4 |
                           matches_avx(xtab, i + 8, tv) << 8 |
                           matches_avx(xtab, i + 12, tv) << 12;
    if (found != 0) {
      i += std::countr_zero(found);
      return true;
    }
  }
  for (; i + 3 <= last; i += 4) {
    const unsigned found = matches_avx(xtab, i, tv);
    if (found != 0) {
      i += std::countr_zero(found);
      return true;
    }
  }
  return false;
}
} // namespace tamsel::x86
