// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/real_fft.h>

#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/fft_passes.h>
#include <tamsel/numeric/kernels.h>

namespace tamsel {

namespace {

// The base angle is this constant over n; it lies 4 units in the last
// place above pi, and the results are fixed to it.
constexpr Real kHalfTurn = 3.141592653589795;

constexpr Integer kChunk = 512; // factors made at a time without a table

static_assert(kHalfTurn * 2.0 == fft::kFullTurn,
              "realft's angle is half of four1's, exactly");

// The recombination of Z_k = (b_re, b_im) at b and Z_{n-k} = (a_re, a_im) at
// a, with twiddle factor w and f = -1/2 (forward) or 1/2 (inverse):
//   u = ((b_re + a_re) * 0.5, (b_im - a_im) * 0.5),
//   v = (-((b_im + a_im) * f), (b_re - a_re) * f),
//   b <- ((w_re*v_re + u_re) - w_im*v_im, (u_im + v_im*w_re) + v_re*w_im),
//   a <- ((u_re - w_re*v_re) + w_im*v_im, v_re*w_im + (v_im*w_re - u_im)).
#if defined(__SSE2__)
// The same operations on (re, im) pairs.  w_im*v_im is subtracted as the
// product with -w_im, exactly its negative (w is finite).
inline void split(Real* b, Real* a, Real w_re, Real w_im, Real f) {
  const __m128d bv = _mm_loadu_pd(b);
  const __m128d av = _mm_loadu_pd(a);
  const __m128d sum = _mm_add_pd(bv, av);  // b_re + a_re, b_im + a_im
  const __m128d diff = _mm_sub_pd(bv, av); // b_re - a_re, b_im - a_im
  const __m128d u = _mm_mul_pd(_mm_move_sd(diff, sum), _mm_set1_pd(0.5));
  const __m128d v = _mm_xor_pd(
      _mm_mul_pd(_mm_shuffle_pd(sum, diff, 1), _mm_set1_pd(f)),
      _mm_set_pd(0.0, -0.0)); // -(sum_im * f), diff_re * f
  const __m128d vs = _mm_shuffle_pd(v, v, 1); // v_im, v_re
  const __m128d x = _mm_mul_pd(v, _mm_set1_pd(w_re)); // v_re*w_re, v_im*w_re
  const __m128d new_b = _mm_add_pd(_mm_add_pd(x, u),
                                   _mm_mul_pd(vs, _mm_set_pd(w_im, -w_im)));
  const __m128d r = _mm_sub_pd(_mm_move_sd(x, u), _mm_move_sd(u, x));
  const __m128d new_a = _mm_add_pd(r, _mm_mul_pd(vs, _mm_set1_pd(w_im)));
  _mm_storeu_pd(b, new_b);
  _mm_storeu_pd(a, new_a);
}
#else
inline void split(Real* b, Real* a, Real w_re, Real w_im, Real f) {
  const Real u_re = (b[0] + a[0]) * 0.5;
  const Real u_im = (b[1] - a[1]) * 0.5;
  const Real v_re = -((b[1] + a[1]) * f);
  const Real v_im = (b[0] - a[0]) * f;
  b[0] = (w_re * v_re + u_re) - w_im * v_im;
  b[1] = (u_im + v_im * w_re) + v_re * w_im;
  a[1] = v_re * w_im + (v_im * w_re - u_im);
  a[0] = (u_re - w_re * v_re) + w_im * v_im;
}
#endif

#if defined(__x86_64__) || defined(__i386__)
// split for k and k + 1 at once, k = first, first + 2, ... while k + 1 < end,
// with the factor w_k at w[2(k - first)]; returns the first k not done.  The
// add-subtract instruction gives the subtraction and the addition of new b.
__attribute__((target("avx"))) Integer split_pairs_avx(Real* data, Integer count,
                                                      const Real* w,
                                                      Integer first,
                                                      Integer end, Real f) {
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d fv = _mm256_set1_pd(f);
  const __m256d negate_re = _mm256_setr_pd(-0.0, 0.0, -0.0, 0.0);
  Integer k = first;
  for (; k + 1 < end; k += 2) {
    Real* b = data + 2 * k;                 // Z_k, Z_k+1
    Real* a = data + 2 * (count - k - 1);   // Z_n-k-1, Z_n-k
    const __m256d bv = _mm256_loadu_pd(b);
    const __m256d a_stored = _mm256_loadu_pd(a);
    const __m256d av = _mm256_permute2f128_pd(a_stored, a_stored, 0x01); // Z_n-k, Z_n-k-1
    const __m256d wv = _mm256_loadu_pd(w + 2 * (k - first));
    const __m256d sum = _mm256_add_pd(bv, av);
    const __m256d diff = _mm256_sub_pd(bv, av);
    const __m256d u = _mm256_mul_pd(_mm256_blend_pd(diff, sum, 0x5), half);
    const __m256d v = _mm256_xor_pd(_mm256_mul_pd(_mm256_shuffle_pd(sum, diff, 0x5), fv),
                                    negate_re);
    const __m256d vs = _mm256_permute_pd(v, 0x5);
    const __m256d w_re = _mm256_movedup_pd(wv);
    const __m256d w_im = _mm256_permute_pd(wv, 0xF);
    const __m256d x = _mm256_mul_pd(v, w_re);
    const __m256d y = _mm256_mul_pd(vs, w_im); // v_im*w_im, v_re*w_im
    const __m256d new_b = _mm256_addsub_pd(_mm256_add_pd(x, u), y);
    const __m256d r = _mm256_sub_pd(_mm256_blend_pd(x, u, 0x5), _mm256_blend_pd(u, x, 0x5));
    const __m256d new_a = _mm256_add_pd(r, y);
    _mm256_storeu_pd(b, new_b);
    _mm256_storeu_pd(a, _mm256_permute2f128_pd(new_a, new_a, 0x01));
  }
  return k;
}

// twofft's separation for k and k + 1 at once, k = 1, 3, ... while
// k + 1 < n/2; returns the first k not done.  The same products as the
// SSE2 loop in twofft, per value.
__attribute__((target("avx"))) Integer separate_pairs_avx(Real* spectrum1,
                                                         Real* spectrum2,
                                                         Integer count) {
  const __m256d plus = _mm256_set1_pd(0.5);
  const __m256d minus = _mm256_setr_pd(0.5, -0.5, 0.5, -0.5);
  Integer k = 1;
  for (; k + 1 < count / 2; k += 2) {
    const Integer b = 2 * k;               // Z_k, Z_k+1
    const Integer a = 2 * (count - k - 1); // Z_n-k-1, Z_n-k
    const __m256d bv = _mm256_loadu_pd(spectrum1 + b);
    const __m256d a_stored = _mm256_loadu_pd(spectrum1 + a);
    const __m256d av = _mm256_permute2f128_pd(a_stored, a_stored, 0x01);
    const __m256d sum = _mm256_add_pd(bv, av);
    const __m256d diff = _mm256_sub_pd(bv, av);
    const __m256d f = _mm256_blend_pd(diff, sum, 0x5);   // b_re + a_re, b_im - a_im
    const __m256d g = _mm256_shuffle_pd(sum, diff, 0x5); // b_im + a_im, b_re - a_re
    const __m256d f_a = _mm256_mul_pd(minus, f);
    const __m256d g_a = _mm256_mul_pd(plus, g);
    _mm256_storeu_pd(spectrum1 + b, _mm256_mul_pd(plus, f));
    _mm256_storeu_pd(spectrum2 + b, _mm256_mul_pd(minus, g));
    _mm256_storeu_pd(spectrum1 + a, _mm256_permute2f128_pd(f_a, f_a, 0x01));
    _mm256_storeu_pd(spectrum2 + a, _mm256_permute2f128_pd(g_a, g_a, 0x01));
  }
  return k;
}
#endif

// k = n/2, where Z_k and Z_{n-k} are the same value z: both are read from
// z and the writes of a stand.
inline void split_middle(Real* z, Real w_re, Real w_im, Real f) {
  const Real u_re = (z[0] + z[0]) * 0.5;
  const Real u_im = (z[1] - z[1]) * 0.5;
  const Real v_re = -((z[1] + z[1]) * f);
  const Real v_im = (z[0] - z[0]) * f;
  z[1] = v_re * w_im + (v_im * w_re - u_im);
  z[0] = (u_re - w_re * v_re) + w_im * v_im;
}

// realft, or with first_only (inverse only) the inverse up to its complex
// transform, of which only value 0 is formed.
void real_transform(Real* data, const Integer& n, const Integer& sign,
                    bool first_only) {
  // Positions p counted from 1 are data[p - 1].
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };

