// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/errors.h>
#include "numeric_support.h"

namespace {

using namespace tamsel::test_support;

using tamsel::correl;
using tamsel::Integer;
using tamsel::Real;

// result[m] = sum_j d1[(j + m) mod n] * d2[j], in long double.
long double direct_lag(const std::vector<Real>& d1, const std::vector<Real>& d2,
                       Integer m) {
  const Integer n = static_cast<Integer>(d1.size());
  long double sum = 0.0L;
  for (Integer j = 0; j < n; ++j) sum += static_cast<long double>(d1[(j + m) % n]) * d2[j];
  return sum;
}

Real product_scale(const std::vector<Real>& d1, const std::vector<Real>& d2) {
  Real a = 0.0, b = 0.0;
  for (Real x : d1) a += x * x;
  for (Real x : d2) b += x * x;
  return std::sqrt(a * b);
}

TEST(Correl, SmallestLengthIsExact) {
  const Real d1[2] = {2.0, 3.0};
  const Real d2[2] = {5.0, 7.0};
  Real result[4]; // 2n Reals: the upper half is work space
  correl(d1, d2, 2, result);
  EXPECT_EQ(bits(result[0]), bits(31.0));
  EXPECT_EQ(bits(result[1]), bits(29.0));
}

TEST(Correl, AgreesWithDirectSumAtEveryLag) {
  for (Integer n : {2, 4, 16, 128, 1024, 8192}) {
    const auto d1 = pseudo_random(n, 100 + n);
    const auto d2 = pseudo_random(n, 200 + n);
    std::vector<Real> buf(2 * n + 8, kGuardValue);
    correl(d1.data(), d2.data(), n, buf.data());
    for (Integer i = 2 * n; i < 2 * n + 8; ++i) EXPECT_EQ(bits(buf[i]), bits(kGuardValue));
    const Real tol = 1e-14 * std::log2(n) * product_scale(d1, d2);
    const Integer step = n > 1024 ? 97 : 1; // the longest length at a sample of lags
    for (Integer m = 0; m < n; m += step) {
      EXPECT_NEAR(buf[m], static_cast<Real>(direct_lag(d1, d2, m)), tol) << "n=" << n << " lag " << m;
    }
  }
}

TEST(Correl, LagZeroIsThePlainSumOfProducts) {
  const Integer n = 128;
  const auto d1 = pseudo_random(n, 11);
  const auto d2 = pseudo_random(n, 12);
  std::vector<Real> result(2 * n);
  correl(d1.data(), d2.data(), n, result.data());
  const long double sum = direct_lag(d1, d2, 0);
  EXPECT_NEAR(result[0], static_cast<Real>(sum), 1e-12 * product_scale(d1, d2));

  // The same array twice gives the sum of squares and a symmetric result.
  correl(d1.data(), d1.data(), n, result.data());
  EXPECT_NEAR(result[0], static_cast<Real>(direct_lag(d1, d1, 0)), 1e-12 * product_scale(d1, d1));
  for (Integer m = 1; m < n; ++m) EXPECT_NEAR(result[m], result[n - m], 1e-11) << m;
}

TEST(Correl, ShiftedCopyPeaksAtTheShift) {
  const Integer n = 256;
  const auto d2 = pseudo_random(n, 13);
  std::vector<Real> d1(n), result(2 * n);
  for (Integer s : {0, 1, 37, 128, 255}) {
    for (Integer j = 0; j < n; ++j) d1[(j + s) % n] = d2[j];
    correl(d1.data(), d2.data(), n, result.data());
    const auto peak = std::max_element(result.begin(), result.begin() + n) - result.begin();
    EXPECT_EQ(peak, s);
  }
}

TEST(Correl, RepeatedCallIsIdenticalWhateverRanBetween) {
  const Integer n = 128;
  const auto d1 = pseudo_random(n, 14);
  const auto d2 = pseudo_random(n, 15);
  std::vector<Real> first(2 * n), second(2 * n);
  correl(d1.data(), d2.data(), n, first.data());

  const Integer big = 8192;
  const auto other = pseudo_random(big, 16);
  std::vector<Real> scratch(2 * big);
  correl(other.data(), other.data(), big, scratch.data());

  correl(d1.data(), d2.data(), n, second.data());
  EXPECT_EQ(digest(first.data(), n), digest(second.data(), n));
}

TEST(Correl, RefusesBadLengthsBeforeWriting) {
  for (Integer n : {0, 1, -2, 3, 12, 16384, std::numeric_limits<Integer>::min()}) {
    const auto d = pseudo_random(32, 17);
    std::vector<Real> result(32, kGuardValue);
    expect_refusal([&] { correl(d.data(), d.data(), n, result.data()); },
                "correl: length " + std::to_string(n) + " is not a power of two from 2 to 8192");
    EXPECT_EQ(result, std::vector<Real>(32, kGuardValue)) << "n=" << n;
    EXPECT_THROW(tamsel::correl_zero_lag(d.data(), d.data(), n, result.data()),
                 tamsel::InvalidArgument);
    EXPECT_EQ(result, std::vector<Real>(32, kGuardValue)) << "lag 0, n=" << n;
  }
}

// Raw results of the present arithmetic, kept so that no rewrite of the
// routine changes a single bit unnoticed.
TEST(Correl, RegressionBits) {
  const struct {
    Integer n;
    std::uint64_t lag[3]; // positions 1, 2 and n
    std::uint64_t all;    // digest of positions 1..n
  } cases[] = {
      {2, {0x4030fd0ac3b411f5ULL, 0x4032f97df9f1a60fULL, 0x4032f97df9f1a60fULL}, 0xf12796195e255acdULL},
      {16, {0xc044ea21446dafdaULL, 0xc04744c384a661daULL, 0x4043af100fe91febULL}, 0x5eec6b6803a39913ULL},
      {128, {0xc0627b57de7f7b51ULL, 0xc0405df74174a358ULL, 0xc04f39fa36aaa5f7ULL}, 0x923fd4bb220f5917ULL},
      {8192, {0xc08dfaaf304679c4ULL, 0xc06f9d56b4468ae7ULL, 0xc092c280054047e2ULL}, 0xa0b410f321063ccbULL},
  };
  for (const auto& c : cases) {
    const auto d1 = pseudo_random(c.n, 41000 + c.n);
    const auto d2 = pseudo_random(c.n, 42000 + c.n);
    std::vector<Real> result(2 * c.n);
    correl(d1.data(), d2.data(), c.n, result.data());
    EXPECT_EQ(bits(result[0]), c.lag[0]) << "n=" << c.n;
    EXPECT_EQ(bits(result[1]), c.lag[1]) << "n=" << c.n;
    EXPECT_EQ(bits(result[c.n - 1]), c.lag[2]) << "n=" << c.n;
    EXPECT_EQ(digest(result.data(), c.n), c.all) << "n=" << c.n;
  }
}

} // namespace
