// SPDX-License-Identifier: BSD-3-Clause
// The toolkit in the conventions of numpy and FFTW: spans of double and
// std::complex<double>, positions from 0, sizes by value, errors as
// exceptions.
//
//   fft(x)[k]   = sum_j x[j] exp(-2 pi i j k / n)
//   ifft(X)[j]  = 1/n sum_k X[k] exp(+2 pi i j k / n)
//   rfft, irfft: the same for real sequences, spectra of n/2 + 1 values
//   fftn, ifftn: over every axis of an array in C order
//
// Lengths are any from 1 to 2^29 (0 and larger ones are refused with
// std::invalid_argument naming them).
//
// Powers of two are thin mappings onto the toolkit's routines (four1,
// realft; fftn has fourn's bits, four1 along each axis), whose extra steps
// (conjugation, unpacking, scaling by a power of two) are exact, so their
// results are the toolkit's bits and share its accuracy: fft differs from
// numpy.fft by at most 1.4e-15 of the largest output at 16 values, 6.5e-15
// at 1024 and 2.5e-14 at 2^20.
//
// Every other length goes through an engine of its own: mixed radix
// (self-sorting passes of radices 8, 4, 2, 3, 5, 7, 11, 13 and every prime
// up to 61) and, for lengths with a larger prime factor, Bluestein's chirp
// convolution through a mixed-radix transform of next_fast_len(2n - 1)
// values.  Its twiddle factors are exp(-2 pi i k/n) rounded to nearest
// (checked against a 120-bit reference for n up to 2^40), computed by the
// toolkit's own double-double arithmetic, never by the C library, so its
// bits are the same on every build, processor and C library.  The inverses
// are the conjugates of the forward transform of the conjugate, divided by n
// (a correctly rounded division).  Relative RMS error against a 120-bit
// reference, values uniform in [-1, 1) (bench/python_accuracy.py): 5e-17 to
// 2.4e-16 for mixed-radix lengths from 3 to 4096, 4.4e-16 for 1009 through
// Bluestein, within 1.2 times the better of numpy.fft and scipy.fft.
// Plans (factors and twiddles) are made on a length's first call; those of
// the 32 lengths used last are kept, shared by every thread.
//
// Threads: every function may run in several threads at once on arrays
// that no other thread writes, with the bits of serial calls.
//
// Floating-point environment: these results need the default one.  A
// program linked with -ffast-math or -Ofast starts with subnormal numbers
// flushed to zero (and read as zero), whatever flags the toolkit was built
// with; then subnormal inputs and results become 0.
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <vector>

#include <tamsel/numeric/types.h>

namespace tamsel::conventional {

using Complex = std::complex<double>;

// In place: data holds n = data.size() values.
void fft(std::span<Complex> data);
void ifft(std::span<Complex> data);

// The spectrum X[0 .. n/2] of the real sequence in (n = in.size() values)
// with the negative exponent, into out (n/2 + 1 values).  X[0] and, for
// even n, X[n/2] have imaginary part 0.  in and out must not overlap.
void rfft(std::span<const double> in, std::span<Complex> out);

// The real sequence of n = out.size() values whose spectrum is in[0 .. n/2]
// (n/2 + 1 values): out[j] = 1/n sum_{k=0..n-1} X[k] exp(+2 pi i j k / n),
// with X[n-k] = conj(X[k]).  The imaginary parts of in[0] and, for even n,
// in[n/2] are not used.  in and out must not overlap.
void irfft(std::span<const Complex> in, std::span<double> out);

// In place over every axis of an array of the given shape in C order (the
// last index varies fastest): fft along the last axis, then the one before,
// and so on (the bits of fft along each axis in turn); ifftn applies the
// unscaled inverse along each axis and then divides by N, N =
// data.size() the number of values, at most 2^29.
void fftn(std::span<Complex> data, std::span<const std::size_t> shape);
void ifftn(std::span<Complex> data, std::span<const std::size_t> shape);

// fftn and ifftn with the lines of each axis split between up to
// `threads` threads (0 is refused) as FftPlan::execute splits them
// (<tamsel/numeric/fft_plan.h>), with the same bits whatever their number;
// an exception of any line is thrown once all have ended, with data in no
// useful state.  An array of one axis is one line, done by one thread.
void fftn(std::span<Complex> data, std::span<const std::size_t> shape, unsigned threads);
void ifftn(std::span<Complex> data, std::span<const std::size_t> shape, unsigned threads);

// The smallest 2^a 3^b 5^c 7^d >= target (1 for target 0): a length that
// the mixed-radix passes take without Bluestein's convolution.  target at
// most 2^29.
std::size_t next_fast_len(std::size_t target);

// Circular cross-correlation (correl): for lags m = 0 .. n-1,
//   out[m] = sum_j a[(j + m) mod n] * b[j],
// lag 0 first, lag -m at out[n - m]; n = a.size() = b.size() = out.size(), a
// power of two from 2 to 8192.  Both sequences share one complex transform,
// so the error is relative to the larger of the two: a sequence 1e12 times
// smaller than the other loses its digits in the other's rounding.
void correlate(std::span<const double> a, std::span<const double> b, std::span<double> out);

// Chebyshev series on [a, b] in numpy's convention: coefficients c[0 .. n-1]
// stand for sum_k c[k] T_k(u), u = (2x - a - b) / (b - a), as
// numpy.polynomial.Chebyshev(c, domain=[a, b]) (c[0] is half the toolkit's
// first coefficient, exactly unless it is subnormal).

// The n = nodes.size() abscissae at which chebft samples a function, in its
// order (from the end near b to the end near a); 1 <= n <= 100.
void chebyshev_nodes(double a, double b, std::span<double> nodes);

// The coefficients of the series through values[k], the function at
// nodes[k] of chebyshev_nodes (chebft's fit); values.size() =
// coefficients.size() from 1 to 100.
void chebyshev_fit(double a, double b, std::span<const double> values,
                   std::span<double> coefficients);

// chebft of f (called at each node in turn) with n coefficients.
template <class F>
std::vector<double> chebyshev_fit(F&& f, double a, double b, std::size_t n) {
  std::vector<double> nodes(n), values(n), coefficients(n);
  chebyshev_nodes(a, b, nodes);
  for (std::size_t k = 0; k < n; ++k) values[k] = f(nodes[k]);
  chebyshev_fit(a, b, values, coefficients);
  return coefficients;
}

// out[i] = the series at x[i] (chebev); every x[i] must lie in [a, b]
// ((x - a) * (x - b) not above 0; NaN passes and gives NaN), else
// std::invalid_argument names the first that does not.  At least one
// coefficient; out.size() = x.size().
void chebyshev_eval(std::span<const double> coefficients, double a, double b,
                    std::span<const double> x, std::span<double> out);

// The series of the integral from a (chint): zero at a, the term of degree
// n dropped; n = coefficients.size() = out.size() at least 2.
void chebyshev_integral(std::span<const double> coefficients, double a, double b,
                        std::span<double> out);

// The table function (favr) at every x[i]: linear between neighbouring
// points of the table xp, fp (the same size, at least 1), each interval
// (xp[i-1], xp[i]] open on the left, the first ascending interval holding
// x[i] taken, 0.0 where none holds it (outside the table, at xp[0], NaN).
// Unlike numpy.interp, nothing is clamped.  out.size() = x.size().
void interp(std::span<const double> x, std::span<const double> xp, std::span<const double> fp,
            std::span<double> out);

} // namespace tamsel::conventional
