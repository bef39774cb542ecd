#include "numeric/chebyshev.h"

namespace tamsel {

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

} // namespace tamsel
