// SPDX-License-Identifier: BSD-3-Clause
// AVX kernels of the complex passes, and the SSE2 and AVX kernels of the
// transform's first steps: the first two passes, alone or with the
// bit-reversal permutation, value 0 alone, and the interleaving of real and
// imaginary parts (the SSE2 and AVX-512 passes are in x86/passes.cpp).
// Each vector butterfly does the multiplications, additions and
// subtractions of fft::butterfly with the same operands, t_re = b_re*w_re -
// b_im*w_im and t_im = b_im*w_re + b_re*w_im, then a - t and a + t.  The
// AVX passes stay written for AVX: its add-subtract instruction and its
// load that duplicates the factors' real parts save a shuffle a butterfly
// over anything GCC makes of the same steps written over generic lanes.
#include "x86/simd.h"

#include <immintrin.h>

namespace tamsel::x86 {

namespace {

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

} // namespace

__attribute__((target("avx"))) void pass_avx(Real* data, Integer n, Integer h, const Real* w,
                                             Integer j0, Integer count) {
  if (n >= 8 * h && n <= 2048) {
    // Four groups or more, all in the first-level cache: each j's factors
    // taken once for all groups.
    for (Integer j = 0; j < count; j += 2) {
      const __m256d wv = _mm256_loadu_pd(w + 2 * j);
      for (Integer s = 0; s < n; s += 2 * h) {
        Real* a = data + 2 * (s + j0 + j);
        const __m256d av = _mm256_loadu_pd(a);
        const __m256d t = twiddled(_mm256_loadu_pd(a + 2 * h), wv);
        _mm256_storeu_pd(a + 2 * h, _mm256_sub_pd(av, t));
        _mm256_storeu_pd(a, _mm256_add_pd(av, t));
      }
    }
    return;
  }
  for (Integer s = 0; s < n; s += 2 * h) {
    Real* a = data + 2 * (s + j0);
    Real* b = a + 2 * h;
    for (Integer j = 0; j < count; j += 2) {
      const __m256d av = _mm256_loadu_pd(a + 2 * j);
      const __m256d t = twiddled(_mm256_loadu_pd(b + 2 * j), _mm256_loadu_pd(w + 2 * j));
      _mm256_storeu_pd(b + 2 * j, _mm256_sub_pd(av, t));
      _mm256_storeu_pd(a + 2 * j, _mm256_add_pd(av, t));
    }
  }
}

__attribute__((target("avx"))) void butterflies_avx(Real* a, Real* b, Real w_re, Real w_im,
                                                    Integer count) {
  const __m256d wv = _mm256_setr_pd(w_re, w_im, w_re, w_im);
  Integer i = 0;
  for (; i + 2 <= count; i += 2) {
    const __m256d av = _mm256_loadu_pd(a + 2 * i);
    const __m256d t = twiddled(_mm256_loadu_pd(b + 2 * i), wv);
    _mm256_storeu_pd(b + 2 * i, _mm256_sub_pd(av, t));
    _mm256_storeu_pd(a + 2 * i, _mm256_add_pd(av, t));
  }
  if (i < count) butterfly_sse2(a + 2 * i, b + 2 * i, _mm_set1_pd(w_re), minus_plus(w_im));
}

namespace {

// The factor pair at w in both lanes.
[[gnu::always_inline]] __attribute__((target("avx"))) inline __m256d both_lanes(const Real* w) {
  return _mm256_setr_pd(w[0], w[1], w[0], w[1]);
}

// The factors of the first two passes in both lanes: f2 that of m = 2 (at
// w2), f40 and f41 the two of m = 4 (at w4).
struct FirstTwo {
  __m256d f2, f40, f41;
};
[[gnu::always_inline]] __attribute__((target("avx"))) inline FirstTwo first_two(const Real* w2,
                                                                              const Real* w4) {
  return {both_lanes(w2), both_lanes(w4), both_lanes(w4 + 2)};
}

// The first two passes on one run of four values v0..v3, given as a =
// (v0, v2) and b = (v1, v3): butterfly (v0, v1) and (v2, v3) with factor
// f2, then (v0, v2) and (v1, v3) with the two factors in f4; the run stored
// at p.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
two_passes_run(__m256d a, __m256d b, __m256d f2, __m256d f4, Real* p) {
  const __m256d t = twiddled(b, f2);
  const __m256d a1 = _mm256_add_pd(a, t);                  // v0' v2'
  const __m256d b1 = _mm256_sub_pd(a, t);                  // v1' v3'
  const __m256d a2 = _mm256_permute2f128_pd(a1, b1, 0x20); // v0' v1'
  const __m256d b2 = _mm256_permute2f128_pd(a1, b1, 0x31); // v2' v3'
  const __m256d u = twiddled(b2, f4);
  _mm256_storeu_pd(p + 4, _mm256_sub_pd(a2, u));
  _mm256_storeu_pd(p, _mm256_add_pd(a2, u));
}

} // namespace

// The first two passes (half-spans 1 and 2) together on each run of four
// values v0..v3: butterflies (v0, v1) and (v2, v3) with factor w2, then
// (v0, v2) with w4[0] and (v1, v3) with w4[1].
__attribute__((target("avx"))) void first_two_passes_avx(Real* data, Integer n, const Real* w2,
                                                        const Real* w4) {
  const __m256d f2 = both_lanes(w2);
  const __m256d f4 = _mm256_loadu_pd(w4);
  for (Integer s = 0; s < n; s += 4) {
    Real* p = data + 2 * s;
    const __m256d x = _mm256_loadu_pd(p);     // v0 v1
    const __m256d y = _mm256_loadu_pd(p + 4); // v2 v3
    two_passes_run(_mm256_permute2f128_pd(x, y, 0x20), _mm256_permute2f128_pd(x, y, 0x31), f2,
                   f4, p);
  }
}

// The bit-reversal permutation and the first two passes together, for
// n >= 16.  Value i = h*(n/4) + 4t + l (h, l < 4) is row h, column l of tile
// t; the permutation sends it to row rev(l), column rev(h) of tile rev(t),
// so tile t is made from tile rev(t) alone, its row h (the run of four
// values the first two passes take) from column rev(h) there, and tiles t
// and rev(t) are done together, in place.
namespace {

// The two passes on half a tile, columns 2q and 2q + 1 (row h's half at
// from + h * stride): each column's run v0..v3 is rows 0, 2, 1, 3 of it,
// one butterfly per value of the rows, (v0, v1) and (v2, v3) with f2, then
// (v0, v2) with f40 and (v1, v3) with f41.  x[i] holds v_i of both columns.
// two_passes_tile512 (x86/fft512.cpp) does the same on whole rows; the two
// stay apart, since a template shared by both would call each one's
// target-attributed twiddle from code without the target, which GCC will
// not inline.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
two_passes_rows(__m256d r0, __m256d r1, __m256d r2, __m256d r3, const FirstTwo& f,
                __m256d* x) {
  const __m256d t1 = twiddled(r2, f.f2); // v1 is row 2
  const __m256d t3 = twiddled(r3, f.f2);
  const __m256d v0 = _mm256_add_pd(r0, t1);
  const __m256d v1 = _mm256_sub_pd(r0, t1);
  const __m256d v2 = _mm256_add_pd(r1, t3); // v2 is row 1
  const __m256d v3 = _mm256_sub_pd(r1, t3);
  const __m256d u2 = twiddled(v2, f.f40);
  const __m256d u3 = twiddled(v3, f.f41);
  x[0] = _mm256_add_pd(v0, u2);
  x[2] = _mm256_sub_pd(v0, u2);
  x[1] = _mm256_add_pd(v1, u3);
  x[3] = _mm256_sub_pd(v1, u3);
}
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
two_passes_half(const Real* from, Integer stride, const FirstTwo& f, __m256d* x) {
  two_passes_rows(_mm256_loadu_pd(from), _mm256_loadu_pd(from + stride),
                  _mm256_loadu_pd(from + 2 * stride), _mm256_loadu_pd(from + 3 * stride), f, x);
}

// Column c of half x (pick 0x20 for its first, 0x31 for its second) as the
// run v0..v3, stored at row.
template <int pick>
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
store_column(const __m256d* x, Real* row) {
  _mm256_storeu_pd(row, _mm256_permute2f128_pd(x[0], x[1], pick));
  _mm256_storeu_pd(row + 4, _mm256_permute2f128_pd(x[2], x[3], pick));
}

// The tile whose row h starts at from + h * stride, permuted and through
// the two passes, row h stored at to + h * step; every value is read before
// any is written.  Row h of the result is column rev(h) of the tile.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
two_passes_tile(const Real* from, Integer stride, const FirstTwo& f, Real* to, Integer step) {
  __m256d low[4];  // columns 0, 1
  __m256d high[4]; // columns 2, 3
  two_passes_half(from, stride, f, low);
  two_passes_half(from + 4, stride, f, high);
  store_column<0x20>(low, to);
  store_column<0x20>(high, to + step);
  store_column<0x31>(low, to + 2 * step);
  store_column<0x31>(high, to + 3 * step);
}

// The same tile of the values z_i = (re[i], im[i]), row h at re + h *
// quarter and im + h * quarter: the real and imaginary parts of a row
// interleaved give columns 0 and 2 in one vector and 1 and 3 in the other,
// each pair through the passes as a half.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
two_passes_tile_interleaved(const Real* re, const Real* im, Integer quarter, const FirstTwo& f,
                            Real* to, Integer step) {
  const __m256d x0 = _mm256_loadu_pd(re);
  const __m256d y0 = _mm256_loadu_pd(im);
  const __m256d x1 = _mm256_loadu_pd(re + quarter);
  const __m256d y1 = _mm256_loadu_pd(im + quarter);
  const __m256d x2 = _mm256_loadu_pd(re + 2 * quarter);
  const __m256d y2 = _mm256_loadu_pd(im + 2 * quarter);
  const __m256d x3 = _mm256_loadu_pd(re + 3 * quarter);
  const __m256d y3 = _mm256_loadu_pd(im + 3 * quarter);
  __m256d even[4]; // columns 0, 2
  __m256d odd[4];  // columns 1, 3
  two_passes_rows(_mm256_unpacklo_pd(x0, y0), _mm256_unpacklo_pd(x1, y1),
                  _mm256_unpacklo_pd(x2, y2), _mm256_unpacklo_pd(x3, y3), f, even);
  two_passes_rows(_mm256_unpackhi_pd(x0, y0), _mm256_unpackhi_pd(x1, y1),
                  _mm256_unpackhi_pd(x2, y2), _mm256_unpackhi_pd(x3, y3), f, odd);
  store_column<0x20>(even, to);
  store_column<0x31>(even, to + step);
  store_column<0x20>(odd, to + 2 * step);
  store_column<0x31>(odd, to + 3 * step);
}

} // namespace

// Out of place, so each tile goes straight to its place.
__attribute__((target("avx"))) void interleave_first_two_avx(const Real* re, const Real* im,
                                                            Real* out, Integer n,
                                                            const Real* w2, const Real* w4,
                                                            const std::uint16_t* order) {
  const FirstTwo f = first_two(w2, w4);
  const Integer quarter = n / 4; // values from one row of a tile to the next
  // In the order of tile_step from 2^12 values, as interleave_first_two_avx512.
  const Integer tiles = n / 16;
  if (n < 4096) {
    for (Integer t = 0; t < tiles; ++t) {
      two_passes_tile_interleaved(re + 4 * t, im + 4 * t, quarter, f, out + 8 * order[t], n / 2);
    }
    return;
  }
  const Integer step = tile_step(tiles);
  for (Integer k = 0, t = 0; k < tiles; ++k, t = (t + step) & (tiles - 1)) {
    two_passes_tile_interleaved(re + 4 * t, im + 4 * t, quarter, f, out + 8 * order[t], n / 2);
  }
}

namespace {

// Tile t of rows of four values at data + 8t + h * stride Reals, permuted
// and through the first two passes, trades places with its partner tile,
// which is done the same way; nothing where the partner comes first.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
reverse_tile(Real* data, Integer stride, const FirstTwo& f, Integer t, Integer partner) {
  if (partner < t) return; // done with its partner
  Real* mine = data + 8 * t;
  if (partner == t) return two_passes_tile(mine, stride, f, mine, stride);
  // Tile t is made aside until its partner has been read.
  Real* other = data + 8 * partner;
  Real made[32];
  two_passes_tile(other, stride, f, made, 8);
  two_passes_tile(mine, stride, f, other, stride);
  for (int h = 0; h < 4; ++h) {
    _mm256_storeu_pd(mine + h * stride, _mm256_loadu_pd(made + 8 * h));
    _mm256_storeu_pd(mine + h * stride + 4, _mm256_loadu_pd(made + 8 * h + 4));
  }
}

} // namespace

__attribute__((target("avx"))) void reverse_first_two_avx(Real* data, Integer n, const Real* w2,
                                                         const Real* w4,
                                                         const std::uint16_t* order) {
  const FirstTwo f = first_two(w2, w4);
  const Integer stride = n / 2; // Reals from one row of a tile to the next
  const Integer tiles = n / 16;
  // In the plain order up to 2^12 and beyond 2^16 values (measured in
  // the other order: four1 2^13 .. 2^16 2-7% faster, 2^17 .. 2^19 3-13% slower).
  if (tiles < 512 || tiles > 4096) {
    for (Integer t = 0; t < tiles; ++t) reverse_tile(data, stride, f, t, order[t]);
    return;
  }
  const Integer step = tile_step(tiles);
  for (Integer k = 0, t = 0; k < tiles; ++k, t = (t + step) & (tiles - 1)) {
    reverse_tile(data, stride, f, t, order[t]);
  }
}

// Passes of half-spans h and 2h together on each group of 4h values: for
// j = 0..h-1 the values v0..v3 at s+j, s+j+h, s+j+2h, s+j+3h go through
// (v0, v1) and (v2, v3) with wa[j], then (v0, v2) with wb[j] and (v1, v3)
// with wb[j+h].  Two values of j at a time, at Real k = 2j of each value's
// run.
namespace {

// The two passes on v0..v3, in place.
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
pair_values(__m256d& v0, __m256d& v1, __m256d& v2, __m256d& v3, __m256d fa, __m256d f0,
            __m256d f1) {
  const __m256d t1 = twiddled(v1, fa);
  const __m256d t3 = twiddled(v3, fa);
  v1 = _mm256_sub_pd(v0, t1);
  v0 = _mm256_add_pd(v0, t1);
  v3 = _mm256_sub_pd(v2, t3);
  v2 = _mm256_add_pd(v2, t3);
  const __m256d t2 = twiddled(v2, f0);
  const __m256d u3 = twiddled(v3, f1);
  v2 = _mm256_sub_pd(v0, t2);
  v0 = _mm256_add_pd(v0, t2);
  v3 = _mm256_sub_pd(v1, u3);
  v1 = _mm256_add_pd(v1, u3);
}

[[gnu::always_inline]] __attribute__((target("avx"))) inline void
pair_step(Real* p0, Integer span, __m256d fa, __m256d f0, __m256d f1) {
  Real* p1 = p0 + span;
  Real* p2 = p1 + span;
  Real* p3 = p2 + span;
  __m256d v0 = _mm256_loadu_pd(p0);
  __m256d v1 = _mm256_loadu_pd(p1);
  __m256d v2 = _mm256_loadu_pd(p2);
  __m256d v3 = _mm256_loadu_pd(p3);
  pair_values(v0, v1, v2, v3, fa, f0, f1);
  _mm256_storeu_pd(p2, v2);
  _mm256_storeu_pd(p0, v0);
  _mm256_storeu_pd(p3, v3);
  _mm256_storeu_pd(p1, v1);
}

// Passes of half-spans h, 2h and 4h together on the values v_r at p0 + r *
// span, r = 0..7, of one group: pair_values on v0..v3 and on v4..v7, then
// (v_r, v_r+4) with the factors at fc + r * fc_step, r = 0..3 (read from
// memory, as the registers hold no more).
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
triple_step(Real* p0, Integer span, __m256d fa, __m256d f0, __m256d f1, const Real* fc,
            Integer fc_step) {
  __m256d v[8];
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r) v[r] = _mm256_loadu_pd(p0 + r * span);
  pair_values(v[0], v[1], v[2], v[3], fa, f0, f1);
  pair_values(v[4], v[5], v[6], v[7], fa, f0, f1);
#pragma GCC unroll 4
  for (int r = 0; r < 4; ++r) {
    const __m256d t = twiddled(v[r + 4], _mm256_loadu_pd(fc + r * fc_step));
    _mm256_storeu_pd(p0 + (r + 4) * span, _mm256_sub_pd(v[r], t));
    _mm256_storeu_pd(p0 + r * span, _mm256_add_pd(v[r], t));
  }
}

} // namespace

