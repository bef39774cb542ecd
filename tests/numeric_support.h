// SPDX-License-Identifier: BSD-3-Clause
// Helpers shared by the toolkit's tests: raw bit patterns, deterministic
// high-entropy inputs, digests of outputs and guard Reals around arrays.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include <tamsel/numeric/types.h>

namespace tamsel::test_support {

inline std::uint64_t bits(Real x) { return std::bit_cast<std::uint64_t>(x); }

// Deterministic high-entropy values in [-5, 5).
inline std::vector<Real> pseudo_random(std::size_t count, std::uint64_t seed) {
  std::vector<Real> v(count);
  for (auto& x : v) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    x = static_cast<Real>(seed >> 11) * 0x1p-53 * 10.0 - 5.0;
  }
  return v;
}

// FNV-1a over the bit patterns of the first count values.
inline std::uint64_t digest(const Real* v, std::size_t count) {
  std::uint64_t h = 14695981039346656037ULL;
  for (std::size_t i = 0; i < count; ++i) h = (h ^ bits(v[i])) * 1099511628211ULL;
  return h;
}
inline std::uint64_t digest(const std::vector<Real>& v) { return digest(v.data(), v.size()); }

inline Real l1_norm(const std::vector<Real>& v) {
  Real sum = 0.0;
  for (Real x : v) sum += std::fabs(x);
  return sum;
}

// Z_k = sum_p z_p exp(sign 2 pi i p k / n) for n complex values z, summed
// in long double: (re, im) of Z_k at [2k], [2k + 1].
inline std::vector<long double> direct_dft(const std::vector<Real>& z, Integer n,
                                           Integer sign) {
  const long double two_pi = 2.0L * std::acos(-1.0L);
  std::vector<long double> out(2 * n, 0.0L);
  for (Integer k = 0; k < n; ++k) {
    for (Integer p = 0; p < n; ++p) {
      const long double angle =
          sign * two_pi * static_cast<long double>((std::int64_t{p} * k) % n) / n;
      const long double c = std::cos(angle), s = std::sin(angle);
      out[2 * k] += z[2 * p] * c - z[2 * p + 1] * s;
      out[2 * k + 1] += z[2 * p] * s + z[2 * p + 1] * c;
    }
  }
  return out;
}

// The array under test sits between guard Reals that must stay untouched.
inline constexpr std::size_t kGuard = 8;
inline constexpr Real kGuardValue = -7.125e300;

inline std::vector<Real> guarded(const std::vector<Real>& values) {
  std::vector<Real> buf(values.size() + 2 * kGuard, kGuardValue);
  std::copy(values.begin(), values.end(), buf.begin() + kGuard);
  return buf;
}

inline void expect_guards_intact(const std::vector<Real>& buf) {
  for (std::size_t i = 0; i < kGuard; ++i) {
    EXPECT_EQ(bits(buf[i]), bits(kGuardValue)) << "before, " << i;
    EXPECT_EQ(bits(buf[buf.size() - 1 - i]), bits(kGuardValue)) << "after, " << i;
  }
}

} // namespace tamsel::test_support
