// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/correlation.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <tamsel/numeric/fft_passes.h>
#include <tamsel/numeric/kernels.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/stop.h>

namespace tamsel {

namespace {

constexpr Integer kMaxLength = 8192;

// Spectrum of data1 during a call: room for kMaxLength complex values, one
// array per thread (static storage, no heap), so that calls from several
// threads at once never share it.
constexpr Integer kScratchReals = 2 * kMaxLength;
thread_local Real fft[kScratchReals];

#if defined(__x86_64__) || defined(__i386__)
// The products of correlation_spectrum for k and k + 1 at once, k = 0, 2, ...
// while k + 1 <= half, with the same operations and operand order per value
// as its SSE2 loop; returns the first k not done.
[[gnu::target("avx")]] Integer products_avx(const Real* f, Real* g, Integer half,
                                            Real reciprocal) {
  const __m256d scale = _mm256_set1_pd(reciprocal);
  Integer k = 0;
  for (; k + 1 <= half; k += 2) {
    const __m256d fv = _mm256_loadu_pd(f + 2 * k);
    const __m256d gv = _mm256_loadu_pd(g + 2 * k);
    const __m256d x = _mm256_mul_pd(fv, _mm256_movedup_pd(gv)); // f_re*g_re, f_im*g_re
    const __m256d y = _mm256_mul_pd(_mm256_permute_pd(fv, 0x5),
                                    _mm256_permute_pd(gv, 0xF)); // f_im*g_im, f_re*g_im
    const __m256d prod = _mm256_blend_pd(_mm256_add_pd(x, y), _mm256_sub_pd(x, y), 0xA);
    _mm256_storeu_pd(g + 2 * k, _mm256_mul_pd(prod, scale));
  }
  return k;
}
#endif

// Everything of correl before its inverse transform: leaves the packed
// spectrum C of the correlation in result[0 .. n-1] and returns n/2, n as
// read after twofft.
Integer correlation_spectrum(const Real* data1, const Real* data2,
                             const Integer& n, Real* result) {
  // Positions p counted from 1 are array[p - 1].
  auto res = [result](Integer p) -> Real& { return result[p - 1]; };

  Integer count = n; // read on entry ...
  if (count < 2 || count > kMaxLength || (count & (count - 1)) != 0) {
    stopf(kStopStatus,
          "correl: length %d is not a power of two from 2 to %d", count,
          kMaxLength);
  }

  // fft receives F_k, the spectrum of data1, and result G_k, that of data2.
  // Only the first 2n Reals of the scratch take part in this call, and
  // twofft writes all of them before any is read: the results depend on
  // the arguments alone.
  twofft(data1, data2, fft, result, n);
  count = n; // ... and again after the transforms

  const Integer half = count / 2;
  const Real divisor =
      static_cast<Real>(static_cast<Integer>(static_cast<Real>(count) * 0.5));
  // The divisor is a power of two, so dividing by it and multiplying by its
  // reciprocal (exact) round the same real number: the same bits, always.
  const Real reciprocal = 1.0 / divisor;

  // C_k = F_k * conj(G_k) / (n/2) for k = 0..n/2, over G_k in result.
  Integer k = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (kernels::avx()) k = products_avx(fft, result, half, reciprocal);
#endif
  for (; k <= half; ++k) {
    const Integer p = 2 * k + 1;
#if defined(__SSE2__)
    // The same products, sums and quotients on (re, im) pairs.
    const __m128d f = _mm_loadu_pd(fft + p - 1);
    const __m128d g = _mm_loadu_pd(result + p - 1);
    const __m128d x = _mm_mul_pd(f, _mm_unpacklo_pd(g, g)); // f_re*g_re, f_im*g_re
    const __m128d y = _mm_mul_pd(_mm_shuffle_pd(f, f, 1),
                                 _mm_unpackhi_pd(g, g));     // f_im*g_im, f_re*g_im
    const __m128d prod = _mm_move_sd(_mm_sub_pd(x, y), _mm_add_pd(x, y));
    _mm_storeu_pd(result + p - 1, _mm_mul_pd(prod, _mm_set1_pd(reciprocal)));
#else
    const Real f_re = fft[p - 1];
    const Real f_im = fft[p];
    const Real g_re = res(p);
    const Real g_im = res(p + 1);
    const Real prod_re = f_re * g_re + f_im * g_im;
    const Real prod_im = f_im * g_re - f_re * g_im;
    res(p) = prod_re * reciprocal;
    res(p + 1) = prod_im * reciprocal;
#endif
  }

  // Packed spectrum of length n: the real C_{n/2} takes position 2.  The
  // inverse real transform leaves a factor n/2 that, with the division
  // above, gives the 1/n of the inverse transform.
  res(2) = res(count + 1);
  return half;
}

} // namespace

void correl(const Real* data1, const Real* data2, const Integer& n,
            Real* result) {
  const Integer half = correlation_spectrum(data1, data2, n, result);
  realft(result, half, -1);
}

Real correl_zero_lag(const Real* data1, const Real* data2, const Integer& n,
                     Real* work) {
  const Integer half = correlation_spectrum(data1, data2, n, work);
  return fft::realft_inverse_first(work, half);
}

} // namespace tamsel
