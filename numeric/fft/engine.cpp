// SPDX-License-Identifier: BSD-3-Clause
// The butterfly passes of four1 and fourn: each building block in its
// portable form, handed to the x86 kernel in use where there is one, and the
// schedule that runs the passes of a transform over the data.
#include <tamsel/numeric/fft_passes.h>

#include <bit>
#include <cstdint>

#include <tamsel/numeric/fft_steps.h>
#include <tamsel/numeric/kernels.h>
#include <tamsel/numeric/stop.h>
#include <tamsel/numeric/x86_kernels.h>

namespace tamsel::fft {

using kernels::Kernel;

void check_length(const char* routine, Integer n) {
  if (!is_power_of_two(n)) {
    stopf(kStopStatus, "%s: length %d is not a power of two", routine, n);
  }
  if (n > kMaxLength) {
    stopf(kStopStatus, "%s: length %d is too large (at most %d)", routine, n, kMaxLength);
  }
}

void pass(Real* data, Integer n, Integer h, const Real* w, Integer j0,
          Integer count) {
#ifdef TAMSEL_X86_KERNELS
  switch (kernels::active()) {
  case Kernel::avx:
    if (count % 2 == 0) return x86::pass_avx(data, n, h, w, j0, count);
    [[fallthrough]];
  case Kernel::sse2:
    return x86::pass_sse2(data, n, h, w, j0, count);
  case Kernel::portable:
    break;
  }
#endif
  for (Integer s = 0; s < n; s += 2 * h) {
    Real* a = data + 2 * (s + j0);
    Real* b = a + 2 * h;
    for (Integer j = 0; j < count; ++j) {
      butterfly(a + 2 * j, b + 2 * j, w[2 * j], w[2 * j + 1]);
    }
  }
}

void pass_pair(Real* data, Integer n, Integer h, const Real* wa,
               const Real* wb) {
#ifdef TAMSEL_X86_KERNELS
  if (kernels::active() == Kernel::avx && h % 2 == 0) {
    return x86::pass_pair_avx(data, n, h, wa, wb);
  }
#endif
  pass(data, n, h, wa, 0, h);
  pass(data, n, 2 * h, wb, 0, 2 * h);
}

void first_two_passes(Real* data, Integer n, const Real* w2, const Real* w4) {
#ifdef TAMSEL_X86_KERNELS
  if (kernels::active() == Kernel::avx) {
    return x86::first_two_passes_avx(data, n, w2, w4);
  }
#endif
  pass(data, n, 1, w2, 0, 1);
  pass(data, n, 2, w4, 0, 2);
}

void butterflies(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
#ifdef TAMSEL_X86_KERNELS
  switch (kernels::active()) {
  case Kernel::avx:
    return x86::butterflies_avx(a, b, w_re, w_im, count);
  case Kernel::sse2:
    return x86::butterflies_sse2(a, b, w_re, w_im, count);
  case Kernel::portable:
    break;
  }
#endif
  for (Integer i = 0; i < count; ++i) {
    butterfly(a + 2 * i, b + 2 * i, w_re, w_im);
  }
}

void first_value(Real* data, Integer n) {
#ifdef TAMSEL_X86_KERNELS
  switch (kernels::active()) {
  case Kernel::avx:
    return x86::first_value_avx(data, n);
  case Kernel::sse2:
    return x86::first_value_sse2(data, n);
  case Kernel::portable:
    break;
  }
#endif
  // The pass of half-span h adds, at every position s that is a multiple of
  // 2h, the value at s + h; in terms of the values as given (before the
  // bit reversal) that is value q + n/(2h) into value q, q < n/(2h).
  for (Integer half = n / 2; half >= 1; half /= 2) {
    for (Integer q = 0; q < half; ++q) {
      Real* a = data + 2 * q;
      const Real* b = data + 2 * (q + half);
      const Real t_re = b[0] * 1.0 - b[1] * 0.0;
      const Real t_im = b[1] * 1.0 + b[0] * 0.0;
      a[0] = a[0] + t_re;
      a[1] = a[1] + t_im;
    }
  }
}

namespace {

// Pass angle theta = 6.28318530717959 / (sign*m) for sub-transform length m
// (half-span h = m/2 values); the factor w_j of butterfly j = 0..h-1 starts
// at 1 + 0i and advances by w <- w + w*(exp(i*theta) - 1), with
// cos(theta) - 1 formed as -2 sin^2(theta/2).  Each pass is one sweep over
// the data, group after group, j after j; the twiddle factors of a pass are
// made once and reused for all its groups.  Passes of length up to kBlock run
// block by block, each block finished while it is in cache.
constexpr Integer kBlock = Integer{1} << 13;
constexpr Integer kChunk = 512; // twiddle factors made at a time, uncached m

// The passes of lengths m = first .. last over count values, two at a time
// while there are two left.
void cached_passes(Real* data, Integer count, Integer direction,
                   Integer first, Integer last) {
  Integer m = first;
  for (; 2 * m <= last; m *= 4) {
    pass_pair(data, count, m / 2, cached_twiddles(direction, m),
                   cached_twiddles(direction, 2 * m));
  }
  if (m <= last) {
    pass(data, count, m / 2, cached_twiddles(direction, m), 0, m / 2);
  }
}

} // namespace

namespace {

// With the AVX kernel, a transform of up to one block starts with the
// permutation done together with the first two passes, and the passes of
// m = 8 .. through follow as radix2_passes runs them.  False, and nothing
// done, for another kernel or length.
bool avx_start(Real* data, Integer count, Integer direction, Integer through) {
#ifdef TAMSEL_X86_KERNELS
  if (kernels::active() == Kernel::avx && count >= 16 && count <= kBlock) {
    x86::reverse_first_two_avx(data, count, cached_twiddles(direction, 2),
                               cached_twiddles(direction, 4), reversed_order(count / 16));
    cached_passes(data, count, direction, 8, through);
    return true;
  }
#endif
  static_cast<void>(data);
  static_cast<void>(count);
  static_cast<void>(direction);
  static_cast<void>(through);
  return false;
}

} // namespace

void transform(Real* data, Integer count, Integer direction) {
  if (avx_start(data, count, direction, count)) return;
  bit_reverse(data, count);
  radix2_passes(data, count, direction);
}

bool transform_all_but_last(Real* data, Integer count, Integer direction) {
  // With log2(count) odd the passes from m = 8 pair up to count/2, and the
  // pass of m = count comes alone.
  return std::countr_zero(std::uint32_t(count)) % 2 == 1 &&
         avx_start(data, count, direction, count / 2);
}

void radix2_passes(Real* data, Integer count, Integer direction) {
  const Real* w2 = cached_twiddles(direction, 2);
  if (count == 2) {
    pass(data, count, 1, w2, 0, 1);
    return;
  }
  const Real* w4 = cached_twiddles(direction, 4);
  const Integer block = count < kBlock ? count : kBlock;
  for (Integer start = 0; start < count; start += block) {
    Real* part = data + 2 * start;
    first_two_passes(part, block, w2, w4);
    cached_passes(part, block, direction, 8, block);
  }
  const Integer cached = count < kCachedLength ? count : kCachedLength;
  cached_passes(data, count, direction, 2 * block, cached);
  for (Integer m = 2 * cached; m <= count; m *= 2) {
    Twiddle twiddle = pass_twiddle(direction, m);
    Real factors[2 * kChunk];
    for (Integer j0 = 0; j0 < m / 2; j0 += kChunk) {
      twiddle.generate(factors, kChunk);
      pass(data, count, m / 2, factors, j0, kChunk);
    }
  }
}

} // namespace tamsel::fft
