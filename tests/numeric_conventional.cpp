// SPDX-License-Identifier: BSD-3-Clause
// The conventional layer: its transforms against references in long double,
// the series and the table against the routines they map onto (the
// toolkit's bits, with only exact steps between), and its refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <stdexcept>
#include <vector>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/tabulated.h>

#include "numeric/fft/any_length.h"
#include "numeric/fft/engine.h"
#include "numeric/fft/unit_roots.h"
#include "numeric_support.h"

namespace {

namespace conv = tamsel::conventional;
using conv::Complex;
using tamsel::Integer;
using tamsel::Real;
using tamsel::test_support::bits;
using tamsel::test_support::pseudo_random;
using tamsel::test_support::real_transform_errors, tamsel::test_support::relative_rms;

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

// A transform of n = 2^k values in long double, radix 2 by recursion, with
// roots from cosl and sinl: X[k] = sum_j x[j] exp(-2 pi i j k / n).
using Wide = std::complex<long double>;
void wide_fft(Wide* x, std::size_t n, std::size_t stride, const std::vector<Wide>& roots,
              Wide* out) {
  if (n == 1) {
    out[0] = x[0];
    return;
  }
  wide_fft(x, n / 2, 2 * stride, roots, out);
  wide_fft(x + stride, n / 2, 2 * stride, roots, out + n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) {
    const Wide a = out[k], b = roots[k * stride] * out[k + n / 2];
    out[k] = a + b;
    out[k + n / 2] = a - b;
  }
}


// The powers of two, radix 2 with exact factors: for random values at
// every power of two up to 2^16, fft within 0.6 eps sqrt(log2 n) (relative
// RMS; measured: up to 0.38) of a transform in long double and of the
// mixed-radix engine's (measured: up to 0.43); ifft is the conjugate of fft
// of the conjugate over n, bit for bit (the backward plan's factors are
// the conjugates); rfft is fft of the real values to rounding and irfft
// takes it back.
TEST(Conventional, PowersOfTwoAgainstALongDoubleTransform) {
  const double eps = 0x1p-52;
  for (std::size_t n = 1; n <= (std::size_t{1} << 16); n *= 2) {
    const auto x = as_complex(pseudo_random(2 * n, 3 * n + 1));
    const double lg = std::max(1.0, std::log2(double(n)));
    std::vector<Wide> roots(n), wide(x.begin(), x.end()), want(n);
    for (std::size_t k = 0; k < n; ++k) {
      const long double angle = -2 * 3.14159265358979323846264338327950288L * k / n;
      roots[k] = {std::cos(angle), std::sin(angle)};
    }
    wide_fft(wide.data(), n, 1, roots, want.data());
    auto z = x, mixed = x;
    conv::fft(z);
    tamsel::fft::any::forward(mixed);
    EXPECT_LE(relative_rms(z, want), 0.6 * eps * std::sqrt(lg)) << n;
    EXPECT_LE(relative_rms(z, mixed), 0.6 * eps * std::sqrt(lg)) << n;

    auto back = x, conjugate = x;
    for (Complex& v : conjugate) v = std::conj(v);
    conv::ifft(back);
    conv::fft(conjugate);
    for (std::size_t j = 0; j < n; ++j) {
      const Complex v = std::conj(conjugate[j]) / double(n);
      ASSERT_EQ(bits(back[j].real()), bits(v.real())) << n << " " << j;
      ASSERT_EQ(bits(back[j].imag()), bits(v.imag())) << n << " " << j;
    }

    const auto real = real_transform_errors(x);
    EXPECT_LE(real.spectrum, 2 * eps * lg) << n;
    EXPECT_LE(real.trip, eps * lg) << n;
  }
}

// Even lengths up to 256 and odd ones up to 131 (the primes among them by
// real sums), bit for bit: rfft is fft of the values with imaginary parts
// 0 (those of the first and, n even, last values +0), irfft the real parts
// of ifft of the spectrum extended by its conjugates.
TEST(Conventional, ShortRealTransformsAreComplexOnes) {
  for (std::size_t n = 2; n <= 256; ++n) {
    if (n % 2 == 1 && n > 131) continue;
    const std::vector<Real> x = pseudo_random(n, 5 * n + 3);
    std::vector<Complex> z(n), spectrum(n / 2 + 1);
    for (std::size_t j = 0; j < n; ++j) z[j] = Complex(x[j], 0.0);
    conv::fft(z);
    z[0].imag(0.0);
    if (n % 2 == 0) z[n / 2].imag(0.0);
    conv::rfft(x, spectrum);
    expect_bits(reinterpret_cast<const Real*>(spectrum.data()),
                reinterpret_cast<const Real*>(z.data()), 2 * (n / 2 + 1), "rfft");
    for (std::size_t k = 1; k < (n + 1) / 2; ++k) z[n - k] = std::conj(z[k]);
    std::vector<Real> back(n);
    conv::irfft(spectrum, back);
    conv::ifft(z);
    for (std::size_t j = 0; j < n; ++j) ASSERT_EQ(bits(back[j]), bits(z[j].real())) << n << " " << j;
  }
}

// The exact factors are unit_root's, bit for bit: every kept table (sign -1
// the roots, +1 their conjugates, zero parts +0) and the runs beyond them.
TEST(Conventional, ExactFactorsAreUnitRoots) {
  const auto expect_root = [](Integer sign, Integer m, Integer j, const Real* w) {
    const Complex r = tamsel::fft::unit_root(std::uint64_t(j), std::uint64_t(m));
    const Real im = sign == 1 ? 0.0 - r.imag() : r.imag();
    ASSERT_EQ(bits(w[0]), bits(r.real())) << sign << " " << m << " " << j;
    ASSERT_EQ(bits(w[1]), bits(im)) << sign << " " << m << " " << j;
  };
  for (Integer sign : {1, -1}) {
    for (Integer m = 2; m <= (Integer{1} << 16); m *= 2) {
      const Real* table = tamsel::fft::exact_twiddles(sign, m);
      for (Integer j = 0; j < m / 2; ++j) expect_root(sign, m, j, table + 2 * j);
    }
    using tamsel::fft::kRun;
    std::vector<Real> runs(8 * kRun);
    for (Integer m : {Integer{1} << 12, Integer{1} << 22, Integer{1} << 30}) {
      for (Integer i0 : {Integer{0}, m / 16, m / 8 - kRun}) {
        tamsel::fft::exact_runs(sign, m, i0, runs.data());
        const Integer starts[] = {i0, m / 4 - i0 - kRun, m / 4 + i0, m / 2 - i0 - kRun};
        for (int r = 0; r < 4; ++r)
          for (Integer j = 0; j < kRun; ++j)
            expect_root(sign, m, starts[r] + j, &runs[2 * std::size_t(r * kRun + j)]);
      }
    }
  }
}

// Every kernel table at every alignment (0, 16, 32 and 48 bytes from a
// 64-byte boundary) gives the portable table's bits: fft, ifft, rfft and
// irfft at every power of two up to 2^14, and at lengths whose passes of
// radix 2 to 13 have strides of every kind (1, odd, even, multiples of 4).
using ConventionalKernels = tamsel::test_support::EveryKernel;
TEST_P(ConventionalKernels, LengthsGiveThePortableBits) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 1; n <= (std::size_t{1} << 14); n *= 2) lengths.push_back(n);
  for (std::size_t n : {6, 12, 40, 96, 250, 1000, 1536, 3000, 6144, 10000, 15625, 20480, 45, 154,
                        364, 1001, 2 * 1001})
    lengths.push_back(n);
  for (const std::size_t n : lengths) {
    const auto values = pseudo_random(2 * n, n + 7);
    const auto x = as_complex(values);
    const std::vector<Real> real(values.begin(), values.begin() + std::ptrdiff_t(n));
    std::vector<Complex> buffer(n + 8);
    std::vector<Real> reals(n + 16);
    const auto first = [](const void* p) {
      return (64 - reinterpret_cast<std::uintptr_t>(p) % 64) % 64;
    };
    // The four results side by side, the outputs at `offset` 16-byte steps
    // from a 64-byte boundary.
    const auto run = [&](std::size_t offset) {
      std::vector<Real> out;
      const std::span<Complex> z(buffer.data() + first(buffer.data()) / 16 + offset, n);
      const std::span<Real> r(reals.data() + first(reals.data()) / 8 + 2 * offset, n);
      const auto keep = [&out](const auto& span) {
        for (const auto& v : span) {
          const Complex c(v);
          out.insert(out.end(), {c.real(), c.imag()});
        }
      };
      std::copy(x.begin(), x.end(), z.begin());
      conv::fft(z);
      keep(z);
      std::copy(x.begin(), x.end(), z.begin());
      conv::ifft(z);
      keep(z);
      conv::rfft(real, z.first(n / 2 + 1));
      keep(z.first(n / 2 + 1));
      const std::vector<Complex> spectrum(z.begin(), z.begin() + std::ptrdiff_t(n / 2 + 1));
      conv::irfft(spectrum, r);
      keep(r);
      return out;
    };
    std::vector<Real> portable;
    {
      const tamsel::kernels::KernelOverride plain(tamsel::kernels::Kernel::portable);
      portable = run(0);
    }
    for (std::size_t offset = 0; offset < 4; ++offset)
      ASSERT_EQ(tamsel::test_support::first_difference(run(offset), portable), -1)
          << "n=" << n << " offset=" << 16 * offset;
  }
}
TAMSEL_INSTANTIATE_EVERY_KERNEL(ConventionalKernels);

