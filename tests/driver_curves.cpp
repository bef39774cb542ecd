// SPDX-License-Identifier: BSD-3-Clause
// Building the sample curves, in-process.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/curves.h"
#include "driver/state.h"
#include "driver/tables.h"
#include "e2e.h"
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/errors.h>

namespace {

using tamsel::matrix_at;
using tamsel::RunState;

// The worked example's tables, as the loader leaves them.
std::unique_ptr<RunState> example(double fmin, double fmax, int row) {
  auto st = std::make_unique<RunState>();
  const double x[] = {0.0, 0.2, 0.5, 0.8, 1.0};
  const double s[] = {0.0, 1.0, 3.0, 2.0, 2.0};
  const double l[] = {0.0, 0.5, 1.0, 2.5, 2.5};
  for (int i = 0; i < 5; ++i) st->x[i] = x[i], st->s[i] = s[i], st->l[i] = l[i];
  st->npts = 4;
  st->fmin = fmin;
  st->fmax = fmax;
  st->width = fmax - fmin;
  st->sample_count = row - 1;
  return st;
}

TEST(Curves, WorkedExampleMeansAndEndPoints) {
  auto st = example(0.1, 0.9, 3);
  tamsel::build_curves(*st);
  EXPECT_NEAR(st->spec_mean, 2.038172, 5e-7);
  EXPECT_NEAR(st->log_mean, 1.295747, 5e-7);
  EXPECT_NEAR(matrix_at(st->agem, 3, 1), -1.547438, 5e-7);
  EXPECT_NEAR(matrix_at(st->xlgrm, 3, 1), -1.044497, 5e-7);
  EXPECT_NEAR(matrix_at(st->agem, 3, 128), -0.044447, 5e-7);
  EXPECT_NEAR(matrix_at(st->xlgrm, 3, 128), 1.198026, 5e-7);
  EXPECT_EQ(matrix_at(st->agem, 3, 0), 0.1);
  EXPECT_EQ(matrix_at(st->xlgrm, 3, 0), 0.9);
  // Column by column, sample index fastest: row 3's first curve value sits
  // 128 entries after its fmin, and rows 2 and 4 stay untouched.
  EXPECT_EQ(&matrix_at(st->agem, 3, 1) - &matrix_at(st->agem, 3, 0), 128);
  EXPECT_EQ(matrix_at(st->agem, 2, 1), 0.0);
  EXPECT_EQ(matrix_at(st->agem, 4, 1), 0.0);
  // The points run from 0 to the window's width in 127 equal steps.
  EXPECT_EQ(st->points[0], 0.0);
  EXPECT_LE(st->points[127], st->width);
  EXPECT_NEAR(st->points[127], st->width, 1e-15);
}

TEST(Curves, ReversedWindowStopsOnlyWhenTheLastPointFallsOutside) {
  auto stops = example(0.29, 0.04, 1);
  try {
    tamsel::build_curves(*stops);
    FAIL() << "0.29 to 0.04 must be refused";
  } catch (const tamsel::DomainError& refusal) {
    EXPECT_STREQ(refusal.what(), "ERROR(CHEBEV): x not in range .");
  }
  auto runs = example(0.4, 0.1, 1);
  tamsel::build_curves(*runs);
  for (int i = 1; i <= 128; ++i) {
    EXPECT_EQ(runs->points[i - 1], runs->width);
    EXPECT_EQ(matrix_at(runs->agem, 1, i), matrix_at(runs->agem, 1, 1));
  }
}

TEST(Curves, DegenerateWindowAndEmptyTables) {
  auto flat = example(0.5, 0.5, 1);
  tamsel::build_curves(*flat);
  for (int i = 1; i <= 128; ++i) {
    EXPECT_TRUE(std::isnan(matrix_at(flat->agem, 1, i)));
    EXPECT_TRUE(std::isnan(matrix_at(flat->xlgrm, 1, i)));
  }
  auto empty = std::make_unique<RunState>();
  empty->x[1] = 1.0;
  empty->npts = 1;
  empty->fmin = 0.1;
  empty->fmax = 0.4;
  empty->width = empty->fmax - empty->fmin;
  tamsel::build_curves(*empty);
  for (int i = 1; i <= 128; ++i) {
    EXPECT_EQ(matrix_at(empty->agem, 1, i), 0.0);
    EXPECT_EQ(matrix_at(empty->xlgrm, 1, i), 0.0);
  }
}

// An ascending table may be searched by bisection: the curves keep every bit.
TEST(Curves, AscendingTablesGiveTheSameBitsEitherWay) {
  for (double fmin : {0.1, 0.25, 0.63}) {
    auto scanned = example(fmin, 0.9, 2);
    auto bisected = example(fmin, 0.9, 2);
    bisected->x_ascending = true;
    tamsel::build_curves(*scanned);
    tamsel::build_curves(*bisected);
    for (int i = 0; i <= 128; ++i) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(matrix_at(scanned->agem, 2, i)),
                std::bit_cast<std::uint64_t>(matrix_at(bisected->agem, 2, i)));
      EXPECT_EQ(std::bit_cast<std::uint64_t>(matrix_at(scanned->xlgrm, 2, i)),
                std::bit_cast<std::uint64_t>(matrix_at(bisected->xlgrm, 2, i)));
    }
  }
}

// The coefficient of the window [fmin, fmax] on the tables in st, as the
// run forms it for its first sample.
double coefficient(RunState& st, double fmin, double fmax) {
  st.fmin = fmin;
  st.fmax = fmax;
  st.width = fmax - fmin;
  st.sample_count = 0;
  tamsel::build_curves(st);
  tamsel::correlate_sample(st, 1);
  return tamsel::cc_diagonal(st, 1);
}

