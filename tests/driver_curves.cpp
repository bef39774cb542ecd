// SPDX-License-Identifier: BSD-3-Clause
// Building the sample curves, in-process.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>

#include "driver/curves.h"
#include "driver/state.h"
#include "numeric/stop.h"

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
    FAIL() << "0.29 to 0.04 must stop";
  } catch (const tamsel::Stop& s) {
    EXPECT_EQ(s.status(), 1);
    EXPECT_STREQ(s.what(), "ERROR(CHEBEV): x not in range .");
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

} // namespace
