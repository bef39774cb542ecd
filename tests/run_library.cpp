// SPDX-License-Identifier: BSD-3-Clause
// The run as a library: windows over tables of any length and range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <tamsel/run.h>

namespace {

using tamsel::Real;

std::uint64_t library_bits(Real v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Tables of a wavy spec curve and a log curve that partly follows it, at
// `n` records spaced unevenly from `low` to `high`.
struct LibraryTables {
  std::vector<Real> x, spec, log;
  LibraryTables(int n, Real low, Real high, std::mt19937_64& random) {
    std::uniform_real_distribution<Real> jitter(-0.3, 0.3);
    for (int i = 0; i < n; ++i) {
      const Real u = (i + 0.5 + jitter(random)) / n;
      x.push_back(low + (high - low) * u);
      spec.push_back(2.385 * std::sin(9.1 * u) + 0.37 * std::cos(31.0 * u));
      log.push_back(1.7 * std::sin(8.3 * u + 0.4) - 0.21 * u * u);
    }
  }
};

TEST(Library, WindowsOverAnyTableMeasureWhatTheRecordsHold) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<Real> where(0.0, 1.0);
  for (int trial = 0; trial < 20; ++trial) {
    // The same 1000 records in hertz and rescaled to [0, 1]: the same
    // coefficients but for the rounding of the abscissae.
    const Real low = 120.0, high = 9800.0;
    const LibraryTables hz(1000, low, high, random);
    std::vector<Real> unit(hz.x.size());
    for (std::size_t i = 0; i < unit.size(); ++i) unit[i] = (hz.x[i] - low) / (high - low);
    std::vector<Real> fmin, fmax, unit_min, unit_max;
    for (int w = 0; w < 10; ++w) {
      const Real a = 0.01 + 0.9 * where(random), b = a + (0.99 - a) * (0.05 + 0.95 * where(random));
      fmin.push_back(low + (high - low) * a), fmax.push_back(low + (high - low) * b);
      unit_min.push_back(a), unit_max.push_back(b);
    }
    const auto in_hz = tamsel::correlate_windows(hz.x, hz.spec, hz.log, fmin, fmax);
    const auto in_unit = tamsel::correlate_windows(unit, hz.spec, hz.log, unit_min, unit_max);
    ASSERT_EQ(in_hz.samples.size(), fmin.size());
    for (std::size_t w = 0; w < fmin.size(); ++w) {
      EXPECT_NEAR(in_hz.samples[w].coefficient, in_unit.samples[w].coefficient, 1e-12) << w;
      EXPECT_TRUE(in_hz.samples[w].warnings.empty()) << w;
      EXPECT_GT(in_hz.samples[w].records, 3) << w;
    }

    // Records the run could read, and the same with a far record after
    // them, which makes tables the run could not read: every window inside
    // the first records gives the same bits.
    const LibraryTables run_sized(100, 0.0, 1.0, random);
    LibraryTables longer = run_sized;
    longer.x.push_back(7.5), longer.spec.push_back(1e300), longer.log.push_back(-3.0);
    std::vector<Real> lo, hi;
    for (int w = 0; w < 10; ++w) {
      const Real a = run_sized.x.front() + (run_sized.x.back() - run_sized.x.front()) * where(random);
      lo.push_back(a), hi.push_back(a + (run_sized.x.back() - a) * where(random));
    }
    const auto short_one = tamsel::correlate_windows(run_sized.x, run_sized.spec, run_sized.log, lo, hi);
    const auto long_one = tamsel::correlate_windows(longer.x, longer.spec, longer.log, lo, hi);
    for (std::size_t w = 0; w < lo.size(); ++w) {
      EXPECT_EQ(library_bits(short_one.samples[w].coefficient),
                library_bits(long_one.samples[w].coefficient)) << w;
      EXPECT_EQ(short_one.samples[w].warnings, long_one.samples[w].warnings) << w;
      EXPECT_EQ(short_one.samples[w].records, long_one.samples[w].records) << w;
    }
  }
  // Windows reaching past the records of a long table, and unsorted
  // abscissae, are warned of.
  const LibraryTables hz(300, 50.0, 90.0, random);
  const Real below[] = {40.0}, above[] = {95.0};
  const auto outside = tamsel::correlate_windows(hz.x, hz.spec, hz.log, below, above);
  EXPECT_EQ(outside.samples[0].warnings,
            (std::vector<std::string>{"window-below-records", "window-above-records"}));
  std::vector<Real> shuffled = hz.x;
  std::swap(shuffled[10], shuffled[11]);
  const Real inside_min[] = {60.0}, inside_max[] = {80.0};
  EXPECT_EQ(tamsel::correlate_windows(shuffled, hz.spec, hz.log, inside_min, inside_max)
                .table_findings,
            std::vector<std::string>{"abscissa-not-rising"});
  EXPECT_THROW(tamsel::correlate_windows(hz.x, hz.spec, below, below, above),
               std::invalid_argument);
}

} // namespace
