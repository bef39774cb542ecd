// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/chebyshev.h>

#include <tamsel/numeric/kernels.h>

#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace tamsel {

namespace detail {

namespace {

constexpr Integer kRemembered = 32;
constexpr Real kPi = 3.141592653589793;

// The cosines of the last n asked for in this thread; n = 0 when none.
// term holds cos(((k - 0.5) / n) * (j * pi)) at [(k - 1) * n + j], node by
// node, so that one node's factors for all j lie together.
struct ChebftCosines {
  Integer n;
  Real node[kRemembered];
  Real term[kRemembered * kRemembered];
};
thread_local ChebftCosines remembered;

void remember(Integer n) {
  remembered.n = 0;
  for (Integer k = 1; k <= n; ++k) {
    const Real theta = ((static_cast<Real>(k) - 0.5) * kPi) / static_cast<Real>(n);
    remembered.node[k - 1] = std::cos(theta);
  }
  const Real fn = static_cast<Real>(n);
  for (Integer j = 0; j < n; ++j) {
    const Real w = static_cast<Real>(j) * kPi;
    for (Integer k = 1; k <= n; ++k) {
      remembered.term[(k - 1) * n + j] = std::cos(((static_cast<Real>(k) - 0.5) / fn) * w);
    }
  }
  remembered.n = n;
}

// cos(((k - 0.5) * pi) / n).
Real node_cosine(Integer n, Integer k) {
  if (n >= 1 && n <= kRemembered && k <= n) {
    if (remembered.n != n) remember(n);
    return remembered.node[k - 1];
  }
  return std::cos(((static_cast<Real>(k) - 0.5) * kPi) / static_cast<Real>(n));
}

#if defined(__x86_64__) || defined(__i386__)
// The sums of remembered_coefficients for n up to 16, in four vectors of four
// that stay in registers, into sum[0 .. 15].  Lanes from n on read later
// entries of the table (inside it) and are never used.
[[gnu::target("avx")]] void sixteen_sums_avx(const Real* f, Integer n, const Real* term,
                                             Real* sum) {
  __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
  for (Integer k = 1; k <= n; ++k) {
    const __m256d fk = _mm256_set1_pd(f[k - 1]);
    const Real* cosines = term + (k - 1) * n;
    s0 = _mm256_add_pd(s0, _mm256_mul_pd(fk, _mm256_loadu_pd(cosines)));
    s1 = _mm256_add_pd(s1, _mm256_mul_pd(fk, _mm256_loadu_pd(cosines + 4)));
    s2 = _mm256_add_pd(s2, _mm256_mul_pd(fk, _mm256_loadu_pd(cosines + 8)));
    s3 = _mm256_add_pd(s3, _mm256_mul_pd(fk, _mm256_loadu_pd(cosines + 12)));
  }
  _mm256_storeu_pd(sum, s0);
  _mm256_storeu_pd(sum + 4, s1);
  _mm256_storeu_pd(sum + 8, s2);
  _mm256_storeu_pd(sum + 12, s3);
}
#endif

// c[j] = fac * sum_{k=1..n} f[k-1] * cos(((k - 0.5) / n) * (j * pi)),
// j = 0..n-1, each sum from 0.0 in node order, for n from 1 to 32 (returns
// true); for any other n returns false and writes nothing.
bool remembered_coefficients(const Real* f, Integer n, Real fac, Real* c) {
  if (n < 1 || n > kRemembered) return false;
  if (remembered.n != n) remember(n);
#if defined(__x86_64__) || defined(__i386__)
  // The last read is term[(n - 1) * n + 15], inside the table for n <= 16.
  static_assert(15 * 16 + 15 < kRemembered * kRemembered);
  if (kernels::avx() && n <= 16) {
    Real sum[16];
    sixteen_sums_avx(f, n, remembered.term, sum);
    for (Integer j = 0; j < n; ++j) c[j] = fac * sum[j];
    return true;
  }
#endif
  // All n sums at once, two per vector, each still taking its terms in node
  // order.  For an odd n the last vector's second lane reads the next entry
  // of the table (inside it, as n*n < 32*32) and is never used.
  using Pair = Real __attribute__((vector_size(2 * sizeof(Real))));
  Pair sum[kRemembered / 2];
  const Integer pairs = (n + 1) / 2;
  for (Integer q = 0; q < pairs; ++q) sum[q] = Pair{}; // zeros
  for (Integer k = 1; k <= n; ++k) {
    const Pair fk = {f[k - 1], f[k - 1]};
    const Real* cosines = remembered.term + (k - 1) * n;
    for (Integer q = 0; q < pairs; ++q) {
      Pair factor;
      std::memcpy(&factor, cosines + 2 * q, sizeof factor);
      sum[q] = sum[q] + fk * factor;
    }
  }
  for (Integer j = 0; j < n; ++j) c[j] = fac * sum[j / 2][j % 2];
  return true;
}

} // namespace

ChebftNodes chebft_start(const Real& a, const Real& b, Real* f) {
  for (Integer k = 0; k < kChebftScratch; ++k) {
    f[k] = 0.0;
  }
  return ChebftNodes{(b - a) * 0.5, (a + b) * 0.5};
}

void chebft_check_nodes(Integer nodes) {
  if (nodes > kChebftScratch) {
    stopf(kStopStatus, "chebft: n %d is above the 100 values of the scratch", nodes);
  }
}

Real chebft_node(const ChebftNodes& nodes, Integer n, Integer k) {
  return node_cosine(n, k) * nodes.h + nodes.p;
}

void chebft_finish(const Real* f, Integer nodes, const Integer& n, Real* c) {
  const Integer terms = n;
  if (terms <= 0) {
    return;
  }
  if (terms > nodes) {
    stopf(kStopStatus, "chebft: n %d after sampling is above the %d nodes sampled",
          terms, nodes);
  }
  const Real fn = static_cast<Real>(terms);
  const Real fac = 2.0 / fn;
  if (remembered_coefficients(f, terms, fac, c)) {
    return;
  }
  for (Integer j = 0; j < terms; ++j) {
    Real sum = 0.0;
    const Real w = static_cast<Real>(j) * kPi;
    for (Integer k = 1; k <= terms; ++k) {
      sum = sum + f[k - 1] * std::cos(((static_cast<Real>(k) - 0.5) / fn) * w);
    }
    c[j] = fac * sum;
  }
}

} // namespace detail