// sum(g*h) / sqrt(sum(g*g) * sum(h*h)) on the curves as built, each first
// divided by its largest magnitude, summed in long double.
double direct_coefficient(const RunState& st) {
  double g_largest = 0.0, h_largest = 0.0;
  for (int j = 1; j <= 128; ++j) {
    g_largest = std::max(g_largest, std::fabs(matrix_at(st.agem, 1, j)));
    h_largest = std::max(h_largest, std::fabs(matrix_at(st.xlgrm, 1, j)));
  }
  long double gh = 0, gg = 0, hh = 0;
  for (int j = 1; j <= 128; ++j) {
    const long double g = (long double)matrix_at(st.agem, 1, j) / g_largest;
    const long double h = (long double)matrix_at(st.xlgrm, 1, j) / h_largest;
    gh += g * h;
    gg += g * g;
    hh += h * h;
  }
  return double(gh / std::sqrt(gg * hh));
}

// Scaling the values of either table, or both, by any factor from 1e-300 to
// 1e300 leaves the example's coefficients as they are; random tables at
// random scales give coefficients within 1 (up to rounding) that agree with
// the definition, and NaN, never an infinity, when one table is zero
// throughout.
TEST(Correlation, CoefficientIsUnitFreeAndWithinOne) {
  auto st = std::make_unique<RunState>();
  {
    e2e::ScopedChdir in_example(std::string(TAMSEL_EXAMPLES) + "/smooth");
    tamsel::load_tables(*st, AT_FDCWD);
  }
  const std::vector<double> spec_values(st->s, st->s + st->npts + 1);
  const std::vector<double> log_values(st->l, st->l + st->npts + 1);
  auto scale_tables = [&](double spec_factor, double log_factor) {
    for (std::size_t i = 0; i < spec_values.size(); ++i) {
      st->s[i] = spec_values[i] * spec_factor;
      st->l[i] = log_values[i] * log_factor;
    }
  };
  std::vector<std::pair<double, double>> factors = {
      {1e300, 1e300}, {1e-300, 1e-300}, {1e300, 1e-300}, {1e-300, 1e300},
      {3.7e299, 9.1e298}, {2.3e-299, 5.9e-300}};
  for (int e = -300; e <= 300; e += 23) {
    factors.push_back({3.7 * std::pow(10.0, e), 1.0});
    factors.push_back({1.0, 1.3 * std::pow(10.0, -e)});
  }
  const double windows[][2] = {{0.05, 0.95}, {0.10, 0.50}, {0.20, 0.45}, {0.55, 0.85},
                               {0.50, 0.95}};
  for (const auto& window : windows) {
    scale_tables(1.0, 1.0);
    const double unscaled = coefficient(*st, window[0], window[1]);
    // Curves of like and moderate size keep the plain quotient, bit for bit.
    double g[128], h[128], work[256];
    for (int j = 1; j <= 128; ++j) {
      g[j - 1] = matrix_at(st->agem, 1, j);
      h[j - 1] = matrix_at(st->xlgrm, 1, j);
    }
    const double plain = tamsel::correl_zero_lag(g, h, 128, work) /
                         std::sqrt(tamsel::correl_zero_lag(g, g, 128, work) *
                                   tamsel::correl_zero_lag(h, h, 128, work));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(unscaled), std::bit_cast<std::uint64_t>(plain));
    for (const auto& [spec_factor, log_factor] : factors) {
      scale_tables(spec_factor, log_factor);
      const double cc = coefficient(*st, window[0], window[1]);
      EXPECT_NEAR(cc, unscaled, 1e-9) << spec_factor << " " << log_factor << " " << window[0];
    }
  }

  std::mt19937_64 gen(12);
  std::uniform_real_distribution<double> unit(0.0, 1.0), value(-1.0, 1.0), decade(-300.0, 300.0);
  for (int trial = 0; trial < 3000; ++trial) {
    const int records = 2 + int(unit(gen) * 60);
    for (int r = 1; r <= records; ++r) st->x[r] = unit(gen);
    std::sort(st->x + 1, st->x + records + 1);
    const double spec_factor = std::pow(10.0, decade(gen));
    const double log_factor = trial % 16 == 0 ? 0.0 : std::pow(10.0, decade(gen));
    for (int r = 1; r <= records; ++r) {
      st->s[r] = value(gen) * spec_factor;
      st->l[r] = value(gen) * log_factor;
    }
    st->npts = records + 1;
    st->x[records + 1] = 1.0;
    st->s[records + 1] = st->s[records];
    st->l[records + 1] = st->l[records];
    st->x_ascending = true;
    double fmin = unit(gen), fmax = unit(gen);
    if (fmax < fmin) std::swap(fmin, fmax);
    fmax += 0.01;
    const double cc = coefficient(*st, fmin, fmax);
    if (log_factor == 0.0) {
      EXPECT_TRUE(std::isnan(cc)) << trial;
    } else {
      // Within 1 up to rounding, far below the report's last decimal.
      EXPECT_LE(std::fabs(cc), 1.0 + 1e-9) << trial;
      // Curves kept as they are (within a factor 1e6) carry up to 1e6 times
      // the rounding of the larger one; scaled ones agree to about 1e-14.
      EXPECT_NEAR(cc, direct_coefficient(*st), 1e-8) << trial;
    }
  }
}

} // namespace
