// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/tabulated.h>

#include "numeric_support.h"

#include "numeric_support.h"

namespace {

using tamsel::chebev;
using tamsel::chebft;
using tamsel::chint;
using tamsel::DomainError;
using tamsel::Integer;
using tamsel::Real;

using tamsel::test_support::bits;
using tamsel::test_support::expect_refusal;
using tamsel::test_support::kNaN;

constexpr Real kPi = 3.141592653589793;
constexpr Real kSentinel = -7.125e30;

// Whether every value still holds the sentinel.
template <std::size_t N>
bool untouched(const Real (&values)[N]) {
  for (Real v : values) {
    if (bits(v) != bits(kSentinel)) return false;
  }
  return true;
}

// An interval given by its two ends, in both orders in the tests.
struct Ends {
  Real a;
  Real b;
};

// Series c(1..m) at x by the definition of T[k]: c(1)/2 + sum c(j) T[j-1](u).
Real seriesByDefinition(Real a, Real b, const Real* c, int m, Real x) {
  const Real u = (2.0 * x - a - b) / (b - a);
  Real tPrev = 1.0;
  Real t = u;
  Real sum = 0.5 * c[0];
  for (int j = 2; j <= m; ++j) {
    sum += c[j - 1] * t;
    const Real next = 2.0 * u * t - tPrev;
    tPrev = t;
    t = next;
  }
  return sum;
}

// --- Functions handed to chebft ---------------------------------------------

// Records every abscissa and returns 1.7 + x.
struct Calls {
  int count = 0;
  Real x[200] = {};
};
Real recordLine(Calls* calls, int, int, int, const Real& x) {
  calls->x[calls->count++] = x;
  return 1.7 + x;
}

// Records, and on call number `when` sets the node count to `to`.
Real resizeAt(Integer& n, Calls* calls, const Integer& when, const Integer& to,
              const Real& x) {
  calls->x[calls->count++] = x;
  if (calls->count == when) {
    n = to;
  }
  return 0.25 + x * x;
}

Real one(int, int, int, int, const Real&) { return 1.0; }

// Known series g(1..5) on [a, b], evaluated through explicit polynomials.
Real knownSeries(const Real* g, const Real& a, const Real& b, int, const Real& x) {
  const Real u = (2.0 * x - a - b) / (b - a);
  const Real u2 = u * u;
  return 0.5 * g[0] + g[1] * u + g[2] * (2.0 * u2 - 1.0) + g[3] * (4.0 * u2 - 3.0) * u +
         g[4] * (8.0 * u2 * u2 - 8.0 * u2 + 1.0);
}

Real quadratic(int, int, int, int, const Real& x) { return 2.385 * x * x - 0.71 * x + 1.3; }
Real quadraticIntegral(Real x) { return 2.385 / 3.0 * x * x * x - 0.355 * x * x + 1.3 * x; }

Real identity(int, int, int, int, const Real& x) { return x; }

// --- chebft -----------------------------------------------------------------

TEST(Chebft, NonPositiveCountDoesNothing) {
  const Real a = 0.3;
  const Real b = 2.385;
  for (Integer n : {0, -1, -100}) {
    Calls calls;
    Real c[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    chebft(a, b, c, n, recordLine, &calls, 0, 0, 0);
    EXPECT_EQ(calls.count, 0);
    EXPECT_TRUE(untouched(c));
  }
}

TEST(Chebft, CountAboveScratchIsRefusedBeforeSampling) {
  const Real a = 0.3;
  const Real b = 2.385;
  for (Integer n : {101, 1000}) {
    Calls calls;
    Real c[2] = {kSentinel, kSentinel};
    expect_refusal([&] { chebft(a, b, c, n, recordLine, &calls, 0, 0, 0); },
               n == 101 ? "chebft: n 101 is above the 100 values of the scratch"
                        : "chebft: n 1000 is above the 100 values of the scratch");
    EXPECT_EQ(calls.count, 0);
    EXPECT_EQ(bits(c[0]), bits(kSentinel));
  }
  // The full scratch is usable, and nothing past c(100) is written.
  Calls calls;
  Real c[101];
  c[100] = kSentinel;
  const Integer full = 100;
  chebft(a, b, c, full, recordLine, &calls, 0, 0, 0);
  EXPECT_EQ(calls.count, 100);
  EXPECT_EQ(bits(c[100]), bits(kSentinel));
  EXPECT_NEAR(chebev(a, b, c, full, 1.234), 1.7 + 1.234, 1e-13);
}

TEST(Chebft, SingleNodeIsNotTheMidpoint) {
  // cos of the double nearest pi/2 is about 6.1e-17, so on a symmetric
  // interval the lone node sits just off 0.
  const Real a = -2.385;
  const Real b = 2.385;
  const Integer n = 1;
  Calls calls;
  Real c[2] = {kSentinel, kSentinel};
  chebft(a, b, c, n, recordLine, &calls, 0, 0, 0);
  ASSERT_EQ(calls.count, 1);
  EXPECT_NE(calls.x[0], 0.0);
  EXPECT_EQ(bits(calls.x[0]), bits(std::cos(1.5707963267948966) * 2.385));
  EXPECT_EQ(bits(c[0]), bits(2.0 * (1.7 + calls.x[0])));
  EXPECT_EQ(bits(c[1]), bits(kSentinel));
}

TEST(Chebft, NodesRunFromBToAAndCoefficientsStopAtN) {
  const Real a = 0.3;
  const Real b = 2.385;
  const Integer n = 7;
  Calls calls;
  Real c[10];
  for (Real& v : c) {
    v = kSentinel;
  }
  chebft(a, b, c, n, recordLine, &calls, 0, 0, 0);
  ASSERT_EQ(calls.count, 7);
  const Real h = (b - a) * 0.5;
  const Real p = (a + b) * 0.5;
  for (int k = 1; k <= 7; ++k) {
    EXPECT_EQ(bits(calls.x[k - 1]), bits(std::cos(((k - 0.5) * kPi) / 7.0) * h + p)) << k;
    if (k > 1) {
      EXPECT_LT(calls.x[k - 1], calls.x[k - 2]);
    }
  }
  // c(1) is 2/n times the plain sum of the node values, in node order.
  Real sum = 0.0;
  for (int k = 0; k < 7; ++k) {
    sum = sum + (1.7 + calls.x[k]);
  }
  EXPECT_EQ(bits(c[0]), bits((2.0 / 7.0) * sum));
  for (int j = 7; j < 10; ++j) {
    EXPECT_EQ(bits(c[j]), bits(kSentinel));
  }
}

TEST(Chebft, ConstantFunction) {
  const Real a = 0.3;
  const Real b = 2.385;
  const Integer n = 15;
  Real c[15];
  chebft(a, b, c, n, one, 0, 0, 0, 0);
  EXPECT_EQ(bits(c[0]), bits((2.0 / 15.0) * 15.0));
  for (int j = 1; j < 15; ++j) {
    EXPECT_NEAR(c[j], 0.0, 1e-15) << j;
  }
  for (int s = 0; s <= 50; ++s) {
    const Real x = s == 50 ? b : a + s * ((b - a) / 50.0);
    EXPECT_NEAR(chebev(a, b, c, n, x), 1.0, 1e-14) << x;
  }
}

TEST(Chebft, RecoversAKnownSeries) {
  // A series of degree 4 is fitted exactly by 9 nodes: c(1..5) = g and
  // c(6..9) = 0, up to rounding.
  const Real g[5] = {1.385, -0.71, 2.05, 0.333, -1.27};
  const Real a = -0.62;
  const Real b = 1.93;
  const Integer n = 9;
  Real c[9];
  chebft(a, b, c, n, knownSeries, g, a, b, 0);
  for (int j = 0; j < 9; ++j) {
    EXPECT_NEAR(c[j], j < 5 ? g[j] : 0.0, 2e-15) << j;
  }
}

TEST(Chebft, ReversedIntervalMapsAToMinusOne) {
  const Real a = 2.385;
  const Real b = -0.71;
  const Integer n = 6;
  Real c[6];
  chebft(a, b, c, n, identity, 0, 0, 0, 0);
  // x = p + h u with h = (b - a) / 2 < 0.
  EXPECT_NEAR(c[0], 2.0 * ((a + b) * 0.5), 1e-15);
  EXPECT_NEAR(c[1], (b - a) * 0.5, 1e-15);
  for (Real x : {2.385, 1.9, 0.0, -0.71}) {
    EXPECT_NEAR(chebev(a, b, c, n, x), x, 1e-14) << x;
  }
}

TEST(Chebft, CountChangedDuringSamplingIsReadAgain) {
  const Real a = 0.3;
  const Real b = 2.385;
  const Real h = (b - a) * 0.5;
  const Real p = (a + b) * 0.5;

  // Shrunk from 6 to 3 at the first node: all 6 nodes are still sampled,
  // nodes 2..6 take 3 as the divisor of their angle, and only 3
  // coefficients are formed, from the first 3 values.
  {
    Integer n = 6;
    Calls calls;
    Real c[6];
    for (Real& v : c) {
      v = kSentinel;
    }
    chebft(a, b, c, n, resizeAt, n, &calls, 1, 3);
    ASSERT_EQ(calls.count, 6);
    EXPECT_EQ(bits(calls.x[0]), bits(std::cos((0.5 * kPi) / 6.0) * h + p));
    for (int k = 2; k <= 6; ++k) {
      EXPECT_EQ(bits(calls.x[k - 1]), bits(std::cos(((k - 0.5) * kPi) / 3.0) * h + p)) << k;
    }
    Real sum = 0.0;
    for (int k = 0; k < 3; ++k) {
      sum = sum + (0.25 + calls.x[k] * calls.x[k]);
    }
    EXPECT_EQ(bits(c[0]), bits((2.0 / 3.0) * sum));
    EXPECT_NE(bits(c[2]), bits(kSentinel));
    for (int j = 3; j < 6; ++j) {
      EXPECT_EQ(bits(c[j]), bits(kSentinel)) << j;
    }
  }

  // Dropped to zero or below: every node is still called (with n = 0 the
  // later angles are infinite and their abscissae NaN), then nothing is
  // written.
  for (Integer to : {0, -4}) {
    Integer n = 5;
    Calls calls;
    Real c[5] = {kSentinel, kSentinel, kSentinel, kSentinel, kSentinel};
    chebft(a, b, c, n, resizeAt, n, &calls, 2, to);
    EXPECT_EQ(calls.count, 5);
    if (to == 0) {
      EXPECT_TRUE(std::isnan(calls.x[2]));
    } else {
      EXPECT_EQ(bits(calls.x[2]), bits(std::cos((2.5 * kPi) / -4.0) * h + p));
    }
    EXPECT_TRUE(untouched(c));
  }

  // Raised above the nodes sampled: refused, c untouched, and the number
  // of calls stays the count read at entry.
  for (Integer to : {9, 150}) {
    Integer n = 5;
    Calls calls;
    Real c[5] = {kSentinel, kSentinel, kSentinel, kSentinel, kSentinel};
    expect_refusal([&] { chebft(a, b, c, n, resizeAt, n, &calls, 1, to); },
               to == 9 ? "chebft: n 9 after sampling is above the 5 nodes sampled"
                       : "chebft: n 150 after sampling is above the 5 nodes sampled");
    EXPECT_EQ(calls.count, 5);
    EXPECT_TRUE(untouched(c));
  }
}

// --- chint ------------------------------------------------------------------

TEST(Chint, TwoTerms) {
  const Real a = 0.3;
  const Real b = 2.385;
  const Real c[2] = {1.37, kNaN}; // c(2) is not read for n = 2
  Real cint[3] = {kSentinel, kSentinel, kSentinel};
  const Integer n = 2;
  chint(a, b, c, cint, n);
  const Real q = (b - a) * 0.25;
  EXPECT_EQ(bits(cint[1]), bits(q * 1.37));
  EXPECT_EQ(bits(cint[0]), bits(cint[1] + cint[1]));
  EXPECT_EQ(bits(cint[2]), bits(kSentinel));
}

TEST(Chint, ConstantOneIntegratesToTheLength) {
  const Real a = 0.0;
  const Real b = 2.385;
  const Real c[3] = {2.0, 0.0, 0.0};
  Real cint[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  const Integer n = 3;
  chint(a, b, c, cint, n);
  EXPECT_EQ(bits(cint[0]), bits(2.385));
  EXPECT_EQ(bits(cint[1]), bits(2.385 / 2.0));
  EXPECT_EQ(bits(cint[2]), bits(0.0));
  EXPECT_EQ(bits(cint[3]), bits(kSentinel));
  EXPECT_EQ(bits(chebev(a, b, cint, n, b)), bits(2.385));
  EXPECT_EQ(chebev(a, b, cint, n, a), 0.0);
}

TEST(Chint, ShortSeriesIsRefused) {
  const Real a = 0.3;
  const Real b = 2.385;
  const Real c[2] = {1.37, 0.5};
  for (Integer n : {1, 0, -3}) {
    Real cint[2] = {kSentinel, kSentinel};
    char message[64];
    std::snprintf(message, sizeof message, "chint: n %d is below 2", n);
    expect_refusal([&] { chint(a, b, c, cint, n); }, message);
    EXPECT_EQ(bits(cint[0]), bits(kSentinel));
    EXPECT_EQ(bits(cint[1]), bits(kSentinel));
  }
}

TEST(Chint, IntegralOfAFitMatchesTheAntiderivative) {
  for (const Ends ends : {Ends{0.3, 1.7}, Ends{1.7, 0.3}}) {
    const Real a = ends.a;
    const Real b = ends.b;
    const Integer n = 15;
    Real c[15];
    Real cint[16];
    cint[15] = kSentinel;
    chebft(a, b, c, n, quadratic, 0, 0, 0, 0);
    chint(a, b, c, cint, n);
    EXPECT_EQ(bits(cint[15]), bits(kSentinel));
    EXPECT_NEAR(chebev(a, b, cint, n, a), 0.0, 1e-14);
    EXPECT_NEAR(chebev(a, b, cint, n, b), quadraticIntegral(b) - quadraticIntegral(a), 1e-13);
    for (Real x : {0.45, 0.9, 1.333}) {
      EXPECT_NEAR(chebev(a, b, cint, n, x), quadraticIntegral(x) - quadraticIntegral(a), 1e-13)
          << x;
    }
  }
}

// --- chebev -----------------------------------------------------------------

TEST(Chebev, OneOrNoTermGivesHalfTheFirstCoefficient) {
  const Real a = 0.3;
  const Real b = 2.385;
  const Real c[2] = {1.737, kNaN}; // c(2) must not be read
  for (Integer m : {1, 0, -3}) {
    EXPECT_EQ(bits(chebev(a, b, c, m, 1.1)), bits(0.5 * 1.737)) << m;
  }
}

TEST(Chebev, TwoTerms) {
  const Real a = 0.3;
  const Real b = 2.385;
  const Real c[3] = {1.737, -0.619, kNaN}; // c(3) must not be read
  const Integer m = 2;
  // y is exactly -1 at x = a.
  EXPECT_EQ(bits(chebev(a, b, c, m, a)), bits(0.619 + 0.5 * 1.737));
  for (Real x : {0.3, 0.77, 1.5, 2.385}) {
    const Real y = (2.0 * x - a - b) / (b - a);
    EXPECT_NEAR(chebev(a, b, c, m, x), y * -0.619 + 0.5 * 1.737, 1e-15) << x;
  }
}

TEST(Chebev, AgreesWithTheSeriesByDefinition) {
  const Real c[11] = {1.385, -0.71, 2.05, 0.333, -1.27, 0.0417, 0.918,
                      -0.4421, 0.0731, -0.2, 0.613};
  const Integer m = 11;
  for (const Ends ends : {Ends{-0.62, 1.93}, Ends{1.93, -0.62}}) {
    const Real a = ends.a;
    const Real b = ends.b;
    for (int s = 0; s <= 40; ++s) {
      const Real x = s == 40 ? 1.93 : -0.62 + s * (2.55 / 40.0);
      EXPECT_NEAR(chebev(a, b, c, m, x), seriesByDefinition(a, b, c, m, x), 1e-13) << x;
    }
  }
}

TEST(Chebev, RangeTestAtTheEnds) {
  const Real c[3] = {1.2, 0.3, -0.4};
  const Integer m = 3;
  const char* message = "ERROR(CHEBEV): x not in range .";
  for (const Ends ends : {Ends{0.3, 2.385}, Ends{2.385, 0.3}}) {
    const Real a = ends.a;
    const Real b = ends.b;
    EXPECT_NO_THROW(chebev(a, b, c, m, a));
    EXPECT_NO_THROW(chebev(a, b, c, m, b));
    EXPECT_NO_THROW(chebev(a, b, c, m, 1.0));
    expect_refusal<DomainError>([&] { chebev(a, b, c, m, std::nextafter(0.3, 0.0)); }, message);
    expect_refusal<DomainError>([&] { chebev(a, b, c, m, std::nextafter(2.385, 3.0)); }, message);
  }
}

TEST(Chebev, NaNAndDegenerateInterval) {
  const Real c[3] = {1.2, 0.3, -0.4};
  const Integer m = 3;
  const Real a = 0.3;
  const Real b = 2.385;
  // NaN makes the range product NaN, which does not stop.
  EXPECT_TRUE(std::isnan(chebev(a, b, c, m, kNaN)));
  EXPECT_TRUE(std::isnan(chebev(kNaN, b, c, m, 1.0)));
  // a = b: only x = a passes, and gives NaN (0 / 0).
  EXPECT_TRUE(std::isnan(chebev(a, a, c, m, a)));
  expect_refusal<DomainError>([&] { chebev(a, a, c, m, std::nextafter(a, 1.0)); },
                              "ERROR(CHEBEV): x not in range .");
}

// --- The fit of a sample curve, end to end ----------------------------------

TEST(ChebyshevFit, TabulatedCurveRegression) {
  // Tables with the closing point at 1.0, window 0.1 .. 0.9, fitted in the
  // local coordinate u in [0, 0.8] with 15 terms.
  Real xtab[5] = {0.0, 0.2, 0.5, 0.8, 1.0};
  Real spec_table[5] = {0.0, 1.0, 3.0, 2.0, 2.0};
  Real logt[5] = {0.0, 0.5, 1.0, 2.5, 2.5};
  Integer npts = 4;
  Integer ncheb = 15;
  Real fmin = 0.1;
  Real fmax = 0.9;
  Real width = fmax - fmin;
  Real origin = 0.0;
  Real cspec[100] = {};
  Real clog[100] = {};
  Real cint[100] = {};
  chebft(origin, width, cspec, ncheb, tamsel::favr, xtab, spec_table, npts, fmin);
  chebft(origin, width, clog, ncheb, tamsel::favr, xtab, logt, npts, fmin);
  chint(origin, width, cspec, cint, ncheb);
  const Real specMean = chebev(origin, width, cint, ncheb, width) / width;
  chint(origin, width, clog, cint, ncheb);
  const Real logMean = chebev(origin, width, cint, ncheb, width) / width;
  for (int j = 15; j < 100; ++j) {
    ASSERT_EQ(bits(cspec[j]), bits(0.0));
    ASSERT_EQ(bits(cint[j]), bits(0.0));
  }

  const Real first = 0.0;
  Real last = 127.0 * (width / 127.0);
  if (width < last) {
    last = width;
  }
  const Real specFirst = chebev(origin, width, cspec, ncheb, first) - specMean;
  const Real logFirst = chebev(origin, width, clog, ncheb, first) - logMean;
  const Real specLast = chebev(origin, width, cspec, ncheb, last) - specMean;
  const Real logLast = chebev(origin, width, clog, ncheb, last) - logMean;

  EXPECT_NEAR(specMean, 2.038172, 1e-6);
  EXPECT_NEAR(logMean, 1.295747, 1e-6);
  EXPECT_NEAR(specFirst, -1.547438, 1e-6);
  EXPECT_NEAR(logFirst, -1.044497, 1e-6);
  EXPECT_NEAR(specLast, -0.044447, 1e-6);
  EXPECT_NEAR(logLast, 1.198026, 1e-6);

  // The same values to the last bit, as computed with this platform's cosine.
  EXPECT_EQ(bits(specMean), 0x40004e2d5bbd4c5cu);
  EXPECT_EQ(bits(logMean), 0x3ff4bb617108ac08u);
  EXPECT_EQ(bits(specFirst), 0xbff8c24e2c59d6afu);
  EXPECT_EQ(bits(logFirst), 0xbff0b642a2a9b1f1u);
  EXPECT_EQ(bits(specLast), 0xbfa6c1ca6c9301a0u);
  EXPECT_EQ(bits(logLast), 0x3ff32b1dbef1315au);
}

} // namespace
