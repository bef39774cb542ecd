// SPDX-License-Identifier: BSD-3-Clause
// Reference transcriptions of toolkit routines, for the tests.
//
// Each one is the routine's definition written out loop by loop, position
// by position, with no attention to speed and no code of the toolkit's, so
// that the routines of numeric/, with every kernel, can be checked against
// it bit for bit.  They skip the refusals of the toolkit routines: callers
// pass only valid arguments.
#pragma once

#include <tamsel/numeric/types.h>

namespace tamsel::reference {

// Complex FFT of n complex values in 2n Reals (real, imaginary in turn),
// in place and unscaled: Z_k = sum_p z_p exp(sign 2pi i p k / n), with the
// pass angles 6.28318530717959 / (sign h), sign * h formed as a 64-bit
// integer: any sign is taken.  n a power of two; n <= 0 leaves data
// untouched.
void four1(Real* data, const Integer& n, const Integer& sign);

// Real FFT of 2n Reals through four1 of n values: sign 1 forward to the
// packed spectrum, any other sign the inverse (n times the sequence).  Base
// angle 3.141592653589795 / n.
void realft(Real* data, const Integer& n, const Integer& sign);

// Spectra of two real sequences of n values through one four1.
void twofft(const Real* data1, const Real* data2, Real* spectrum1, Real* spectrum2,
            const Integer& n);

// Circular correlation of two real sequences of n values through twofft and
// realft, into result[0 .. 2n-1]; a private scratch of 16384 Reals cleared
// in full on every call.
void correl(const Real* data1, const Real* data2, const Integer& n,
            Real* result);

// Multidimensional complex FFT: dimension after dimension, bit reversal and
// butterfly passes with the angles (sign * 6.28318530717959) / M, for any
// sign.
void fourn(Real* data, const Integer* lengths, const Integer& dimcount,
           const Integer& sign);

// Linear interpolation in the first interval i = 1..n, in index order,
// with xtab[i-1] < off + x <= xtab[i]; 0.0 when there is none.
Real favr(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
          const Real& x);

// Chebyshev fit of n coefficients to func on [a, b], with func of the shape
// of favr and every cosine computed afresh (also those of the nodes).
using ChebFunction = Real (*)(const Real*, const Real*, const Integer&,
                              const Real&, const Real&);
void chebft(const Real& a, const Real& b, Real* c, const Integer& n,
            ChebFunction func, const Real* pass1, const Real* pass2,
            const Integer& pass3, const Real& pass4);

} // namespace tamsel::reference