void chint(const Real& a, const Real& b, const Real* c, Real* cint,
           const Integer& n) {
  const Real q = (b - a) * 0.25;
  const Integer terms = n;
  if (terms < 2) {
    stopf(kStopStatus, "chint: n %d is below 2", terms);
  }
  Real s = 1.0;
  Real sum = 0.0;
  for (Integer j = 2; j <= terms - 1; ++j) {
    cint[j - 1] = ((c[j - 2] - c[j]) * q) / static_cast<Real>(j - 1);
    sum = sum + cint[j - 1] * s;
    s = -s;
  }
  cint[terms - 1] = (q * c[terms - 2]) / static_cast<Real>(terms - 1);
  sum = sum + s * cint[terms - 1];
  cint[0] = sum + sum;
}

Real chebev(const Real& a, const Real& b, const Real* c, const Integer& m,
            const Real& x) {
  const Real xv = x;
  const Real av = a;
  const Real bv = b;
  if ((xv - av) * (xv - bv) > 0.0) {
    stop("ERROR(CHEBEV): x not in range .");
  }
  const Real y = (((xv + xv) - av) - bv) / (bv - av);
  const Real y2 = y + y;
  const Integer terms = m;
  Real d = 0.0;
  Real e = 0.0;
  for (Integer j = terms; j >= 2; --j) {
    const Real previous = d;
    d = ((y2 * d) - e) + c[j - 1];
    e = previous;
  }
  return ((y * d) - e) + (0.5 * c[0]);
}

namespace {

// Points in the lanes of a vector of W Reals; every operation acts lane by
// lane with the rounding of the scalar operation.
template <int W>
struct Lanes;
template <>
struct Lanes<2> {
  using type = Real __attribute__((vector_size(2 * sizeof(Real))));
};
template <>
struct Lanes<4> {
  using type = Real __attribute__((vector_size(4 * sizeof(Real))));
};

// The recurrence of chebev for V * W points x[0 .. V*W-1] at once, V vectors
// whose recurrences interleave, into result[0 .. V*W-1].
template <int W, int V>
[[gnu::always_inline]] inline void evaluate(Real av, Real bv, const Real* c,
                                            Integer terms, const Real* x,
                                            Real* result) {
  using L = typename Lanes<W>::type;
  static_assert(sizeof(L) == W * sizeof(Real));
  L y[V], y2[V], d[V], e[V];
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v) {
    L xv;
    std::memcpy(&xv, x + W * v, sizeof xv);
    y[v] = (((xv + xv) - av) - bv) / (bv - av);
    y2[v] = y[v] + y[v];
    d[v] = L{}; // zeros
    e[v] = L{};
  }
  for (Integer j = terms; j >= 2; --j) {
    const Real cj = c[j - 1];
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
      const L previous = d[v];
      d[v] = ((y2[v] * d[v]) - e[v]) + cj;
      e[v] = previous;
    }
  }
  const Real half_c1 = 0.5 * c[0];
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v) {
    const L r = ((y[v] * d[v]) - e[v]) + half_c1;
    std::memcpy(result + W * v, &r, sizeof r);
  }
}

constexpr Integer kBatch = 32; // points at a time

