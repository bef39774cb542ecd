// SPDX-License-Identifier: BSD-3-Clause
// The toolkit's routines against the references of reference.h, bit for
// bit, on random data, with every kernel this processor runs, the portable
// one included: the transforms at every power-of-two size up to 2^16 and
// both signs (numeric_large.cpp goes on to 2^24), and the other signs.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/tabulated.h>

#include "numeric/fft/plan.h"
#include "numeric/kernels.h"
#include "numeric_support.h"
#include "reference.h"

namespace {

using namespace tamsel::test_support;

using tamsel::Integer;
using tamsel::Real;
using tamsel::kernels::Kernel;
using tamsel::kernels::KernelOverride;

using FastPaths = EveryKernel;

constexpr int kLargestLog2 = 16;

// The kernel chosen at start-up is in use; a guard runs another (never one
// wider than the processor allows) and puts back the one before it however
// its scope is left, an assertion's early return or an exception alike.
TEST(FastKernels, GuardRestoresTheKernel) {
  ASSERT_EQ(tamsel::kernels::active().kind, tamsel::kernels::native());
  {
    const KernelOverride outer(Kernel::portable);
    EXPECT_EQ(tamsel::kernels::active().kind, Kernel::portable);
    {
      const KernelOverride inner(Kernel::avx512);
      EXPECT_EQ(tamsel::kernels::active().kind, tamsel::kernels::native());
    }
    EXPECT_EQ(tamsel::kernels::active().kind, Kernel::portable);
  }
  EXPECT_THROW(
      {
        const KernelOverride guard(Kernel::sse2);
        throw std::runtime_error("leaves the scope");
      },
      std::runtime_error);
  EXPECT_EQ(tamsel::kernels::active().kind, tamsel::kernels::native());
}

TEST_P(FastPaths, TransformsMatchReference) {
  tamsel::test_support::four1_agrees(0, kLargestLog2);
  tamsel::test_support::realft_agrees(0, kLargestLog2);
  tamsel::test_support::twofft_agrees(0, kLargestLog2);
}

// Every plan fits its schedule's steps, at the lengths beyond those the
// transforms above and numeric_large.cpp reach too (up to 2^29, whose
// passes beyond the kept tables each take a step), with either factors.
TEST_P(FastPaths, EveryPlanIsMade) {
  using tamsel::fft::Roots;
  using tamsel::fft::Shape;
  for (const Shape shape : {Shape::complex, Shape::real_split, Shape::interleaved,
                            Shape::permuted, Shape::lines, Shape::lines_permuted,
                            Shape::strided, Shape::strided_permuted}) {
    for (int level = 1; level <= 29; ++level) {
      for (const Integer sign : {1, -1}) {
        for (const Roots roots : {Roots::recurrence, Roots::exact}) {
          if (shape == Shape::real_split && sign == -1 && roots == Roots::recurrence) continue;
          EXPECT_NO_THROW(tamsel::fft::describe_plan(Integer{1} << level, sign, shape, roots))
              << "level " << level;
        }
      }
    }
  }
}

// fourn's dimensions are planned too: the text names how each is taken and
// the steps of its plan, whose passes go in pairs or, with triples, threes.
TEST_P(FastPaths, FournPlansNameTheirSteps) {
  const Integer shape[] = {64, 64, 64};
  const std::string text = tamsel::fft::describe_dimensions(shape, 3, -1);
  for (const char* step : {"plane by plane", "transform_lines_permuted", "dimension 3",
                           "rows_reverse n=64", "strip_pass_"}) {
    EXPECT_NE(text.find(step), std::string::npos) << step << " in\n" << text;
  }
  const bool threes = tamsel::kernels::active().can.triples;
  EXPECT_NE(text.find(threes ? "strip_pass_triple" : "strip_pass_pair"), std::string::npos);
}

// Signs other than +1 and -1 go through the plain loops: four1 and fourn
// against the references.  four1's pass angles divide by the sign, so a
// sign of 0 gives NaN wherever the reference does; fourn's multiply by it.
TEST(OtherSigns, Four1AndFournMatchReference) {
  const Integer shape[] = {8, 4, 16};
  for (Integer sign : {2, -2, 3, -7, 1 << 20, -(1 << 30), 0}) {
    for (Integer n : {2, 4, 64, 1024}) {
      auto fast = random_values(2 * std::size_t(n), 31 * n + sign);
      auto plain = fast;
      tamsel::four1(fast.data(), n, sign);
      tamsel::reference::four1(plain.data(), n, sign);
      for (std::size_t i = 0; i < fast.size(); ++i) {
        ASSERT_TRUE(bits(fast[i]) == bits(plain[i]) ||
                    (std::isnan(fast[i]) && std::isnan(plain[i])))
            << "four1 n=" << n << " sign=" << sign << " at " << i;
      }
      if (sign == 0 && n >= 4) {
        EXPECT_TRUE(std::isnan(fast[2 * n - 1])) << "four1's angles are infinite, n=" << n;
      }
    }
    auto fast = random_values(2 * 8 * 4 * 16, 37 + sign);
    auto plain = fast;
    tamsel::fourn(fast.data(), shape, 3, sign);
    tamsel::reference::fourn(plain.data(), shape, 3, sign);
    for (std::size_t i = 0; i < fast.size(); ++i) {
      ASSERT_TRUE(bits(fast[i]) == bits(plain[i]) ||
                  (std::isnan(fast[i]) && std::isnan(plain[i])))
          << "fourn sign=" << sign << " at " << i;
    }
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
    ASSERT_EQ(bits(cross), bits(plain[0]))
        << "lag 0, n=" << n;
    tamsel::correl(d1.data(), d1.data(), n, fast.data());
    tamsel::reference::correl(d1.data(), d1.data(), n, plain.data());
    ASSERT_EQ(first_difference(fast, plain), -1) << "autocorrelation n=" << n;
    const Real power = tamsel::correl_zero_lag(d1.data(), d1.data(), n, work.data());
    ASSERT_EQ(bits(power), bits(plain[0]))
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
          EXPECT_EQ(bits(lag0), bits(plain[0]))
              << "n=" << n << " special " << which;
        }
      }
      std::vector<Real> plain(2 * std::size_t(n)), work(plain.size());
      tamsel::reference::correl(zeros.data(), zeros.data(), n, plain.data());
      EXPECT_EQ(bits(
                    tamsel::correl_zero_lag(zeros.data(), zeros.data(), n, work.data())),
                bits(plain[0]));
    }
  }
}