// The passes of half-spans h, 2h and 4h on each group of 8h values, two
// values of j at a time: for j = 0..h-1 the values v_r at s+j+r*h go
// through (v_r, v_r+1), r even, with wa[j], (v_r, v_r+2), r = 0, 1, 4, 5,
// with wb[j + (r % 2) * h], then (v_r, v_r+4), r = 0..3, with wc[j + r*h].
__attribute__((target("avx"))) void pass_triple_avx(Real* data, Integer n, Integer h,
                                                    const Real* wa, const Real* wb,
                                                    const Real* wc) {
  const Integer span = 2 * h;
  if (n >= 16 * h && n <= 2048) {
    for (Integer k = 0; k < span; k += 4) {
      const __m256d fa = _mm256_loadu_pd(wa + k);
      const __m256d f0 = _mm256_loadu_pd(wb + k);
      const __m256d f1 = _mm256_loadu_pd(wb + span + k);
      for (Integer s = 0; s < n; s += 8 * h) {
        triple_step(data + 2 * s + k, span, fa, f0, f1, wc + k, span);
      }
    }
    return;
  }
  for (Integer s = 0; s < n; s += 8 * h) {
    for (Integer k = 0; k < span; k += 4) {
      triple_step(data + 2 * s + k, span, _mm256_loadu_pd(wa + k), _mm256_loadu_pd(wb + k),
                  _mm256_loadu_pd(wb + span + k), wc + k, span);
    }
  }
}

