// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/multidim_fft.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fft/engine.h"
#include "kernels.h"
#include "refusals.h"

namespace tamsel {

namespace {

static_assert(std::bit_cast<std::uint64_t>(fft::kFullTurn) == 0x401921FB54442D1Cu);

// Most complex values whose 2N Reals can still be indexed by an Integer.
constexpr Integer kMaxValues = std::numeric_limits<Integer>::max() / 2;

// One dimension of length L >= 2: the data are A blocks of L * B values, and
// within a block value i of line e (i < L, e < B) is value i * B + e.  Every
// line goes through the bit-reversal permutation and the radix-2 passes of
// four1 with the same sign, whose angles are those of fourn for sign +1 and
// -1 to the last bit: theta = (sign * 6.28318530717959) / M for the
// sub-transform length M.
//
// Lines of one block are done together: each butterfly of a pass acts on
// the same two positions of a run of adjacent lines with one twiddle factor,
// and runs of lines (strips) small enough to stay in cache go through all
// passes, two or three at a time (transform_dimension).  With rows_reversed
// the bit-reversal permutation of the rows i has been done already (by the
// previous dimension's last passes).
constexpr Integer kStripValues = Integer{1} << 14;
constexpr Integer kPlaneValues = Integer{1} << 15;

// Exchanges the runs of S values at rows i and rev(i) of a strip (S is a
// power of two from 2: B is a product of lengths of at least 2).
void reverse_rows(Real* base, Integer L, Integer B, Integer S) {
  const kernels::Table& k = kernels::active();
  for (Integer i = 0, r = 0; i < L; ++i, r = fft::next_reversed(r, L)) {
    if (r > i) k.exchange(base + 2 * i * B, base + 2 * r * B, kernels::Reals{2 * S});
  }
}

// The butterflies of the pass of length M with factors w_j for j = j0 ..
// j0 + count - 1, on a strip of S lines.
void strip_pass(Real* base, Integer L, Integer B, Integer S, Integer M,
                const Real* w, Integer j0, Integer count) {
  const kernels::Table& k = kernels::active();
  const Integer h = M / 2;
  for (Integer g = 0; g < L; g += M) {
    for (Integer j = j0; j < j0 + count; ++j) {
      Real* a = base + 2 * (g + j) * B;
      k.butterflies(a, a + 2 * h * B, w[2 * (j - j0)], w[2 * (j - j0) + 1], S);
    }
  }
}

// strip_pass of a length M beyond the kept tables, its factors made a chunk
// at a time.  A function of its own, so that the chunk (8 KiB) sits on the
// stack only when such a pass runs.
[[gnu::noinline]] void uncached_strip_pass(Real* base, Integer L, Integer B, Integer S,
                                           Integer M, Integer sign) {
  fft::Twiddle twiddle = fft::pass_twiddle(sign, M);
  Real factors[2 * fft::kChunk];
  for (Integer j0 = 0; j0 < M / 2; j0 += fft::kChunk) {
    twiddle.generate(factors, fft::kChunk);
    strip_pass(base, L, B, S, M, factors, j0, fft::kChunk);
  }
}

// The passes of lengths M and 2M together on a strip of S lines: for each
// group of 2M rows and j < M/2, rows g+j, g+j+M/2, g+j+M and g+j+3M/2 go
// through the pass of length M with w_j and that of 2M with v_j and
// v_j+M/2.
void strip_pass_pair(Real* base, Integer L, Integer B, Integer S, Integer M, const Real* w,
                     const Real* v) {
  const kernels::Table& k = kernels::active();
  const Integer h = M / 2;
  for (Integer g = 0; g < L; g += 2 * M) {
    for (Integer j = 0; j < h; ++j) {
      k.rows_pair(base + 2 * (g + j) * B, 2 * h * B, w + 2 * j, v + 2 * j, v + 2 * (j + h), S);
    }
  }
}

// The passes of lengths M, 2M and 4M together on a strip of S lines: for
// each group of 4M rows and j < M/2, rows g+j+r*M/2, r = 0..7, go through
// the pass of length M with w_j, that of 2M with v_j and v_j+M/2, and that
// of 4M with u_j+r*M/2.
void strip_pass_triple(Real* base, Integer L, Integer B, Integer S, Integer M, const Real* w,
                       const Real* v, const Real* u) {
  const kernels::Table& k = kernels::active();
  const Integer h = M / 2;
  for (Integer g = 0; g < L; g += 4 * M) {
    for (Integer j = 0; j < h; ++j) {
      k.rows_triple(base + 2 * (g + j) * B, 2 * h * B, w + 2 * j, v + 2 * j, v + 2 * (j + h),
                    u + 2 * j, 2 * h, S);
    }
  }
}

// The lines e .. e + S - 1 of a block of L rows of B values through every
// pass (the bit-reversal permutation too unless rows_reversed).
void transform_strip(Real* block, Integer L, Integer B, Integer e, Integer S, Integer sign,
                     bool rows_reversed) {
  const kernels::Table& k = kernels::active();
  const Integer cached = L < fft::kCachedLength ? L : fft::kCachedLength;
  Real* base = block + 2 * e;
  if (!rows_reversed) reverse_rows(base, L, B, S);
  for (Integer M = 2; M <= L; M *= 2) {
    // The passes with kept factors two at a time, or, with a table that
    // has triples, three at a time after at most two pairs; the last
    // alone when one is left.
    const int left = M > cached ? 0 : std::countr_zero(std::uint32_t(cached / M)) + 1;
    if (k.can.triples && left % 3 == 0 && left > 0) {
      strip_pass_triple(base, L, B, S, M, fft::cached_twiddles(sign, M),
                        fft::cached_twiddles(sign, 2 * M), fft::cached_twiddles(sign, 4 * M));
      M *= 4;
      continue;
    }
    if (left >= 2) {
      strip_pass_pair(base, L, B, S, M, fft::cached_twiddles(sign, M),
                      fft::cached_twiddles(sign, 2 * M));
      M *= 2;
      continue;
    }
    if (left == 1) {
      strip_pass(base, L, B, S, M, fft::cached_twiddles(sign, M), 0, M / 2);
      continue;
    }
    uncached_strip_pass(base, L, B, S, M, sign);
  }
}

void transform_dimension(Real* data, Integer L, Integer B, Integer A, Integer sign,
                         bool rows_reversed = false) {
  if (B == 1) {
    // Contiguous lines: exactly four1 on each.
    fft::transform_lines(data, L, A, sign);
    return;
  }
  const Integer S = fft::strip_width(L, B);
  for (Integer a = 0; a < A; ++a) {
    Real* block = data + 2 * a * L * B;
    for (Integer e = 0; e < B; e += S) transform_strip(block, L, B, e, S, sign, rows_reversed);
  }
}

} // namespace

Integer fft::strip_width(Integer L, Integer B) {
  Integer S = B;
  if (L <= fft::kCachedLength) {
    S = kStripValues / L;
    S = S < 4 ? 4 : S;
    S = S > B ? B : S;
  }
  return S;
}

void fft::transform_strip(Real* block, Integer L, Integer B, Integer e, Integer sign,
                          bool rows_reversed) {
  ::tamsel::transform_strip(block, L, B, e, strip_width(L, B), sign, rows_reversed);
}

void fourn(Real* data, const Integer* lengths, const Integer& dimcount,
           const Integer& sign) {
  const Integer D = dimcount;
  if (D <= 0) {
    return;
  }

  // N, the number of complex values, as the product of the lengths in index
  // order.  Every length is checked before any value of data is touched.
  Integer N = 1;
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    if (!fft::is_power_of_two(L)) {
      detail::refuse_argument("fourn: length %d of dimension %d is not a power of two", L, d);
    }
    if (N > kMaxValues / L) {
      detail::refuse_argument("fourn: length %d of dimension %d makes 2N exceed the Integer range",
                              L, d);
    }
    N = N * L;
  }

