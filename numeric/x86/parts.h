// SPDX-License-Identifier: BSD-3-Clause
// The AVX passes in the parts layout and realft's splits from it
// (kernels::Table::pass_parts, pass_pair_parts, split_from_parts): block q
// holds x86/spectra.h's forward parts of four values (lanes 0, 2 | 1, 3), so
// the passes need no shuffle, the factors coming as parts the same way.  For
// x86/tables.cpp's AVX table alone.  Internal to the toolkit; not installed.
#pragma once

#include "x86/spectra.h"

#define TAMSEL_AVX __attribute__((target("avx")))

namespace tamsel::x86 {

using Parts4 = Parts<4>;

// The parts of block p, read in the parts layout or (kValues) as values.
template <bool kValues>
TAMSEL_LANES Parts4 block_at(const Real* p) {
  if constexpr (kValues) return forward<4>(p);
  return {load<4>(p), load<4>(p + 4)};
}
// Parts x stored at block p in the parts layout or (kValues) as values.
template <bool kValues = false>
TAMSEL_LANES void store_block(Real* p, const Parts4& x) {
  if constexpr (kValues) return store_forward<4>(p, x);
  store<4>(p, x.re);
  store<4>(p + 4, x.im);
}

// pair_values on blocks p0 + r * span, from values if kFrom, to values if kTo.
template <bool kFrom, bool kTo>
TAMSEL_LANES void pair_blocks(Real* p0, Integer span, const Parts4& fa, const Parts4& f0,
                              const Parts4& f1) {
  Parts4 v0 = block_at<kFrom>(p0), v1 = block_at<kFrom>(p0 + span);
  Parts4 v2 = block_at<kFrom>(p0 + 2 * span), v3 = block_at<kFrom>(p0 + 3 * span);
  pair_values<4>(v0, v1, v2, v3, fa, f0, f1);
  store_block<kTo>(p0, v0);
  store_block<kTo>(p0 + span, v1);
  store_block<kTo>(p0 + 2 * span, v2);
  store_block<kTo>(p0 + 3 * span, v3);
}

// As pass_pair: with four groups or more, each j's factors once for all.
template <bool kFrom, bool kTo>
TAMSEL_AVX void pass_pair_parts_from(Real* data, Integer n, Integer h, const Real* wa,
                                     const Real* wb) {
  const Integer span = 2 * h;
  columns<8>(
      n, 4 * h, span, n >= 16 * h,
      [&](Integer k) TAMSEL_LANES_LAMBDA {
        return Column<Parts4>{forward<4>(wa + k), forward<4>(wb + k), forward<4>(wb + span + k),
                              {}};
      },
      [&](Integer s, Integer k, const Column<Parts4>& f) TAMSEL_LANES_LAMBDA {
        pair_blocks<kFrom, kTo>(data + 2 * s + k, span, f.a, f.b0, f.b1);
      });
}

// The values read in their own layout, left in the parts layout.
TAMSEL_AVX inline void pass_parts_avx(Real* data, Integer n, Integer h, const Real* w) {
  const Integer span = 2 * h; // Reals from a value to its partner
  for (Integer k = 0; k < span; k += 8) {
    const Parts4 f = forward<4>(w + k);
    for (Integer s = 0; s < n; s += 2 * h) {
      Real* const p = data + 2 * s + k;
      Parts4 a = block_at<true>(p);
      Parts4 b = block_at<true>(p + span);
      butterflies_of<4>(a, b, f);
      store_block(p, a);
      store_block(p + span, b);
    }
  }
}

inline void pass_pair_parts_avx(Real* data, Integer n, Integer h, const Real* wa,
                                const Real* wb, bool from_values, bool to_values) {
  if (from_values && to_values) return pass_pair_parts_from<true, true>(data, n, h, wa, wb);
  if (from_values) return pass_pair_parts_from<true, false>(data, n, h, wa, wb);
  if (to_values) return pass_pair_parts_from<false, true>(data, n, h, wa, wb);
  pass_pair_parts_from<false, false>(data, n, h, wa, wb);
}

// Block q (k = 4q .. 4q+3 in lanes 4q, 4q+2 | 4q+1, 4q+3), q < n/8, n =
// count, with the partners n-4q, n-4q-2 | n-4q-1, n-4q-3: lanes 1, 3 | 2 of
// block n/4 - q - 1 and lane 0 of the block after it, read a step before
// (for q = 0, Z_0 stands in for Z_n and keeps its value).  Each block is
// read before the splits' results are stored as values: block q's at its
// place, its partners' 16 bytes past theirs, reaching into the block read
// a step before.  Left at the end: Z_count/2, lane 0 of the last block.
TAMSEL_AVX inline void split_from_parts_avx(Real* data, Integer count, const Real* ws, Real f) {
  const Vec<4> fv = {f, f, f, f}; // made here: no vector crosses into this target's code
  const Integer blocks = count / 4;
  Parts4 after = block_at<false>(data); // lane 0 the partner of lane 0
#pragma GCC unroll 2
  for (Integer q = 0; q < blocks / 2; ++q) {
    Real* const own = data + 8 * q;
    Real* const mirror = data + 8 * (blocks - q - 1);
    const Parts4 z = block_at<false>(own);
    const Parts4 m = block_at<false>(mirror);
    Parts4 b = z;
    Parts4 a{__builtin_shufflevector(m.re, after.re, 4, 1, 3, 2),
             __builtin_shufflevector(m.im, after.im, 4, 1, 3, 2)};
    split_parts<4>(b, a, forward<4>(ws + 8 * q), fv);
    if (q == 0) {
      b = {__builtin_shufflevector(b.re, z.re, 4, 1, 2, 3),
           __builtin_shufflevector(b.im, z.im, 4, 1, 2, 3)};
    }
    store_forward<4>(own, b);
    const Vec<4> low = __builtin_shufflevector(a.re, a.im, 0, 4, 2, 6);  // Z_n-4q, Z_n-4q-1
    const Vec<4> high = __builtin_shufflevector(a.re, a.im, 1, 5, 3, 7); // Z_n-4q-2, Z_n-4q-3
    store_half<4>(mirror + 2, high, 1);
    store_half<4>(mirror + 4, high, 0);
    store_half<4>(mirror + 6, low, 1);
    if (q != 0) store_half<4>(mirror + 8, low, 0);
    after = m;
  }
  store<2>(data + count, Vec<2>{after.re[0], after.im[0]});
}

} // namespace tamsel::x86

#undef TAMSEL_AVX
