// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/tabulated.h>

#include <cmath>

#include "kernels.h"

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
  // The kernel scans the intervals it can; the loop below takes the rest.
  Integer i = 1;
  if (kernels::active().first_match(xtab, last, t, i)) {
    return interpolate(xtab, ytab, i, t);
  }
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
