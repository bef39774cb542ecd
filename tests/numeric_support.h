// SPDX-License-Identifier: BSD-3-Clause
// Helpers shared by the toolkit's tests: raw bit patterns, deterministic
// high-entropy inputs, digests of outputs, guard Reals around arrays, and
// the agreement of the routines with their references (reference.h) under
// every kernel table this processor runs; the errors of the conventional
// layer's real transforms.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/types.h>

#include "numeric/kernels.h"
#include "reference.h"

namespace tamsel::test_support {

inline std::uint64_t bits(Real x) { return std::bit_cast<std::uint64_t>(x); }

// A call that must throw std::invalid_argument whose message holds text.
struct Refusal {
  const char* name;
  std::function<void()> call;
  const char* text;
};
inline void expect_refusals(std::span<const Refusal> cases) {
  for (const Refusal& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.name << " was not refused";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

inline constexpr Real kNaN = std::numeric_limits<Real>::quiet_NaN();

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
  // The n roots of unity, each taken once: (p*k) mod n picks one.
  std::vector<long double> c(n), s(n);
  for (Integer m = 0; m < n; ++m) {
    const long double angle = sign * two_pi * static_cast<long double>(m) / n;
    c[m] = std::cos(angle);
    s[m] = std::sin(angle);
  }
  std::vector<long double> out(2 * n, 0.0L);
  for (Integer k = 0; k < n; ++k) {
    for (Integer p = 0; p < n; ++p) {
      const std::int64_t m = (std::int64_t{p} * k) % n;
      out[2 * k] += z[2 * p] * c[m] - z[2 * p + 1] * s[m];
      out[2 * k + 1] += z[2 * p] * s[m] + z[2 * p + 1] * c[m];
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

// call() is refused with a Refusal (<tamsel/numeric/errors.h>) carrying
// exactly `message`.
template <class Refusal = InvalidArgument, class Call>
void expect_refusal(Call&& call, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "not refused, expected: " << message;
  } catch (const Refusal& refusal) {
    EXPECT_EQ(std::string(refusal.what()), message);
  }
}

// Uniform values in [-3.7, 5.3) from the seed.
inline std::vector<Real> random_values(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<Real> dist(-3.7, 5.3);
  std::vector<Real> v(count);
  for (auto& x : v) x = dist(gen);
  return v;
}

// Index of the first Real whose bits differ, or -1.
inline long first_difference(const std::vector<Real>& a, const std::vector<Real>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (bits(a[i]) != bits(b[i])) return long(i);
  }
  return -1;
}

// The kernels this processor runs, narrowest first.
inline std::vector<kernels::Kernel> runnable_kernels() {
  std::vector<kernels::Kernel> runnable;
  for (kernels::Kernel k : kernels::kAll) {
    if (k <= kernels::native()) runnable.push_back(k);
  }
  return runnable;
}

inline const char* kernel_name(kernels::Kernel k) {
  switch (k) {
  case kernels::Kernel::portable: return "Portable";
  case kernels::Kernel::sse2: return "Sse2";
  case kernels::Kernel::avx: return "Avx";
  case kernels::Kernel::avx512: return "Avx512";
  }
  return "?";
}

// A test suite whose bodies run once with every kernel the processor runs:
// TEST_P(EveryKernel, ...), instantiated with kEveryKernel.
class EveryKernel : public ::testing::TestWithParam<kernels::Kernel> {
private:
  kernels::KernelOverride kernel_{GetParam()};
};
#define TAMSEL_INSTANTIATE_EVERY_KERNEL(suite)                                                     \
  INSTANTIATE_TEST_SUITE_P(Kernels, suite,                                                         \
                           ::testing::ValuesIn(tamsel::test_support::runnable_kernels()),          \
                           [](const auto& info) {                                                  \
                             return tamsel::test_support::kernel_name(info.param);                 \
                           })

// four1, realft and twofft with the kernel in use against their references,
// bit for bit, on random data of n = 2^lg values, lg = from .. to, both signs.
using Transform = void (*)(Real*, const Integer&, const Integer&);
inline void transform_agrees(Transform fast, Transform plain, const char* name, int from, int to) {
  for (int lg = from; lg <= to; ++lg) {
    const Integer n = Integer{1} << lg;
    for (Integer sign : {1, -1}) {
      auto mine = random_values(2 * std::size_t(n), 11 * lg + (sign > 0));
      auto theirs = mine;
      fast(mine.data(), n, sign);
      plain(theirs.data(), n, sign);
      ASSERT_EQ(first_difference(mine, theirs), -1) << name << " n=" << n << " sign=" << sign;
    }
  }
}
// routine(data, n, +1) then routine(data, n, -1) gives n times the input,
// to rounding.
inline void expect_round_trip(Transform routine, Integer n, std::uint64_t seed) {
  const auto x = pseudo_random(2 * std::size_t(n), seed);
  auto data = x;
  routine(data.data(), n, 1);
  routine(data.data(), n, -1);
  for (Integer i = 0; i < 2 * n; ++i) {
    EXPECT_NEAR(data[i], n * x[i], 1e-12 * n) << "n=" << n << " at " << i;
  }
}

inline void four1_agrees(int from, int to) { transform_agrees(four1, reference::four1, "four1", from, to); }
inline void realft_agrees(int from, int to) {
  transform_agrees(realft, reference::realft, "realft", from, to);
}

inline void twofft_agrees(int from, int to) {
  for (int lg = from; lg <= to; ++lg) {
    const Integer n = Integer{1} << lg;
    const auto d1 = random_values(std::size_t(n), 17 * lg);
    const auto d2 = random_values(std::size_t(n), 17 * lg + 1);
    std::vector<Real> f1(2 * std::size_t(n)), f2(f1.size()), r1(f1.size()), r2(f1.size());
    twofft(d1.data(), d2.data(), f1.data(), f2.data(), n);
    reference::twofft(d1.data(), d2.data(), r1.data(), r2.data(), n);
    ASSERT_EQ(first_difference(f1, r1), -1) << "twofft n=" << n;
    ASSERT_EQ(first_difference(f2, r2), -1) << "twofft n=" << n;
  }
}

// sqrt(sum |got - want|^2 / sum |want|^2), summed in long double.
template <class T>
double relative_rms(const std::vector<conventional::Complex>& got, const std::vector<T>& want) {
  using Wide = std::complex<long double>;
  long double error = 0, power = 0;
  for (std::size_t k = 0; k < got.size(); ++k) {
    error += std::norm(Wide(got[k].real(), got[k].imag()) - Wide(want[k].real(), want[k].imag()));
    power += std::norm(Wide(want[k].real(), want[k].imag()));
  }
  return double(std::sqrt(error / power));
}

// The real parts of x through rfft against fft of them, and back through
// irfft against themselves: the relative RMS errors of the spectrum and of
// the round trip.
struct RealErrors {
  double spectrum;
  double trip;
};
inline RealErrors real_transform_errors(const std::vector<conventional::Complex>& x) {
  namespace conv = conventional;
  const std::size_t n = x.size();
  std::vector<Real> real(n), back(n);
  for (std::size_t j = 0; j < n; ++j) real[j] = x[j].real();
  std::vector<conv::Complex> spectrum(n / 2 + 1), full(real.begin(), real.end());
  conv::rfft(real, spectrum);
  conv::fft(full);
  full.resize(n / 2 + 1);
  conv::irfft(spectrum, back);
  const std::vector<conv::Complex> got(back.begin(), back.end()), want(real.begin(), real.end());
  return {relative_rms(spectrum, full), relative_rms(got, want)};
}

} // namespace tamsel::test_support

namespace tamsel::kernels {
// The kernel's name in the test log.
inline void PrintTo(Kernel k, std::ostream* out) { *out << test_support::kernel_name(k); }
} // namespace tamsel::kernels
