// SPDX-License-Identifier: BSD-3-Clause
// The passes of the any-length engine's self-sorting mixed-radix transform
// (fft/any_length.h), and the arithmetic they share with it.
//
// Internal to the toolkit; not installed.
#pragma once

#include <complex>
#include <cstddef>

namespace tamsel::fft::any {

using Complex = std::complex<double>;

// The complex product written out, so that no build calls the run-time
// library's product with its checks for infinities.
inline Complex mul(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// -i a, exactly.
inline Complex minus_i(Complex a) { return {a.imag(), -a.real()}; }

// The largest prime radix; a length with a larger prime factor goes through
// Bluestein's convolution (direct sums cost about R operations a value,
// more than the convolution's transforms from here on).
inline constexpr unsigned kLargestRadix = 61;

// One pass of radix r (2, 3, 4, 5, 7, 8, 11, 13, or an odd prime up to
// kLargestRadix) over sub-transforms of length r m at stride s (n = s r m),
// from x into y (distinct): for p < m and q < s, the r values
// a_j = x[q + s (p + j m)] give b_k = sum_j a_j exp(-2 pi i j k / r), and
// y[q + s (r p + k)] = b_k w^(p k s), w = exp(-2 pi i / n), where tw holds
// w^(p k s) for k = 1 .. r-1 at tw[p (r-1) + k - 1] (not used for p = 0,
// whose factors are 1).  For the primes above 13, cos and sin hold
// cos(2 pi j/r) and sin(2 pi j/r), j < r; otherwise they are not read.
void pass(unsigned radix, const Complex* x, Complex* y, std::size_t m, std::size_t s,
          const Complex* tw, const double* cos, const double* sin);

} // namespace tamsel::fft::any
