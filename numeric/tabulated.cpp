#include "numeric/tabulated.h"

namespace tamsel {

Real favr(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
          const Real& x) {
  const Integer last = n;
  if (last <= 0) {
    return 0.0;
  }
  const Real t = off + x;
  for (Integer i = 1; i <= last; ++i) {
    // Open on the left, closed on the right; a NaN fails both tests.
    if (xtab[i] >= t && t > xtab[i - 1]) {
      const Real dy = ytab[i] - ytab[i - 1];
      const Real dx = xtab[i] - xtab[i - 1];
      const Real slope = dy / dx;
      return ytab[i - 1] + (t - xtab[i - 1]) * slope;
    }
  }
  return 0.0;
}

} // namespace tamsel
