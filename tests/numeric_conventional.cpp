// SPDX-License-Identifier: BSD-3-Clause
// The conventional layer gives the toolkit's bits: every function against
// the routine it maps onto, with only exact steps between them (conjugation,
// unpacking, power-of-two scaling), over many lengths; and its refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <stdexcept>
#include <vector>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/tabulated.h>

#include "numeric_support.h"

namespace {

namespace conv = tamsel::conventional;
using conv::Complex;
using tamsel::Integer;
using tamsel::Real;
using tamsel::test_support::bits;
using tamsel::test_support::pseudo_random;

std::vector<Complex> as_complex(const std::vector<Real>& reals) {
  std::vector<Complex> z(reals.size() / 2);
  for (std::size_t i = 0; i < z.size(); ++i) z[i] = Complex(reals[2 * i], reals[2 * i + 1]);
  return z;
}

// Equal bit for bit, element by element (so -0.0 differs from 0.0).
void expect_bits(const Real* got, const Real* want, std::size_t count, const char* what) {
  for (std::size_t i = 0; i < count; ++i)
    ASSERT_EQ(bits(got[i]), bits(want[i])) << what << " at " << i;
}

TEST(Conventional, TransformsAreTheToolkitsBits) {
  for (Integer n = 1; n <= 4096; n *= 2) {
    const auto x = pseudo_random(2 * std::size_t(n), std::uint64_t(n));

    auto toolkit = x;
    tamsel::four1(toolkit.data(), n, -1);
    auto z = as_complex(x);
    conv::fft(z);
    expect_bits(reinterpret_cast<Real*>(z.data()), toolkit.data(), toolkit.size(), "fft");

    // ifft: four1 with +1, then 1/n, an exact scaling.
    toolkit = x;
    tamsel::four1(toolkit.data(), n, 1);
    for (Real& v : toolkit) v = v / Real(n);
    z = as_complex(x);
    conv::ifft(z);
    expect_bits(reinterpret_cast<Real*>(z.data()), toolkit.data(), toolkit.size(), "ifft");

    // rfft of 2n reals: realft's packed spectrum, unpacked and conjugated.
    if (n >= 2) {
      const std::vector<Real> real(x.begin(), x.begin() + n);
      auto packed = real;
      tamsel::realft(packed.data(), n / 2, 1);
      std::vector<Complex> spectrum(std::size_t(n / 2 + 1));
      conv::rfft(real, spectrum);
      std::vector<Real> want(2 * spectrum.size(), 0.0);
      want[0] = packed[0];
      want[std::size_t(n)] = packed[1];
      for (Integer k = 1; k < n / 2; ++k) {
        want[2 * std::size_t(k)] = packed[2 * std::size_t(k)];
        want[2 * std::size_t(k) + 1] = -packed[2 * std::size_t(k) + 1];
      }
      expect_bits(reinterpret_cast<Real*>(spectrum.data()), want.data(), want.size(), "rfft");

      // irfft takes it back: realft's inverse of the conjugate, times 2/n.
      std::vector<Real> back(static_cast<std::size_t>(n));
      conv::irfft(spectrum, back);
      tamsel::realft(packed.data(), n / 2, -1);
      for (Real& v : packed) v = v * (2.0 / Real(n));
      expect_bits(back.data(), packed.data(), back.size(), "irfft");
      for (Integer j = 0; j < n; ++j)
        EXPECT_NEAR(back[std::size_t(j)], real[std::size_t(j)], 1e-13) << "round trip " << j;
    }

    // fftn over C order: fourn with the lengths reversed.
    if (n >= 4) {
      const std::size_t shape[] = {2, std::size_t(n) / 4, 2};
      const Integer lengths[] = {2, n / 4, 2}, dims = 3;
      toolkit = x;
      tamsel::fourn(toolkit.data(), lengths, dims, -1);
      z = as_complex(x);
      conv::fftn(z, shape);
      expect_bits(reinterpret_cast<Real*>(z.data()), toolkit.data(), toolkit.size(), "fftn");
    }

    if (n >= 2 && n <= 8192) {
      const std::vector<Real> a(x.begin(), x.begin() + n), b(x.begin() + n, x.end());
      std::vector<Real> want(2 * std::size_t(n)), got(static_cast<std::size_t>(n));
      tamsel::correl(a.data(), b.data(), n, want.data());
      conv::correlate(a, b, got);
      expect_bits(got.data(), want.data(), got.size(), "correlate");
    }
  }
}

Real table_function(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
                    const Real& x) {
  return tamsel::favr(xtab, ytab, n, off, x);
}

TEST(Conventional, SeriesAndTableAreTheToolkitsBits) {
  // A non-monotone table (favr) and a rising one (favr_ascending).
  for (bool rising : {false, true}) {
    auto xp = pseudo_random(40, rising ? 3 : 4);
    if (rising) std::sort(xp.begin(), xp.end());
    const auto fp = pseudo_random(40, 5);
    const Integer last = 39;
    const Real off = 0.0;
    std::vector<Real> at = pseudo_random(200, 6), got(200);
    conv::interp(at, xp, fp, got);
    for (std::size_t i = 0; i < at.size(); ++i)
      ASSERT_EQ(bits(got[i]), bits(tamsel::favr(xp.data(), fp.data(), last, off, at[i]))) << i;

    for (Integer n : {1, 2, 15, 33, 100}) {
      const Real a = -4.5, b = 3.25;
      std::vector<Real> want(std::size_t(n) + 1);
      tamsel::chebft(a, b, want.data(), n, table_function, xp.data(), fp.data(), last, off);
      const auto got_fit = conv::chebyshev_fit(
          [&](double x) { return tamsel::favr(xp.data(), fp.data(), last, off, x); }, a, b,
          std::size_t(n));
      ASSERT_EQ(bits(got_fit[0]), bits(want[0] * 0.5)) << n;
      expect_bits(got_fit.data() + 1, want.data() + 1, std::size_t(n) - 1, "chebyshev_fit");

      std::vector<Real> values(at.size());
      for (Real& x : at) x = std::fmod(x, 3.0);
      conv::chebyshev_eval(got_fit, a, b, at, values);
      for (std::size_t i = 0; i < at.size(); ++i)
        ASSERT_EQ(bits(values[i]), bits(tamsel::chebev(a, b, want.data(), n, at[i]))) << i;

      if (n >= 2) {
        std::vector<Real> integral(static_cast<std::size_t>(n)), cint(static_cast<std::size_t>(n));
        conv::chebyshev_integral(got_fit, a, b, integral);
        tamsel::chint(a, b, want.data(), cint.data(), n);
        ASSERT_EQ(bits(integral[0]), bits(cint[0] * 0.5)) << n;
        expect_bits(integral.data() + 1, cint.data() + 1, std::size_t(n) - 1, "integral");
      }
    }
  }
}

// Every length that is not a power of two, against a direct transform in
// long double: within a few eps sqrt(log2 n) of the outputs' RMS, for the
// mixed-radix passes of every radix and for Bluestein's convolution; the
// inverses and the real transforms, even and odd, give the sequence back;
// fftn of a shape that mixes both kinds is fft along each axis, bit for bit.
TEST(Conventional, AnyLengthAgainstADirectTransform) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 3; n <= 130; ++n)
    if ((n & (n - 1)) != 0) lengths.push_back(n);
  for (std::size_t n : {243, 343, 625, 1000, 1001, 1009, 1331, 2197, 2018, 768})
    lengths.push_back(n);
  for (const std::size_t n : lengths) {
    const auto values = pseudo_random(2 * n, n);
    const auto x = as_complex(values);
    std::vector<std::complex<long double>> turn(n);
    for (std::size_t k = 0; k < n; ++k) {
      const long double angle = -2 * 3.14159265358979323846264338327950288L * k / n;
      turn[k] = {std::cos(angle), std::sin(angle)};
    }
    auto z = x;
    conv::fft(z);
    long double error = 0, power = 0;
    for (std::size_t k = 0; k < n; ++k) {
      std::complex<long double> sum = 0;
      for (std::size_t j = 0; j < n; ++j)
        sum += std::complex<long double>(x[j].real(), x[j].imag()) * turn[j * k % n];
      error = std::max(error, std::abs(std::complex<long double>(z[k].real(), z[k].imag()) - sum));
      power += std::norm(sum);
    }
    // Round trips within a few eps sqrt(log2 n) of the values (at most 5).
    const double eps = 0x1p-52, rms = double(std::sqrt(power / n));
    const double trip = 4 * eps * std::sqrt(std::log2(double(n)));
    EXPECT_LE(double(error), 3 * eps * std::sqrt(std::log2(double(n))) * rms) << n;

    conv::ifft(z);
    std::vector<double> real(n), back(n);
    std::vector<Complex> spectrum(n / 2 + 1);
    for (std::size_t j = 0; j < n; ++j) {
      ASSERT_LE(std::abs(z[j] - x[j]), trip * 5) << n << " " << j;
      real[j] = x[j].real();
    }
    conv::rfft(real, spectrum);
    auto full = std::vector<Complex>(real.begin(), real.end());
    conv::fft(full);
    conv::irfft(spectrum, back);
    for (std::size_t k = 0; k <= n / 2; ++k)
      ASSERT_LE(std::abs(spectrum[k] - full[k]), trip * rms) << n << " " << k;
    for (std::size_t j = 0; j < n; ++j) ASSERT_LE(std::abs(back[j] - real[j]), trip * 5) << n;
  }
  const std::size_t shape[] = {6, 8, 5};
  auto grid = as_complex(pseudo_random(2 * 240, 240));
  auto by_axes = grid;
  conv::fftn(grid, shape);
  std::vector<Complex> line;
  for (std::size_t axis = 3, stride = 1; axis-- > 0; stride *= shape[axis])
    for (std::size_t start = 0; start < by_axes.size(); ++start) {
      if (start / stride % shape[axis] != 0) continue;
      line.resize(shape[axis]);
      for (std::size_t j = 0; j < line.size(); ++j) line[j] = by_axes[start + j * stride];
      conv::fft(line);
      for (std::size_t j = 0; j < line.size(); ++j) by_axes[start + j * stride] = line[j];
    }
  expect_bits(reinterpret_cast<Real*>(grid.data()), reinterpret_cast<Real*>(by_axes.data()),
              2 * grid.size(), "fftn");
}

