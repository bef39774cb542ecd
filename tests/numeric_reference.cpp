#include "reference.h"

#include <cmath>

namespace tamsel::reference {

// Positions count Reals from 1: position p is data[p - 1].
void four1(Real* data, const Integer& n, const Integer& sign) {
  const Integer nvalues = n;
  const Integer N = 2 * nvalues; // number of Reals

  // Bit-reversal permutation.
  if (N <= 0) {
    return;
  }
  Integer b = 1; // bit-reversed position
  Integer a = 1; // running position
  for (;;) {
    Integer m = nvalues;
    while (m >= 2 && b > m) {
      b = b - m;
      m = m / 2;
    }
    if (a == N - 1) {
      break;
    }
    b = b + m;
    a = a + 2;
    if (b > a) {
      const Real re = data[b - 1];
      const Real im = data[b];
      data[b - 1] = data[a - 1];
      data[b] = data[a];
      data[a - 1] = re;
      data[a] = im;
    }
  }
  if (N <= 2) {
    return;
  }

  // Butterfly passes.
  const Integer sg = sign;
  Integer h = 2; // half-span
  while (N > h) {
    const Integer g = 2 * h; // group span
    const Real theta = 6.28318530717959 / static_cast<Real>(sg * h);
    const Real s = std::sin(0.5 * theta);
    const Real cre = (s * s) * (-2.0);
    const Real cim = std::sin(theta);
    Real wre = 1.0;
    Real wim = 0.0;
    for (Integer m = 1; m <= h - 1; m += 2) {
      for (Integer a = m; a <= N; a += g) {
        const Integer b = a + h;
        const Real tre = data[b - 1] * wre - data[b] * wim;
        const Real tim = data[b] * wre + data[b - 1] * wim;
        data[b - 1] = data[a - 1] - tre;
        data[b] = data[a] - tim;
        data[a - 1] = data[a - 1] + tre;
        data[a] = data[a] + tim;
      }
      if (m != h - 1) {
        const Real oldre = wre;
        wre = wre + (wre * cre - wim * cim);
        wim = wim + (oldre * cim + wim * cre);
      }
    }
    h = g;
  }
}

} // namespace tamsel::reference
