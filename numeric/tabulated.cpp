#include "numeric/tabulated.h"

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
  // The same tests on two intervals at a time, to find the first match
  // (comparisons only: a NaN fails them as it fails the scalar ones).
  const __m128d tv = _mm_set1_pd(t);
  for (; i + 1 <= last; i += 2) {
    const __m128d right = _mm_loadu_pd(xtab + i);    // xtab[i], xtab[i+1]
    const __m128d left = _mm_loadu_pd(xtab + i - 1); // xtab[i-1], xtab[i]
    const int match =
        _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(right, tv), _mm_cmplt_pd(left, tv)));
    if (match != 0) {
      i += (match & 1) != 0 ? 0 : 1;
      return interpolate(xtab, ytab, i, t);
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