TEST(Conventional, RefusalsAreInvalidArgumentsNamingTheFault) {
  std::vector<Complex> six(6), eight(8);
  std::vector<Real> reals(8), five(5), outside{0.5, 2.0}, two(2);
  const std::size_t shape[] = {2, 0};
  const struct {
    const char* name;
    std::function<void()> call;
    const char* text;
  } cases[] = {
      {"ifft", [&] { conv::ifft(std::span<Complex>()); }, "ifft: length 0 is not from 1 to"},
      {"rfft out", [&] { conv::rfft(reals, eight); }, "rfft: the output holds 8 values, not 5"},
      {"irfft", [&] { conv::irfft(eight, five); }, "irfft: the spectrum holds 8 values, not 3"},
      {"fftn", [&] { conv::fftn(six, shape); }, "fftn: length of axis 1, 0 is not from 1"},
      {"correlate", [&] { conv::correlate(reals, five, reals); }, "second sequence holds 5"},
      {"fit", [&] { conv::chebyshev_nodes(0, 1, std::span<Real>()); }, "n 0 is not from 1"},
      {"eval", [&] { conv::chebyshev_eval(reals, 0, 1, outside, two); }, "x[1] = 2 is"},
      {"integral", [&] { conv::chebyshev_integral(std::span<Real>(reals).first(1), 0, 1, five); },
       "n 1 is below 2"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.name << " was not refused";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

} // namespace
