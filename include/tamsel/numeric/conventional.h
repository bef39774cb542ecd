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
// Powers of two run the toolkit's radix-2 engine (the steps and kernels
// of four1 and realft) with exact twiddle factors in place of four1's
// recurrence: exp(-2 pi i j/m) rounded to nearest, computed once by the
// toolkit's own double-double arithmetic (never the C library) and kept
// for m up to 2^23 (for each direction used, as many bytes as the data of
// the longest complex transform or twice those of the longest real one, at
// most 128 MiB), made as the passes go beyond.  ifft runs the transform
// with the conjugate factors (its result is the conjugate of fft of the
// conjugate, bit for bit) and multiplies by 1/n, exactly; rfft from 512
// values is a complex transform of n/2 values and a recombination with the
// factors exp(-pi i k/(n/2)), irfft its steps undone, times 2/n.  The bits
// are the same with every kernel table (portable, SSE2, AVX, AVX-512) and
// at every alignment of the data.
//
// rfft of an even n up to 256 is fft of the n values with imaginary parts
// +0 (those of its first and last values set to +0), irfft of such an n
// the real parts of ifft of the spectrum extended by its conjugates (the
// imaginary parts of its first and last values taken as 0): as accurate as
// a real-input algorithm, where the recombination leaves a tenth more
// error, for up to twice the time.
//
// Every other length goes through an engine of its own: mixed radix
// (self-sorting passes of radices 8, 4, 2, 3, 5, 7, 11, 13 and every prime
// up to 131) and, for lengths with a larger prime factor, Bluestein's chirp
// convolution through the radix-2 transform above of the least power of
// two from 2n - 1 (up to n = 2^28; of next_fast_len(2n - 1) values through
// the mixed-radix passes above).  Its twiddle factors are the same
// correctly rounded roots, so its bits too are the same on every build,
// processor and C library.  The inverses are the conjugates of the forward
// transform of the conjugate, divided by n (a correctly rounded division).
// rfft of an even n from 258 is its complex transform of n/2 values and
// the recombination of the powers of two (with exp(-2 pi i k/n)), irfft
// their inverses, divided by n/2; rfft and irfft of an odd n are complex
// transforms of n values, as for the even n up to 256, but at the primes
// from 137 to 199, where they are direct sums of the real values (below,
// the complex transform's sums themselves, with its bits).
//
// Accuracy: relative RMS error of fft, values uniform in [-1, 1), against a
// 120-bit reference up to 4096 and a long-double one above
// (bench/python_accuracy.py, pooled over several inputs at the shorter
// lengths): 4e-17 to 2.4e-16 for powers of two up to 4096, 2.8e-16 at
// 2^16, 3.4e-16 at 2^22 (about 0.3 eps sqrt(log2 n)); 7e-17 to 2.4e-16
// for mixed-radix lengths up to 4096 (the primes up to 131 among them);
// 4.1e-16 to 4.3e-16 for the primes 1009 and 10007 through Bluestein: at
// or below scipy.fft's error at every length measured from 2 to 2^22 but
// 32 (1.03 times).  The
// mixed-radix plans (factors and twiddles) are made on a length's first
// call; those of the 32 lengths used last are kept, shared by every thread.
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

// The spectrum of the real C-order array `in` of this shape over every
// axis, out[k] = sum_j in[j] exp(-2 pi i sum_d j_d k_d / n_d) for k_last =
// 0 .. n_last/2: rfft along the last axis, then fft along each of the
// others, the last first (the bits of that composition); out is C-order
// with n_last/2 + 1 values along the last axis.  irfftn is its inverse:
// from such a spectrum, the unscaled inverse along every axis but the last,
// the last first, a division by the number of values of those axes (ifftn
// of them), then irfft along the last axis into the real array out of this
// shape.  Shapes, lengths and threads as fftn's; in and out must not
// overlap, and in is not changed.
void rfftn(std::span<const double> in, std::span<Complex> out,
           std::span<const std::size_t> shape, unsigned threads = 1);
void irfftn(std::span<const Complex> in, std::span<double> out,
            std::span<const std::size_t> shape, unsigned threads = 1);

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