__attribute__((target("avx"))) void pass_pair_avx(Real* data, Integer n, Integer h,
                                                  const Real* wa, const Real* wb) {
  const Integer span = 2 * h; // Reals from one value to the next in a group
  if (n >= 16 * h && n <= 2048) {
    // Four groups or more, all in the first-level cache (32 KiB; measured:
    // 4-10% off four1 2^11 against a bound of 16 KiB): each j's factors
    // taken once for all groups.
    for (Integer k = 0; k < span; k += 4) {
      const __m256d fa = _mm256_loadu_pd(wa + k);
      const __m256d f0 = _mm256_loadu_pd(wb + k);
      const __m256d f1 = _mm256_loadu_pd(wb + span + k);
      for (Integer s = 0; s < n; s += 4 * h) pair_step(data + 2 * s + k, span, fa, f0, f1);
    }
    return;
  }
  for (Integer s = 0; s < n; s += 4 * h) {
    for (Integer k = 0; k < span; k += 4) {
      pair_step(data + 2 * s + k, span, _mm256_loadu_pd(wa + k), _mm256_loadu_pd(wb + k),
                _mm256_loadu_pd(wb + span + k));
    }
  }
}

__attribute__((target("avx"))) void pass_pair_swap_avx(Real* a, Real* b, Integer n, Integer h,
                                                       const Real* wa, const Real* wb) {
  const Integer span = 2 * h;
  for (Integer s = 0; s < n; s += 4 * h) {
    for (Integer k = 0; k < span; k += 4) {
      const __m256d fa = _mm256_loadu_pd(wa + k);
      const __m256d f0 = _mm256_loadu_pd(wb + k);
      const __m256d f1 = _mm256_loadu_pd(wb + span + k);
      Real* const p = a + 2 * s + k;
      Real* const q = b + 2 * s + k;
      __m256d x0 = _mm256_loadu_pd(p), x1 = _mm256_loadu_pd(p + span);
      __m256d x2 = _mm256_loadu_pd(p + 2 * span), x3 = _mm256_loadu_pd(p + 3 * span);
      __m256d y0 = _mm256_loadu_pd(q), y1 = _mm256_loadu_pd(q + span);
      __m256d y2 = _mm256_loadu_pd(q + 2 * span), y3 = _mm256_loadu_pd(q + 3 * span);
      pair_values(x0, x1, x2, x3, fa, f0, f1);
      pair_values(y0, y1, y2, y3, fa, f0, f1);
      _mm256_storeu_pd(q, x0);
      _mm256_storeu_pd(q + span, x1);
      _mm256_storeu_pd(q + 2 * span, x2);
      _mm256_storeu_pd(q + 3 * span, x3);
      _mm256_storeu_pd(p, y0);
      _mm256_storeu_pd(p + span, y1);
      _mm256_storeu_pd(p + 2 * span, y2);
      _mm256_storeu_pd(p + 3 * span, y3);
    }
  }
}

