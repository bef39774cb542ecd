// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

#include <tamsel/numeric/tabulated.h>

#include "numeric_support.h"

namespace {

using tamsel::favr;
using tamsel::Integer;
using tamsel::Real;

using tamsel::test_support::bits;
using tamsel::test_support::kNaN;


// favr must be usable as the function argument of chebft.
static_assert(std::is_same_v<decltype(&favr), Real (*)(const Real*, const Real*,
                                                        const Integer&, const Real&,
                                                        const Real&)>);

TEST(Favr, EmptyTableReadsNothingAndGivesZero) {
  // Null tables: any read would crash.
  const Real off = 0.385;
  const Real x = 0.2;
  for (Integer n : {0, -1, -129}) {
    EXPECT_EQ(bits(favr(nullptr, nullptr, n, off, x)), bits(0.0)) << n;
  }
}

TEST(Favr, IntervalsAreOpenLeftClosedRight) {
  const Real xt[4] = {0.125, 0.385, 0.61, 0.9};
  const Real yt[4] = {0.71, 2.385, -1.93, 0.455};
  const Integer n = 3;
  const Real zero = 0.0;
  auto at = [&](Real t) { return favr(xt, yt, n, zero, t); };

  // At or below the first abscissa, and beyond the last: no interval.
  EXPECT_EQ(bits(at(0.125)), bits(0.0));
  EXPECT_EQ(bits(at(0.1)), bits(0.0));
  EXPECT_EQ(bits(at(std::nextafter(0.9, 1.0))), bits(0.0));
  EXPECT_EQ(bits(at(-std::numeric_limits<Real>::infinity())), bits(0.0));
  // Just inside the first interval: close to ytab(0), not zero.
  EXPECT_NEAR(at(std::nextafter(0.125, 1.0)), 0.71, 1e-14);

  // t = xtab(2) belongs to interval 2, which ends there.  Its formula lands
  // one ulp off ytab(2); interval 3 would give ytab(2) exactly.
  const Real slope2 = (yt[2] - yt[1]) / (xt[2] - xt[1]);
  const Real expect2 = yt[1] + (xt[2] - xt[1]) * slope2;
  ASSERT_NE(bits(expect2), bits(yt[2]));
  EXPECT_EQ(bits(at(0.61)), bits(expect2));
  // The closing abscissa is inside the last interval.
  EXPECT_NEAR(at(0.9), 0.455, 1e-15);
}

TEST(Favr, AbscissaIsOffsetPlusLocalCoordinate) {
  const Real xt[3] = {0.0, 0.3, 1.0};
  const Real yt[3] = {0.0, 3.0, 0.0};
  const Integer n = 2;
  // 0.1 + 0.2 rounds to just above 0.3, so interval 2 serves it, not 1.
  const Real off = 0.1;
  const Real x = 0.2;
  const Real t = off + x;
  ASSERT_GT(t, 0.3);
  const Real zero = 0.0;
  EXPECT_EQ(bits(favr(xt, yt, n, off, x)), bits(favr(xt, yt, n, zero, t)));
  EXPECT_LT(favr(xt, yt, n, off, x), 3.0);
  // A window below the table sees zeros.
  const Real below = -0.5;
  EXPECT_EQ(bits(favr(xt, yt, n, below, x)), bits(0.0));
}

// Where the abscissae repeat or fall back, the first interval that holds t
// serves it, and an empty one serves nothing (no division by zero).
TEST(Favr, FirstIntervalHoldingTServes) {
  const Real repeated_x[4] = {0.0, 0.4, 0.4, 1.0}; // interval 2 is (0.4, 0.4]: empty
  const Real repeated_y[4] = {1.5, 2.5, 7.0, 8.0};
  const Real crossing_x[4] = {0.0, 1.0, 0.5, 2.0}; // intervals 1 and 3 overlap
  const Real crossing_y[4] = {0.0, 2.0, 10.0, 40.0};
  const struct {
    const Real* xt;
    const Real* yt;
    Real t, want, tolerance;
  } cases[] = {
      {repeated_x, repeated_y, 0.4, 2.5, 1e-15}, // interval 1 ends at 0.4
      // Just above 0.4, interval 3, which starts from ytab(2) = 7.
      {repeated_x, repeated_y, std::nextafter(0.4, 1.0), 7.0, 1e-14},
      {crossing_x, crossing_y, 0.75, 1.5, 1e-15},              // intervals 1 and 3: 1 wins
      {crossing_x, crossing_y, 1.25, 10.0 + 0.75 * 20.0, 1e-13}, // interval 3 alone
  };
  const Integer n = 3;
  const Real zero = 0.0;
  for (const auto& c : cases) EXPECT_NEAR(favr(c.xt, c.yt, n, zero, c.t), c.want, c.tolerance);

  // Descending table: nothing matches anywhere.
  const Real xd[3] = {0.9, 0.5, 0.2};
  const Real yd[3] = {1.0, 2.0, 3.0};
  const Integer two = 2;
  for (Real t : {0.2, 0.3, 0.5, 0.7, 0.9}) {
    EXPECT_EQ(bits(favr(xd, yd, two, zero, t)), bits(0.0)) << t;
  }
}

TEST(Favr, NaNs) {
  const Real xt[4] = {0.0, 0.25, 0.5, 1.0};
  const Real yt[4] = {1.0, 2.0, 3.0, 4.0};
  const Integer n = 3;
  const Real zero = 0.0;
  const Real half = 0.5;
  // A NaN abscissa, through either argument, matches nothing.
  EXPECT_EQ(bits(favr(xt, yt, n, kNaN, half)), bits(0.0));
  EXPECT_EQ(bits(favr(xt, yt, n, zero, kNaN)), bits(0.0));

  // A NaN abscissa entry disables the two intervals that touch it.
  const Real xn[4] = {0.0, kNaN, 0.5, 1.0};
  EXPECT_EQ(bits(favr(xn, yt, n, zero, 0.1)), bits(0.0));
  EXPECT_EQ(bits(favr(xn, yt, n, zero, 0.4)), bits(0.0));
  EXPECT_NEAR(favr(xn, yt, n, zero, 0.75), 3.5, 1e-15);

  // A NaN value passes into the intervals that use it, and no others.
  const Real yn[4] = {1.0, kNaN, 3.0, 4.0};
  EXPECT_TRUE(std::isnan(favr(xt, yn, n, zero, 0.1)));
  EXPECT_TRUE(std::isnan(favr(xt, yn, n, zero, 0.4)));
  EXPECT_NEAR(favr(xt, yn, n, zero, 0.75), 3.5, 1e-15);
}

TEST(Favr, ReproducesAStraightLine) {
  // Irregular ascending abscissae on the line y = 2.385 x - 0.71: the
  // interpolant is the line itself, up to a few roundings.
  const Real xt[7] = {-0.83, -0.4117, 0.0213, 0.385, 0.3851, 0.72, 1.509};
  Real yt[7];
  for (int i = 0; i < 7; ++i) {
    yt[i] = 2.385 * xt[i] - 0.71;
  }
  const Integer n = 6;
  const Real off = 0.137;
  for (int s = 1; s < 400; ++s) {
    const Real x = -0.967 + s * (2.339 / 400.0);
    const Real t = off + x;
    EXPECT_NEAR(favr(xt, yt, n, off, x), 2.385 * t - 0.71, 4e-15) << t;
  }
}

// The order test: equal neighbours are allowed; a fall or a NaN anywhere,
// the closing entry included, is not.
TEST(AscendingTable, AcceptsOnlyTablesThatNeverDescend) {
  const Real up[6] = {0.0, 0.125, 0.125, 0.5, 0.75, 1.0};
  EXPECT_TRUE(tamsel::ascending_table(up, 5));
  EXPECT_TRUE(tamsel::ascending_table(up, 0));
  EXPECT_TRUE(tamsel::ascending_table(up, -3));
  const Real falls[6] = {0.0, 0.125, 0.5, 0.375, 0.75, 1.0};
  EXPECT_FALSE(tamsel::ascending_table(falls, 5));
  EXPECT_TRUE(tamsel::ascending_table(falls, 2));
  const Real closing[4] = {0.0, 0.5, 1.25, 1.0};
  EXPECT_FALSE(tamsel::ascending_table(closing, 3));
  const Real nan[4] = {0.0, 0.5, kNaN, 1.0};
  EXPECT_FALSE(tamsel::ascending_table(nan, 3));
  EXPECT_FALSE(tamsel::ascending_table(nan, 2));
  EXPECT_TRUE(tamsel::ascending_table(nan, 1));
}

// Bisection against the scan, bit for bit: ascending tables with repeats,
// negative and infinite abscissae, every length up to 129, at, between and
// beyond the entries and at NaN.
TEST(FavrAscending, GivesTheValuesOfTheScan) {
  std::mt19937_64 gen(41);
  std::uniform_real_distribution<Real> step(0.0, 0.03);
  std::uniform_real_distribution<Real> value(-2.5, 3.1);
  for (int table = 0; table < 6; ++table) {
    std::vector<Real> x(130), y(130);
    x[0] = table == 3 ? -std::numeric_limits<Real>::infinity() : -0.35 * table;
    for (std::size_t i = 1; i < x.size(); ++i) {
      x[i] = x[i - 1] + (int(i % 7) == table ? 0.0 : step(gen));
      if (table == 3 && i == 1) x[i] = -0.2;
    }
    if (table == 4) x[129] = std::numeric_limits<Real>::infinity();
    for (auto& v : y) v = value(gen);
    for (Integer n = 0; n <= 129; ++n) {
      ASSERT_TRUE(tamsel::ascending_table(x.data(), n));
      std::vector<Real> ts = {kNaN, x[0] - 1.0, std::numeric_limits<Real>::infinity()};
      for (Integer i = 0; i <= n; ++i) {
        ts.push_back(x[std::size_t(i)]);
        ts.push_back(x[std::size_t(i)] + 0.0021);
        ts.push_back(std::nextafter(x[std::size_t(i)], -1e300));
      }
      for (Real t : ts) {
        const Real off = 0.0625;
        const Real local = t - off;
        ASSERT_EQ(bits(tamsel::favr_ascending(x.data(), y.data(), n, off, local)),
                  bits(favr(x.data(), y.data(), n, off, local)))
            << "table " << table << " n=" << n << " t=" << t;
      }
    }
  }
}

} // namespace
