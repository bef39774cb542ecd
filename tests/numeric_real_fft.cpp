// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/real_fft.h>
#include "numeric_support.h"

namespace {

using namespace tamsel::test_support;

using tamsel::four1;
using tamsel::Integer;
using tamsel::Real;
using tamsel::realft;
using tamsel::twofft;

const long double kTwoPi = 2.0L * std::acos(-1.0L);

// Spectrum X_k, k = 0..L-1, of a real sequence, exponent +, long double.
std::vector<long double> direct_real_dft(const std::vector<Real>& x) {
  std::vector<Real> z(2 * x.size(), 0.0);
  for (std::size_t j = 0; j < x.size(); ++j) z[2 * j] = x[j];
  return direct_dft(z, static_cast<Integer>(x.size()), 1);
}

TEST(Realft, ForwardGivesPackedSpectrum) {
  for (Integer n : {1, 2, 4, 8, 32, 256}) {
    const auto x = pseudo_random(2 * n, 300 + n);
    auto buf = guarded(x);
    realft(buf.data() + kGuard, n, 1);
    expect_guards_intact(buf);
    const Real* got = buf.data() + kGuard;
    const auto want = direct_real_dft(x);
    const Real tol = 1e-14 * l1_norm(x);
    EXPECT_NEAR(got[0], static_cast<Real>(want[0]), tol) << "X_0, n=" << n;
    EXPECT_NEAR(got[1], static_cast<Real>(want[2 * n]), tol) << "X_n, n=" << n;
    for (Integer k = 1; k < n; ++k) {
      EXPECT_NEAR(got[2 * k], static_cast<Real>(want[2 * k]), tol) << "n=" << n << " k=" << k;
      EXPECT_NEAR(got[2 * k + 1], static_cast<Real>(want[2 * k + 1]), tol)
          << "n=" << n << " k=" << k;
    }
  }
}

TEST(Realft, InverseOfPackedSpectrum) {
  for (Integer n : {1, 2, 8, 64}) {
    const auto packed = pseudo_random(2 * n, 400 + n);
    // Full spectrum from the packed half by conjugate symmetry.
    const Integer len = 2 * n;
    std::vector<Real> re(len), im(len, 0.0);
    re[0] = packed[0];
    re[n] = packed[1];
    for (Integer k = 1; k < n; ++k) {
      re[k] = re[len - k] = packed[2 * k];
      im[k] = packed[2 * k + 1];
      im[len - k] = -packed[2 * k + 1];
    }
    auto buf = guarded(packed);
    realft(buf.data() + kGuard, n, -1);
    expect_guards_intact(buf);
    const Real tol = 1e-14 * l1_norm(packed) * 2;
    for (Integer j = 0; j < len; ++j) {
      long double sum = 0.0L;
      for (Integer k = 0; k < len; ++k) {
        const long double angle = -kTwoPi * static_cast<long double>((j * k) % len) / len;
        sum += re[k] * std::cos(angle) - im[k] * std::sin(angle);
      }
      EXPECT_NEAR(buf[kGuard + j], static_cast<Real>(0.5L * sum), tol) << "n=" << n << " j=" << j;
    }
  }
}

TEST(Realft, ForwardThenInverseGivesNTimesInput) {
  for (Integer n : {1, 4, 128, 2048}) expect_round_trip(realft, n, 500 + n);
}

TEST(Realft, LengthOneIsExactAndEveryOtherSignIsTheInverse) {
  Real fwd[2] = {2.385, -0.731};
  realft(fwd, 1, 1);
  EXPECT_EQ(bits(fwd[0]), bits(2.385 + -0.731));
  EXPECT_EQ(bits(fwd[1]), bits(2.385 - -0.731));
  Real inv[2] = {2.385, -0.731};
  realft(inv, 1, -1);
  EXPECT_EQ(bits(inv[0]), bits((2.385 + -0.731) * 0.5));
  EXPECT_EQ(bits(inv[1]), bits((2.385 - -0.731) * 0.5));

  for (Integer n : {1, 2, 16, 512}) {
    const auto packed = pseudo_random(2 * n, 600 + n);
    auto reference = packed;
    realft(reference.data(), n, -1);
    for (Integer sign : {0, 2, -2, 1 << 30, -2147483647 - 1}) {
      auto data = packed;
      realft(data.data(), n, sign);
      EXPECT_EQ(digest(data), digest(reference)) << "n=" << n << " sign=" << sign;
    }
  }
}

TEST(Twofft, AgreesWithComplexTransformOfEachSequence) {
  for (Integer n : {1, 2, 4, 16, 128, 1024}) {
    const auto d1 = pseudo_random(n, 700 + n);
    const auto d2 = pseudo_random(n, 800 + n);
    auto s1 = guarded(std::vector<Real>(2 * n, 99.0));
    auto s2 = guarded(std::vector<Real>(2 * n, 99.0));
    twofft(d1.data(), d2.data(), s1.data() + kGuard, s2.data() + kGuard, n);
    expect_guards_intact(s1);
    expect_guards_intact(s2);
    // Imaginary parts of the zero and middle frequencies are exactly zero.
    for (const auto* s : {&s1, &s2}) {
      EXPECT_EQ((*s)[kGuard + 1], 0.0) << "n=" << n;
      if (n >= 2) {
        EXPECT_EQ((*s)[kGuard + n + 1], 0.0) << "n=" << n;
      }
    }
    for (const auto& [input, spectrum] : {std::pair{&d1, &s1}, std::pair{&d2, &s2}}) {
      std::vector<Real> z(2 * n, 0.0);
      for (Integer j = 0; j < n; ++j) z[2 * j] = (*input)[j];
      four1(z.data(), n, 1);
      const Real tol = 1e-14 * l1_norm(*input);
      for (Integer i = 0; i < 2 * n; ++i) {
        EXPECT_NEAR((*spectrum)[kGuard + i], z[i], tol) << "n=" << n << " at " << i;
      }
    }
  }
}

TEST(Twofft, SmallAndSharedInputs) {
  const Real d1[1] = {2.385};
  const Real d2[1] = {-0.731};
  Real s1[2] = {9.0, 9.0}, s2[2] = {9.0, 9.0};
  twofft(d1, d2, s1, s2, 1);
  EXPECT_EQ(bits(s1[0]), bits(2.385));
  EXPECT_EQ(bits(s1[1]), bits(0.0));
  EXPECT_EQ(bits(s2[0]), bits(-0.731));
  EXPECT_EQ(bits(s2[1]), bits(0.0));

  const Integer n = 64;
  const auto d = pseudo_random(n, 900);
  std::vector<Real> f(2 * n), g(2 * n);
  twofft(d.data(), d.data(), f.data(), g.data(), n);
  for (Integer i = 0; i < 2 * n; ++i) EXPECT_NEAR(f[i], g[i], 1e-12) << i;
}

TEST(RealTransforms, RefuseBadLengthsBeforeTouchingData) {
  const struct {
    Integer n;
    const char* what;
  } cases[] = {
      {0, "length 0 is not a power of two"},
      {-4, "length -4 is not a power of two"},
      {3, "length 3 is not a power of two"},
      {12, "length 12 is not a power of two"},
      {1 << 30, "length 1073741824 is too large (at most 536870912)"},
  };
  const auto input = pseudo_random(64, 1);
  for (const auto& c : cases) {
    auto data = input;
    expect_refusal([&] { realft(data.data(), c.n, 1); }, std::string("realft: ") + c.what);
    EXPECT_EQ(data, input);

    std::vector<Real> s1(64, 9.0), s2(64, 9.0);
    expect_refusal([&] { twofft(input.data(), input.data(), s1.data(), s2.data(), c.n); },
                std::string("twofft: ") + c.what);
    EXPECT_EQ(s1, std::vector<Real>(64, 9.0));
    EXPECT_EQ(s2, std::vector<Real>(64, 9.0));
  }
}

// Raw results of the present arithmetic, kept so that no rewrite of the
// routines changes a single bit unnoticed.
TEST(RealTransforms, RegressionBits) {
  const struct {
    Integer n;
    std::uint64_t forward[3];  // positions 1, 2, 5
    std::uint64_t forward_all;
    std::uint64_t inverse[3];  // positions 1, 2, 5
    std::uint64_t inverse_all;
    std::uint64_t spectra[3];  // spectrum1(3), spectrum2(4), spectrum2(n+1)
    std::uint64_t spectra_all; // digest of spectrum1 then digest of spectrum2
  } cases[] = {
      {4,
       {0x402191cba2c0ab59ULL, 0xbfb54fae70037200ULL, 0xc0128d0626031121ULL}, 0x69e596495afecde4ULL,
       {0x4015f3e8376c93ffULL, 0x4008661f238ab40aULL, 0xc00c009468ee432eULL}, 0xf2e889b7f05f1138ULL,
       {0xc010dbe0fdd9102eULL, 0xc008cafbc61e7084ULL, 0xc006dfa6eb16e9f8ULL}, 0xc62745fe7f5b8aecULL},
      {32,
       {0xc03580cc1c0d95e0ULL, 0x4027d3ecc19fd9e8ULL, 0x401a78744fbdc1f9ULL}, 0x31ec8f77f7cfff9fULL,
       {0xc0138317c5a37f10ULL, 0xc02e9a60554b4bdeULL, 0xc0105009c48dc7b7ULL}, 0xe93941ea70629a1eULL,
       {0xc003c1198c260694ULL, 0x4024f80c70d4412dULL, 0x4013fd48d3863997ULL}, 0x505bbe671cfda58aULL},
      {512,
       {0xc050a82e469f96b2ULL, 0xc021ae108e942b4cULL, 0xbffea39d18bd154aULL}, 0x53175cfc1614e8f9ULL,
       {0xc042a8aaff46cd05ULL, 0x4047ce0872ff14a2ULL, 0x4011a0bcc1529868ULL}, 0x04b285b787d933c2ULL,
       {0xc01c6385c2767348ULL, 0x4041e8d6309573f5ULL, 0xc054f993a53cddccULL}, 0x46addaf1243cea82ULL},
  };
  for (const auto& c : cases) {
    const auto x = pseudo_random(2 * c.n, 31000 + c.n);
    auto fwd = x;
    realft(fwd.data(), c.n, 1);
    auto inv = x;
    realft(inv.data(), c.n, -1);
    std::vector<Real> s1(2 * c.n), s2(2 * c.n);
    twofft(x.data(), x.data() + c.n, s1.data(), s2.data(), c.n);
    const int at[3] = {1, 2, 5};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(bits(fwd[at[i] - 1]), c.forward[i]) << "n=" << c.n << " position " << at[i];
      EXPECT_EQ(bits(inv[at[i] - 1]), c.inverse[i]) << "n=" << c.n << " position " << at[i];
    }
    EXPECT_EQ(digest(fwd), c.forward_all) << "n=" << c.n;
    EXPECT_EQ(digest(inv), c.inverse_all) << "n=" << c.n;
    EXPECT_EQ(bits(s1[2]), c.spectra[0]) << "n=" << c.n;
    EXPECT_EQ(bits(s2[3]), c.spectra[1]) << "n=" << c.n;
    EXPECT_EQ(bits(s2[c.n]), c.spectra[2]) << "n=" << c.n;
    EXPECT_EQ(digest(s1) ^ (digest(s2) * 3), c.spectra_all) << "n=" << c.n;
  }
}

} // namespace
