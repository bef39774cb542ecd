// SPDX-License-Identifier: BSD-3-Clause
// The reference routines of reference.h: each written out from its
// definition, position by position, sharing no code with the toolkit.
#include "reference.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

namespace tamsel::reference {

namespace {

constexpr Real kFullTurn = 6.28318530717959;
constexpr Real kHalfTurn = 3.141592653589795;
constexpr Integer kScratchReals = 2 * 8192;

// w <- w * exp(i theta) by the half-angle recurrence, with c from theta.
struct Rotation {
  Real c_re, c_im;
  explicit Rotation(Real theta) {
    const Real s = std::sin(0.5 * theta);
    c_re = (s * s) * (-2.0);
    c_im = std::sin(theta);
  }
  void advance(Real& w_re, Real& w_im) const {
    const Real old = w_re;
    w_re = w_re + (w_re * c_re - w_im * c_im);
    w_im = w_im + (old * c_im + w_im * c_re);
  }
};

} // namespace

// Positions count Reals from 1: position p is data[p - 1].
void four1(Real* data, const Integer& n, const Integer& sign) {
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };
  const Integer values = n;
  const Integer N = 2 * values;
  if (N <= 0) return;

  // Bit reversal: b runs through the reversed positions as a counts up.
  Integer b = 1;
  Integer a = 1;
  for (;;) {
    Integer m = values;
    while (m >= 2 && b > m) {
      b = b - m;
      m = m / 2;
    }
    if (a == N - 1) break;
    b = b + m;
    a = a + 2;
    if (b > a) {
      std::swap(at(b), at(a));
      std::swap(at(b + 1), at(a + 1));
    }
  }
  if (N <= 2) return;

  // Radix-2 passes of half-span h Reals.
  for (Integer h = 2; N > h; h *= 2) {
    const Integer g = 2 * h;
    const Rotation c(kFullTurn / static_cast<Real>(std::int64_t{sign} * h));
    Real w_re = 1.0;
    Real w_im = 0.0;
    for (Integer m = 1; m < h; m += 2) {
      for (Integer p = m; p <= N; p += g) {
        const Integer q = p + h;
        const Real t_re = at(q) * w_re - at(q + 1) * w_im;
        const Real t_im = at(q + 1) * w_re + at(q) * w_im;
        at(q) = at(p) - t_re;
        at(q + 1) = at(p + 1) - t_im;
        at(p) = at(p) + t_re;
        at(p + 1) = at(p + 1) + t_im;
      }
      c.advance(w_re, w_im);
    }
  }
}

void realft(Real* data, const Integer& n, const Integer& sign) {
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };
  Real theta = kHalfTurn / static_cast<Real>(n);
  Real f;
  if (sign == 1) {
    four1(data, n, 1);
    f = -0.5;
  } else {
    theta = -theta;
    f = 0.5;
  }
  const Integer count = n; // n and sign read again after the transform
  const Integer direction = sign;
  const Rotation c(theta);
  Real w_re = 1.0 + c.c_re; // exp(i theta), not 1
  Real w_im = c.c_im;
  for (Integer k = 1; k <= count / 2; ++k) {
    const Integer pb = 2 * k + 1;
    const Integer pa = 2 * (count - k) + 1;
    const Real b_re = at(pb), b_im = at(pb + 1), a_re = at(pa), a_im = at(pa + 1);
    const Real u_re = (b_re + a_re) * 0.5;
    const Real u_im = (b_im - a_im) * 0.5;
    const Real v_re = -((b_im + a_im) * f);
    const Real v_im = (b_re - a_re) * f;
    at(pb) = (w_re * v_re + u_re) - w_im * v_im;
    at(pb + 1) = (u_im + v_im * w_re) + v_re * w_im;
    at(pa + 1) = v_re * w_im + (v_im * w_re - u_im);
    at(pa) = (u_re - w_re * v_re) + w_im * v_im;
    c.advance(w_re, w_im);
  }
  const Real y1 = at(1);
  const Real y2 = at(2);
  if (direction == 1) {
    at(1) = y1 + y2;
    at(2) = y1 - y2;
  } else {
    at(2) = (y1 - y2) * 0.5;
    at(1) = (y1 + y2) * 0.5;
    four1(data, n, -1);
  }
}

void twofft(const Real* data1, const Real* data2, Real* spectrum1,
            Real* spectrum2, const Integer& n) {
  auto s1 = [spectrum1](Integer p) -> Real& { return spectrum1[p - 1]; };
  auto s2 = [spectrum2](Integer p) -> Real& { return spectrum2[p - 1]; };
  for (Integer j = 1; j <= n; ++j) {
    s1(2 * j - 1) = data1[j - 1];
    s1(2 * j) = data2[j - 1];
  }
  four1(spectrum1, n, 1);
  const Integer count = n;
  s2(1) = s1(2);
  s2(2) = 0.0;
  s1(2) = 0.0;
  for (Integer k = 1; k <= count / 2; ++k) {
    const Integer pb = 2 * k + 1;
    const Integer pa = 2 * (count - k) + 1;
    const Real b_re = s1(pb), b_im = s1(pb + 1), a_im = s1(pa + 1), a_re = s1(pa);
    s1(pb) = 0.5 * (b_re + a_re);
    s1(pb + 1) = 0.5 * (b_im - a_im);
    s1(pa) = 0.5 * (b_re + a_re);
    s1(pa + 1) = -0.5 * (b_im - a_im);
    s2(pb) = 0.5 * (b_im + a_im);
    s2(pb + 1) = -0.5 * (b_re - a_re);
    s2(pa) = 0.5 * (b_im + a_im);
    s2(pa + 1) = 0.5 * (b_re - a_re);
  }
}