void evaluate_batches(Real av, Real bv, const Real* c, Integer terms,
                      const Real* x, Real* result, Integer batches) {
  for (Integer i = 0; i < batches * kBatch; i += kBatch) {
    for (Integer q = 0; q < kBatch; q += 8) {
      evaluate<2, 4>(av, bv, c, terms, x + i + q, result + i + q);
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx")]] void evaluate_batches_avx(Real av, Real bv,
                                                 const Real* c, Integer terms,
                                                 const Real* x, Real* result,
                                                 Integer batches) {
  for (Integer i = 0; i < batches * kBatch; i += kBatch) {
    for (Integer q = 0; q < kBatch; q += 16) {
      evaluate<4, 4>(av, bv, c, terms, x + i + q, result + i + q);
    }
  }
}

// Two series at the same 16 points, x[0 .. 15]: each point's y and y2 are
// formed once and serve both recurrences, eight of which interleave.
[[gnu::target("avx")]] void evaluate_two_avx(Real av, Real bv, const Real* c1,
                                             const Real* c2, Integer terms,
                                             const Real* x, Real* result1,
                                             Real* result2) {
  using L = Lanes<4>::type;
  constexpr int V = 4;
  L y[V], y2[V], d[V], e[V], f[V], g[V];
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v) {
    L xv;
    std::memcpy(&xv, x + 4 * v, sizeof xv);
    y[v] = (((xv + xv) - av) - bv) / (bv - av);
    y2[v] = y[v] + y[v];
    d[v] = e[v] = f[v] = g[v] = L{}; // zeros
  }
  for (Integer j = terms; j >= 2; --j) {
    const Real cj1 = c1[j - 1];
    const Real cj2 = c2[j - 1];
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
      const L previous1 = d[v];
      d[v] = ((y2[v] * d[v]) - e[v]) + cj1;
      e[v] = previous1;
      const L previous2 = f[v];
      f[v] = ((y2[v] * f[v]) - g[v]) + cj2;
      g[v] = previous2;
    }
  }
  const Real half1 = 0.5 * c1[0];
  const Real half2 = 0.5 * c2[0];
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v) {
    const L r1 = ((y[v] * d[v]) - e[v]) + half1;
    const L r2 = ((y[v] * f[v]) - g[v]) + half2;
    std::memcpy(result1 + 4 * v, &r1, sizeof r1);
    std::memcpy(result2 + 4 * v, &r2, sizeof r2);
  }
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
#endif

// Index of the first of x[0 .. count-1] that fails chebev's range test, or
// count when none does.
Integer first_out_of_range(Real av, Real bv, const Real* x, Integer count) {
#if defined(__x86_64__) || defined(__i386__)
  if (kernels::avx() && all_in_range_avx(av, bv, x, count)) return count;
#endif
  Integer i = 0;
  while (i < count && !((x[i] - av) * (x[i] - bv) > 0.0)) ++i;
  return i;
}

// The values of the series at x[0 .. count-1], all points being in range.
void evaluate_all(Real av, Real bv, const Real* c, Integer terms, const Real* x,
                  Real* result, Integer count) {
  const Integer batches = count / kBatch;
#if defined(__x86_64__) || defined(__i386__)
  if (kernels::avx()) {
    evaluate_batches_avx(av, bv, c, terms, x, result, batches);
  } else {
    evaluate_batches(av, bv, c, terms, x, result, batches);
  }
#else
  evaluate_batches(av, bv, c, terms, x, result, batches);
#endif
  for (Integer i = batches * kBatch; i < count; ++i) {
    result[i] = chebev(av, bv, c, terms, x[i]);
  }
}

} // namespace

void chebev_points(const Real& a, const Real& b, const Real* c,
                   const Integer& m, const Real* x, Real* result,
                   Integer count) {
  const Real av = a;
  const Real bv = b;
  const Integer terms = m;
  const Integer outside = first_out_of_range(av, bv, x, count);
  if (outside < count) {
    for (Integer p = 0; p < outside; ++p) {
      result[p] = chebev(av, bv, c, terms, x[p]);
    }
    stop("ERROR(CHEBEV): x not in range .");
  }
  evaluate_all(av, bv, c, terms, x, result, count);
}

void chebev_points(const Real& a, const Real& b, const Real* c1, const Real* c2,
                   const Integer& m, const Real* x, Real* result1,
                   Real* result2, Integer count) {
  const Real av = a;
  const Real bv = b;
  const Integer terms = m;
  const Integer outside = first_out_of_range(av, bv, x, count);
  if (outside < count) {
    for (Integer p = 0; p < outside; ++p) {
      result1[p] = chebev(av, bv, c1, terms, x[p]);
      result2[p] = chebev(av, bv, c2, terms, x[p]);
    }
    stop("ERROR(CHEBEV): x not in range .");
  }
#if defined(__x86_64__) || defined(__i386__)
  if (kernels::avx()) {
    Integer i = 0;
    for (; i + 16 <= count; i += 16) {
      evaluate_two_avx(av, bv, c1, c2, terms, x + i, result1 + i, result2 + i);
    }
    for (; i < count; ++i) {
      result1[i] = chebev(av, bv, c1, terms, x[i]);
      result2[i] = chebev(av, bv, c2, terms, x[i]);
    }
    return;
  }
#endif
  evaluate_all(av, bv, c1, terms, x, result1, count);
  evaluate_all(av, bv, c2, terms, x, result2, count);
}

} // namespace tamsel
