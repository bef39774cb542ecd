// SPDX-License-Identifier: BSD-3-Clause
// The transforms at 2^17 values and more against the references, bit for
// bit, with every kernel this processor runs: where the passes leave the
// block and the cache, where the kept twiddle tables end (2^21) and the
// factors are made as the passes go (also on fourn's lines a stride
// apart), and the bit reversal of 2^24 values.
// Labelled slow: run natively, left out of the checked and emulated runs.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/multidim_fft.h>

#include "numeric/fft/any_length.h"
#include "numeric/fft/engine.h"
#include "numeric_support.h"

namespace {

using namespace tamsel::test_support;

using tamsel::Integer;
using tamsel::Real;

// One routine at one size: its reference result is computed once, and the
// routine with every kernel table this processor runs must give it bit for
// bit (the reference is the costly part: it is not recomputed per table).
struct Case {
  const char* routine;
  int lg; // n = 2^lg
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.routine << " n=2^" << c.lg; }
class Large : public ::testing::TestWithParam<Case> {};

// want from the reference, then got() with each kernel table in turn.
template <class Got>
void every_kernel_gives(const std::vector<Real>& want, Got got, const std::string& what) {
  for (tamsel::kernels::Kernel k : runnable_kernels()) {
    const tamsel::kernels::KernelOverride use(k);
    ASSERT_EQ(first_difference(got(), want), -1) << what << " with " << kernel_name(k);
  }
}

TEST_P(Large, MatchesReferenceWithEveryKernel) {
  const std::string routine = GetParam().routine;
  const int lg = GetParam().lg;
  const Integer n = Integer{1} << lg;
  if (routine == "twofft") {
    const auto d1 = random_values(std::size_t(n), 17 * lg);
    const auto d2 = random_values(std::size_t(n), 17 * lg + 1);
    std::vector<Real> want(4 * std::size_t(n));
    tamsel::reference::twofft(d1.data(), d2.data(), want.data(), want.data() + 2 * n, n);
    every_kernel_gives(want, [&] {
      std::vector<Real> got(want.size());
      tamsel::twofft(d1.data(), d2.data(), got.data(), got.data() + 2 * n, n);
      return got;
    }, "twofft n=" + std::to_string(n));
    return;
  }
  // fourn: two lines a stride apart, each longer than the kept tables.
  const Integer shape[] = {2, n / 2};
  std::function<void(Real*, Integer)> fast, plain;
  if (routine == "fourn") {
    fast = [&](Real* d, Integer sign) { tamsel::fourn(d, shape, 2, sign); };
    plain = [&](Real* d, Integer sign) { tamsel::reference::fourn(d, shape, 2, sign); };
  } else {
    const bool complex = routine == "four1";
    const Transform f = complex ? Transform(tamsel::four1) : Transform(tamsel::realft);
    const Transform p = complex ? tamsel::reference::four1 : tamsel::reference::realft;
    fast = [f, n](Real* d, Integer sign) { f(d, n, sign); };
    plain = [p, n](Real* d, Integer sign) { p(d, n, sign); };
  }
  for (Integer sign : {1, -1}) {
    const auto input = random_values(2 * std::size_t(n), 11 * lg + (sign > 0));
    auto want = input;
    plain(want.data(), sign);
    every_kernel_gives(want, [&] {
      auto got = input;
      fast(got.data(), sign);
      return got;
    }, routine + " n=" + std::to_string(n) + " sign=" + std::to_string(sign));
  }
}

// Where the passes leave the block and the cache, and where the kept twiddle
// tables end (2^21) and the factors are made as the passes go.
std::vector<Case> large_cases() {
  std::vector<Case> cases;
  for (int lg = 17; lg <= 22; ++lg) cases.push_back({"four1", lg});
  for (int lg = 17; lg <= 21; ++lg) cases.push_back({"realft", lg});
  for (int lg = 17; lg <= 20; ++lg) cases.push_back({"twofft", lg});
  cases.push_back({"fourn", 23});
  return cases;
}
INSTANTIATE_TEST_SUITE_P(Sizes, Large, ::testing::ValuesIn(large_cases()),
                         [](const auto& info) {
                           return std::string(info.param.routine) + "_" +
                                  std::to_string(info.param.lg);
                         });

// The conventional layer's powers of two: every kernel table gives the
// portable one's bits where the passes leave the caches and the exact
// tables end (2^22 complex values, 2^23 reals, whose splits take factors
// of length 2^23); beyond, at 2^24, where the factors are made as the
// passes and the splits go, fft against the mixed-radix engine (within
// 0.6 eps sqrt(log2 n), as at 2^16 in numeric_conventional.cpp), rfft
// against fft of the real values, and both round trips.
TEST(LargeConventional, PowersOfTwo) {
  namespace conv = tamsel::conventional;
  using Complex = conv::Complex;
  const auto complex_values = [](std::size_t n, std::uint64_t seed) {
    const auto v = tamsel::test_support::pseudo_random(2 * n, seed);
    std::vector<Complex> z(n);
    for (std::size_t i = 0; i < n; ++i) z[i] = Complex(v[2 * i], v[2 * i + 1]);
    return z;
  };
  // The first kernel's results, and every kernel's in the same buffers
  // (fresh pages of these sizes cost more than the transforms on some
  // machines).
  const auto same_bits = [](const std::vector<Complex>& a, const std::vector<Complex>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0;
  };
  for (const int lg : {17, 22}) {
    const auto z = complex_values(std::size_t{1} << lg, lg);
    const auto real = random_values(std::size_t{2} << lg, lg + 1);
    std::vector<Complex> x(z.size()), spectrum((std::size_t{1} << lg) + 1), want_x, want_spectrum;
    for (tamsel::kernels::Kernel k : runnable_kernels()) {
      const tamsel::kernels::KernelOverride use(k);
      std::copy(z.begin(), z.end(), x.begin());
      conv::fft(x);
      conv::rfft(real, spectrum);
      if (want_x.empty()) {
        want_x = x;
        want_spectrum = spectrum;
      }
      ASSERT_TRUE(same_bits(x, want_x) && same_bits(spectrum, want_spectrum))
          << "n=2^" << lg << " " << kernel_name(k);
    }
  }
  const std::size_t n = std::size_t{1} << 24;
  const double eps = 0x1p-52;
  const auto z = complex_values(n, 24);
  auto x = z;
  conv::fft(x);
  auto mixed = z;
  tamsel::fft::any::forward(mixed);
  using tamsel::test_support::relative_rms;
  EXPECT_LE(relative_rms(x, mixed), 0.6 * eps * std::sqrt(24.0));
  conv::ifft(x);
  EXPECT_LE(relative_rms(x, z), 2 * eps * std::sqrt(24.0));

  const auto real = tamsel::test_support::real_transform_errors(z);
  EXPECT_LE(real.spectrum, 2 * eps * std::sqrt(24.0));
  EXPECT_LE(real.trip, 2 * eps * std::sqrt(24.0));
}

// Index i = (x, m, y) with x and y the top and bottom 11 bits and m the 2
// between; every value must land at rev(i).
TEST(LargeBitReversal, TwentyFourBits) {
  const int bits = 24;
  const Integer n = Integer{1} << bits;
  std::vector<Real> data(2 * std::size_t(n));
  for (Integer i = 0; i < n; ++i) {
    data[2 * std::size_t(i)] = Real(i);
    data[2 * std::size_t(i) + 1] = -Real(i) - 0.5;
  }
  tamsel::fft::bit_reverse(data.data(), n);
  long wrong = 0;
  for (Integer i = 0; i < n; ++i) {
    Integer r = 0;
    for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
    wrong += data[2 * std::size_t(r)] != Real(i) || data[2 * std::size_t(r) + 1] != -Real(i) - 0.5;
  }
  EXPECT_EQ(wrong, 0);
}

} // namespace
