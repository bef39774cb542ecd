// SPDX-License-Identifier: BSD-3-Clause
// The bit-reversal permutation (numeric/steps.h): bit_reverse, from tables
// made at compile time, and the orders of the kernels' permuting steps.
#include <bit>
#include <cstdint>
#include <cstring>

#include "steps.h"

namespace tamsel::fft {

// ---- The permutation.

namespace {

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

} // namespace

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

namespace {

// rev(j) over L bits, j < 2^L, L above kReversedBits: made on the heap on
// first use and kept for the process (2^L two-byte values, an eighth of the
// bytes of a transform of 2^(L+4) values), so that a program that never
// asks for it is neither given nor charged its memory; the guard of the
// function-local static makes it once even when several threads ask at
// once.
template <int L>
const std::uint16_t* made_order() {
  static const std::uint16_t* const table = [] {
    auto* made = new std::uint16_t[1 << L];
    for (int j = 0; j < (1 << L); ++j) {
      const int high = kReversed.of[j & ((1 << kReversedBits) - 1)];
      const int low = kReversed.of[j >> kReversedBits] >> (2 * kReversedBits - L);
      made[j] = std::uint16_t((high << (L - kReversedBits)) | low);
    }
    return made;
  }();
  return table;
}

} // namespace

const std::uint16_t* reversed_order(Integer n) {
  static_assert(kMaxOrder == 32 * kMaxInterleaved);
  switch (std::countr_zero(std::uint32_t(n)) - kReversedBits) {
  case 1: return made_order<kReversedBits + 1>();
  case 2: return made_order<kReversedBits + 2>();
  case 3: return made_order<kReversedBits + 3>();
  case 4: return made_order<kReversedBits + 4>();
  case 5: return made_order<kReversedBits + 5>();
  default: return kOrders.of + (n - 1);
  }
}

} // namespace tamsel::fft