void correl(const Real* data1, const Real* data2, const Integer& n,
            Real* result) {
  static Real fft[kScratchReals];
  auto res = [result](Integer p) -> Real& { return result[p - 1]; };
  for (Real& x : fft) x = 0.0;
  twofft(data1, data2, fft, result, n);
  const Integer count = n;
  const Integer half = count / 2;
  const Real divisor = static_cast<Real>(static_cast<Integer>(static_cast<Real>(count) * 0.5));
  // C_k = F_k * conj(G_k) / (n/2) for k = 0..n/2, over G_k in result.
  for (Integer k = 0; k <= half; ++k) {
    const Integer p = 2 * k + 1;
    const Real f_re = fft[p - 1], f_im = fft[p];
    const Real g_re = res(p), g_im = res(p + 1);
    res(p) = (f_re * g_re + f_im * g_im) / divisor;
    res(p + 1) = (f_im * g_re - f_re * g_im) / divisor;
  }
  res(2) = res(count + 1); // the real C_{n/2} in the packed spectrum
  realft(result, half, -1);
}

void fourn(Real* data, const Integer* lengths, const Integer& dimcount,
           const Integer& sign) {
  const Integer D = dimcount;
  if (D <= 0) return;
  Integer N = 1;
  for (Integer d = 0; d < D; ++d) N *= lengths[d];

  Integer B = 1;
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    const Integer A = N / (L * B);

    // Value i * B + e of block k changes places with value rev(i) * B + e,
    // rev(i) being i with its log2(L) bits reversed, for every i < rev(i).
    auto value = [data, L, B](Integer k, Integer i, Integer e) {
      return data + 2 * ((k * L + i) * B + e);
    };
    for (Integer i = 0; i < L; ++i) {
      Integer rev = 0;
      for (Integer bit = 1, rest = i; bit < L; bit *= 2, rest /= 2) rev = 2 * rev + rest % 2;
      if (i >= rev) continue;
      for (Integer k = 0; k < A; ++k) {
        for (Integer e = 0; e < B; ++e) {
          std::swap(value(k, i, e)[0], value(k, rev, e)[0]);
          std::swap(value(k, i, e)[1], value(k, rev, e)[1]);
        }
      }
    }

    // Passes of sub-transform length M = 2, 4, .., L: the factor w_u of
    // butterfly u < M/2 by the recurrence from 1, applied to values
    // g + u and g + u + M/2 of every group g of every line.
    if (L >= 2) {
      const Real R = static_cast<Real>(sign) * kFullTurn;
      std::vector<Real> w(static_cast<std::size_t>(L));
      for (Integer M = 2; M <= L; M *= 2) {
        const Rotation c(R / static_cast<Real>(M));
        Real w_re = 1.0;
        Real w_im = 0.0;
        for (Integer u = 0; u < M / 2; ++u) {
          w[2 * std::size_t(u)] = w_re;
          w[2 * std::size_t(u) + 1] = w_im;
          c.advance(w_re, w_im);
        }
        for (Integer k = 0; k < A; ++k) {
          for (Integer g = 0; g < L; g += M) {
            for (Integer u = 0; u < M / 2; ++u) {
              const Real wr = w[2 * std::size_t(u)], wi = w[2 * std::size_t(u) + 1];
              for (Integer e = 0; e < B; ++e) {
                Real* p = value(k, g + u, e);
                Real* q = value(k, g + u + M / 2, e);
                const Real t_re = q[0] * wr - q[1] * wi;
                const Real t_im = q[0] * wi + q[1] * wr;
                const Real sum[2] = {p[0] + t_re, p[1] + t_im};
                const Real difference[2] = {p[0] - t_re, p[1] - t_im};
                std::copy(sum, sum + 2, p);
                std::copy(difference, difference + 2, q);
              }
            }
          }
        }
      }
    }
    B = B * L;
  }
}

Real favr(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
          const Real& x) {
  const Real t = off + x;
  for (Integer i = 1; i <= n; ++i) {
    if (t > xtab[i - 1] && t <= xtab[i]) {
      const Real slope = (ytab[i] - ytab[i - 1]) / (xtab[i] - xtab[i - 1]);
      return ytab[i - 1] + (t - xtab[i - 1]) * slope;
    }
  }
  return 0.0;
}

void chebft(const Real& a, const Real& b, Real* c, const Integer& n,
            ChebFunction func, const Real* pass1, const Real* pass2,
            const Integer& pass3, const Real& pass4) {
  constexpr Integer kScratch = 100;
  const Real pi = 3.141592653589793;
  Real f[kScratch] = {};
  const Real h = (b - a) * 0.5;
  const Real p = (a + b) * 0.5;
  const Integer nodes = n;
  if (nodes <= 0) return;
  for (Integer k = 1; k <= nodes; ++k) {
    const Real theta = ((static_cast<Real>(k) - 0.5) * pi) / static_cast<Real>(n);
    f[k - 1] = func(pass1, pass2, pass3, pass4, std::cos(theta) * h + p);
  }
  // c_j = (2/n) * sum over k, from 0.0 in node order, of f_k cos(((k - 1/2)/n) (j pi)).
  const Real fn = static_cast<Real>(n);
  for (Integer j = 0; j < n; ++j) {
    const Real angle = static_cast<Real>(j) * pi;
    const Real sum = std::accumulate(f, f + n, 0.0, [&, k = Integer{0}](Real s, Real fk) mutable {
      ++k;
      return s + fk * std::cos(((static_cast<Real>(k) - 0.5) / fn) * angle);
    });
    c[j] = (2.0 / fn) * sum;
  }
}

} // namespace tamsel::reference
