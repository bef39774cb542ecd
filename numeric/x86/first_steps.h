// SPDX-License-Identifier: BSD-3-Clause
// The first steps of a transform in the x86 kernels, written once over W
// lanes (x86/lanes.h): the first two passes, alone or with the bit-reversal
// permutation (in place, from a copy, or from separate real and imaginary
// parts), value 0 alone, the interleaving of parts, the exchange of runs,
// the scaling of parts.
//
// The permutation goes by tiles: value i = h*(n/4) + 4t + l (h, l < 4), row h,
// column l of tile t, goes to row rev(l), column rev(h) of tile rev(t); so tile
// t's row h (the run of four the first two passes take) is column rev(h) of
// tile rev(t).  A tile's rows are loaded whole, the passes run lane by lane on
// them (column c's run v0..v3 is rows 0, 2, 1, 3), and the tile is transposed
// after them.  Internal to the toolkit; not installed.
#pragma once

#include <cstdint>

#include "x86/lanes.h"
#include "x86/passes.h"

namespace tamsel::x86 {

// The step through the tiles where the plain order stalls: tile (k * step)
// mod tiles is taken k-th, every tile once (the step odd, tiles a power of
// two).  In the plain order the rows successive tiles write lie a multiple
// of 4 KiB apart, and a load whose low 12 address bits match a pending
// store's waits for it; far beyond the second-level cache the plain order,
// reading half the values in sequence, can win again (bench/NOTES.md).  The
// plain order keeps a loop of its own, faster at small sizes than a step 1.
constexpr std::int32_t tile_step(std::int32_t tiles) {
  return std::int32_t(std::int64_t{tiles} * 633 / 1024) | 1;
}

// The tiles in tile_step's order from kSteppedFrom tiles to kSteppedTo.
template <int W>
struct TileOrder {
  static constexpr Integer kSteppedFrom = 512;
  static constexpr Integer kSteppedTo = W == 8 ? 32768 : 4096;
};

// A tile of four rows of four values, each row in 8/W vectors.
template <int W>
struct Tile {
  static constexpr int kPerRow = 8 / W;
  Vec<W> v[4][kPerRow];
};

// The first two passes' factors in every pair of lanes: f2 that of m = 2
// (at w2), f40 and f41 those of m = 4 (at w4).
template <int W>
struct FirstTwo { Factors<W> f2, f40, f41; };
template <int W>
TAMSEL_LANES FirstTwo<W> first_two(const Real* w2, const Real* w4) {
  return {factor<W>(w2), factor<W>(w4), factor<W>(w4 + 2)};
}

// The transpose of the 4 x 4 complex tile x.  With kEvenOdd (W = 4) the
// rows hold columns 0, 2 in their first vector and 1, 3 in their second,
// as AVX's unpacking of real and imaginary parts leaves them.
template <int W, bool kEvenOdd = false>
TAMSEL_LANES Tile<W> transposed(const Tile<W>& x) {
  Tile<W> out;
  if constexpr (W == 2) {
#pragma GCC unroll 8
    for (int c = 0; c < 4; ++c) {
#pragma GCC unroll 8
      for (int r = 0; r < 4; ++r) out.v[c][r] = x.v[r][c];
    }
  } else if constexpr (W == 4) {
#pragma GCC unroll 8
    for (int c = 0; c < 4; ++c) {
      const int q = kEvenOdd ? c % 2 : c / 2;
      if ((kEvenOdd ? c / 2 : c % 2) == 0) {
        out.v[c][0] = __builtin_shufflevector(x.v[0][q], x.v[1][q], 0, 1, 4, 5);
        out.v[c][1] = __builtin_shufflevector(x.v[2][q], x.v[3][q], 0, 1, 4, 5);
      } else {
        out.v[c][0] = __builtin_shufflevector(x.v[0][q], x.v[1][q], 2, 3, 6, 7);
        out.v[c][1] = __builtin_shufflevector(x.v[2][q], x.v[3][q], 2, 3, 6, 7);
      }
    }
  } else {
    const Vec<8>& x0 = x.v[0][0];
    const Vec<8>& x1 = x.v[1][0];
    const Vec<8>& x2 = x.v[2][0];
    const Vec<8>& x3 = x.v[3][0];
    const Vec<8> low01 = __builtin_shufflevector(x0, x1, 0, 1, 2, 3, 8, 9, 10, 11);
    const Vec<8> high01 = __builtin_shufflevector(x0, x1, 4, 5, 6, 7, 12, 13, 14, 15);
    const Vec<8> low23 = __builtin_shufflevector(x2, x3, 0, 1, 2, 3, 8, 9, 10, 11);
    const Vec<8> high23 = __builtin_shufflevector(x2, x3, 4, 5, 6, 7, 12, 13, 14, 15);
    out.v[0][0] = __builtin_shufflevector(low01, low23, 0, 1, 4, 5, 8, 9, 12, 13);
    out.v[1][0] = __builtin_shufflevector(low01, low23, 2, 3, 6, 7, 10, 11, 14, 15);
    out.v[2][0] = __builtin_shufflevector(high01, high23, 0, 1, 4, 5, 8, 9, 12, 13);
    out.v[3][0] = __builtin_shufflevector(high01, high23, 2, 3, 6, 7, 10, 11, 14, 15);
  }
  return out;
}

// The tile of rows r, permuted and through the first two passes: row h of
// the result is column rev(h) of the tile.
template <int W, bool kEvenOdd = false>
TAMSEL_LANES Tile<W> two_passes(Tile<W> r, const FirstTwo<W>& f) {
#pragma GCC unroll 8
  for (int q = 0; q < Tile<W>::kPerRow; ++q) {
    pair_values<W>(r.v[0][q], r.v[2][q], r.v[1][q], r.v[3][q], f.f2, f.f40, f.f41);
    // Column c's run is now v0 = row 0, v1 = row 2, v2 = row 1, v3 = row 3.
    const Vec<W> v1 = r.v[2][q];
    r.v[2][q] = r.v[1][q];
    r.v[1][q] = v1;
  }
  const Tile<W> c = transposed<W, kEvenOdd>(r);
  Tile<W> out;
  constexpr int kRev[4] = {0, 2, 1, 3};
#pragma GCC unroll 8
  for (int h = 0; h < 4; ++h) {
#pragma GCC unroll 8
    for (int q = 0; q < Tile<W>::kPerRow; ++q) out.v[h][q] = c.v[kRev[h]][q];
  }
  return out;
}

// The tile of rows at from + h * stride, and its stores at to + h * step.
template <int W>
TAMSEL_LANES Tile<W> load_tile(const Real* from, Integer stride) {
  Tile<W> x;
#pragma GCC unroll 8
  for (int h = 0; h < 4; ++h) {
#pragma GCC unroll 8
    for (int q = 0; q < Tile<W>::kPerRow; ++q) x.v[h][q] = load<W>(from + h * stride + q * W);
  }
  return x;
}
template <int W>
TAMSEL_LANES void store_tile(Real* to, Integer step, const Tile<W>& x) {
#pragma GCC unroll 8
  for (int h = 0; h < 4; ++h) {
#pragma GCC unroll 8
    for (int q = 0; q < Tile<W>::kPerRow; ++q) store<W>(to + h * step + q * W, x.v[h][q]);
  }
}

// Tile t (rows at data + 8t + h * stride) and its partner, each permuted
// and through the first two passes, trade places, both made before either
// is stored; nothing where the partner comes first.
template <int W>
TAMSEL_LANES void reverse_tile(Real* data, Integer stride, const FirstTwo<W>& f, Integer t,
                               Integer partner) {
  if (partner < t) return; // done with its partner
  Real* mine = data + 8 * t;
  if (partner == t) return store_tile<W>(mine, stride, two_passes<W>(load_tile<W>(mine, stride), f));
  Real* other = data + 8 * partner;
  const Tile<W> to_mine = two_passes<W>(load_tile<W>(other, stride), f);
  const Tile<W> to_other = two_passes<W>(load_tile<W>(mine, stride), f);
  store_tile<W>(other, stride, to_other);
  store_tile<W>(mine, stride, to_mine);
}

// kernels::Table::reverse_first_two: tile t of rows of four values at
// data + 8t + h * n/2 Reals trades places, permuted, with tile order[t].
template <int W>
TAMSEL_LANES void reverse_first_two(Real* data, Integer n, const Real* w2, const Real* w4,
                                    const std::uint16_t* order) {
  const FirstTwo<W> f = first_two<W>(w2, w4);
  const Integer stride = n / 2; // Reals from one row of a tile to the next
  const Integer tiles = n / 16;
  if (tiles < TileOrder<W>::kSteppedFrom || tiles > TileOrder<W>::kSteppedTo) {
    for (Integer t = 0; t < tiles; ++t) reverse_tile<W>(data, stride, f, t, order[t]);
    return;
  }
  const Integer step = tile_step(tiles);
  for (Integer k = 0, t = 0; k < tiles; ++k, t = (t + step) & (tiles - 1)) {
    reverse_tile<W>(data, stride, f, t, order[t]);
  }
}

// kernels::Table::reverse_first_two_to: each tile straight to its place.
template <int W>
TAMSEL_LANES void reverse_first_two_to(const Real* in, Real* out, Integer n, const Real* w2,
                                       const Real* w4, const std::uint16_t* order) {
  const FirstTwo<W> f = first_two<W>(w2, w4);
  const Integer stride = n / 2;
  for (Integer t = 0; t < n / 16; ++t) {
    store_tile<W>(out + 8 * order[t], stride, two_passes<W>(load_tile<W>(in + 8 * t, stride), f));
  }
}

// The W/2 values z_i = (re[i], im[i]) from re and im, as a vector.
template <int W>
TAMSEL_LANES Vec<W> zipped(const Real* re, const Real* im) {
  if constexpr (W == 2) {
    return Vec<2>{re[0], im[0]};
  } else if constexpr (W == 4) {
    return __builtin_shufflevector(load<2>(re), load<2>(im), 0, 2, 1, 3);
  } else {
    return __builtin_shufflevector(load<4>(re), load<4>(im), 0, 4, 1, 5, 2, 6, 3, 7);
  }
}

// Tile t of the values (re[i], im[i]), row h at 4t + h * n/4, permuted
// and through the first two passes to out + 8 * place, rows n/2 apart.
template <int W>
TAMSEL_LANES void interleaved_tile(const Real* re, const Real* im, Real* out, Integer n,
                                   const FirstTwo<W>& f, Integer t, Integer place) {
  const Integer quarter = n / 4; // values from one row of a tile to the next
  Tile<W> x;
#pragma GCC unroll 8
  for (int h = 0; h < 4; ++h) {
    const Integer at = 4 * t + h * quarter;
    if constexpr (W == 4) {
      const Vec<4> r = load<4>(re + at), i = load<4>(im + at);
      x.v[h][0] = __builtin_shufflevector(r, i, 0, 4, 2, 6); // values 0, 2
      x.v[h][1] = __builtin_shufflevector(r, i, 1, 5, 3, 7); // values 1, 3
    } else {
#pragma GCC unroll 8
      for (int q = 0; q < Tile<W>::kPerRow; ++q) {
        x.v[h][q] = zipped<W>(re + at + q * (W / 2), im + at + q * (W / 2));
      }
    }
  }
  store_tile<W>(out + 8 * place, n / 2, two_passes<W, W == 4>(x, f));
}

// kernels::Table::interleave_first_two: each tile straight to its place,
// from 2^12 values in tile_step's order (rows 4 KiB apart from there).
template <int W>
TAMSEL_LANES void interleave_first_two(const Real* re, const Real* im, Real* out, Integer n,
                                       const Real* w2, const Real* w4,
                                       const std::uint16_t* order) {
  const FirstTwo<W> f = first_two<W>(w2, w4);
  const Integer tiles = n / 16;
  if (n < 4096) {
    for (Integer t = 0; t < tiles; ++t) interleaved_tile<W>(re, im, out, n, f, t, order[t]);
    return;
  }
  const Integer step = tile_step(tiles);
  for (Integer k = 0, t = 0; k < tiles; ++k, t = (t + step) & (tiles - 1)) {
    interleaved_tile<W>(re, im, out, n, f, t, order[t]);
  }
}

// kernels::Table::first_two_passes, a run of four values at a time.
template <int W>
TAMSEL_LANES void first_two_passes(Real* data, Integer n, const Real* w2, const Real* w4) {
  const FirstTwo<2> f = first_two<2>(w2, w4);
  for (Integer s = 0; s < n; s += 4) pair_step<2>(data + 2 * s, data + 2 * s, 2, f.f2, f.f40, f.f41);
}

// One level of kernels::Table::first_value: value q + half into value q,
// q < half, with the butterfly's arithmetic for the factor 1 + 0i.
template <int W>
TAMSEL_LANES void first_value_level(Real* data, Integer half) {
  if constexpr (W > 2) { if (half % (W / 2) != 0) return first_value_level<W / 2>(data, half); }
  const Factors<W> one = factor<W>(1.0, 0.0);
  for (Integer q = 0; q < half; q += W / 2) {
    const Vec<W> t = twiddled<W>(load<W>(data + 2 * (q + half)), one);
    store<W>(data + 2 * q, load<W>(data + 2 * q) + t);
  }
}
template <int W>
TAMSEL_LANES void first_value(Real* data, Integer n) {
  for (Integer half = n / 2; half >= 1; half /= 2) first_value_level<W>(data, half);
}

// kernels::Table::interleave: in their own order by whole vectors (read
// back a vector at a time, and a load is forwarded from one store in
// flight, not several); in a given order one by one.
template <int W>
TAMSEL_LANES void interleave(const Real* re, const Real* im, Real* out, Integer n,
                             const std::uint16_t* order) {
  Integer j = 0;
  if (order == nullptr) {
    for (; j + W / 2 <= n; j += W / 2) store<W>(out + 2 * j, zipped<W>(re + j, im + j));
  }
  for (; j < n; ++j) {
    const Integer p = 2 * (order != nullptr ? Integer{order[j]} : j);
    out[p] = re[j];
    out[p + 1] = im[j];
  }
}

// kernels::Table::exchange, W Reals at a time, the rest with fewer lanes.
template <int W>
TAMSEL_LANES void exchange(Real* a, Real* b, Integer reals) {
  Integer k = 0;
  for (; k + W <= reals; k += W) {
    const Vec<W> x = load<W>(a + k);
    store<W>(a + k, load<W>(b + k));
    store<W>(b + k, x);
  }
  if constexpr (W > 2) {
    if (k < reals) exchange<W / 2>(a + k, b + k, reals - k);
  }
}

// kernels::Table::scale, W Reals at a time, the rest one by one.
template <int W>
TAMSEL_LANES void scale(Real* data, Integer count, Real x, bool divide) {
  const Vec<W> xs = splat<W>(x);
  Integer i = 0;
  if (divide) {
    for (; i + W <= count; i += W) store<W>(data + i, load<W>(data + i) / xs);
    for (; i < count; ++i) data[i] = data[i] / x;
  } else {
    for (; i + W <= count; i += W) store<W>(data + i, load<W>(data + i) * xs);
    for (; i < count; ++i) data[i] = data[i] * x;
  }
}

} // namespace tamsel::x86