__attribute__((target("avx"))) void rows_pair_avx(Real* a, Integer span, const Real* fa,
                                                  const Real* f0, const Real* f1,
                                                  Integer count) {
  if (count % 2 != 0) {
    butterflies_avx(a, a + span, fa[0], fa[1], count);
    butterflies_avx(a + 2 * span, a + 3 * span, fa[0], fa[1], count);
    butterflies_avx(a, a + 2 * span, f0[0], f0[1], count);
    butterflies_avx(a + span, a + 3 * span, f1[0], f1[1], count);
    return;
  }
  const __m256d va = both_lanes(fa), v0 = both_lanes(f0), v1 = both_lanes(f1);
  for (Integer e = 0; e < 2 * count; e += 4) pair_step(a + e, span, va, v0, v1);
}

__attribute__((target("avx"))) void rows_triple_avx(Real* a, Integer span, const Real* fa,
                                                    const Real* f0, const Real* f1,
                                                    const Real* fc, Integer fc_step,
                                                    Integer count) {
  if (count % 2 != 0) {
    rows_pair_avx(a, span, fa, f0, f1, count);
    rows_pair_avx(a + 4 * span, span, fa, f0, f1, count);
    for (Integer r = 0; r < 4; ++r) {
      butterflies_avx(a + r * span, a + (r + 4) * span, fc[r * fc_step], fc[r * fc_step + 1],
                      count);
    }
    return;
  }
  alignas(32) Real c[16]; // each factor in both lanes, read by triple_step
  for (Integer r = 0; r < 4; ++r) _mm256_store_pd(c + 4 * r, both_lanes(fc + r * fc_step));
  const __m256d va = both_lanes(fa), v0 = both_lanes(f0), v1 = both_lanes(f1);
  for (Integer e = 0; e < 2 * count; e += 4) triple_step(a + e, span, va, v0, v1, c, 4);
}

