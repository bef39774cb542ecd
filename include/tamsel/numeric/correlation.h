// SPDX-License-Identifier: BSD-3-Clause
// Circular cross-correlation of two real sequences through the FFT.
#pragma once

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
// The spectrum of data1 is kept in a private scratch array of 16384 Reals,
// one per thread (thread-local static storage: 128 KiB in each thread's
// block, written only in the threads that call), whose first 2n (all the
// call uses) twofft writes before anything reads them, so results depend on
// the arguments alone.  n is read on entry and again after twofft.
//
// Threads: correl and correl_zero_lag may run in several threads at once on
// arrays that no other thread writes, with the bits of serial calls.
//
// n must be a power of two from 2 to 8192; any other n is refused with a
// Stop before anything is written.
void correl(const Real* data1, const Real* data2, const Integer& n,
            Real* result);

// result[0] of correl(data1, data2, n, work), bit for bit, without forming
// the other lags: the same spectrum product, and of the inverse transform
// only its value at lag 0.  work[0 .. 2n-1] is written and left in no useful
// state; otherwise as correl, with the same refusals.
Real correl_zero_lag(const Real* data1, const Real* data2, const Integer& n,
                     Real* work);

} // namespace tamsel
