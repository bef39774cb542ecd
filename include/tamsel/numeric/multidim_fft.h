// SPDX-License-Identifier: BSD-3-Clause
// Multidimensional complex FFT.
#pragma once

#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/types.h>

namespace tamsel {

// fourn: in-place, unscaled discrete Fourier transform of a complex array of
// D = dimcount dimensions with lengths L1 = lengths[0], ..., LD = lengths[D-1].
//
// Layout: N = L1 * L2 * ... * LD complex values in 2N Reals, the real then the
// imaginary part of each value in turn; the first index varies fastest.  The
// value at zero-based indices (k1, ..., kD), 0 <= kd < Ld, is complex value
// P = k1 + L1*(k2 + L2*(k3 + ... + L(D-1)*kD)), at data[2P] (real part) and
// data[2P + 1] (imaginary part).  The caller must supply all 2N Reals; exactly
// these are read and written, and nothing else.
//
// Result, in natural order at the same positions:
//   X(k) = sum over j of x(j) * exp(i * sign * 2pi * (j1*k1/L1 + ... + jD*kD/LD)),
// with the angles built from the constant 6.28318530717959 rather than 2pi.
// No factor 1/N is applied: sign +1 followed by sign -1 (or the reverse)
// returns N times the input, to rounding.  sign enters each angle as a Real
// factor, so values other than +1 and -1 scale the angles.  For sign = +1 or
// -1 the result is, bit for bit, that of four1 with the same sign applied to
// every line of dimension 1, then of dimension 2, and so on.
//
// Arguments: dimcount is read once.  dimcount <= 0 returns at once; neither
// data, lengths nor sign is read then (lengths and data may be null).
// Otherwise every lengths[d] is read at entry, in index order, and again when
// dimension d + 1 is transformed; sign is read at most once for each
// dimension of length 2 or more and never when all lengths are 1.
//
// Refused before any Real of data is read or written, with
// tamsel::InvalidArgument (<tamsel/numeric/errors.h>, a
// std::invalid_argument): a length that is 0, negative or not a power of
// two ("fourn: length L of dimension d is not a power of two", d counted
// from 1), and lengths whose 2N exceeds the Integer range, so N <= 2^29
// ("fourn: length L of dimension d makes 2N exceed the Integer range", at
// the first dimension that does).  Lengths of 1 are allowed and leave the
// result the same, bit for bit, as the call without them.
//
// Threads: as four1, whose kept factors fourn shares: may run in several
// threads at once on separate arrays, with the bits of serial calls.
//
// Accuracy: that of four1 along each dimension in turn, about that of four1
// of N values (complex_fft.h).
//
// Floating-point environment: these results need the default one.  A
// program linked with -ffast-math or -Ofast starts with subnormal numbers
// flushed to zero (and read as zero), whatever flags the toolkit was built
// with; then subnormal inputs and results become 0.
void fourn(Real* data, const Integer* lengths, const Integer& dimcount,
           const Integer& sign);

} // namespace tamsel