  Integer count = n; // read on entry ...
  Integer direction = sign;
  fft::check_length("realft", count);
  const Integer entry_count = count;
  const bool forward = direction == 1;

  Real theta = kHalfTurn / static_cast<Real>(count);
  Real f;
  if (forward) {
    // Forward: the 2n reals taken as n complex values z_p = x_2p + i*x_2p+1.
    four1(data, n, 1);
    count = n; // ... and again after the transform
    direction = sign;
    f = -0.5;
  } else {
    theta = -theta;
    f = 0.5;
  }

  // The factors w_1, w_2, ... are those of four1's pass of length 2n for the
  // sign of theta (the same angle, to the last bit), whose kept table then
  // serves instead of the recurrence, which is only set up without one.
  const Real* table = nullptr;
  if (count == entry_count) {
    table = fft::cached_twiddles(forward ? 1 : -1, 2 * count);
  }
  Real c_re = 0.0, c_im = 0.0, w_re = 0.0, w_im = 0.0;
  if (table == nullptr) {
    const Real s = std::sin(0.5 * theta);
    c_re = (s * s) * (-2.0); // cos(theta) - 1
    c_im = std::sin(theta);
    w_re = 1.0 + c_re; // the twiddle factor starts at exp(i*theta)
    w_im = c_im;
  }

