// Complex fast Fourier transform of power-of-two length, in place.
#pragma once

#include "numeric/types.h"

namespace tamsel {

// Replaces the n complex values z_0 .. z_{n-1} held in data by their
// discrete Fourier transform
//
//   Z_k = sum over p = 0..n-1 of z_p * exp(sign * 2*pi*i * p*k / n),
//
// for k = 0..n-1, unscaled: a transform with sign +1 followed by one with
// sign -1 returns n times the input.
//
// Layout: data holds 2n Reals; z_p is data[2p] + i*data[2p+1], and Z_k is
// returned in the same place, in natural order.  Exactly data[0 .. 2n-1]
// are read and written; nothing else.
//
// Method: bit-reversal permutation, then radix-2 butterfly passes.  The pass
// angle is 6.28318530717959 / (sign*h) for half-span h; the twiddle factor
// starts at 1 + 0i in every pass and advances by a recurrence, so sin is
// called twice per pass (2*log2(n) times per call) and cos never.
//
// n is read on entry, sign once after the permutation.  sign is meant to be
// +1 or -1; any other value divides the angles by it (0 gives NaNs).
//
// n <= 0 returns at once without touching data.  n = 1 leaves data
// unchanged.  A positive n that is not a power of two, or that exceeds
// 2^29 (so that 2n Reals are indexable by an Integer), is refused with a
// Stop before data is touched.
void four1(Real* data, const Integer& n, const Integer& sign);

} // namespace tamsel
