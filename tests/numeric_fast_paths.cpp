// SPDX-License-Identifier: BSD-3-Clause
// The toolkit's routines against the references of reference.h, bit for
// bit, on random data: every power-of-two size from 2^0 to 2^20, both
// signs, with every kernel this processor runs, the portable one included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/correlation.h>
#include "numeric/fft/engine.h"
#include "numeric/kernels.h"
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/stop.h>
#include <tamsel/numeric/tabulated.h>
#include "reference.h"

namespace {

using tamsel::Integer;
using tamsel::Real;
using tamsel::kernels::Kernel;
using tamsel::kernels::KernelOverride;

std::vector<Real> random_values(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<Real> dist(-3.7, 5.3);
  std::vector<Real> v(count);
  for (auto& x : v) x = dist(gen);
  return v;
}

// Index of the first Real whose bits differ, or -1.
long first_difference(const std::vector<Real>& a, const std::vector<Real>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i]))
      return long(i);
  }
  return -1;
}

// favr(xtab, ytab, n, 0.0, t) with the given kernel.
Real favr_with(Kernel kernel, const Real* xtab, const Real* ytab, Integer n, Real t) {
  const KernelOverride guard(kernel);
  return tamsel::favr(xtab, ytab, n, 0.0, t);
}

// The kernels this processor runs, narrowest first.
std::vector<Kernel> runnable_kernels() {
  std::vector<Kernel> runnable;
  for (Kernel k : tamsel::kernels::kAll) {
    if (k <= tamsel::kernels::native()) runnable.push_back(k);
  }
  return runnable;
}

const char* kernel_name(Kernel k) {
  switch (k) {
  case Kernel::portable: return "Portable";
  case Kernel::sse2: return "Sse2";
  case Kernel::avx: return "Avx";
  }
  return "?";
}

} // namespace

namespace tamsel::kernels {
// The kernel's name in the test log.
void PrintTo(Kernel k, std::ostream* out) { *out << kernel_name(k); }
} // namespace tamsel::kernels

