// SPDX-License-Identifier: BSD-3-Clause
// The conventional layer's engine for lengths other than powers of two:
// Stockham's self-sorting mixed-radix transform over radices 8, 4, 2, 3, 5,
// 7, 11, 13 and every prime up to 131 (direct sums), in that order, and
// Bluestein's
// algorithm (a chirp convolution through the radix-2 engine with exact
// factors, fft::exact, of the least power of two >= 2n - 1; beyond its
// lengths, n above 2^28, through a mixed-radix transform of the least
// 2^a 3^b 5^c 7^d >= 2n - 1) for lengths with a larger prime factor.
// Every twiddle and chirp is a unit_root, so every bit is fixed by the
// arithmetic written here, on every processor and with every kernel table.
// A plan per length holds the factors and every twiddle; the plans of the
// 32 lengths used last (of complex and of real transforms each) are kept,
// shared between threads (found under a lock, read-only after).
//
// Internal to the toolkit; not installed.
#pragma once

#include <complex>
#include <cstddef>
#include <span>

namespace tamsel::fft::any {

using Complex = std::complex<double>;

// In place, for n = data.size() >= 1:
//   data[k] <- sum_j data[j] exp(-2 pi i j k / n).
void forward(std::span<Complex> data);

// In place, unscaled: data[j] <- sum_k data[k] exp(+2 pi i j k / n);
// the conjugate of forward of the conjugate (conjugation is exact).
void backward(std::span<Complex> data);

// out[k] = sum_j in[j] exp(-2 pi i j k / n), k = 0 .. n/2, for n =
// in.size() >= 1; out.size() = n/2 + 1.  Even n: one complex transform of
// n/2 values (even and odd terms as real and imaginary parts) and realft's
// recombination (fft::split, fft::join_ends) with the exact factors
// exp(-2 pi i k/n), the steps of the powers of two; a prime n from 17 to
// 199: direct sums of the real values (up to 131 the bits of the complex
// transform); other odd n: the complex transform of the n values
// (imaginary parts 0).
void real_forward(std::span<const double> in, std::span<Complex> out);

// out[j] = 1/n sum_k X[k] exp(+2 pi i j k / n), n = out.size() >= 1, with
// X[k] = in[k] for k <= n/2 and X[n-k] = conj(in[k]); the imaginary parts
// of in[0] and (n even) in[n/2] are taken as 0.  The inverse steps of
// real_forward: even n, the recombination with the conjugate factors and
// one complex transform of n/2 values, which leaves n/2 times the
// sequence, divided by n/2 (correctly rounded); odd n: the real parts of
// the complex inverse of the spectrum extended by its conjugates (a prime
// from 17 to 199: their direct sums, as real_forward), divided by n
// (correctly rounded).
void real_backward(std::span<const Complex> in, std::span<double> out);

// The smallest 2^a 3^b 5^c 7^d >= target (1 for target 0); target at most
// 2^62.
std::size_t fast_length(std::size_t target);

} // namespace tamsel::fft::any
