// The report's number field.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "driver/report.h"

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

} // namespace
