// SPDX-License-Identifier: BSD-3-Clause
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

// The routines below are the literal toolkit routines as first written,
// kept here unchanged (less their refusals) as the executable reference of
// the faster versions in numeric/.
namespace tamsel::reference {

namespace {
constexpr Real kHalfTurn = 3.141592653589795;
constexpr Real kAngle = 6.28318530717959;
constexpr Integer kScratchReals = 2 * 8192;
} // namespace

void realft(Real* data, const Integer& n, const Integer& sign) {
  // Positions p counted from 1 are data[p - 1].
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };

  Integer count = n; // read on entry ...
  Integer direction = sign;
  
  Real theta = kHalfTurn / static_cast<Real>(count);
  Real f;
  if (direction == 1) {
    // Forward: the 2n reals taken as n complex values z_p = x_2p + i*x_2p+1.
    four1(data, n, 1);
    count = n; // ... and again after the transform
    direction = sign;
    f = -0.5;
  } else {
    theta = -theta;
    f = 0.5;
  }

  const Real s = std::sin(0.5 * theta);
  const Real c_re = (s * s) * (-2.0); // cos(theta) - 1
  const Real c_im = std::sin(theta);
  Real w_re = 1.0 + c_re; // the twiddle factor starts at exp(i*theta)
  Real w_im = c_im;

  // Split Z_k and Z_{n-k} into the even and odd halves and recombine them.
  // For k = n/2 both are the same value, and the writes to a stand.
  for (Integer k = 1; k <= count / 2; ++k) {
    const Integer b = 2 * k + 1;
    const Integer a = 2 * (count - k) + 1;
    const Real b_re = at(b);
    const Real b_im = at(b + 1);
    const Real a_re = at(a);
    const Real a_im = at(a + 1);

    const Real u_re = (b_re + a_re) * 0.5;
    const Real u_im = (b_im - a_im) * 0.5;
    const Real v_re = -((b_im + a_im) * f);
    const Real v_im = (b_re - a_re) * f;

    at(b) = (w_re * v_re + u_re) - w_im * v_im;
    at(b + 1) = (u_im + v_im * w_re) + v_re * w_im;
    at(a + 1) = v_re * w_im + (v_im * w_re - u_im);
    at(a) = (u_re - w_re * v_re) + w_im * v_im;

    // w <- w * exp(i*theta), both parts from the old w.
    const Real old_re = w_re;
    w_re = w_re + (w_re * c_re - w_im * c_im);
    w_im = w_im + (old_re * c_im + w_im * c_re);
  }

  const Real y1 = at(1);
  const Real y2 = at(2);
  if (direction == 1) {
    at(1) = y1 + y2; // X_0
    at(2) = y1 - y2; // X_n
  } else {
    at(2) = (y1 - y2) * 0.5;
    at(1) = (y1 + y2) * 0.5;
    four1(data, n, -1);
  }
}

void twofft(const Real* data1, const Real* data2, Real* spectrum1,
            Real* spectrum2, const Integer& n) {
  // Positions p counted from 1 are array[p - 1].
  auto s1 = [spectrum1](Integer p) -> Real& { return spectrum1[p - 1]; };
  auto s2 = [spectrum2](Integer p) -> Real& { return spectrum2[p - 1]; };

  Integer count = n; // read on entry ...
  
  // One complex sequence: data1 as real parts, data2 as imaginary parts.
  for (Integer j = 1; j <= count; ++j) {
    s1(2 * j - 1) = data1[j - 1];
    s1(2 * j) = data2[j - 1];
  }
  four1(spectrum1, n, 1);
  count = n; // ... and again after the transform

  s2(1) = s1(2);
  s2(2) = 0.0;
  s1(2) = 0.0;

  // Z_k and Z_{n-k} separate into F_k = (Z_k + conj Z_{n-k}) / 2 and
  // G_k = (Z_k - conj Z_{n-k}) / (2i), and the mirrored values into their
  // conjugates.  For k = n/2 both places coincide.
  for (Integer k = 1; k <= count / 2; ++k) {
    const Integer b = 2 * k + 1;
    const Integer a = 2 * (count - k) + 1;
    const Real b_re = s1(b);
    const Real b_im = s1(b + 1);
    const Real a_im = s1(a + 1);
    const Real a_re = s1(a);

    s1(b) = 0.5 * (b_re + a_re);
    s1(b + 1) = 0.5 * (b_im - a_im);
    s1(a) = 0.5 * (b_re + a_re);
    s1(a + 1) = -0.5 * (b_im - a_im);
    s2(b) = 0.5 * (b_im + a_im);
    s2(b + 1) = -0.5 * (b_re - a_re);
    s2(a) = 0.5 * (b_im + a_im);
    s2(a + 1) = 0.5 * (b_re - a_re);
  }
}

void correl(const Real* data1, const Real* data2, const Integer& n,
            Real* result) {
  static Real fft[kScratchReals];
  // Positions p counted from 1 are array[p - 1].
  auto res = [result](Integer p) -> Real& { return result[p - 1]; };
  auto spectrum1 = [](Integer p) -> Real& { return fft[p - 1]; };

  Integer count = n; // read on entry ...

  for (Integer p = 1; p <= kScratchReals; ++p) {
    spectrum1(p) = 0.0;
  }

  // fft receives F_k, the spectrum of data1, and result G_k, that of data2.
  twofft(data1, data2, fft, result, n);
  count = n; // ... and again after the transforms

  const Integer half = count / 2;
  const Real divisor =
      static_cast<Real>(static_cast<Integer>(static_cast<Real>(count) * 0.5));

  // C_k = F_k * conj(G_k) / (n/2) for k = 0..n/2, over G_k in result.
  for (Integer k = 0; k <= half; ++k) {
    const Integer p = 2 * k + 1;
    const Real f_re = spectrum1(p);
    const Real f_im = spectrum1(p + 1);
    const Real g_re = res(p);
    const Real g_im = res(p + 1);
    const Real prod_re = f_re * g_re + f_im * g_im;
    const Real prod_im = f_im * g_re - f_re * g_im;
    res(p) = prod_re / divisor;
    res(p + 1) = prod_im / divisor;
  }

  // Packed spectrum of length n: the real C_{n/2} takes position 2.  The
  // inverse real transform leaves a factor n/2 that, with the division
  // above, gives the 1/n of the inverse transform.
  res(2) = res(count + 1);
  realft(result, half, -1);
}