TEST_P(FastPaths, FournMatchesReference) {
  const std::vector<std::vector<Integer>> shapes = {
      {1},          {2},           {64},         {1 << 14},   {1, 1},
      {4, 2},       {2, 8},        {64, 64},     {1, 32},     {32, 1},
      {128, 256},   {2, 2, 2},     {8, 1, 4},    {16, 8, 32}, {64, 64, 64},
      {4, 2, 8, 2}, {1, 2, 1, 16}, {1024, 2, 4}, {2, 2048},   {8, 16, 1, 2},
      {4096, 4}};
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

// chebft with remembered cosines against the reference, which computes every
// cosine afresh, for every n up to the scratch size, also when n changes from
// call to call.
TEST_P(FastPaths, ChebftMatchesReference) {
  auto x = random_values(130, 1);
  auto y = random_values(130, 2);
  std::sort(x.begin(), x.end());
  const Integer last = 129;
  for (int round = 0; round < 2; ++round) {
    for (Integer n : {1, 2, 3, 15, 16, 17, 31, 32, 33, 99, 100, 15, 7, 15}) {
      const Real a = -1.375 + 0.25 * (round % 2), b = 2.0625;
      const Real off = 0.0625;
      std::vector<Real> fast(100, -9.0), plain(100, -9.0);
      tamsel::chebft(a, b, fast.data(), n, tamsel::favr, x.data(), y.data(), last, off);
      tamsel::reference::chebft(a, b, plain.data(), n, tamsel::favr, x.data(), y.data(),
                                last, off);
      ASSERT_EQ(first_difference(fast, plain), -1) << "n=" << n;
    }
  }
}

// favr's scan against the reference scan: short tables that ascend,
// descend, repeat and hold NaN abscissae, at every length up to 9, and a
// long table with a repeat, a NaN and a fall, where the scan tests many
// intervals at a time; abscissae on, between and outside the entries.
TEST_P(FastPaths, FavrMatchesReference) {
  const Real nan = std::numeric_limits<Real>::quiet_NaN();
  std::vector<Real> long_table(130);
  for (std::size_t i = 0; i < long_table.size(); ++i) long_table[i] = 0.0078125 * Real(i) + 0.001;
  long_table[40] = long_table[41];
  long_table[77] = nan;
  long_table[100] = 0.2;
  std::vector<Real> long_points;
  for (Real x : long_table) long_points.insert(long_points.end(), {x, x + 0.003, x - 0.0001});
  const std::vector<Real> short_points = {-1.0, 0.1,  0.15, 0.2,  0.25, 0.3, 0.35, 0.4,
                                          0.45, 0.5,  0.55, 0.6,  0.65, 0.7, 0.75, 0.8,
                                          0.85, 0.9,  0.95, 1.0,  2.0,  nan};
  struct Case {
    std::vector<Real> x;
    std::vector<Integer> lengths;
    const std::vector<Real>* points;
  };
  const std::vector<Case> cases = {
      {{0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 0.95, 1.0, 1.0, 1.0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       &short_points},
      {{0.9, 0.7, 0.75, 0.3, 0.35, 0.8, 0.85, 0.2, 0.6, 0.65}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       &short_points},
      {{0.1, 0.1, 0.3, 0.3, 0.3, nan, 0.6, 0.7, nan, 0.9}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       &short_points},
      {{nan, 0.2, 0.4, 0.4, 0.5, 0.45, 0.7, 0.75, 0.8, nan}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       &short_points},
      {long_table, {15, 16, 17, 31, 32, 33, 64, 99, 127, 129}, &long_points}};
  const auto y = random_values(130, 5);
  for (const Case& c : cases) {
    for (Integer n : c.lengths) {
      for (Real t : *c.points) {
        ASSERT_EQ(bits(tamsel::favr(c.x.data(), y.data(), n, 0.0, t)),
                  bits(tamsel::reference::favr(c.x.data(), y.data(), n, 0.0, t)))
            << "n=" << n << " t=" << t;
      }
    }
  }
}

// chebev_points against chebev point by point, for series of 1 to 20 terms
// and point counts that leave every remainder.
TEST_P(FastPaths, ChebevPointsMatchOneByOne) {
  const auto c = random_values(20, 9);
  const auto d = random_values(20, 11);
  auto x = random_values(80, 10);
  const Real a = -3.7, b = 5.3;
  for (Integer m = 1; m <= 20; ++m) {
    for (Integer count : {0, 1, 7, 16, 17, 31, 32, 33, 37, 64, 80}) {
      std::vector<Real> fast(80, -1.0), first(80, -1.0), second(80, -1.0);
      tamsel::chebev_points(a, b, c.data(), m, x.data(), fast.data(), count);
      tamsel::chebev_points(a, b, c.data(), d.data(), m, x.data(), first.data(),
                            second.data(), count);
      for (Integer i = 0; i < count; ++i) {
        const Real one = tamsel::chebev(a, b, c.data(), m, x[i]);
        ASSERT_EQ(bits(fast[i]), bits(one))
            << "m=" << m << " i=" << i;
        ASSERT_EQ(bits(first[i]), bits(one))
            << "two series, m=" << m << " i=" << i;
        ASSERT_EQ(bits(second[i]),
                  bits(tamsel::chebev(a, b, d.data(), m, x[i])))
            << "two series, m=" << m << " i=" << i;
      }
      if (count < 80) {
        EXPECT_EQ(fast[std::size_t(count)], -1.0) << "nothing past count";
        EXPECT_EQ(second[std::size_t(count)], -1.0) << "nothing past count";
      }
    }
  }
  // A point out of range stops the run after the points before it, wherever
  // it stands; a NaN point passes the test.
  x[5] = std::numeric_limits<Real>::quiet_NaN();
  for (std::size_t bad : {0, 3, 20, 78, 79}) {
    auto y = x;
    y[bad] = bad % 2 ? 5.5 : -3.75;
    std::vector<Real> fast(80, -1.0), first(80, -1.0), second(80, -1.0);
    EXPECT_THROW(tamsel::chebev_points(a, b, c.data(), 15, y.data(), fast.data(), 80),
                 tamsel::DomainError);
    EXPECT_THROW(tamsel::chebev_points(a, b, c.data(), d.data(), 15, y.data(), first.data(),
                                       second.data(), 80),
                 tamsel::DomainError);
    for (std::size_t i = 0; i < bad; ++i) {
      const Real one = tamsel::chebev(a, b, c.data(), 15, y[i]);
      EXPECT_EQ(bits(fast[i]), bits(one)) << i;
      EXPECT_EQ(bits(first[i]), bits(one)) << i;
      EXPECT_EQ(bits(second[i]),
                bits(tamsel::chebev(a, b, d.data(), 15, y[i])))
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

// Every kernel at every base alignment a caller may hand it (offsets of 0,
// 16, 32 and 48 bytes from a 64-byte boundary) and on the values that
// expose a reordered or fused operation: signed zeros, subnormals,
// infinities and NaNs with payloads, sparse enough that most results stay
// finite in some inputs.  four1, realft, twofft and correl with the kernel
// under test give the portable kernel's bits, the payload of a NaN
// included, and the references' values (any NaN for a NaN).  Not held:
// the sign of a NaN (the compiler may fold a negated product with a
// constant factor into the product with the negated constant) and which
// of two NaNs an operation passes on (the compiler may swap the operands
// of an addition or a multiplication).
TEST_P(FastPaths, SpecialValuesAtEveryAlignment) {
  const Real specials[] = {0.0, -0.0, 0x1p-1074, -0x1p-1060, 0x1.8p-1022,
                           std::numeric_limits<Real>::infinity(),
                           -std::numeric_limits<Real>::infinity(),
                           std::bit_cast<Real>(std::uint64_t{0x7FF8000000012345}),
                           std::bit_cast<Real>(std::uint64_t{0xFFF80000000ABCDE})};
  for (int lg = 1; lg <= 14; ++lg) {
    const Integer n = Integer{1} << lg;
    // Kinds: 0 zeros and subnormals, 1 and 2 with one infinity or one NaN
    // among them, 3 with all of those in many places.
    for (int kind = 0; kind < 4; ++kind) {
      const std::size_t reals = 2 * std::size_t(n);
      auto values = random_values(reals, 97 * lg + kind);
      for (std::size_t i = kind; i < reals; i += 5 + lg % 3) {
        values[i] = specials[(i / 5) % (kind == 3 ? 9 : 5)];
      }
      if (kind == 1 || kind == 2) values[reals / 3] = specials[kind == 1 ? 6 : 7];
      const Real* second = values.data() + n;
      // The routines, each writing 2n Reals (twofft 4n) at out; the in-place
      // transforms start from a copy of the values.
      auto in_place = [&values, n](auto* ours, auto* reference, Integer sign) {
        return [&values, n, ours, reference, sign](Real* out, bool ref) {
          std::copy(values.begin(), values.end(), out);
          if (ref) {
            reference(out, n, sign);
          } else {
            ours(out, n, sign);
          }
        };
      };
      const std::pair<const char*, std::function<void(Real*, bool)>> routines[] = {
          {"four1+", in_place(tamsel::four1, tamsel::reference::four1, 1)},
          {"four1-", in_place(tamsel::four1, tamsel::reference::four1, -1)},
          {"realft+", in_place(tamsel::realft, tamsel::reference::realft, 1)},
          {"realft-", in_place(tamsel::realft, tamsel::reference::realft, -1)},
          {"twofft", [&](Real* out, bool ref) {
             (ref ? tamsel::reference::twofft : tamsel::twofft)(values.data(), second, out,
                                                                 out + 2 * n, n);
           }},
          {"correl", [&](Real* out, bool ref) {
             if (n > 8192) return;
             (ref ? tamsel::reference::correl : tamsel::correl)(values.data(), second, n, out);
           }},
      };
      std::vector<Real> buffer(2 * reals + 32);
      const auto base = reinterpret_cast<std::uintptr_t>(buffer.data());
      const std::size_t aligned = ((64 - base % 64) % 64) / sizeof(Real);
      for (const auto& [name, run] : routines) {
        std::vector<Real> portable(2 * reals), reference(2 * reals);
        {
          const KernelOverride plain(Kernel::portable);
          run(portable.data(), false);
        }
        run(reference.data(), true);
        for (std::size_t i = 0; i < portable.size(); ++i) {
          ASSERT_TRUE(bits(portable[i]) == bits(reference[i]) ||
                      (std::isnan(portable[i]) && std::isnan(reference[i])))
              << name << " n=" << n << " kind=" << kind << " at " << i;
        }
        for (std::size_t offset : {0, 2, 4, 6}) {
          Real* data = buffer.data() + aligned + offset;
          std::fill(data, data + 2 * reals, 0.0);
          run(data, false);
          const std::vector<Real> mine(data, data + 2 * reals);
          for (std::size_t i = 0; i < mine.size(); ++i) {
            const bool nan = std::isnan(mine[i]) && std::isnan(portable[i]);
            ASSERT_TRUE(bits(mine[i]) == bits(portable[i]) ||
                        (nan && (kind == 3 || bits(mine[i]) << 1 == bits(portable[i]) << 1)))
                << name << " n=" << n << " kind=" << kind << " offset=" << 8 * offset << " at "
                << i;
          }
        }
      }
    }
  }
}

TAMSEL_INSTANTIATE_EVERY_KERNEL(FastPaths);

} // namespace
