// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/fft_passes.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include <tamsel/numeric/kernels.h>
#include <tamsel/numeric/stop.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAMSEL_FFT_X86 1
#endif

namespace tamsel::fft {

namespace {

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

// Passes of half-spans h and 2h together on each group of 4h values: for
// j = 0..h-1 the values v0..v3 at s+j, s+j+h, s+j+2h, s+j+3h go through
// (v0, v1) and (v2, v3) with wa[j], then (v0, v2) with wb[j] and (v1, v3)
// with wb[j+h].  Two values of j at a time.
__attribute__((target("avx"))) void pass_pair_avx(Real* data, Integer n,
                                                  Integer h, const Real* wa,
                                                  const Real* wb) {
  const Integer span = 2 * h; // Reals from one value to the next in a group
  for (Integer s = 0; s < n; s += 4 * h) {
    Real* p0 = data + 2 * s;
    Real* p1 = p0 + span;
    Real* p2 = p1 + span;
    Real* p3 = p2 + span;
    for (Integer k = 0; k < span; k += 4) {
      const __m256d fa = _mm256_loadu_pd(wa + k);
      const __m256d f0 = _mm256_loadu_pd(wb + k);
      const __m256d f1 = _mm256_loadu_pd(wb + span + k);
      __m256d v0 = _mm256_loadu_pd(p0 + k);
      __m256d v1 = _mm256_loadu_pd(p1 + k);
      __m256d v2 = _mm256_loadu_pd(p2 + k);
      __m256d v3 = _mm256_loadu_pd(p3 + k);
      const __m256d t1 = twiddled(v1, fa);
      const __m256d t3 = twiddled(v3, fa);
      v1 = _mm256_sub_pd(v0, t1);
      v0 = _mm256_add_pd(v0, t1);
      v3 = _mm256_sub_pd(v2, t3);
      v2 = _mm256_add_pd(v2, t3);
      const __m256d t2 = twiddled(v2, f0);
      const __m256d u3 = twiddled(v3, f1);
      _mm256_storeu_pd(p2 + k, _mm256_sub_pd(v0, t2));
      _mm256_storeu_pd(p0 + k, _mm256_add_pd(v0, t2));
      _mm256_storeu_pd(p3 + k, _mm256_sub_pd(v1, u3));
      _mm256_storeu_pd(p1 + k, _mm256_add_pd(v1, u3));
    }
  }
}

// One level of first_value: value q + half into value q, q < half, with
// the butterfly's arithmetic for the factor 1 + 0i.
void first_value_level_sse2(Real* data, Integer half) {
  const __m128d one = _mm_set1_pd(1.0);
  const __m128d zero = minus_plus(0.0);
  for (Integer q = 0; q < half; ++q) {
    const __m128d bv = _mm_loadu_pd(data + 2 * (q + half));
    const __m128d bs = _mm_shuffle_pd(bv, bv, 1);
    const __m128d t = _mm_add_pd(_mm_mul_pd(bv, one), _mm_mul_pd(bs, zero));
    _mm_storeu_pd(data + 2 * q, _mm_add_pd(_mm_loadu_pd(data + 2 * q), t));
  }
}

// The same, two values per vector; half even.
__attribute__((target("avx"))) void first_value_level_avx(Real* data, Integer half) {
  const __m256d factor = _mm256_setr_pd(1.0, 0.0, 1.0, 0.0);
  for (Integer q = 0; q < half; q += 2) {
    const __m256d t = twiddled(_mm256_loadu_pd(data + 2 * (q + half)), factor);
    _mm256_storeu_pd(data + 2 * q, _mm256_add_pd(_mm256_loadu_pd(data + 2 * q), t));
  }
}

#endif // TAMSEL_FFT_X86

// rev(i) of kReversedBits-bit indices i.
constexpr int kReversedBits = 11;
struct ReversedTable {
  std::uint16_t of[1 << kReversedBits];
};
constexpr ReversedTable kReversed = [] {
  ReversedTable t{};
  for (int i = 0; i < (1 << kReversedBits); ++i) {
    int r = 0;
    for (int b = 0; b < kReversedBits; ++b) r |= ((i >> b) & 1) << (kReversedBits - 1 - b);
    t.of[i] = std::uint16_t(r);
  }
  return t;
}();

// For n = 2^L, L = 0..kReversedBits: the pairs (i, rev(i)) with i < rev(i),
// at pairs[start[L] .. start[L+1] - 1].
struct SwapPairs {
  int start[kReversedBits + 2];
  std::uint16_t pairs[2 * (1 << kReversedBits)];
};
constexpr SwapPairs kSwapPairs = [] {
  SwapPairs t{};
  int count = 0;
  for (int L = 0; L <= kReversedBits; ++L) {
    t.start[L] = count;
    for (int i = 0; i < (1 << L); ++i) {
      const int j = kReversed.of[i] >> (kReversedBits - L);
      if (j > i) {
        t.pairs[count++] = std::uint16_t(i);
        t.pairs[count++] = std::uint16_t(j);
      }
    }
  }
  t.start[kReversedBits + 1] = count;
  return t;
}();

// Value s of run a[t] trades places with value t of run b[s], s, t = 0..3
// (a and b may be the same tile, which is then transposed).
inline void swap_transposed(Real* const* a, Real* const* b) {
  Real ta[4][8];
  Real tb[4][8];
  for (int t = 0; t < 4; ++t) {
    std::memcpy(ta[t], a[t], sizeof ta[t]);
    std::memcpy(tb[t], b[t], sizeof tb[t]);
  }
  for (int t = 0; t < 4; ++t) {
    for (int s = 0; s < 4; ++s) {
      a[t][2 * s] = tb[s][2 * t];
      a[t][2 * s + 1] = tb[s][2 * t + 1];
    }
  }
  for (int s = 0; s < 4; ++s) {
    for (int t = 0; t < 4; ++t) {
      b[s][2 * t] = ta[t][2 * s];
      b[s][2 * t + 1] = ta[t][2 * s + 1];
    }
  }
}

// Exchanges complex values i and j (nothing happens when i == j).
inline void exchange(Real* data, Integer i, Integer j) {
  Real* p = data + 2 * i;
  Real* q = data + 2 * j;
  const Real re = q[0];
  const Real im = q[1];
  q[0] = p[0];
  q[1] = p[1];
  p[0] = re;
  p[1] = im;
}

// The m/2 twiddle factors of sub-transform length m = 2^L for one sign S,
// made on first use and kept.  The table is static storage, untouched (and
// so taking no memory) until then; the guard of the function-local static
// makes it once even when several threads ask at once.
template <int L, int S>
const Real* cached_pass() {
  static Real table[Integer{1} << L];
  static const bool made = [] {
    Twiddle twiddle = pass_twiddle(S, Integer{1} << L);
    twiddle.generate(table, (Integer{1} << L) / 2);
    return true;
  }();
  static_cast<void>(made);
  return table;
}

template <std::size_t... I>
const Real* cached_lookup(Integer sign, int level, std::index_sequence<I...>) {
  using Lookup = const Real* (*)();
  static constexpr Lookup plus[] = {&cached_pass<int(I) + 1, 1>...};
  static constexpr Lookup minus[] = {&cached_pass<int(I) + 1, -1>...};
  return sign == 1 ? plus[level - 1]() : minus[level - 1]();
}

constexpr int kCachedLevels = std::countr_zero(std::uint32_t(kCachedLength));

} // namespace

void first_value(Real* data, Integer n) {
  // The pass of half-span h adds, at every position s that is a multiple of
  // 2h, the value at s + h; in terms of the values as given (before the
  // bit reversal) that is value q + n/(2h) into value q, q < n/(2h).
  Integer half = n / 2;
#ifdef TAMSEL_FFT_X86
  if (kernels::avx()) {
    for (; half >= 2; half /= 2) first_value_level_avx(data, half);
  } else {
    for (; half >= 1; half /= 2) first_value_level_sse2(data, half);
  }
#endif
  for (; half >= 1; half /= 2) {
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

void bit_reverse(Real* data, Integer n) {
  const int bits = std::countr_zero(std::uint32_t(n));
  static_assert(2 * kReversedBits + kReversedBits >= 29, "every n up to 2^29");
  if (bits <= kReversedBits) {
    // The pairs that trade places, listed once for each small n.
    const std::uint16_t* pair = kSwapPairs.pairs + kSwapPairs.start[bits];
    const std::uint16_t* end = kSwapPairs.pairs + kSwapPairs.start[bits + 1];
    for (; pair != end; pair += 2) {
      exchange(data, pair[0], pair[1]);
    }
    return;
  }
  // Larger n: index i = (x, m, y) with x the top q bits, y the bottom q bits
  // and m the r bits between; rev(i) = (rev(y), rev(m), rev(x)).  With x
  // counted in bit-reversed order (x = rev(xr)), the 4 x 4 tile of
  // xr = xr0 .. xr0+3, y = y0 .. y0+3 (four runs of four adjacent values)
  // trades places, transposed, with the tile of xr = y0 .., y = xr0 .. in
  // the middle rev(m); each pair of tiles is taken once, and a tile paired
  // with itself is transposed in place.
  const int q = bits / 2 < kReversedBits ? bits / 2 : kReversedBits;
  const int r = bits - 2 * q;
  auto reversed = [](Integer v, int width) -> Integer {
    return kReversed.of[v] >> (kReversedBits - width);
  };
  const Integer side = Integer{1} << q;
  const Integer row = n >> q; // from one x to the next
  for (Integer m = 0; m < (Integer{1} << r); ++m) {
    const Integer m_rev = reversed(m, r);
    if (m_rev < m) continue; // taken with its partner
    for (Integer xr0 = 0; xr0 < side; xr0 += 4) {
      for (Integer y0 = m_rev == m ? xr0 : 0; y0 < side; y0 += 4) {
        Real* a[4]; // the runs of the tile (xr0, y0) in middle m
        Real* b[4]; // those of its partner (y0, xr0) in middle rev(m)
        for (int t = 0; t < 4; ++t) {
          a[t] = data + 2 * (reversed(xr0 + t, q) * row + (m << q) + y0);
          b[t] = data + 2 * (reversed(y0 + t, q) * row + (m_rev << q) + xr0);
        }
        swap_transposed(a, b);
      }
    }
  }
}

// rev(j) of every n = 2^b up to kMaxInterleaved: for that n, at of[n - 1 + j].
struct ReversedOrders {
  std::uint16_t of[2 * kMaxInterleaved - 1];
};
constexpr ReversedOrders kOrders = [] {
  static_assert(kMaxInterleaved == 1 << kReversedBits);
  ReversedOrders t{};
  for (int b = 0; b <= kReversedBits; ++b) {
    const int n = 1 << b;
    for (int j = 0; j < n; ++j) t.of[n - 1 + j] = std::uint16_t(kReversed.of[j] >> (kReversedBits - b));
  }
  return t;
}();

void interleave_reversed(const Real* re, const Real* im, Real* data, Integer n) {
  const std::uint16_t* order = kOrders.of + (n - 1);
  auto place = [order](Integer j) -> Integer { return 2 * Integer{order[j]}; };
  Integer j = 0;
#ifdef TAMSEL_FFT_X86
  for (; j + 1 < n; j += 2) {
    const __m128d x = _mm_loadu_pd(re + j); // re[j], re[j+1]
    const __m128d y = _mm_loadu_pd(im + j);
    _mm_storeu_pd(data + place(j), _mm_unpacklo_pd(x, y));
    _mm_storeu_pd(data + place(j + 1), _mm_unpackhi_pd(x, y));
  }
#endif
  for (; j < n; ++j) {
    data[place(j)] = re[j];
    data[place(j) + 1] = im[j];
  }
}

void check_length(const char* routine, Integer n) {
  if (!is_power_of_two(n)) {
    stopf(kStopStatus, "%s: length %d is not a power of two", routine, n);
  }
  if (n > kMaxLength) {
    stopf(kStopStatus, "%s: length %d is too large (at most %d)", routine, n, kMaxLength);
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
  if (kernels::avx() && count % 2 == 0) {
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

void pass_pair(Real* data, Integer n, Integer h, const Real* wa,
               const Real* wb) {
#ifdef TAMSEL_FFT_X86
  if (kernels::avx() && h % 2 == 0) {
    pass_pair_avx(data, n, h, wa, wb);
    return;
  }
#endif
  pass(data, n, h, wa, 0, h);
  pass(data, n, 2 * h, wb, 0, 2 * h);
}

void first_two_passes(Real* data, Integer n, const Real* w2, const Real* w4) {
#ifdef TAMSEL_FFT_X86
  if (kernels::avx()) {
    first_two_passes_avx(data, n, w2, w4);
    return;
  }
#endif
  pass(data, n, 1, w2, 0, 1);
  pass(data, n, 2, w4, 0, 2);
}

void butterflies(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
#ifdef TAMSEL_FFT_X86
  if (kernels::avx()) {
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
