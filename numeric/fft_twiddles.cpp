// SPDX-License-Identifier: BSD-3-Clause
// The twiddle factors of the passes: the recurrence that makes them and the
// tables of them kept for the lengths used.
#include <tamsel/numeric/fft_passes.h>

#include <bit>
#include <cstdint>
#include <utility>

#include <tamsel/numeric/fft_steps.h>

namespace tamsel::fft {

namespace {

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

void Twiddle::generate(Real* out, Integer count) {
  for (Integer k = 0; k < count; ++k) {
    out[2 * k] = w_re;
    out[2 * k + 1] = w_im;
    advance(w_re, w_im, Step{c_re, c_im});
  }
}

Twiddle pass_twiddle(Integer sign, Integer m) {
  const Step c = angle_step(kFullTurn / static_cast<Real>(std::int64_t{sign} * m));
  return Twiddle{c.c_re, c.c_im};
}

const Real* cached_twiddles(Integer sign, Integer m) {
  if (m < 2 || m > kCachedLength) {
    return nullptr;
  }
  return cached_lookup(sign, std::countr_zero(std::uint32_t(m)),
                       std::make_index_sequence<kCachedLevels>{});
}

} // namespace tamsel::fft
