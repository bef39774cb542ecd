// SPDX-License-Identifier: BSD-3-Clause
// Fourier transforms of real sequences through one complex transform.
//
// Both routines use the positive exponent of four1 with sign +1: the
// spectrum of a real sequence x_0 .. x_{L-1} is
//
//   X_k = sum over j = 0..L-1 of x_j * exp(+2*pi*i * j*k / L).
//
// Packed spectrum of a real sequence of L = 2n values, in 2n Reals:
// [0] = X_0, [1] = X_n (both real), and [2k], [2k+1] = real and imaginary
// part of X_k for k = 1..n-1.  X_{n+1} .. X_{2n-1} are the conjugates of
// X_{n-1} .. X_1 and are not stored.
#pragma once

#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/types.h>

namespace tamsel {

// In place, on the 2n Reals data[0 .. 2n-1] and nothing else.
//
// sign = 1 (forward): data holds the real sequence x_0 .. x_{2n-1}
// (x_j = data[j]) on entry and its packed spectrum on return.
//
// Any other sign (inverse): data holds a packed spectrum X on entry; on
// return data[j] = 1/2 * sum over k = 0..2n-1 of X_k * exp(-2*pi*i*j*k/(2n))
// for j = 0..2n-1, that is n times the real sequence whose spectrum is X.
// Forward then inverse returns n times the input; 0, 2 and -1 all give
// the inverse, bit for bit.
//
// Calls four1(data, n, +1) first when forward, four1(data, n, -1) last when
// inverse, and sin twice besides (unless the factors are already at hand).  n and sign are read on entry and
// again after the forward call of four1.  The base angle is
// 3.141592653589795 / n.
//
// n must be a power of two from 1 to 2^29; any other n (including n <= 0)
// is refused before data is touched, as four1 refuses it but with
// "realft" for "four1": tamsel::InvalidArgument (<tamsel/numeric/errors.h>,
// a std::invalid_argument).
//
// Threads: as four1, whose kept factors realft also reads: may run in
// several threads at once on separate arrays, with the bits of serial calls.
//
// Accuracy, measured as four1's (values uniform in [-1, 1], largest
// difference from numpy.fft relative to the largest output) for 2n real
// values: forward 1.2e-15 at 16, 5.3e-15 at 1024, 1.8e-14 at 2^20; the
// inverse 1.7e-15, 8.3e-15 and 5.3e-14.  twofft: as four1 of n values.
//
// Floating-point environment: these results need the default one.  A
// program linked with -ffast-math or -Ofast starts with subnormal numbers
// flushed to zero (and read as zero), whatever flags the toolkit was built
// with; then subnormal inputs and results become 0.
void realft(Real* data, const Integer& n, const Integer& sign);

// Spectra of two real sequences of n values with a single complex
// transform of n values.
//
// Reads data1[0 .. n-1] and data2[0 .. n-1] (data2 may be data1); writes
// spectrum1[0 .. 2n-1] and spectrum2[0 .. 2n-1], two distinct arrays that
// overlap neither input.  On return spectrum1[2k] + i*spectrum1[2k+1] is
//
//   F_k = sum over j = 0..n-1 of data1[j] * exp(+2*pi*i * j*k / n)
//
// for k = 0..n-1, and spectrum2 holds G_k, the same for data2.  The
// imaginary parts of F_0, G_0 and, for n >= 2, F_{n/2}, G_{n/2} are zero.
//
// Transforms the sequence data1[j] + i*data2[j] in spectrum1 with four1's
// arithmetic, sign +1 (up to n = 2048 the values are written straight to
// the places four1's permutation gives them); n is read on entry and again
// after that transform.  n must be a power of two from 1 to 2^29; any
// other n is refused before anything is written, as four1 refuses it but
// with "twofft" for "four1" (tamsel::InvalidArgument).
//
// Threads: as four1.
void twofft(const Real* data1, const Real* data2, Real* spectrum1,
            Real* spectrum2, const Integer& n);

} // namespace tamsel
