// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/multidim_fft.h>
#include "reference.h"

namespace {

using tamsel::Integer;
using tamsel::Real;

using Shape = std::vector<Integer>;

Integer count(const Shape& lengths) {
  Integer n = 1;
  for (Integer l : lengths) n *= l;
  return n;
}

std::vector<Real> randomData(Integer nvalues, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<Real> dist(-3.7, 3.7);
  std::vector<Real> v(2 * static_cast<std::size_t>(nvalues));
  for (Real& x : v) x = dist(gen);
  return v;
}

std::vector<Real> transformed(std::vector<Real> data, const Shape& lengths,
                              Integer sign) {
  const Integer dims = static_cast<Integer>(lengths.size());
  tamsel::fourn(data.data(), lengths.data(), dims, sign);
  return data;
}

// Index of the first Real whose bits differ, or -1.
long firstDifference(const std::vector<Real>& a, const std::vector<Real>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i])) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

// The reference four1 applied to every line of dimension 1, then of
// dimension 2, and so on; each line gathered, transformed and put back.
std::vector<Real> lineByLine(std::vector<Real> data, const Shape& lengths,
                             Integer sign) {
  const Integer n = count(lengths);
  Integer below = 1;
  for (Integer len : lengths) {
    const Integer above = n / (len * below);
    std::vector<Real> line(2 * static_cast<std::size_t>(len));
    for (Integer blk = 0; blk < above; ++blk) {
      for (Integer first = 0; first < below; ++first) {
        const Integer base = blk * len * below + first;
        for (Integer k = 0; k < len; ++k) {
          line[2 * k] = data[2 * (base + k * below)];
          line[2 * k + 1] = data[2 * (base + k * below) + 1];
        }
        tamsel::reference::four1(line.data(), len, sign);
        for (Integer k = 0; k < len; ++k) {
          data[2 * (base + k * below)] = line[2 * k];
          data[2 * (base + k * below) + 1] = line[2 * k + 1];
        }
      }
    }
    below *= len;
  }
  return data;
}

TEST(Fourn, AgreesBitForBitWithFour1AlongEachDimension) {
  const std::vector<Shape> shapes = {
      {8},       {1024},       {2},         {16, 8},       {2, 64},
      {64, 2},   {4, 1, 8},    {64, 32, 16}, {2, 2, 2, 2, 2}, {8, 4, 1, 16, 2}};
  unsigned seed = 11;
  for (const Shape& shape : shapes) {
    const std::vector<Real> x = randomData(count(shape), seed++);
    for (Integer sign : {1, -1}) {
      EXPECT_EQ(firstDifference(transformed(x, shape, sign), lineByLine(x, shape, sign)), -1)
          << "shape of " << shape.size() << " dimensions, first length "
          << shape[0] << ", sign " << sign;
    }
  }
}

TEST(Fourn, LengthsOfOneChangeNothing) {
  const std::vector<Real> x = randomData(8, 3);
  for (Integer sign : {1, -1}) {
    const std::vector<Real> plain = transformed(x, {4, 2}, sign);
    EXPECT_EQ(firstDifference(transformed(x, {4, 1, 2}, sign), plain), -1);
    EXPECT_EQ(firstDifference(transformed(x, {1, 4, 1, 1, 2, 1}, sign), plain), -1);
    const std::vector<Real> eight = transformed(x, {8}, sign);
    EXPECT_EQ(firstDifference(transformed(x, {1, 8}, sign), eight), -1);
    EXPECT_EQ(firstDifference(transformed(x, {8, 1}, sign), eight), -1);
  }
  // Only lengths of 1: nothing to transform, whatever the sign.
  const std::vector<Real> one = randomData(1, 4);
  for (Integer sign : {1, -1, 0}) {
    EXPECT_EQ(firstDifference(transformed(one, {1, 1, 1}, sign), one), -1);
  }
}

TEST(Fourn, NoDimensionsTouchesNothing) {
  // Neither data nor lengths may be read: both can be null.
  for (Integer dims : {0, -1, -40}) {
    EXPECT_NO_THROW(tamsel::fourn(nullptr, nullptr, dims, 1));
  }
}

TEST(Fourn, LengthTwoIsSumAndDifference) {
  const Real x0r = 2.385, x0i = -0.4172, x1r = 1.0931, x1i = 3.25;
  for (Integer sign : {1, -1}) {
    const std::vector<Real> y = transformed({x0r, x0i, x1r, x1i}, {2}, sign);
    EXPECT_EQ(firstDifference(y, {x0r + x1r, x0i + x1i, x0r - x1r, x0i - x1i}), -1);
  }
}

TEST(Fourn, SignGivesTheExponent) {
  // z = (0, 1, 0, 0): Z_k = exp(sign 2pi i k / 4).
  const std::vector<Real> x = {0, 0, 1, 0, 0, 0, 0, 0};
  const std::vector<Real> plus = {1, 0, 0, 1, -1, 0, 0, -1};
  const std::vector<Real> minus = {1, 0, 0, -1, -1, 0, 0, 1};
  for (Integer sign : {1, -1}) {
    const std::vector<Real> y = transformed(x, {4}, sign);
    const std::vector<Real>& want = sign == 1 ? plus : minus;
    for (std::size_t i = 0; i < y.size(); ++i) {
      EXPECT_NEAR(y[i], want[i], 1e-15) << "Real " << i << ", sign " << sign;
    }
  }
}