  // Split Z_k and Z_{n-k} into the even and odd halves and recombine them.
  const Integer last = count / 2;
  Integer k = 1;
#if defined(__x86_64__) || defined(__i386__)
  if (kernels::avx() && count == entry_count) {
    if (table != nullptr) {
      k = split_pairs_avx(data, count, table + 2, 1, last, f);
    } else {
      // The recurrence run ahead a chunk of factors at a time.
      fft::Twiddle chain{c_re, c_im, w_re, w_im};
      Real factors[2 * kChunk];
      while (last - k > kChunk) {
        chain.generate(factors, kChunk);
        k = split_pairs_avx(data, count, factors, k, k + kChunk, f);
      }
      w_re = chain.w_re;
      w_im = chain.w_im;
    }
  }
#endif
  for (; k <= last; ++k) {
    if (table != nullptr) {
      w_re = table[2 * k];
      w_im = table[2 * k + 1];
    }
    if (k < last) {
      split(data + 2 * k, data + 2 * (count - k), w_re, w_im, f);
    } else {
      split_middle(data + 2 * k, w_re, w_im, f);
    }
    if (table == nullptr) {
      // w <- w * exp(i*theta), both parts from the old w.
      const Real old_re = w_re;
      w_re = w_re + (w_re * c_re - w_im * c_im);
      w_im = w_im + (old_re * c_im + w_im * c_re);
    }
  }

  const Real y1 = at(1);
  const Real y2 = at(2);
  if (direction == 1) {
    at(1) = y1 + y2; // X_0
    at(2) = y1 - y2; // X_n
  } else {
    at(2) = (y1 - y2) * 0.5;
    at(1) = (y1 + y2) * 0.5;
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
  Integer j = 1;
#if defined(__SSE2__)
  for (; j + 1 <= count; j += 2) {
    const __m128d x = _mm_loadu_pd(data1 + j - 1); // data1[j-1], data1[j]
    const __m128d y = _mm_loadu_pd(data2 + j - 1);
    _mm_storeu_pd(spectrum1 + 2 * j - 2, _mm_unpacklo_pd(x, y));
    _mm_storeu_pd(spectrum1 + 2 * j, _mm_unpackhi_pd(x, y));
  }
#endif
  for (; j <= count; ++j) {
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

  // Z_k and Z_{n-k} separate into F_k = (Z_k + conj Z_{n-k}) / 2 and
  // G_k = (Z_k - conj Z_{n-k}) / (2i), and the mirrored values into their
  // conjugates:
  //   F_k = (0.5 * (b_re + a_re), 0.5 * (b_im - a_im)),
  //   F_{n-k} = (0.5 * (b_re + a_re), -0.5 * (b_im - a_im)),
  //   G_k = (0.5 * (b_im + a_im), -0.5 * (b_re - a_re)),
  //   G_{n-k} = (0.5 * (b_im + a_im), 0.5 * (b_re - a_re)),
  // for Z_k = (b_re, b_im), Z_{n-k} = (a_re, a_im).  For k = n/2 both places
  // coincide and the values of n-k stand.
  Integer k = 1;
#if defined(__x86_64__) || defined(__i386__)
  if (kernels::avx()) {
    k = separate_pairs_avx(spectrum1, spectrum2, count);
  }
#endif
  for (; k <= count / 2; ++k) {
    const Integer b = 2 * k + 1;
    const Integer a = 2 * (count - k) + 1;
#if defined(__SSE2__)
    const __m128d bv = _mm_loadu_pd(spectrum1 + b - 1);
    const __m128d av = _mm_loadu_pd(spectrum1 + a - 1);
    const __m128d sum = _mm_add_pd(bv, av);
    const __m128d diff = _mm_sub_pd(bv, av);
    const __m128d f = _mm_move_sd(diff, sum);      // b_re + a_re, b_im - a_im
    const __m128d g = _mm_shuffle_pd(sum, diff, 1); // b_im + a_im, b_re - a_re
    const __m128d plus = _mm_set1_pd(0.5);
    const __m128d minus = _mm_set_pd(-0.5, 0.5);
    _mm_storeu_pd(spectrum1 + b - 1, _mm_mul_pd(plus, f));
    _mm_storeu_pd(spectrum2 + b - 1, _mm_mul_pd(minus, g));
    _mm_storeu_pd(spectrum1 + a - 1, _mm_mul_pd(minus, f));
    _mm_storeu_pd(spectrum2 + a - 1, _mm_mul_pd(plus, g));
#else
    const Real b_re = s1(b);
    const Real b_im = s1(b + 1);
    const Real a_im = s1(a + 1);
    const Real a_re = s1(a);

    s1(b) = 0.5 * (b_re + a_re);
    s1(b + 1) = 0.5 * (b_im - a_im);
    s1(a) = 0.5 * (b_re + a_re);
    s1(a + 1) = -0.5 * (b_im - a_im);
    s2(b) = 0.5 * (b_im + a_im);
    s2(b + 1) = -0.5 * (b_re - a_re);
    s2(a) = 0.5 * (b_im + a_im);
    s2(a + 1) = 0.5 * (b_re - a_re);
#endif
  }
}

} // namespace tamsel
