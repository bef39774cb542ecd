// SPDX-License-Identifier: BSD-3-Clause
#include "reference.h"

#include <cmath>
#include <utility>

#include "numeric/chebyshev.h"
#include "numeric/fft_passes.h"
#include "numeric/fft_steps.h"

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
      std::swap(data[b - 1], data[a - 1]);
      std::swap(data[b], data[a]);
    }
  }
  if (N <= 2) {
    return;
  }

  // Butterfly passes, in their plain order: the toolkit's own.
  fft::plain_passes(data, nvalues, sign);
}

} // namespace tamsel::reference

// The routines below as first written, loop by loop, less their refusals,
// with the arithmetic of each value taken from numeric/fft_steps.h.
namespace tamsel::reference {

namespace {
constexpr Real kHalfTurn = 3.141592653589795;
constexpr Integer kScratchReals = 2 * 8192;
} // namespace

void realft(Real* data, const Integer& n, const Integer& sign) {
  // Positions p counted from 1 are data[p - 1].
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };

  const bool forward = sign == 1;
  const Real angle = kHalfTurn / static_cast<Real>(n);
  const Real theta = forward ? angle : -angle;
  const Real f = forward ? -0.5 : 0.5;
  // Forward: the 2n reals taken as n complex values z_p = x_2p + i*x_2p+1.
  if (forward) four1(data, n, 1);
  const Integer count = n; // n and sign read again after the transform
  const Integer direction = sign;

  const fft::Step c = fft::angle_step(theta);
  Real w_re = 1.0 + c.c_re; // the twiddle factor starts at exp(i*theta)
  Real w_im = c.c_im;

  // Split Z_k and Z_{n-k} into the even and odd halves and recombine them.
  // For k = n/2 both are the same value, and the writes to a stand.
  for (Integer k = 1; k <= count / 2; ++k) {
    fft::split(&at(2 * k + 1), &at(2 * (count - k) + 1), w_re, w_im, f);
    fft::advance(w_re, w_im, c); // w <- w * exp(i*theta)
  }

  fft::join_ends(data, direction == 1);
  if (direction != 1) {
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
    fft::separate(spectrum1, spectrum2, 2 * k, 2 * (count - k));
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

  Integer N = 1; // the number of complex values
  for (Integer d = 0; d < D; ++d) N *= lengths[d];

  Integer B = 1; // product of the lengths of the dimensions already done
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    // Bit reversal and passes along the dimension, in their plain order:
    // the toolkit's own.
    if (L >= 2) fft::plain_dimension(data, L, B, N / (L * B), static_cast<Real>(sign));
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

  // The coefficients, every cosine computed afresh: the toolkit's own.
  detail::chebft_plain_coefficients(f, n, c);
}

} // namespace tamsel::reference