// correlate is correl's bits.
TEST(Conventional, CorrelateIsCorrelsBits) {
  for (Integer n = 2; n <= 8192; n *= 2) {
    const auto x = pseudo_random(2 * std::size_t(n), std::uint64_t(n));
    const std::vector<Real> a(x.begin(), x.begin() + n), b(x.begin() + n, x.end());
    std::vector<Real> want(2 * std::size_t(n)), got(static_cast<std::size_t>(n));
    tamsel::correl(a.data(), b.data(), n, want.data());
    conv::correlate(a, b, got);
    expect_bits(got.data(), want.data(), got.size(), "correlate");
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
// mixed-radix passes of every radix (the primes up to 130 by direct sums)
// and for Bluestein's convolution (1009, 2018); the
// inverses and the real transforms, even and odd, give the sequence back;
// fftn, of a shape that mixes both kinds or of powers of two, is fft along
// each axis, bit for bit.
TEST(Conventional, AnyLengthAgainstADirectTransform) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 3; n <= 130; ++n)
    if ((n & (n - 1)) != 0) lengths.push_back(n);
  for (std::size_t n : {139, 197, 243, 343, 625, 1000, 1001, 1009, 1331, 2197, 2018, 768, 144, 400})
    lengths.push_back(n);
  for (const std::size_t n : lengths) {
    const auto values = pseudo_random(2 * n, n);
    const auto x = as_complex(values);
    // The direct sums in long double, their products written out, at every
    // bin of the shorter lengths and at 64 bins drawn at random of the
    // longer (a bin's sum costs n products); the power from Parseval.
    std::vector<long double> c(n), s(n);
    for (std::size_t k = 0; k < n; ++k) {
      const long double angle = -2 * 3.14159265358979323846264338327950288L * k / n;
      c[k] = std::cos(angle);
      s[k] = std::sin(angle);
    }
    std::vector<std::size_t> bins(n <= 256 ? n : 64);
    std::mt19937_64 draw(n);
    for (std::size_t i = 0; i < bins.size(); ++i) bins[i] = n <= 256 ? i : draw() % n;
    auto z = x;
    conv::fft(z);
    long double error = 0, power = 0;
    for (std::size_t j = 0; j < n; ++j)
      power += n * ((long double)x[j].real() * x[j].real() + (long double)x[j].imag() * x[j].imag());
    for (const std::size_t k : bins) {
      long double re = 0, im = 0;
      for (std::size_t j = 0, jk = 0; j < n; ++j, jk = (jk + k) % n) {
        re += x[j].real() * c[jk] - x[j].imag() * s[jk];
        im += x[j].real() * s[jk] + x[j].imag() * c[jk];
      }
      error = std::max(error, std::hypot(z[k].real() - re, z[k].imag() - im));
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
  for (const auto& shape : {std::vector<std::size_t>{6, 8, 5}, std::vector<std::size_t>{4, 8, 2}}) {
    const std::size_t count = shape[0] * shape[1] * shape[2];
    auto grid = as_complex(pseudo_random(2 * count, count));
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
}

TEST(Conventional, RefusalsAreInvalidArgumentsNamingTheFault) {
  std::vector<Complex> six(6), eight(8);
  std::vector<Real> reals(8), five(5), outside{0.5, 2.0}, two(2);
  const std::size_t shape[] = {2, 0};
  const tamsel::test_support::Refusal cases[] = {
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
  tamsel::test_support::expect_refusals(cases);
}

} // namespace
