// SPDX-License-Identifier: BSD-3-Clause
// The AVX passes in the parts layout and realft's splits from it
// (kernels::Table::pass_parts, pass_pair_parts, split_from_parts).
#include "x86/parts.h"
#include "x86/simd.h"

namespace tamsel::x86 {

// ---- The passes and realft's splits in the parts layout (kernels::Table::
// pass_parts): the values of block q as parts, forward_parts' lanes 0, 2 |
// 1, 3, so that the passes need no shuffle at all and the factors of four
// values of j come as parts the same way.
namespace {

// The parts of block p, read in the parts layout or (kValues) as values.
template <bool kValues>
[[gnu::always_inline]] __attribute__((target("avx"))) inline Parts block_at(const Real* p) {
  if constexpr (kValues) return forward_parts(p);
  return {_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)};
}
// Parts x stored at block p in the parts layout or (kValues) as values.
template <bool kValues = false>
[[gnu::always_inline]] __attribute__((target("avx"))) inline void store_block(Real* p, Parts x) {
  if constexpr (kValues) return store_forward(p, x);
  _mm256_storeu_pd(p, x.re);
  _mm256_storeu_pd(p + 4, x.im);
}

// pair_parts on the four blocks at p0 + r * span, r = 0..3, read from
// values with kFrom, stored as values with kTo.
template <bool kFrom, bool kTo>
[[gnu::always_inline]] __attribute__((target("avx"))) inline void
pair_blocks(Real* p0, Integer span, const Parts& fa, const Parts& f0, const Parts& f1) {
  Parts v0 = block_at<kFrom>(p0), v1 = block_at<kFrom>(p0 + span);
  Parts v2 = block_at<kFrom>(p0 + 2 * span), v3 = block_at<kFrom>(p0 + 3 * span);
  pair_parts(v0, v1, v2, v3, fa, f0, f1);
  store_block<kTo>(p0, v0);
  store_block<kTo>(p0 + span, v1);
  store_block<kTo>(p0 + 2 * span, v2);
  store_block<kTo>(p0 + 3 * span, v3);
}

// As pass_pair_avx: with four groups or more, each j's factors taken once
// for all of them.
template <bool kFrom, bool kTo>
__attribute__((target("avx"))) void pass_pair_parts_from(Real* data, Integer n, Integer h,
                                                         const Real* wa, const Real* wb) {
  const Integer span = 2 * h;
  if (n >= 16 * h) {
    for (Integer k = 0; k < span; k += 8) {
      const Parts fa = forward_parts(wa + k);
      const Parts f0 = forward_parts(wb + k);
      const Parts f1 = forward_parts(wb + span + k);
      for (Integer s = 0; s < n; s += 4 * h) {
        pair_blocks<kFrom, kTo>(data + 2 * s + k, span, fa, f0, f1);
      }
    }
    return;
  }
  for (Integer s = 0; s < n; s += 4 * h) {
    for (Integer k = 0; k < span; k += 8) {
      pair_blocks<kFrom, kTo>(data + 2 * s + k, span, forward_parts(wa + k),
                              forward_parts(wb + k), forward_parts(wb + span + k));
    }
  }
}

} // namespace

// The values read in their own layout, left in the parts layout.
__attribute__((target("avx"))) void pass_parts_avx(Real* data, Integer n, Integer h,
                                                   const Real* w) {
  const Integer span = 2 * h; // Reals from a value to its partner
  for (Integer k = 0; k < span; k += 8) {
    const Parts f = forward_parts(w + k);
    for (Integer s = 0; s < n; s += 2 * h) {
      Real* const p = data + 2 * s + k;
      Parts a = block_at<true>(p);
      Parts b = block_at<true>(p + span);
      butterflies(a, b, f);
      store_block(p, a);
      store_block(p + span, b);
    }
  }
}

void pass_pair_parts_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                         bool from_values, bool to_values) {
  if (from_values && to_values) return pass_pair_parts_from<true, true>(data, n, h, wa, wb);
  if (from_values) return pass_pair_parts_from<true, false>(data, n, h, wa, wb);
  if (to_values) return pass_pair_parts_from<false, true>(data, n, h, wa, wb);
  pass_pair_parts_from<false, false>(data, n, h, wa, wb);
}

// Block q (k = 4q .. 4q+3, in lanes 4q, 4q+2 | 4q+1, 4q+3) for q = 0 ..
// n/8 - 1, n = count, with the partners n-4q, n-4q-2 | n-4q-1, n-4q-3:
// those of lanes 1..3 are lanes 1, 3 | 2 of block n/4 - q - 1, that of lane 0
// is lane 0 of the block after it, the one read a step before (for q = 0,
// Z_0 stands in for the missing Z_n, and Z_0 keeps its value).  Each block
// is read before the stores of its values, which are the splits' results
// in their own layout: block q's at its place, its partners' 16 bytes
// past the start of theirs, reaching into the block read a step before.
// Left at the end: Z_count/2, lane 0 of the last block read.
__attribute__((target("avx"))) void split_from_parts_avx(Real* data, Integer count,
                                                         const Real* ws, Real f) {
  const __m256d fv = _mm256_set1_pd(f);
  const Integer blocks = count / 4;
  Parts after = block_at<false>(data); // lane 0 the partner of lane 0
#pragma GCC unroll 2
  for (Integer q = 0; q < blocks / 2; ++q) {
    Real* const own = data + 8 * q;
    Real* const mirror = data + 8 * (blocks - q - 1);
    const Parts z = block_at<false>(own);
    const Parts m = block_at<false>(mirror);
    Parts b = z;
    Parts a{_mm256_blend_pd(_mm256_permute_pd(m.re, 0x6), after.re, 0x1),
            _mm256_blend_pd(_mm256_permute_pd(m.im, 0x6), after.im, 0x1)};
    split_parts(b, a, forward_parts(ws + 8 * q), fv);
    if (q == 0) b = {_mm256_blend_pd(b.re, z.re, 0x1), _mm256_blend_pd(b.im, z.im, 0x1)};
    _mm256_storeu_pd(own, _mm256_unpacklo_pd(b.re, b.im));
    _mm256_storeu_pd(own + 4, _mm256_unpackhi_pd(b.re, b.im));
    const __m256d low = _mm256_unpacklo_pd(a.re, a.im);  // Z_n-4q, Z_n-4q-1
    const __m256d high = _mm256_unpackhi_pd(a.re, a.im); // Z_n-4q-2, Z_n-4q-3
    _mm_storeu_pd(mirror + 2, _mm256_extractf128_pd(high, 1));
    _mm_storeu_pd(mirror + 4, _mm256_castpd256_pd128(high));
    _mm_storeu_pd(mirror + 6, _mm256_extractf128_pd(low, 1));
    if (q != 0) _mm_storeu_pd(mirror + 8, _mm256_castpd256_pd128(low));
    after = m;
  }
  _mm_storeu_pd(data + count, _mm256_castpd256_pd128(_mm256_unpacklo_pd(after.re, after.im)));
}

} // namespace tamsel::x86
