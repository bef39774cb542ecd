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

// Lengths up to 2^30, exact_runs's.
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

// With T[j] = exp(-2 pi i j/m) = (c, -s), the roots' symmetries as make_exact
// uses them (so the bits are unit_root's): T[m/4 - i] = (s, -c) and
// T[m/2 - i] = (-c, -s), whence T[m/4 + i] = T[m/2 - (m/4 - i)].
void exact_runs(Integer sign, Integer m, Integer i0, Real* out) {
  const UnitRoots& roots = roots_of(std::countr_zero(std::uint64_t(m)));
  Real base[2 * (kRun + 1)]; // T[i0 .. i0 + kRun]
  if (8 * (i0 + kRun) < m) {
    roots.first_octant(std::uint64_t(i0), kRun + 1, base);
  } else {
    roots.first_octant(std::uint64_t(i0), kRun, base);
    const std::complex<double> last = roots(std::uint64_t(i0 + kRun));
    base[2 * kRun] = last.real();
    base[2 * kRun + 1] = last.imag();
  }
  Real* const a = out;
  Real* const b = out + 2 * kRun;
  Real* const c = out + 4 * kRun;
  Real* const d = out + 6 * kRun;
  for (Integer t = 0; t < kRun; ++t) {
    const Real* x = base + 2 * t;                // T[i], i = i0 + t
    const Real* y = base + 2 * (kRun - t);       // T[i], i = i0 + kRun - t
    a[2 * t] = x[0];
    a[2 * t + 1] = x[1];
    b[2 * t] = -y[1] + 0.0;                      // T[m/4 - i]
    b[2 * t + 1] = -y[0] + 0.0;
    const Real q_re = -x[1] + 0.0, q_im = -x[0] + 0.0; // T[m/4 - i]
    c[2 * t] = -q_re + 0.0;                      // T[m/4 + i]
    c[2 * t + 1] = q_im;
    d[2 * t] = -y[0] + 0.0;                      // T[m/2 - i]
    d[2 * t + 1] = y[1];
  }
  if (sign == 1) {
    for (Integer i = 0; i < 4 * kRun; ++i) out[2 * i + 1] = conjugate_part(out[2 * i + 1]);
  }
}

namespace detail {

std::atomic<const Real*> kept_exact[2][kExactLevels + 1];

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
  roots.first_octant(0, std::size_t(m < 8 ? 1 : m / 8), w);
  for (Integer j = m < 8 ? 1 : m / 8; j <= direct; ++j) {
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
// sign and length 2 count: from their kept table, or beyond it made as they
// go, the runs of k from i0 and to count/2 - i0 at a time (a function of
// its own, so that the runs, 16 KiB, sit on the stack only on this path).
[[gnu::noinline]] void splits_in_runs(const kernels::Table& k, Real* data, Integer count,
                                      Integer sign, Real f) {
  Real runs[8 * kRun];
  const Integer quarter = count / 2;
  for (Integer i0 = 0; i0 < quarter / 2; i0 += kRun) {
    exact_runs(sign, 2 * count, i0, runs);
    const Integer skip = i0 == 0 ? 1 : 0; // k = 0 is join_ends's
    k.split(data, count, runs + 2 * skip, i0 + skip, i0 + kRun, f);
    k.split(data, count, runs + 2 * kRun, quarter - i0 - kRun, quarter - i0, f);
  }
}
void splits(Real* data, Integer count, Integer sign, Real f) {
  const kernels::Table& k = kernels::active();
  if (count < 4) return;
  if (const Real* table = exact_twiddles(sign, 2 * count)) {
    k.split(data, count, table + 2, 1, count / 2, f);
  } else {
    splits_in_runs(k, data, count, sign, f);
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
