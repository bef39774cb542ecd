// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/errors.h>
#include "numeric_support.h"

namespace {

using namespace tamsel::test_support;

using tamsel::four1;
using tamsel::Integer;
using tamsel::Real;

TEST(Four1, AgreesWithDirectSumForBothSigns) {
  for (Integer n : {1, 2, 4, 8, 16, 32, 128, 1024}) {
    for (Integer sign : {1, -1}) {
      const auto z = pseudo_random(2 * n, 1000 + n);
      auto buf = guarded(z);
      four1(buf.data() + kGuard, n, sign);
      expect_guards_intact(buf);
      const auto want = direct_dft(z, n, sign);
      // Rounding grows with log2(n) passes over sums of up to n terms.
      const Real tol = 1e-14 * l1_norm(z);
      for (Integer i = 0; i < 2 * n; ++i) {
        EXPECT_NEAR(buf[kGuard + i], static_cast<Real>(want[i]), tol)
            << "n=" << n << " sign=" << sign << " position " << i + 1;
      }
    }
  }
}

TEST(Four1, ForwardThenInverseGivesNTimesInput) {
  for (Integer n : {2, 8, 64, 512, 4096}) expect_round_trip(four1, n, 77 + n);
}

TEST(Four1, SmallCasesAreExact) {
  for (Integer sign : {1, -1}) {
    Real one[2] = {2.385, -0.731};
    four1(one, 1, sign);
    EXPECT_EQ(bits(one[0]), bits(2.385));
    EXPECT_EQ(bits(one[1]), bits(-0.731));

    Real two[4] = {2.385, -0.731, 1.618, 4.2};
    four1(two, 2, sign);
    EXPECT_EQ(bits(two[0]), bits(2.385 + 1.618));
    EXPECT_EQ(bits(two[1]), bits(-0.731 + 4.2));
    EXPECT_EQ(bits(two[2]), bits(2.385 - 1.618));
    EXPECT_EQ(bits(two[3]), bits(-0.731 - 4.2));
  }
  // A unit impulse transforms to exactly 1 + 0i everywhere.
  for (Integer n : {1, 2, 4, 16, 256, 1024}) {
    for (Integer sign : {1, -1}) {
      std::vector<Real> data(2 * n, 0.0);
      data[0] = 1.0;
      four1(data.data(), n, sign);
      for (Integer k = 0; k < n; ++k) {
        EXPECT_EQ(bits(data[2 * k]), bits(1.0)) << "n=" << n << " k=" << k;
        EXPECT_EQ(bits(data[2 * k + 1]), bits(0.0)) << "n=" << n << " k=" << k;
      }
    }
  }
}

TEST(Four1, NonPositiveLengthTouchesNothing) {
  for (Integer n : {0, -1, -8, std::numeric_limits<Integer>::min()}) {
    auto buf = guarded({});
    four1(buf.data() + kGuard, n, 1);
    expect_guards_intact(buf);
  }
}

TEST(Four1, RefusesBadLengthsBeforeTouchingData) {
  const struct { Integer n; const char* message; } cases[] = {
      {3, "four1: length 3 is not a power of two"},
      {12, "four1: length 12 is not a power of two"},
      {1000, "four1: length 1000 is not a power of two"},
      {2147483647, "four1: length 2147483647 is not a power of two"},
      {1 << 30, "four1: length 1073741824 is too large (at most 536870912)"},
  };
  for (const auto& c : cases) {
    const auto z = pseudo_random(2 * 1000, 5);
    auto data = z;
    expect_refusal([&] { four1(data.data(), c.n, 1); }, c.message);
    EXPECT_EQ(data, z) << "n=" << c.n;
  }
}

// Raw results of the present arithmetic, kept so that no rewrite of the
// routine changes a single bit unnoticed.
TEST(Four1, RegressionBits) {
  // Positions 1, 4, n + 1 and 2n, and the digest of all.
  const struct {
    Integer n;
    Integer sign;
    std::uint64_t want[4];
    std::uint64_t all;
  } cases[] = {
      {8, 1, {0xc02ef5581281731c, 0xc0277d154f2da45c, 0xc015a70d70b02eb5, 0x40129c2b84c400a4},
       0x37cc2405dd7b717e},
      {64, -1, {0x40242d53c4798ece, 0x402a322d28021782, 0x3fe5836c07529498, 0x403dd56d97cfe343},
       0xb43a669a8f315d14},
      {1024, 1, {0xc06480cd5bca9f9e, 0xc05d0a2f35d733ec, 0x40429808e97599aa, 0xc0546d13722c377b},
       0x4d8c08d6c17ee3bb},
      {4096, -1, {0xc067b6bc99017a59, 0x40729b88ceb67920, 0x404d7fdbf6eed4ac, 0xc06029334c50122a},
       0x8914869c755f0e27},
  };
  for (const auto& c : cases) {
    auto data = pseudo_random(2 * c.n, 20250 + c.n);
    four1(data.data(), c.n, c.sign);
    const Integer positions[4] = {1, 4, c.n + 1, 2 * c.n};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(bits(data[positions[i] - 1]), c.want[i]) << "n=" << c.n << " position " << positions[i];
    }
    EXPECT_EQ(digest(data.data(), data.size()), c.all) << "n=" << c.n;
  }
}

} // namespace
