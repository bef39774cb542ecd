#include "numeric/tabulated.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tamsel {

namespace {

// The value at t inside interval i, the slope formed before the product.
Real interpolate(const Real* xtab, const Real* ytab, Integer i, Real t) {
  const Real dy = ytab[i] - ytab[i - 1];
  const Real dx = xtab[i] - xtab[i - 1];
  const Real slope = dy / dx;
  return ytab[i - 1] + (t - xtab[i - 1]) * slope;
}

} // namespace

Real favr(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
          const Real& x) {
  const Integer last = n;
  if (last <= 0) {
    return 0.0;
  }
  const Real t = off + x;
  Integer i = 1;
#if defined(__SSE2__)
  // The same tests on four intervals at a time, to find the first match
  // (comparisons only: a NaN fails them as it fails the scalar ones).
  const __m128d tv = _mm_set1_pd(t);
  auto matches = [&](Integer k) {
    const __m128d right = _mm_loadu_pd(xtab + k);    // xtab[k], xtab[k+1]
    const __m128d left = _mm_loadu_pd(xtab + k - 1); // xtab[k-1], xtab[k]
    return _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(right, tv), _mm_cmplt_pd(left, tv)));
  };
  for (; i + 3 <= last; i += 4) {
    const int found = matches(i) | (matches(i + 2) << 2);
    if (found != 0) {
      return interpolate(xtab, ytab, i + std::countr_zero(unsigned(found)), t);
    }
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

} // namespace tamsel
