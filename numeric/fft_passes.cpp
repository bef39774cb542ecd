#include "numeric/fft_passes.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAMSEL_FFT_X86 1
#endif

namespace tamsel::fft {

namespace {

// The pass angle is this constant over sign * m; it lies 4 units in the last
// place above 2*pi, and the results are fixed to it.
constexpr Real kFullTurn = 6.28318530717959;

// One butterfly, as the plain loops write it.
inline void butterfly(Real* a, Real* b, Real w_re, Real w_im) {
  const Real t_re = b[0] * w_re - b[1] * w_im;
  const Real t_im = b[1] * w_re + b[0] * w_im;
  b[0] = a[0] - t_re;
  b[1] = a[1] - t_im;
  a[0] = a[0] + t_re;
  a[1] = a[1] + t_im;
}

#ifdef TAMSEL_FFT_X86

// The vector butterflies do, for each butterfly, the same multiplications,
// and the same additions and subtractions of the same operands, as
// butterfly(): t_re = b_re*w_re - b_im*w_im and t_im = b_im*w_re + b_re*w_im,
// then a - t and a + t.  Multiplications and additions stay separate
// instructions (the build forbids FMA).

// SSE2, one butterfly per vector.  SSE2 has no add-subtract, so b_im*w_im
// is formed as b_im*(-w_im), exactly its negative, and added: x + (-y) is
// x - y to the last bit.  w is finite here, so no NaN sign can differ.
inline void butterfly_sse2(Real* a, Real* b, __m128d w_re, __m128d w_im_pm) {
  const __m128d av = _mm_loadu_pd(a);
  const __m128d bv = _mm_loadu_pd(b);
  const __m128d bs = _mm_shuffle_pd(bv, bv, 1); // (b_im, b_re)
  const __m128d t = _mm_add_pd(_mm_mul_pd(bv, w_re), _mm_mul_pd(bs, w_im_pm));
  _mm_storeu_pd(b, _mm_sub_pd(av, t));
  _mm_storeu_pd(a, _mm_add_pd(av, t));
}

inline __m128d minus_plus(Real w_im) { return _mm_set_pd(w_im, -w_im); }

void pass_sse2(Real* data, Integer n, Integer h, const Real* w, Integer j0,
               Integer count) {
  for (Integer s = 0; s < n; s += 2 * h) {
    Real* a = data + 2 * (s + j0);
    Real* b = a + 2 * h;
    for (Integer j = 0; j < count; ++j) {
      butterfly_sse2(a + 2 * j, b + 2 * j, _mm_set1_pd(w[2 * j]),
                     minus_plus(w[2 * j + 1]));
    }
  }
}

void butterflies_sse2(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
  const __m128d wr = _mm_set1_pd(w_re);
  const __m128d wi = minus_plus(w_im);
  for (Integer i = 0; i < count; ++i) {
    butterfly_sse2(a + 2 * i, b + 2 * i, wr, wi);
  }
}

// AVX, two butterflies per vector: (b0, b1) with factors (w0, w1).  The
// add-subtract instruction gives x_re - y_re and x_im + y_im directly.
__attribute__((target("avx"))) inline __m256d twiddled(__m256d bv, __m256d wv) {
  const __m256d w_re = _mm256_movedup_pd(wv);         // w0_re w0_re w1_re w1_re
  const __m256d w_im = _mm256_permute_pd(wv, 0xF);    // w0_im w0_im w1_im w1_im
  const __m256d bs = _mm256_permute_pd(bv, 0x5);      // b0_im b0_re b1_im b1_re
  return _mm256_addsub_pd(_mm256_mul_pd(bv, w_re), _mm256_mul_pd(bs, w_im));
}

__attribute__((target("avx"))) void pass_avx(Real* data, Integer n, Integer h,
                                             const Real* w, Integer j0,
                                             Integer count) {
  for (Integer s = 0; s < n; s += 2 * h) {
    Real* a = data + 2 * (s + j0);
    Real* b = a + 2 * h;
    for (Integer j = 0; j < count; j += 2) {
      const __m256d av = _mm256_loadu_pd(a + 2 * j);
      const __m256d t =
          twiddled(_mm256_loadu_pd(b + 2 * j), _mm256_loadu_pd(w + 2 * j));
      _mm256_storeu_pd(b + 2 * j, _mm256_sub_pd(av, t));
      _mm256_storeu_pd(a + 2 * j, _mm256_add_pd(av, t));
    }
  }
}

__attribute__((target("avx"))) void butterflies_avx(Real* a, Real* b,
                                                    Real w_re, Real w_im,
                                                    Integer count) {
  const __m256d wv = _mm256_setr_pd(w_re, w_im, w_re, w_im);
  Integer i = 0;
  for (; i + 2 <= count; i += 2) {
    const __m256d av = _mm256_loadu_pd(a + 2 * i);
    const __m256d t = twiddled(_mm256_loadu_pd(b + 2 * i), wv);
    _mm256_storeu_pd(b + 2 * i, _mm256_sub_pd(av, t));
    _mm256_storeu_pd(a + 2 * i, _mm256_add_pd(av, t));
  }
  for (; i < count; ++i) {
    butterfly(a + 2 * i, b + 2 * i, w_re, w_im);
  }
}

// The first two passes (half-spans 1 and 2) together on each run of four
// values v0..v3: butterflies (v0, v1) and (v2, v3) with factor w2, then
// (v0, v2) with w4[0] and (v1, v3) with w4[1].
__attribute__((target("avx"))) void first_two_passes_avx(Real* data, Integer n,
                                                        const Real* w2,
                                                        const Real* w4) {
  const __m256d f2 = _mm256_setr_pd(w2[0], w2[1], w2[0], w2[1]);
  const __m256d f4 = _mm256_loadu_pd(w4);
  for (Integer s = 0; s < n; s += 4) {
    Real* p = data + 2 * s;
    const __m256d x = _mm256_loadu_pd(p);     // v0 v1
    const __m256d y = _mm256_loadu_pd(p + 4); // v2 v3
    const __m256d a = _mm256_permute2f128_pd(x, y, 0x20); // v0 v2
    const __m256d b = _mm256_permute2f128_pd(x, y, 0x31); // v1 v3
    const __m256d t = twiddled(b, f2);
    const __m256d a1 = _mm256_add_pd(a, t); // v0' v2'
    const __m256d b1 = _mm256_sub_pd(a, t); // v1' v3'
    const __m256d a2 = _mm256_permute2f128_pd(a1, b1, 0x20); // v0' v1'
    const __m256d b2 = _mm256_permute2f128_pd(a1, b1, 0x31); // v2' v3'
    const __m256d u = twiddled(b2, f4);
    _mm256_storeu_pd(p + 4, _mm256_sub_pd(a2, u));
    _mm256_storeu_pd(p, _mm256_add_pd(a2, u));
  }
}

bool detect_avx() { return __builtin_cpu_supports("avx"); }

#endif // TAMSEL_FFT_X86

// The twiddle factors of sub-transform length m = 2^L for both signs, made
// on first use (thread-safely, as any function-local static) and kept.
template <int L>
struct CachedPass {
  Real plus[Integer{1} << L];  // m/2 pairs for sign +1
  Real minus[Integer{1} << L]; // and for sign -1
};

template <int L>
const Real* cached_pass(Integer sign) {
  static const CachedPass<L> table = [] {
    CachedPass<L> t;
    constexpr Integer m = Integer{1} << L;
    Twiddle plus = pass_twiddle(1, m);
    plus.generate(t.plus, m / 2);
    Twiddle minus = pass_twiddle(-1, m);
    minus.generate(t.minus, m / 2);
    return t;
  }();
  return sign == 1 ? table.plus : table.minus;
}

template <std::size_t... I>
const Real* cached_lookup(Integer sign, int level, std::index_sequence<I...>) {
  using Lookup = const Real* (*)(Integer);
  static constexpr Lookup lookups[] = {&cached_pass<int(I) + 1>...};
  return lookups[level - 1](sign);
}

constexpr int kCachedLevels = std::countr_zero(std::uint32_t(kCachedLength));

} // namespace

#ifdef TAMSEL_FFT_X86
bool use_avx = detect_avx();
#else
bool use_avx = false;
#endif

void bit_reverse(Real* data, Integer n) {
  // j runs through the bit-reversed indices of i = 0, 1, 2, ...: adding one
  // at the top bit with the carry running downwards.
  Integer j = 0;
  for (Integer i = 0; i < n - 1; ++i) {
    if (j > i) {
      Real* p = data + 2 * i;
      Real* q = data + 2 * j;
      const Real re = q[0];
      const Real im = q[1];
      q[0] = p[0];
      q[1] = p[1];
      p[0] = re;
      p[1] = im;
    }
    Integer bit = n >> 1;
    while ((j & bit) != 0) {
      j ^= bit;
      bit >>= 1;
    }
    j |= bit;
  }
}

void Twiddle::generate(Real* out, Integer count) {
  for (Integer k = 0; k < count; ++k) {
    out[2 * k] = w_re;
    out[2 * k + 1] = w_im;
    const Real old_re = w_re;
    w_re = w_re + (w_re * c_re - w_im * c_im);
    w_im = w_im + (old_re * c_im + w_im * c_re);
  }
}

Twiddle pass_twiddle(Integer sign, Integer m) {
  const Real theta = kFullTurn / static_cast<Real>(std::int64_t{sign} * m);
  const Real s = std::sin(0.5 * theta);
  return Twiddle{(s * s) * (-2.0), std::sin(theta)};
}

const Real* cached_twiddles(Integer sign, Integer m) {
  if (m < 2 || m > kCachedLength) {
    return nullptr;
  }
  return cached_lookup(sign, std::countr_zero(std::uint32_t(m)),
                       std::make_index_sequence<kCachedLevels>{});
}

void pass(Real* data, Integer n, Integer h, const Real* w, Integer j0,
          Integer count) {
#ifdef TAMSEL_FFT_X86
  if (use_avx && count % 2 == 0) {
    pass_avx(data, n, h, w, j0, count);
  } else {
    pass_sse2(data, n, h, w, j0, count);
  }
#else
  for (Integer s = 0; s < n; s += 2 * h) {
    Real* a = data + 2 * (s + j0);
    Real* b = a + 2 * h;
    for (Integer j = 0; j < count; ++j) {
      butterfly(a + 2 * j, b + 2 * j, w[2 * j], w[2 * j + 1]);
    }
  }
#endif
}

void first_two_passes(Real* data, Integer n, const Real* w2, const Real* w4) {
#ifdef TAMSEL_FFT_X86
  if (use_avx) {
    first_two_passes_avx(data, n, w2, w4);
    return;
  }
#endif
  pass(data, n, 1, w2, 0, 1);
  pass(data, n, 2, w4, 0, 2);
}

void butterflies(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
#ifdef TAMSEL_FFT_X86
  if (use_avx) {
    butterflies_avx(a, b, w_re, w_im, count);
  } else {
    butterflies_sse2(a, b, w_re, w_im, count);
  }
#else
  for (Integer i = 0; i < count; ++i) {
    butterfly(a + 2 * i, b + 2 * i, w_re, w_im);
  }
#endif
}

} // namespace tamsel::fft