namespace {

// Runs each test body once with every kernel the processor runs.
class FastPaths : public ::testing::TestWithParam<Kernel> {
 private:
  KernelOverride kernel_{GetParam()};
};

constexpr int kLargestLog2 = 20;

// The kernel chosen at start-up is in use; a guard runs another (never one
// wider than the processor allows) and puts back the one before it however
// its scope is left, an assertion's early return or an exception alike.
TEST(FastKernels, GuardRestoresTheKernel) {
  ASSERT_EQ(tamsel::kernels::active().kind, tamsel::kernels::native());
  {
    const KernelOverride outer(Kernel::portable);
    EXPECT_EQ(tamsel::kernels::active().kind, Kernel::portable);
    {
      const KernelOverride inner(Kernel::avx);
      EXPECT_EQ(tamsel::kernels::active().kind, tamsel::kernels::native());
    }
    EXPECT_EQ(tamsel::kernels::active().kind, Kernel::portable);
  }
  EXPECT_THROW(
      {
        const KernelOverride guard(Kernel::sse2);
        throw tamsel::Stop(1, "leaves the scope");
      },
      tamsel::Stop);
  EXPECT_EQ(tamsel::kernels::active().kind, tamsel::kernels::native());
}

TEST_P(FastPaths, Four1MatchesReference) {
  for (int lg = 0; lg <= kLargestLog2; ++lg) {
    const Integer n = Integer{1} << lg;
    for (Integer sign : {1, -1}) {
      auto fast = random_values(2 * std::size_t(n), 11 * lg + (sign > 0));
      auto plain = fast;
      tamsel::four1(fast.data(), n, sign);
      tamsel::reference::four1(plain.data(), n, sign);
      ASSERT_EQ(first_difference(fast, plain), -1) << "n=" << n << " sign=" << sign;
    }
  }
}

TEST_P(FastPaths, RealftMatchesReference) {
  for (int lg = 0; lg <= kLargestLog2; ++lg) {
    const Integer n = Integer{1} << lg;
    for (Integer sign : {1, -1}) {
      auto fast = random_values(2 * std::size_t(n), 13 * lg + (sign > 0));
      auto plain = fast;
      tamsel::realft(fast.data(), n, sign);
      tamsel::reference::realft(plain.data(), n, sign);
      ASSERT_EQ(first_difference(fast, plain), -1) << "n=" << n << " sign=" << sign;
    }
  }
}

TEST_P(FastPaths, TwofftMatchesReference) {
  for (int lg = 0; lg <= kLargestLog2; ++lg) {
    const Integer n = Integer{1} << lg;
    const auto d1 = random_values(std::size_t(n), 17 * lg);
    const auto d2 = random_values(std::size_t(n), 17 * lg + 1);
    std::vector<Real> f1(2 * std::size_t(n)), f2(f1.size()), r1(f1.size()), r2(f1.size());
    tamsel::twofft(d1.data(), d2.data(), f1.data(), f2.data(), n);
    tamsel::reference::twofft(d1.data(), d2.data(), r1.data(), r2.data(), n);
    ASSERT_EQ(first_difference(f1, r1), -1) << "n=" << n;
    ASSERT_EQ(first_difference(f2, r2), -1) << "n=" << n;
  }
}

TEST_P(FastPaths, CorrelMatchesReference) {
  for (Integer n = 2; n <= 8192; n *= 2) {
    const auto d1 = random_values(std::size_t(n), 19 * n);
    const auto d2 = random_values(std::size_t(n), 19 * n + 1);
    // A larger call first leaves its spectrum in the scratch behind the part
    // a smaller call uses.
    std::vector<Real> big(2 * 8192);
    const auto e = random_values(8192, 3);
    tamsel::correl(e.data(), e.data(), 8192, big.data());
    std::vector<Real> fast(2 * std::size_t(n)), plain(fast.size());
    tamsel::correl(d1.data(), d2.data(), n, fast.data());
    tamsel::reference::correl(d1.data(), d2.data(), n, plain.data());
    ASSERT_EQ(first_difference(fast, plain), -1) << "n=" << n;
    std::vector<Real> work(fast.size());
    const Real cross = tamsel::correl_zero_lag(d1.data(), d2.data(), n, work.data());
    ASSERT_EQ(std::bit_cast<std::uint64_t>(cross), std::bit_cast<std::uint64_t>(plain[0]))
        << "lag 0, n=" << n;
    tamsel::correl(d1.data(), d1.data(), n, fast.data());
    tamsel::reference::correl(d1.data(), d1.data(), n, plain.data());
    ASSERT_EQ(first_difference(fast, plain), -1) << "autocorrelation n=" << n;
    const Real power = tamsel::correl_zero_lag(d1.data(), d1.data(), n, work.data());
    ASSERT_EQ(std::bit_cast<std::uint64_t>(power), std::bit_cast<std::uint64_t>(plain[0]))
        << "lag 0 of the autocorrelation, n=" << n;
  }
}

// Lag 0 alone keeps what the full transform does with signed zeros,
// infinities, NaN and extreme magnitudes.
TEST_P(FastPaths, CorrelZeroLagKeepsSpecialValues) {
  constexpr Real inf = std::numeric_limits<Real>::infinity();
  const Real specials[] = {-0.0, 0.0, inf, -inf, std::numeric_limits<Real>::quiet_NaN(),
                           1.0e300, -2.5e-310, 4.9e-324};
  for (Integer n : {2, 8, 128, 1024}) {
    for (std::size_t which = 0; which < std::size(specials); ++which) {
      auto d1 = random_values(std::size_t(n), 23 * n + which);
      auto d2 = random_values(std::size_t(n), 29 * n + which);
      std::vector<Real> zeros(std::size_t(n), -0.0);
      d1[std::size_t(n) / 2] = specials[which];
      d2[1] = specials[(which + 3) % std::size(specials)];
      for (const auto* pair : {&d2, &zeros}) {
        std::vector<Real> plain(2 * std::size_t(n)), work(plain.size());
        tamsel::reference::correl(d1.data(), pair->data(), n, plain.data());
        const Real lag0 = tamsel::correl_zero_lag(d1.data(), pair->data(), n, work.data());
        if (std::isnan(plain[0])) {
          EXPECT_TRUE(std::isnan(lag0)) << "n=" << n << " special " << which;
        } else {
          EXPECT_EQ(std::bit_cast<std::uint64_t>(lag0), std::bit_cast<std::uint64_t>(plain[0]))
              << "n=" << n << " special " << which;
        }
      }
      std::vector<Real> plain(2 * std::size_t(n)), work(plain.size());
      tamsel::reference::correl(zeros.data(), zeros.data(), n, plain.data());
      EXPECT_EQ(std::bit_cast<std::uint64_t>(
                    tamsel::correl_zero_lag(zeros.data(), zeros.data(), n, work.data())),
                std::bit_cast<std::uint64_t>(plain[0]));
    }
  }
}

TEST_P(FastPaths, FournMatchesReference) {
  const std::vector<std::vector<Integer>> shapes = {
      {1},          {2},           {64},         {1 << 14},   {1, 1},
      {4, 2},       {2, 8},        {64, 64},     {1, 32},     {32, 1},
      {128, 256},   {2, 2, 2},     {8, 1, 4},    {16, 8, 32}, {64, 64, 64},
      {4, 2, 8, 2}, {1, 2, 1, 16}, {1024, 2, 4}, {2, 2048},   {8, 16, 1, 2}};
  for (const auto& shape : shapes) {
    Integer values = 1;
    for (Integer l : shape) values *= l;
    const Integer dims = Integer(shape.size());
    for (Integer sign : {1, -1}) {
      auto fast = random_values(2 * std::size_t(values), values + 5 * sign + dims);
      auto plain = fast;
      tamsel::fourn(fast.data(), shape.data(), dims, sign);
      tamsel::reference::fourn(plain.data(), shape.data(), dims, sign);
      std::string name;
      for (Integer l : shape) name += std::to_string(l) + " ";
      ASSERT_EQ(first_difference(fast, plain), -1) << "shape " << name << "sign=" << sign;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, FastPaths, ::testing::ValuesIn(runnable_kernels()),
                         [](const auto& info) { return kernel_name(info.param); });

// Lengths past the kept twiddle tables (2^20) make their factors as they go;
// the bit reversal of 2^24 values splits the index into three parts of
// 11, 2 and 11 bits.
TEST(FastFour1, BeyondKeptTablesMatchesReference) {
  const Integer n = Integer{1} << 21;
  for (Integer sign : {1, -1}) {
    auto fast = random_values(2 * std::size_t(n), 21 + sign);
    auto plain = fast;
    tamsel::four1(fast.data(), n, sign);
    tamsel::reference::four1(plain.data(), n, sign);
    ASSERT_EQ(first_difference(fast, plain), -1) << "sign=" << sign;
  }
}

TEST(FastBitReversal, LargeLength) {
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

// chebft with remembered cosines against the reference, which computes every
// cosine afresh, for every n up to the scratch size, also when n changes from
// call to call.
TEST(FastChebft, MatchesReference) {
  auto x = random_values(130, 1);
  auto y = random_values(130, 2);
  std::sort(x.begin(), x.end());
  const Integer last = 129;
  for (int round = 0; round < 2 * int(runnable_kernels().size()); ++round) {
    const Kernel which = runnable_kernels()[std::size_t(round / 2)];
    const KernelOverride kernel(which);
    for (Integer n : {1, 2, 3, 15, 16, 17, 31, 32, 33, 99, 100, 15, 7, 15}) {
      const Real a = -1.375 + 0.25 * (round % 2), b = 2.0625;
      const Real off = 0.0625;
      std::vector<Real> fast(100, -9.0), plain(100, -9.0);
      tamsel::chebft(a, b, fast.data(), n, tamsel::favr, x.data(), y.data(), last, off);
      tamsel::reference::chebft(a, b, plain.data(), n, tamsel::favr, x.data(), y.data(),
                                last, off);
      ASSERT_EQ(first_difference(fast, plain), -1) << "n=" << n << " " << kernel_name(which);
    }
  }
}

// favr's scan with each kernel against the portable one, the plain scan: ascending,
// descending, repeated and NaN abscissae, every table length up to 9 and
// abscissae on, between and outside the entries.
TEST(FastFavr, MatchesReference) {
  const Real nan = std::numeric_limits<Real>::quiet_NaN();
  const std::vector<std::vector<Real>> tables = {
      {0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 0.95, 1.0, 1.0, 1.0},
      {0.9, 0.7, 0.75, 0.3, 0.35, 0.8, 0.85, 0.2, 0.6, 0.65},
      {0.1, 0.1, 0.3, 0.3, 0.3, nan, 0.6, 0.7, nan, 0.9},
      {nan, 0.2, 0.4, 0.4, 0.5, 0.45, 0.7, 0.75, 0.8, nan}};
  const auto y = random_values(10, 5);
  for (Kernel which : runnable_kernels()) {
    for (const auto& x : tables) {
      for (Integer n = 0; n <= 9; ++n) {
        for (Real t : {-1.0, 0.1, 0.15, 0.2, 0.25, 0.3, 0.35, 0.4, 0.45, 0.5, 0.55, 0.6,
                       0.65, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95, 1.0, 2.0, nan}) {
          ASSERT_EQ(std::bit_cast<std::uint64_t>(favr_with(which, x.data(), y.data(), n, t)),
                    std::bit_cast<std::uint64_t>(
                        favr_with(Kernel::portable, x.data(), y.data(), n, t)))
              << "n=" << n << " t=" << t << " " << kernel_name(which);
        }
      }
    }
  }
}

// Long tables, where the scan tests many intervals at a time: a rising
// table with repeats, a NaN and a fall, searched at and between its entries.
TEST(FastFavr, LongTablesMatchReference) {
  std::vector<Real> x(130);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = 0.0078125 * Real(i) + 0.001;
  x[40] = x[41];
  x[77] = std::numeric_limits<Real>::quiet_NaN();
  x[100] = 0.2;
  const auto y = random_values(130, 6);
  for (Kernel which : runnable_kernels()) {
    for (Integer n : {15, 16, 17, 31, 32, 33, 64, 99, 127, 129}) {
      for (std::size_t i = 0; i < x.size(); ++i) {
        for (Real t : {x[i], x[i] + 0.003, x[i] - 0.0001}) {
          ASSERT_EQ(std::bit_cast<std::uint64_t>(favr_with(which, x.data(), y.data(), n, t)),
                    std::bit_cast<std::uint64_t>(
                        favr_with(Kernel::portable, x.data(), y.data(), n, t)))
              << "n=" << n << " t=" << t << " " << kernel_name(which);
        }
      }
    }
  }
}

// chebev_points against chebev point by point, for series of 1 to 20 terms
// and point counts that leave every remainder.
TEST(FastChebev, PointsMatchOneByOne) {
  const auto c = random_values(20, 9);
  const auto d = random_values(20, 11);
  auto x = random_values(80, 10);
  const Real a = -3.7, b = 5.3;
  for (Kernel which : runnable_kernels()) {
    const KernelOverride kernel(which);
    for (Integer m = 1; m <= 20; ++m) {
      for (Integer count : {0, 1, 7, 16, 17, 31, 32, 33, 37, 64, 80}) {
        std::vector<Real> fast(80, -1.0), first(80, -1.0), second(80, -1.0);
        tamsel::chebev_points(a, b, c.data(), m, x.data(), fast.data(), count);
        tamsel::chebev_points(a, b, c.data(), d.data(), m, x.data(), first.data(),
                              second.data(), count);
        for (Integer i = 0; i < count; ++i) {
          const Real one = tamsel::chebev(a, b, c.data(), m, x[i]);
          ASSERT_EQ(std::bit_cast<std::uint64_t>(fast[i]), std::bit_cast<std::uint64_t>(one))
              << "m=" << m << " i=" << i << " " << kernel_name(which);
          ASSERT_EQ(std::bit_cast<std::uint64_t>(first[i]), std::bit_cast<std::uint64_t>(one))
              << "two series, m=" << m << " i=" << i;
          ASSERT_EQ(std::bit_cast<std::uint64_t>(second[i]),
                    std::bit_cast<std::uint64_t>(tamsel::chebev(a, b, d.data(), m, x[i])))
              << "two series, m=" << m << " i=" << i;
        }
        if (count < 80) {
          EXPECT_EQ(fast[std::size_t(count)], -1.0) << "nothing past count";
          EXPECT_EQ(second[std::size_t(count)], -1.0) << "nothing past count";
        }
      }
    }
  }
  // A point out of range stops the run after the points before it, wherever
  // it stands; a NaN point passes the test.
  x[5] = std::numeric_limits<Real>::quiet_NaN();
  for (Kernel which : runnable_kernels()) {
    const KernelOverride kernel(which);
    for (std::size_t bad : {0, 3, 20, 78, 79}) {
      auto y = x;
      y[bad] = bad % 2 ? 5.5 : -3.75;
      std::vector<Real> fast(80, -1.0), first(80, -1.0), second(80, -1.0);
      EXPECT_THROW(tamsel::chebev_points(a, b, c.data(), 15, y.data(), fast.data(), 80),
                   tamsel::Stop);
      EXPECT_THROW(tamsel::chebev_points(a, b, c.data(), d.data(), 15, y.data(), first.data(),
                                         second.data(), 80),
                   tamsel::Stop);
      for (std::size_t i = 0; i < bad; ++i) {
        const Real one = tamsel::chebev(a, b, c.data(), 15, y[i]);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(fast[i]), std::bit_cast<std::uint64_t>(one)) << i;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(first[i]), std::bit_cast<std::uint64_t>(one)) << i;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(second[i]),
                  std::bit_cast<std::uint64_t>(tamsel::chebev(a, b, d.data(), 15, y[i])))
            << i;
      }
      EXPECT_EQ(fast[bad], -1.0);
      EXPECT_EQ(first[bad], -1.0);
      EXPECT_EQ(second[bad], -1.0);
    }
    std::vector<Real> fast(80, -1.0);
    tamsel::chebev_points(a, b, c.data(), 15, x.data(), fast.data(), 80);
    EXPECT_TRUE(std::isnan(fast[5]));
  }
}

} // namespace
