// SPDX-License-Identifier: BSD-3-Clause
// The correlation report end to end.
#include <gtest/gtest.h>

#include <string>

#include "e2e.h"

namespace {

using e2e::console_lines;
using e2e::padded;

e2e::Result run_job(const e2e::TempDir& dir, const std::string& list, const std::string& spec_table,
                    const std::string& log_table) {
  dir.write("samples.lst", list);
  dir.write("corrspec.in", spec_table);
  dir.write("corrlog.in", log_table);
  return e2e::run_tamsel(dir.path());
}

TEST(Report, WorkedExample) {
  e2e::TempDir dir;
  auto r = run_job(dir, "wide\n0.1 0.9\nmid\n0.2 0.8\nnarrow\n0.3 0.7\n", e2e::kExampleSpec,
                   e2e::kExampleLog);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(e2e::without_warnings(r.err), "");
  EXPECT_EQ(dir.read("narrow_cross.txt"),
            e2e::block("narrow_cross.txt", " 0.4160", " 0.1000", " 0.9000") +
                e2e::block("narrow_cross.txt", " 0.3223", " 0.2000", " 0.8000") +
                e2e::block("narrow_cross.txt", " 0.3223", " 0.3000", " 0.7000"));
  EXPECT_EQ(dir.read("wide_cross.txt"), "");
  EXPECT_EQ(dir.read("mid_cross.txt"), "");
}

TEST(Report, IdenticalAndNegatedCurves) {
  const std::string spec_table = "0.1 0.3\n0.25 1.7\n0.4 2.385\n0.55 1.2\n0.7 -0.4\n0.9 0.15\n";
  const std::string negated = "0.1 -0.3\n0.25 -1.7\n0.4 -2.385\n0.55 -1.2\n0.7 0.4\n0.9 -0.15\n";
  e2e::TempDir same, opposite;
  const std::string list = "a\n0.05 0.95\nb\n0.3 0.6\n";
  ASSERT_EQ(run_job(same, list, spec_table, spec_table).status, 0);
  EXPECT_EQ(same.read("b_cross.txt"), e2e::block("b_cross.txt", " 1.0000", " 0.0500", " 0.9500") +
                                          e2e::block("b_cross.txt", " 1.0000", " 0.3000", " 0.6000"));
  ASSERT_EQ(run_job(opposite, list, spec_table, negated).status, 0);
  EXPECT_EQ(opposite.read("b_cross.txt"),
            e2e::block("b_cross.txt", "-1.0000", " 0.0500", " 0.9500") +
                e2e::block("b_cross.txt", "-1.0000", " 0.3000", " 0.6000"));
}

TEST(Report, EmptyTablesAndDegenerateWindowGiveNaN) {
  e2e::TempDir empty, flat;
  ASSERT_EQ(run_job(empty, "e\n0.1 0.4\n", "", "").status, 0);
  EXPECT_EQ(empty.read("e_cross.txt"), e2e::block("e_cross.txt", "    NaN", " 0.1000", " 0.4000"));
  ASSERT_EQ(run_job(flat, "f\n0.5 0.5\n", e2e::kExampleSpec, e2e::kExampleLog).status, 0);
  EXPECT_EQ(flat.read("f_cross.txt"), e2e::block("f_cross.txt", "    NaN", " 0.5000", " 0.5000"));
}

// A window whose fmin is not below fmax gets a warning naming its name line,
// once its curves are built; the stop of a reversed window comes alone.
TEST(Report, ReversedWindowStopsOrRunsAsItsLastPointFalls) {
  e2e::TempDir stops, runs;
  auto r = run_job(stops, "ok\n0.1 0.9\nrev\n0.29 0.04\n", e2e::kExampleSpec, e2e::kExampleLog);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, console_lines("ok") + console_lines("rev"));
  EXPECT_EQ(e2e::without_warnings(r.err), "ERROR(CHEBEV): x not in range .\n");
  EXPECT_EQ(stops.read("rev_cross.txt"), "");
  r = run_job(runs, "rev\n0.4 0.1\nok\n\n0.2 0.8\nflat\n0.5 0.5\nnan\nnan 0.5\n",
              e2e::kExampleSpec, e2e::kExampleLog);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, console_lines("rev") + console_lines("ok") + console_lines("flat") +
                       console_lines("nan"));
  const std::string warning =
      ": fmin is not below fmax, so its coefficient does not measure agreement\n";
  EXPECT_EQ(r.err, "tamsel: samples.lst:1: warning: sample rev" + warning +
                       "tamsel: samples.lst:6: warning: sample flat" + warning +
                       "tamsel: samples.lst:8: warning: sample nan" + warning);
  const std::string report = runs.read("nan_cross.txt");
  EXPECT_EQ(report.substr(0, 52), padded("nan_cross.txt") + "\n\n");
  EXPECT_NE(report.find(e2e::block("nan_cross.txt", "    NaN", " 0.5000", " 0.5000")),
            std::string::npos);
}

} // namespace