void fourn(Real* data, const Integer* lengths, const Integer& dimcount,
           const Integer& sign) {
  const Integer D = dimcount;
  if (D <= 0) {
    return;
  }

  // N, the number of complex values, as the product of the lengths in index
  // order.  Every length is checked before any value of data is touched.
  Integer N = 1;
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    N = N * L;
  }

  // Positions below count Reals from 1: position p is data[p - 1].
  Integer B = 1; // product of the lengths of the dimensions already done
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    const Integer A = N / (L * B); // number of blocks
    const Integer step = 2 * B;    // from one value of a line to the next
    const Integer span = step * L; // one block: B interleaved lines
    const Integer total = span * A;

    // Bit reversal along the dimension.  p walks the positions of the first
    // line; q is the position of p's reversed index in that line.  Each
    // exchange is done once, from the smaller position, in every line.
    Integer q = 1;
    for (Integer p = 1; p <= span; p += step) {
      if (p < q) {
        for (Integer e = 0; e < step; e += 2) {
          for (Integer r = p + e; r <= total; r += span) {
            const Integer rq = r + (q - p);
            const Real re = data[r - 1];
            const Real im = data[r];
            data[r - 1] = data[rq - 1];
            data[r] = data[rq];
            data[rq - 1] = re;
            data[rq] = im;
          }
        }
      }
      Integer z = span / 2;
      while (q > z && z >= step) {
        q = q - z;
        z = z / 2;
      }
      q = q + z;
    }

    // Butterfly passes, half-span h = step, 2 step, ... below span.
    if (step < span) {
      const Real R = static_cast<Real>(sign) * kAngle;
      for (Integer h = step; h < span;) {
        const Integer g = 2 * h;
        const Integer M = g / step; // length of the sub-transforms
        const Real theta = R / static_cast<Real>(M);
        const Real s = std::sin(theta * 0.5);
        const Real cre = (s * s) * (-2.0); // cos(theta) - 1
        const Real cim = std::sin(theta);
        Real wre = 1.0;
        Real wim = 0.0;
        for (Integer u = 0; u < M / 2; ++u) {
          const Integer o = 1 + u * step;
          for (Integer e = 0; e < step; e += 2) {
            for (Integer r = o + e; r <= total; r += g) {
              const Integer j = r + h;
              const Real tre = data[j - 1] * wre - data[j] * wim;
              const Real tim = data[j - 1] * wim + data[j] * wre;
              data[j - 1] = data[r - 1] - tre;
              data[j] = data[r] - tim;
              data[r - 1] = data[r - 1] + tre;
              data[r] = data[r] + tim;
            }
          }
          if (u < M / 2 - 1) {
            const Real oldre = wre;
            wre = wre + (wre * cre - wim * cim);
            wim = wim + (wim * cre + oldre * cim);
          }
        }
        h = g;
      }
    }

    B = B * L;
  }
}

} // namespace tamsel::reference

namespace tamsel::reference {

void chebft(const Real& a, const Real& b, Real* c, const Integer& n,
            ChebFunction func, const Real* pass1, const Real* pass2,
            const Integer& pass3, const Real& pass4) {
  constexpr Integer kScratch = 100;
  const Real pi = 3.141592653589793;

  Real f[kScratch];
  for (Integer k = 0; k < kScratch; ++k) {
    f[k] = 0.0;
  }

  const Real h = (b - a) * 0.5;
  const Real p = (a + b) * 0.5;

  const Integer nodes = n;
  if (nodes <= 0) {
    return;
  }

  for (Integer k = 1; k <= nodes; ++k) {
    const Real theta = ((static_cast<Real>(k) - 0.5) * pi) / static_cast<Real>(n);
    const Real y = std::cos(theta) * h + p;
    f[k - 1] = func(pass1, pass2, pass3, pass4, y);
  }

  const Integer terms = n;
  if (terms <= 0) {
    return;
  }
  const Real fn = static_cast<Real>(terms);
  const Real fac = 2.0 / fn;
  for (Integer j = 0; j < terms; ++j) {
    Real sum = 0.0;
    const Real w = static_cast<Real>(j) * pi;
    for (Integer k = 1; k <= terms; ++k) {
      sum = sum + f[k - 1] * std::cos(((static_cast<Real>(k) - 0.5) / fn) * w);
    }
    c[j] = fac * sum;
  }
}

} // namespace tamsel::reference

namespace tamsel::reference {

Real favr(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
          const Real& x) {
  const Integer last = n;
  if (last <= 0) {
    return 0.0;
  }
  const Real t = off + x;
  for (Integer i = 1; i <= last; ++i) {
    if (xtab[i] >= t && t > xtab[i - 1]) {
      const Real dy = ytab[i] - ytab[i - 1];
      const Real dx = xtab[i] - xtab[i - 1];
      const Real slope = dy / dx;
      return ytab[i - 1] + (t - xtab[i - 1]) * slope;
    }
  }
  return 0.0;
}

} // namespace tamsel::reference
