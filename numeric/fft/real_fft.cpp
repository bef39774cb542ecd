// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/real_fft.h>

#include <cmath>

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/fft_passes.h>
#include <tamsel/numeric/fft_steps.h>
#include <tamsel/numeric/kernels.h>
#include <tamsel/numeric/real_fft_first.h>
#include <tamsel/numeric/x86_kernels.h>

namespace tamsel {

namespace {

using kernels::Kernel;

// The base angle is this constant over n; it lies 4 units in the last
// place above pi, and the results are fixed to it.
constexpr Real kHalfTurn = 3.141592653589795;

constexpr Integer kChunk = 512; // factors made at a time without a table

static_assert(kHalfTurn * 2.0 == fft::kFullTurn,
              "realft's angle is half of four1's, exactly");

// fft::split of Z_k at data[2k] and Z_{count-k} at data[2(count-k)] for
// k = first .. end-1, with the factor w_k at w[2(k - first)], by the kernel
// in use.
void split_range(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f) {
#ifdef TAMSEL_X86_KERNELS
  switch (kernels::active()) {
  case Kernel::avx:
    return x86::split_avx(data, count, w, first, end, f);
  case Kernel::sse2:
    return x86::split_sse2(data, count, w, first, end, f);
  case Kernel::portable:
    break;
  }
#endif
  for (Integer k = first; k < end; ++k) {
    const Real* wk = w + 2 * (k - first);
    fft::split(data + 2 * k, data + 2 * (count - k), wk[0], wk[1], f);
  }
}

// realft, or with first_only (inverse only) the inverse up to its complex
// transform, of which only value 0 is formed.
void real_transform(Real* data, const Integer& n, const Integer& sign,
                    bool first_only) {
  Integer count = n; // read on entry ...
  Integer direction = sign;
  fft::check_length("realft", count);
  const Integer entry_count = count;
  const bool forward = direction == 1;

  Real theta = kHalfTurn / static_cast<Real>(count);
  Real f;
  bool last_pass_left = false; // four1's last pass, to go with the splits
  if (forward) {
    // Forward: the 2n reals taken as n complex values z_p = x_2p + i*x_2p+1.
    last_pass_left = fft::transform_all_but_last(data, count, 1);
    if (!last_pass_left) {
      four1(data, n, 1);
      count = n; // ... and again after the transform
      direction = sign;
    }
    f = -0.5;
  } else {
    theta = -theta;
    f = 0.5;
  }

  // Split Z_k and Z_{n-k}, k = 1 .. n/2, into the even and odd halves and
  // recombine them (fft::split).  The factors w_1, w_2, ... are those of
  // four1's pass of length 2n for the sign of theta (the same angle, to the
  // last bit), whose kept table then serves; without one they come from the
  // recurrence w <- w * exp(i*theta), w_1 = exp(i*theta), a chunk at a time.
  const Integer last = count / 2;
  const Real* table = nullptr;
  if (count == entry_count) {
    table = fft::cached_twiddles(forward ? 1 : -1, 2 * count);
  }
  Real w_last[2];
  if (table != nullptr) {
#ifdef TAMSEL_X86_KERNELS
    if (last_pass_left) {
      x86::pass_split_avx(data, count, fft::cached_twiddles(1, count), table, f);
    } else {
      split_range(data, count, table + 2, 1, last, f);
    }
#else
    split_range(data, count, table + 2, 1, last, f);
#endif
    w_last[0] = table[2 * last];
    w_last[1] = table[2 * last + 1];
  } else {
    const fft::Step c = fft::angle_step(theta);
    fft::Twiddle chain{c.c_re, c.c_im, 1.0 + c.c_re, c.c_im};
    Real factors[2 * kChunk];
    for (Integer k = 1; k < last; k += kChunk) {
      const Integer end = last - k < kChunk ? last : k + kChunk;
      chain.generate(factors, end - k);
      split_range(data, count, factors, k, end, f);
    }
    w_last[0] = chain.w_re;
    w_last[1] = chain.w_im;
  }
  if (last >= 1) {
    Real* middle = data + 2 * last; // Z_{n/2}, its own partner
    fft::split(middle, middle, w_last[0], w_last[1], f);
  }

  fft::join_ends(data, direction == 1);
  if (direction != 1) {
    if (first_only) {
      fft::first_value(data, n);
    } else {
      four1(data, n, -1);
    }
  }
}

// twofft's complex sequence written in order and transformed by four1.
void copy_and_transform(const Real* data1, const Real* data2, Real* spectrum1,
                        const Integer& n) {
  const Integer count = n;
#ifdef TAMSEL_X86_KERNELS
  if (kernels::active() != Kernel::portable) {
    x86::interleave_sse2(data1, data2, spectrum1, count, nullptr);
    four1(spectrum1, n, 1);
    return;
  }
#endif
  for (Integer j = 1; j <= count; ++j) {
    spectrum1[2 * j - 2] = data1[j - 1];
    spectrum1[2 * j - 1] = data2[j - 1];
  }
  four1(spectrum1, n, 1);
}

} // namespace

void realft(Real* data, const Integer& n, const Integer& sign) {
  real_transform(data, n, sign, false);
}

namespace fft {

Real realft_inverse_first(Real* data, const Integer& n) {
  const Integer inverse = -1;
  real_transform(data, n, inverse, true);
  return data[0];
}

} // namespace fft

void twofft(const Real* data1, const Real* data2, Real* spectrum1,
            Real* spectrum2, const Integer& n) {
  // Positions p counted from 1 are array[p - 1].
  auto s1 = [spectrum1](Integer p) -> Real& { return spectrum1[p - 1]; };
  auto s2 = [spectrum2](Integer p) -> Real& { return spectrum2[p - 1]; };

  Integer count = n; // read on entry ...
  fft::check_length("twofft", count);

  // One complex sequence: data1 as real parts, data2 as imaginary parts.
  if (count >= 2 && count <= fft::kMaxInterleaved) {
    // Put straight into the order four1 permutes it to, then its passes.
    fft::interleave_reversed(data1, data2, spectrum1, count);
    fft::radix2_passes(spectrum1, count, 1);
  } else {
    copy_and_transform(data1, data2, spectrum1, n);
  }
  count = n; // ... and again after the transform

  s2(1) = s1(2);
  s2(2) = 0.0;
  s1(2) = 0.0;

  // Z_k and Z_{n-k}, k = 1 .. n/2, separate into F_k and G_k (fft::separate).
#ifdef TAMSEL_X86_KERNELS
  switch (kernels::active()) {
  case Kernel::avx:
    return x86::separate_avx(spectrum1, spectrum2, count);
  case Kernel::sse2:
    return x86::separate_sse2(spectrum1, spectrum2, count);
  case Kernel::portable:
    break;
  }
#endif
  for (Integer k = 1; k <= count / 2; ++k) {
    fft::separate(spectrum1, spectrum2, 2 * k, 2 * (count - k));
  }
}

} // namespace tamsel
