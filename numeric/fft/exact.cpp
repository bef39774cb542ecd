// SPDX-License-Identifier: BSD-3-Clause
// The exact factors (engine.h) and the conventional layer's transforms of
// powers of two that run on them (exact.h).
#include "fft/exact.h"

#include <mutex>

#include "fft/engine.h"
#include "fft/unit_roots.h"
#include "kernels.h"

namespace tamsel::fft {

namespace {

// The largest sub-transform length whose factors are asked for: that of
// the splits of real_forward of 2^28 values.
constexpr int kRootLevels = 31;

std::mutex making;

// The UnitRoots of m = 2^level, made on first use and kept (about 64
// sqrt(m) bytes each).
const UnitRoots& roots_of(int level) {
  static std::atomic<const UnitRoots*> kept[kRootLevels];
  if (const UnitRoots* made = kept[level].load(std::memory_order_acquire)) return *made;
  const std::lock_guard<std::mutex> hold(making);
  if (const UnitRoots* made = kept[level].load(std::memory_order_acquire)) return *made;
  const auto* made = new UnitRoots(std::uint64_t{1} << level);
  kept[level].store(made, std::memory_order_release);
  return *made;
}

// A part of the factor for sign +1, the conjugate's: 0.0 - x is -x but
// for zeros, which stay +0.
Real conjugate_part(Real x) { return 0.0 - x; }

} // namespace

void exact_factors(Integer sign, Integer m, Integer j0, Integer count, Real* out) {
  const UnitRoots& roots = roots_of(std::countr_zero(std::uint64_t(m)));
  for (Integer i = 0; i < count; ++i) {
    const std::complex<double> w = roots(std::uint64_t(j0 + i));
    out[2 * i] = w.real();
    out[2 * i + 1] = sign == 1 ? conjugate_part(w.imag()) : w.imag();
  }
}

namespace detail {

std::atomic<const Real*> kept_exact[2][kCachedLevels + 1];

// exp(-2 pi i j/m) is unit_root(j, m) for j <= m/8; beyond, unit_root
// reduces the angle to the same one of the first octant and maps its
// cosine and sine as below (so the bits are unit_root's):
//   j in (m/8, m/4]: (c, -s) of j is (s, -c) of m/4 - j,
//   j in (m/4, m/2): (c, -s) of j is (-c, -s) of m/2 - j,
// with -0 made +0.  For sign +1 the conjugates.
const Real* make_exact(Integer sign, Integer m) {
  const int level = std::countr_zero(std::uint32_t(m));
  std::atomic<const Real*>& kept = kept_exact[sign == 1 ? 0 : 1][level];
  const std::lock_guard<std::mutex> hold(making);
  if (const Real* made = kept.load(std::memory_order_acquire)) return made;
  Real* w = table_memory(level, sign == 1 ? 1 : -1);
  const Integer half = m / 2;
  const Integer direct = m < 8 ? half - 1 : m / 8;
  const UnitRoots roots{std::uint64_t(m)};
  for (Integer j = 0; j <= direct; ++j) {
    const std::complex<double> r = roots(std::uint64_t(j));
    w[2 * j] = r.real();
    w[2 * j + 1] = r.imag();
  }
  for (Integer j = direct + 1; j <= m / 4; ++j) {
    w[2 * j] = -w[2 * (m / 4 - j) + 1] + 0.0;
    w[2 * j + 1] = -w[2 * (m / 4 - j)] + 0.0;
  }
  for (Integer j = m / 4 + 1; j < half; ++j) {
    w[2 * j] = -w[2 * (half - j)] + 0.0;
    w[2 * j + 1] = w[2 * (half - j) + 1];
  }
  if (sign == 1) {
    for (Integer j = 0; j < half; ++j) w[2 * j + 1] = conjugate_part(w[2 * j + 1]);
  }
  kept.store(w, std::memory_order_release);
  return w;
}

} // namespace detail

namespace exact {

void transform(Real* data, Integer n, Integer sign) {
  if (n >= 2) fft::transform(data, n, sign, Roots::exact);
}

namespace {

// The recombination of k = 1 .. count/2 - 1 with the exact factors of
// sign and length 2 count: from their kept table, or beyond it made a
// chunk at a time (a function of its own, so that the chunk, 8 KiB, sits
// on the stack only on this path).
[[gnu::noinline]] void splits_in_chunks(const kernels::Table& k, Real* data, Integer count,
                                        Integer sign, Real f) {
  Real factors[2 * kChunk];
  const Integer last = count / 2;
  for (Integer first = 1; first < last; first += kChunk) {
    const Integer end = last - first < kChunk ? last : first + kChunk;
    exact_factors(sign, 2 * count, first, end - first, factors);
    k.split(data, count, factors, first, end, f);
  }
}
void splits(Real* data, Integer count, Integer sign, Real f) {
  const kernels::Table& k = kernels::active();
  if (count < 4) return;
  if (const Real* table = exact_twiddles(sign, 2 * count)) {
    k.split(data, count, table + 2, 1, count / 2, f);
  } else {
    splits_in_chunks(k, data, count, sign, f);
  }
}

// The recombination of Z_{count/2}, its own partner, with the factor
// exp(sign pi i / 2) = (0, sign).
void middle(Real* data, Integer count, Integer sign, Real f) {
  if (count < 2) return;
  Real* const z = data + count;
  split(z, z, 0.0, static_cast<Real>(sign), f);
}

} // namespace

void real_forward(Real* data, Integer n) {
  const Real f = -0.5;
  if (!transform_and_split(data, n, f, -1, Roots::exact)) {
    transform(data, n, -1);
    splits(data, n, -1, f);
  }
  middle(data, n, -1, f);
  join_ends(data, true);
}

void real_backward(Real* data, Integer n) {
  const Real f = 0.5;
  splits(data, n, 1, f);
  middle(data, n, 1, f);
  join_ends(data, false);
  transform(data, n, 1);
}

} // namespace exact

} // namespace tamsel::fft