TEST(Fourn, FirstIndexVariesFastest) {
  // Value 1 at indices (0, 1) of a 2 x 2 array: complex position 2.
  for (Integer sign : {1, -1}) {
    const std::vector<Real> y = transformed({0, 0, 0, 0, 1, 0, 0, 0}, {2, 2}, sign);
    EXPECT_EQ(firstDifference(y, {1, 0, 1, 0, -1, 0, -1, 0}), -1);
  }
}

TEST(Fourn, ImpulseAndConstantAreExact) {
  const std::vector<Shape> shapes = {{16}, {8, 4}, {2, 16, 4}, {4, 1, 8, 2}};
  const Real cr = 2.385, ci = -0.6093;
  for (const Shape& shape : shapes) {
    const Integer n = count(shape);
    for (Integer sign : {1, -1}) {
      std::vector<Real> impulse(2 * n, 0.0);
      impulse[0] = 1.0;
      std::vector<Real> ones(2 * n);
      for (Integer p = 0; p < n; ++p) {
        ones[2 * p] = 1.0;
        ones[2 * p + 1] = 0.0;
      }
      EXPECT_EQ(firstDifference(transformed(impulse, shape, sign), ones), -1);

      std::vector<Real> flat(2 * n);
      for (Integer p = 0; p < n; ++p) {
        flat[2 * p] = cr;
        flat[2 * p + 1] = ci;
      }
      const std::vector<Real> y = transformed(flat, shape, sign);
      EXPECT_EQ(y[0], n * cr);
      EXPECT_EQ(y[1], n * ci);
      for (std::size_t i = 2; i < y.size(); ++i) {
        ASSERT_EQ(y[i], 0.0) << "Real " << i << ", N = " << n << ", sign " << sign;
      }
    }
  }
}

TEST(Fourn, MatchesDirectSum) {
  const Shape shape = {4, 2, 8};
  const std::vector<Real> x = randomData(count(shape), 21);
  for (Integer sign : {1, -1}) {
    const std::vector<Real> y = transformed(x, shape, sign);
    for (Integer k3 = 0; k3 < 8; ++k3)
      for (Integer k2 = 0; k2 < 2; ++k2)
        for (Integer k1 = 0; k1 < 4; ++k1) {
          long double sr = 0, si = 0;
          for (Integer j3 = 0; j3 < 8; ++j3)
            for (Integer j2 = 0; j2 < 2; ++j2)
              for (Integer j1 = 0; j1 < 4; ++j1) {
                const long double turns = (j1 * k1 % 4) / 4.0L +
                                          (j2 * k2 % 2) / 2.0L +
                                          (j3 * k3 % 8) / 8.0L;
                const long double angle = sign * 2 * std::numbers::pi_v<long double> * turns;
                const Integer jp = j1 + 4 * (j2 + 2 * j3);
                const long double xr = x[2 * jp], xi = x[2 * jp + 1];
                sr += xr * std::cos(angle) - xi * std::sin(angle);
                si += xr * std::sin(angle) + xi * std::cos(angle);
              }
          const Integer kp = k1 + 4 * (k2 + 2 * k3);
          EXPECT_NEAR(y[2 * kp], static_cast<Real>(sr), 1e-12);
          EXPECT_NEAR(y[2 * kp + 1], static_cast<Real>(si), 1e-12);
        }
  }
}

TEST(Fourn, ForwardThenInverseGivesNTimesInput) {
  const std::vector<Shape> shapes = {{256}, {32, 16}, {8, 4, 16}};
  for (const Shape& shape : shapes) {
    const Integer n = count(shape);
    const std::vector<Real> x = randomData(n, 7);
    const std::vector<Real> y = transformed(transformed(x, shape, 1), shape, -1);
    // Each value of x is below 3.7 in size; allow 16 units of rounding of the
    // largest possible value N * 3.7 * sqrt(2).
    const Real tol = 16 * n * 3.7 * std::sqrt(2.0) * 0x1p-52;
    for (std::size_t i = 0; i < x.size(); ++i) {
      ASSERT_NEAR(y[i], n * x[i], tol) << "Real " << i << ", N = " << n;
    }
  }
}

void expectRefused(const Shape& lengths, const std::string& message) {
  const std::vector<Real> x = randomData(64, 5);
  std::vector<Real> data = x;
  const Integer dims = static_cast<Integer>(lengths.size());
  try {
    tamsel::fourn(data.data(), lengths.data(), dims, 1);
    ADD_FAILURE() << "not refused: " << message;
  } catch (const tamsel::InvalidArgument& refusal) {
    EXPECT_EQ(std::string(refusal.what()), message);
  }
  EXPECT_EQ(firstDifference(data, x), -1) << message;
}

TEST(Fourn, RefusesBadLengthsBeforeTouchingData) {
  expectRefused({3}, "fourn: length 3 of dimension 1 is not a power of two");
  expectRefused({4, 0, 2}, "fourn: length 0 of dimension 2 is not a power of two");
  expectRefused({2, -4}, "fourn: length -4 of dimension 2 is not a power of two");
  // A bad length in a later dimension stops the call before the first one
  // is transformed.
  expectRefused({8, 2, 12}, "fourn: length 12 of dimension 3 is not a power of two");
  // 2N must be an Integer: N may reach 2^29, not 2^30.
  expectRefused({1 << 15, 1 << 15},
                "fourn: length 32768 of dimension 2 makes 2N exceed the Integer range");
  expectRefused({1 << 30},
                "fourn: length 1073741824 of dimension 1 makes 2N exceed the Integer range");
  expectRefused({2, 1 << 28, 4, 3},
                "fourn: length 4 of dimension 3 makes 2N exceed the Integer range");
}

} // namespace
