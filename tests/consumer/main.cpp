// SPDX-License-Identifier: BSD-3-Clause
// Uses the installed toolkit and run: a complex FFT and its inverse, a
// Chebyshev fit checked against the function it fits, a refused length
// caught as the standard exception it is, and a window measured on two
// tables that agree.  Prints "ok" and exits 0 when all hold.
#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/run.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

tamsel::Real wave(const tamsel::Real& scale, const tamsel::Real& shift, int, int,
                  const tamsel::Real& x) {
  return scale * std::sin(3.0 * x + shift);
}

} // namespace

int main() {
  using tamsel::Integer;
  using tamsel::Real;

  // Eight complex values through a forward and an inverse transform come
  // back eight times larger.
  Real data[16], original[16];
  for (int i = 0; i < 16; ++i) original[i] = data[i] = std::cos(0.731 * i) * 2.385 + 0.1 * i;
  const Integer n = 8, forward = 1, inverse = -1;
  tamsel::four1(data, n, forward);
  // The zero-frequency term is the plain sum of the values.
  Real re = 0.0, im = 0.0;
  for (int p = 0; p < 8; ++p) re += original[2 * p], im += original[2 * p + 1];
  double fft_error = std::fabs(data[0] - re) + std::fabs(data[1] - im);
  tamsel::four1(data, n, inverse);
  for (int i = 0; i < 16; ++i) fft_error += std::fabs(data[i] / 8.0 - original[i]);

  // A 15-term fit of 1.7 sin(3x + 0.4) on [0.2, 1.9], evaluated in between.
  Real c[15];
  const Real a = 0.2, b = 1.9, scale = 1.7, shift = 0.4;
  const Integer terms = 15;
  tamsel::chebft(a, b, c, terms, wave, scale, shift, 0, 0);
  double fit_error = 0.0;
  for (Real x = 0.2; x <= 1.9; x += 0.17)
    fit_error = std::fmax(fit_error, std::fabs(tamsel::chebev(a, b, c, terms, x) -
                                               wave(scale, shift, 0, 0, x)));

  // A length that is not a power of two is refused, data untouched.
  bool refused = false;
  try {
    const Integer six = 6;
    tamsel::four1(data, six, forward);
  } catch (const std::invalid_argument& refusal) {
    refused = std::strcmp(refusal.what(), "four1: length 6 is not a power of two") == 0;
  }

  // Tables of 1000 records in hertz, the log one a scaled copy of the spec
  // one: the window's curves agree exactly.
  Real hz[1000], spec[1000], log[1000];
  for (int i = 0; i < 1000; ++i) {
    hz[i] = 100.0 + 4.9 * i;
    spec[i] = std::sin(hz[i] / 300.0);
    log[i] = 3.0 * spec[i];
  }
  const Real fmin[] = {600.0}, fmax[] = {3000.0};
  const Real agreement =
      tamsel::correlate_windows(hz, spec, log, fmin, fmax).samples.at(0).coefficient;

  std::printf("four1 error %.3g, chebft error %.3g, refused %d, agreement %.17g\n", fft_error,
              fit_error, int(refused), agreement);
  if (fft_error > 1e-12 || fit_error > 1e-9 || !refused || std::fabs(agreement - 1.0) > 1e-12)
    return 1;
  std::printf("ok\n");
  return 0;
}
