// SPDX-License-Identifier: BSD-3-Clause
// Complex fast Fourier transform of power-of-two length, in place.
#pragma once

#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/types.h>

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
// angle is theta = 6.28318530717959 / (sign*h) for half-span h (in Reals,
// h = m for sub-transforms of m values); the twiddle factor starts at 1 + 0i
// in every pass and advances by w <- w + (w*c) with c = exp(i*theta) - 1,
// c_re = -2 sin^2(theta/2) and c_im = sin(theta), both parts from the old w;
// cos is never called.  Each butterfly computes
//   t = (b_re*w_re - b_im*w_im, b_im*w_re + b_re*w_im),  b = a - t,  a = a + t.
// For sign +1 and -1 the factors of each pass length up to 2^21 are made by
// that recurrence once per process, on first use, and kept on the heap for
// the rest of the process (m Reals for the m/2 factors of sub-transforms of
// m values, 16 MiB for the largest); so sin is called for a pass only the
// first time its length occurs, and a program is given the memory of the
// lengths it uses only.  Where that memory cannot be had, std::bad_alloc
// is thrown, with data in no useful state.  Other signs compute every pass
// afresh.  Where the AVX-512
// kernels run, 16 to 2^11 values that do not start on a 64-byte boundary
// are transformed in an aligned copy on the stack (1 KiB up to 64 values,
// 32 KiB at most; realft does the same), with the same bits.
//
// n is read on entry, sign once after the permutation.  sign is meant to be
// +1 or -1; any other value divides the angles by it (0 gives NaNs).
//
// n <= 0 returns at once without touching data.  n = 1 leaves data
// unchanged.  A positive n that is not a power of two, or that exceeds
// 2^29 (so that 2n Reals are indexable by an Integer), is refused before
// data is touched: tamsel::InvalidArgument (<tamsel/numeric/errors.h>, a
// std::invalid_argument) with the message "four1: length n is not a power
// of two" or "four1: length n is too large (at most 536870912)", n written
// in decimal.
//
// Threads: may run in several threads at once on separate arrays, with the
// bits of serial calls; the first use of a length makes its kept factors
// once, whichever thread comes first, and they are only read afterwards.
//
// Accuracy, measured for values uniform in [-1, 1] as the largest
// difference from numpy.fft relative to the largest output magnitude:
// 1.4e-15 at 16 values, 3.6e-15 at 128, 6.5e-15 at 1024, 8.5e-15 at 2^14,
// 2.5e-14 at 2^20 (up to about 6 eps log2 n; the recurrence of the twiddle
// factors and the angle constant account for it).
//
// Floating-point environment: these results need the default one.  A
// program linked with -ffast-math or -Ofast starts with subnormal numbers
// flushed to zero (and read as zero), whatever flags the toolkit was built
// with; then subnormal inputs and results become 0.
void four1(Real* data, const Integer& n, const Integer& sign);

} // namespace tamsel