  Integer B = 1; // product of the lengths of the dimensions already done
  bool rows_reversed = false; // the next dimension's rows already permuted
  for (Integer d = 1; d <= D; ++d) {
    const Integer L = lengths[d - 1];
    const Integer A = N / (L * B); // number of blocks
    if (L >= 2) {
      const Integer direction = sign; // read once for each such dimension, or pair of them
      if (direction == 1 || direction == -1) {
        // The contiguous lines of the first dimension transformed are the
        // rows of the next one: their permutation joins the last passes.
        // The sign reads the same for the next one: nothing here writes it.
        const Integer next = d < D ? lengths[d] : 0;
        if (B == 1 && !rows_reversed && next >= 2 && A / next > 1 &&
            L * next <= kPlaneValues) {
          // The lines of this dimension and the next one plane by plane, each
          // plane of L * next values through both while it stays in the
          // second-level cache: one sweep of the array from memory for the
          // two (bench/NOTES.md).
          for (Integer first = 0; first < A; first += next) {
            Real* plane = data + 2 * first * L;
            const bool join = fft::transform_lines_permuted(plane, L, next, next, direction);
            if (!join) transform_dimension(plane, L, 1, next, direction);
            transform_dimension(plane, next, L, 1, direction, join);
          }
          B = B * L * next;
          ++d;
          continue;
        }
        const bool join = B == 1 && !rows_reversed && next >= 2 && A % next == 0 &&
                          fft::transform_lines_permuted(data, L, A, next, direction);
        if (!join) transform_dimension(data, L, B, A, direction, rows_reversed);
        rows_reversed = join;
      } else {
        fft::plain_dimension(data, L, B, A, static_cast<Real>(direction));
      }
    }
    B = B * L;
  }
}

} // namespace tamsel