void first_value_sse2(Real* data, Integer n) {
  for (Integer half = n / 2; half >= 1; half /= 2) first_value_level_sse2(data, half);
}

void first_value_avx(Real* data, Integer n) {
  Integer half = n / 2;
  for (; half >= 2; half /= 2) first_value_level_avx(data, half);
  if (half == 1) first_value_level_sse2(data, half);
}

void exchange_sse2(Real* a, Real* b, kernels::Reals reals) {
  for (Integer k = 0; k < Integer(reals); k += 2) {
    const __m128d x = _mm_loadu_pd(a + k);
    _mm_storeu_pd(a + k, _mm_loadu_pd(b + k));
    _mm_storeu_pd(b + k, x);
  }
}

// Four Reals at a time.
__attribute__((target("avx"))) void exchange_avx(Real* a, Real* b, kernels::Reals count) {
  const Integer reals = Integer(count);
  for (Integer k = 0; k < reals; k += 4) {
    const __m256d x = _mm256_loadu_pd(a + k);
    _mm256_storeu_pd(a + k, _mm256_loadu_pd(b + k));
    _mm256_storeu_pd(b + k, x);
  }
}

// Four values at a time in their own order, by whole-vector stores (see
// interleave_avx512).
__attribute__((target("avx"))) void interleave_avx(const Real* re, const Real* im, Real* out,
                                                   Integer n, const std::uint16_t* order) {
  if (order != nullptr || n % 4 != 0) return interleave_sse2(re, im, out, n, order);
  for (Integer j = 0; j < n; j += 4) {
    const __m256d x = _mm256_loadu_pd(re + j);
    const __m256d y = _mm256_loadu_pd(im + j);
    const __m256d even = _mm256_unpacklo_pd(x, y); // values j, j + 2
    const __m256d odd = _mm256_unpackhi_pd(x, y);  // values j + 1, j + 3
    _mm256_storeu_pd(out + 2 * j, _mm256_permute2f128_pd(even, odd, 0x20));
    _mm256_storeu_pd(out + 2 * j + 4, _mm256_permute2f128_pd(even, odd, 0x31));
  }
}

void interleave_sse2(const Real* re, const Real* im, Real* out, Integer n,
                     const std::uint16_t* order) {
  auto place = [order](Integer j) -> Integer { return 2 * (order ? Integer{order[j]} : j); };
  Integer j = 0;
  for (; j + 1 < n; j += 2) {
    const __m128d x = _mm_loadu_pd(re + j); // re[j], re[j+1]
    const __m128d y = _mm_loadu_pd(im + j);
    _mm_storeu_pd(out + place(j), _mm_unpacklo_pd(x, y));
    _mm_storeu_pd(out + place(j + 1), _mm_unpackhi_pd(x, y));
  }
  if (j < n) _mm_storeu_pd(out + place(j), _mm_set_pd(im[j], re[j]));
}

} // namespace tamsel::x86
