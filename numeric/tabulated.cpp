// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/tabulated.h>

#include <bit>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <tamsel/numeric/kernels.h>

namespace tamsel {

namespace {

// The value at t inside interval i, the slope formed before the product.
Real interpolate(const Real* xtab, const Real* ytab, Integer i, Real t) {
  const Real dy = ytab[i] - ytab[i - 1];
  const Real dx = xtab[i] - xtab[i - 1];
  const Real slope = dy / dx;
  return ytab[i - 1] + (t - xtab[i - 1]) * slope;
}

#if defined(__x86_64__) || defined(__i386__)
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
#endif

} // namespace

Real favr(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
          const Real& x) {
  const Integer last = n;
  if (last <= 0) {
    return 0.0;
  }
  const Real t = off + x;
  Integer i = 1;
#if defined(__x86_64__) || defined(__i386__)
  const bool found = kernels::avx() ? first_match_avx(xtab, last, t, i)
                                  : first_match_sse2(xtab, last, t, i);
  if (found) {
    return interpolate(xtab, ytab, i, t);
  }
#endif
  for (; i <= last; ++i) {
    // Open on the left, closed on the right; a NaN fails both tests.
    if (xtab[i] >= t && t > xtab[i - 1]) {
      return interpolate(xtab, ytab, i, t);
    }
  }
  return 0.0;
}

bool ascending_table(const Real* xtab, const Integer& n) {
  const Integer last = n;
  for (Integer i = 1; i <= last; ++i) {
    if (!(xtab[i - 1] <= xtab[i])) return false;
  }
  return true;
}

Real favr_ascending(const Real* xtab, const Real* ytab, const Integer& n,
                    const Real& off, const Real& x) {
  const Integer last = n;
  if (last <= 0) {
    return 0.0;
  }
  const Real t = off + x;
  if (std::isnan(t)) {
    return 0.0; // matches no interval
  }
  // The first i of 1..last with xtab[i] >= t (last + 1 if none), by a
  // bisection whose steps choose without branching.
  const Real* base = xtab + 1;
  Integer count = last;
  while (count > 1) {
    const Integer half = count / 2;
    base = base[half] < t ? base + half : base;
    count -= half;
  }
  const Integer i = Integer(base - xtab) + (*base < t ? 1 : 0);
  if (i <= last && t > xtab[i - 1]) {
    return interpolate(xtab, ytab, i, t);
  }
  return 0.0;
}

} // namespace tamsel
