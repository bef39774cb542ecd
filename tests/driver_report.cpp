// SPDX-License-Identifier: BSD-3-Clause
// The report's number field, and the other texts of numbers the run and the
// picture write.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "driver/report.h"
#include "driver/warnings.h"
#include "plot/svg_text.h"

namespace {

std::string field(double v) {
  char text[8];
  tamsel::format_field(v, text);
  return text;
}

TEST(NumberField, FixedPointWithFourDecimalsInSevenCharacters) {
  EXPECT_EQ(field(0.5), " 0.5000");
  EXPECT_EQ(field(-0.5), "-0.5000");
  EXPECT_EQ(field(12.5), "12.5000");
  EXPECT_EQ(field(-9.99994), "-9.9999");
  EXPECT_EQ(field(99.99994), "99.9999");
  EXPECT_EQ(field(0.416002), " 0.4160");
  EXPECT_EQ(field(0.99999999), " 1.0000");
  EXPECT_EQ(field(-0.99999999), "-1.0000");
}

TEST(NumberField, RoundsTheExactBinaryValueTiesToEven) {
  EXPECT_EQ(field(0.00005), " 0.0001");  // the double lies just above the tie
  EXPECT_EQ(field(0.00015), " 0.0001");  // just below
  EXPECT_EQ(field(1.03125), " 1.0312");  // an exact tie goes to even
  EXPECT_EQ(field(1.09375), " 1.0938");
}

TEST(NumberField, NegativeZeroOverflowAndSpecialValues) {
  EXPECT_EQ(field(-0.0), "-0.0000");
  EXPECT_EQ(field(-0.00004), "-0.0000");
  EXPECT_EQ(field(0.0), " 0.0000");
  EXPECT_EQ(field(99.99995), "99.9999"); // the double lies just below the tie
  EXPECT_EQ(field(99.999951), "*******");
  EXPECT_EQ(field(100.0), "*******");
  EXPECT_EQ(field(-9.99995), "*******");
  EXPECT_EQ(field(-1e300), "*******");
  EXPECT_EQ(field(std::numeric_limits<double>::quiet_NaN()), "    NaN");
  EXPECT_EQ(field(-std::numeric_limits<double>::quiet_NaN()), "    NaN");
  double zero = 0.0;
  EXPECT_EQ(field(zero / zero), "    NaN");
  EXPECT_EQ(field(INFINITY), "    Inf");
  EXPECT_EQ(field(-INFINITY), "   -Inf");
}

// The field against printf's own "%7.4f" (7 asterisks where that is longer)
// on values of every size and sign, subnormals, and exact ties at every
// scale from 2^-1 to 2^-16.
TEST(NumberField, AgreesWithPrintfEverywhere) {
  auto expected = [](double v) {
    char text[400];
    const int length = std::snprintf(text, sizeof text, "%7.4f", v);
    return length == 7 ? std::string(text) : std::string("*******");
  };
  std::mt19937_64 gen(20261207);
  std::uniform_real_distribution<double> near(-12.0, 120.0);
  std::uniform_real_distribution<double> scale(-330.0, 3.0);
  std::uniform_int_distribution<long> tie(-200000, 2000000);
  for (int i = 0; i < 300000; ++i) {
    const double values[] = {near(gen), std::pow(10.0, scale(gen)) * (i % 2 ? 1.0 : -1.0),
                             std::ldexp(double(tie(gen)), -int(1 + i % 16))};
    for (double v : values) ASSERT_EQ(field(v), expected(v)) << std::hexfloat << v;
  }
  for (double v : {4.9e-324, -4.9e-324, 2.2250738585072014e-308, 0.00005, 99.99995, 127.99999,
                   128.0, -10.0, -9.99995, 9.99995, 0.49999999999999994})
    EXPECT_EQ(field(v), expected(v)) << std::hexfloat << v;
}

// The texts written without printf (shortest, the picture's bounds and tick
// labels) against printf's "%.*g" and "%.*f" and strtod in the C locale,
// the test's own: random bit patterns (every exponent, NaN, infinities),
// short decimals, and binary fractions, whose decimal digits end in 5 and
// so make ties.
TEST(NumberText, AgreesWithPrintfAndStrtod) {
  auto shortest_by_printf = [](double v, int least) {
    char text[32];
    for (int digits = least; digits <= 17; ++digits) {
      std::snprintf(text, sizeof text, "%.*g", digits, v);
      if (std::strtod(text, nullptr) == v) break;
    }
    return std::string(text);
  };
  std::mt19937_64 gen(20261208);
  std::uniform_int_distribution<int> place(-25, 25), decimals(0, 20);
  std::uniform_int_distribution<long> mantissa(-999999, 999999);
  for (int i = 0; i < 15000; ++i) {
    const double values[] = {std::bit_cast<double>(gen()),
                             double(mantissa(gen)) * std::pow(10.0, place(gen)),
                             std::ldexp(double(mantissa(gen)), -decimals(gen))};
    for (double v : values) {
      char text[32];
      tamsel::shortest(v, text);
      int least = 1;
      while (least < 17 && std::fabs(v) >= std::pow(10.0, least) && std::isfinite(v)) ++least;
      ASSERT_EQ(std::string(text), shortest_by_printf(v, least)) << std::hexfloat << v;
      tamsel::shortest_from(v, 6, text);
      ASSERT_EQ(std::string(text), shortest_by_printf(v, 6)) << std::hexfloat << v;
      const int d = decimals(gen);
      const double scaled = std::isfinite(v) ? std::fmod(v, 1e7) : v;
      char printed[400];
      std::snprintf(printed, sizeof printed, "%.*f", d, scaled);
      ASSERT_EQ(tamsel::svg::fixed(scaled, d), printed) << std::hexfloat << scaled << " " << d;
    }
  }
}

} // namespace
