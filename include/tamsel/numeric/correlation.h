// SPDX-License-Identifier: BSD-3-Clause
// Circular cross-correlation of two real sequences through the FFT.
#pragma once

#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/types.h>

namespace tamsel {

// Computes, for lags m = 0..n-1,
//
//   result[m] = sum over j = 0..n-1 of data1[(j + m) mod n] * data2[j],
//
// with no normalisation: result[0] is the plain sum of data1[j]*data2[j].
// Lag -m equals lag n-m and stands at result[n-m].
//
// Reads data1[0 .. n-1] and data2[0 .. n-1] (data2 may be data1) and writes
// result[0 .. 2n-1], which must not overlap either input: result[0 .. n-1]
// receive the correlation, result[n .. 2n-1] are work space and hold no
// meaningful values on return.
//
// Method: twofft of both sequences, the product of the first spectrum with
// the conjugate of the second divided by n/2, and realft(result, n/2, -1).
// The spectrum of data1 is kept in a private scratch of 2n Reals: on the
// stack for n up to 256 (4 KiB), beyond that one per thread, taken from the
// heap on the thread's first call that needs more than it holds (at most
// 128 KiB, at n = 8192) and given back when the thread ends; a thread that
// never calls with n above 256 takes nothing from the heap.  twofft writes
// all of it before anything reads it, so results depend on the arguments
// alone.
// n is read on entry and again after twofft.
//
// Threads: correl and correl_zero_lag may run in several threads at once on
// arrays that no other thread writes, with the bits of serial calls.
//
// n must be a power of two from 2 to 8192; any other n is refused before
// anything is written: tamsel::InvalidArgument (<tamsel/numeric/errors.h>,
// a std::invalid_argument) with the message "correl: length n is not a
// power of two from 2 to 8192", n written in decimal (correl_zero_lag's
// too).
//
// Accuracy: for two sequences of like size, every lag within about 5 eps of
// sqrt(sum data1^2 * sum data2^2) (measured for values uniform in [-1, 1],
// n = 16 .. 8192).  Both sequences share one complex transform, so the
// error goes with the larger of them: if one is 1e12 times smaller than
// the other, its lags are off by about 1% (0.7% measured at n = 128), and
// its contribution is lost entirely further apart.  Scale both alike first.
//
// Floating-point environment: these results need the default one.  A
// program linked with -ffast-math or -Ofast starts with subnormal numbers
// flushed to zero (and read as zero), whatever flags the toolkit was built
// with; then subnormal inputs and results become 0.
void correl(const Real* data1, const Real* data2, const Integer& n,
            Real* result);

// result[0] of correl(data1, data2, n, work), bit for bit, without forming
// the other lags: the same spectrum product, and of the inverse transform
// only its value at lag 0.  work[0 .. 2n-1] is written and left in no useful
// state; otherwise as correl, with the same refusals.
Real correl_zero_lag(const Real* data1, const Real* data2, const Integer& n,
                     Real* work);

} // namespace tamsel
