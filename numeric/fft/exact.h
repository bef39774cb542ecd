// SPDX-License-Identifier: BSD-3-Clause
// The conventional layer's transforms of powers of two: the steps and
// kernels of four1 and realft's forward transform, with the exact factors
// (engine.h, Roots::exact) in place of the recurrence's, so that their
// error is that of the butterflies alone.
//
// Internal to the toolkit; not installed.
#pragma once

#include <tamsel/numeric/types.h>

namespace tamsel::fft::exact {

// In place, for n values (a power of two from 1 to 2^29) and sign +1 or -1:
//   data[k] <- sum_j data[j] exp(sign 2 pi i j k / n),
// value j at data[2j], data[2j + 1].
void transform(Real* data, Integer n, Integer sign);

// The spectrum X_k = sum_j x_j exp(-2 pi i j k / (2n)) of the 2n reals x
// at data (n a power of two from 1 to 2^28), in place: X_0 at data[0], the
// real X_n at data[1], X_k at data[2k], data[2k + 1] for k = 1 .. n - 1.
// The transform of the n values x_2p + i x_2p+1, then the recombination
// (fft::split, f = -1/2) with the factors exp(-pi i k / n).
void real_forward(Real* data, Integer n);

// The inverse of real_forward but for a factor n: from that layout, the 2n
// reals n * x_j with x_j = 1/(2n) sum_k X_k exp(+2 pi i j k / (2n)),
// X_{2n-k} = conj X_k; real_forward's steps undone in reverse order (the
// recombination with f = 1/2 and the factors exp(+pi i k / n), then the
// transform with sign +1).
void real_backward(Real* data, Integer n);

} // namespace tamsel::fft::exact
