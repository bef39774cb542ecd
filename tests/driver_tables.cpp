// SPDX-License-Identifier: BSD-3-Clause
// Loading the curve tables, in-process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/stop.h"
#include "driver/tables.h"
#include "e2e.h"

namespace {

using tamsel::RunState;

std::string records(int count, double x0, double y0) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += std::to_string(x0 + 0.001 * i) + " " + std::to_string(y0 + 0.5 * i) + "\n";
  return text;
}

struct Loaded {
  e2e::TempDir dir;
  std::unique_ptr<RunState> st = std::make_unique<RunState>();
  void load(const std::string& spec_table, const std::string& log_table) {
    dir.write("corrspec.in", spec_table);
    dir.write("corrlog.in", log_table);
    e2e::ScopedChdir here(dir.path());
    tamsel::load_tables(*st, AT_FDCWD);
  }
  // Entry i of the tables: its abscissa and the two ordinates.
  std::tuple<double, double, double> entry(int i) const { return {st->x[i], st->s[i], st->l[i]}; }
};

// The records of the two files pair up; the shorter file sets the count
// (npts), corrspec.in the abscissae, and the closing point (1.0) takes the
// last ordinates.  Entries not written stay 0.
TEST(Tables, RecordsPairUpAndTheShorterFileSetsTheCount) {
  using Entry = std::tuple<double, double, double>; // x, s, l
  const struct {
    std::string spec, log;
    int npts;
    std::vector<std::pair<int, Entry>> entries;
  } cases[] = {
      {"", "\n\n", 1, {{0, {0.0, 0.0, 0.0}}, {1, {1.0, 0.0, 0.0}}}},
      {"0.2 1.5\n0.4 2.5\n0.6 3.5\n", "9.1 7.25\n9.2 8.25\n9.3 9.25\n9.4 1\n9.5 2\n", 4,
       {{1, {0.2, 1.5, 7.25}}, {3, {0.6, 3.5, 9.25}}, {4, {1.0, 3.5, 9.25}}}},
      {records(10, 0.1, 1.0), "0.7 0.5\n0.8 0.75\n", 3, // x from corrspec.in, not 0.8
       {{2, {0.101, 1.5, 0.75}}, {3, {1.0, 1.5, 0.75}}, {4, {0.0, 0.0, 0.0}}}},
      // A record split over lines and commas reads as one.
      {"0.25\n  1.75 extra words\n0.5,2.25\n", "0.25,\n0.125\n0.5 0.375\n", 3,
       {{1, {0.25, 1.75, 0.125}}, {2, {0.5, 2.25, 0.375}}}},
  };
  for (const auto& c : cases) {
    Loaded t;
    t.load(c.spec, c.log);
    EXPECT_EQ(t.st->npts, c.npts) << c.spec;
    for (const auto& [i, want] : c.entries) EXPECT_EQ(t.entry(i), want) << c.spec << "entry " << i;
  }
}

// Whether the fits may bisect: the abscissae from entry 0 (0.0) to the
// closing point (1.0) must never descend.
TEST(Tables, RecordWhetherTheAbscissaeAscend) {
  const std::string log = records(4, 0.3, 1.0);
  const struct {
    const char* spec;
    bool ascending;
  } cases[] = {
      {"0.2 1\n0.2 2\n0.5 3\n0.9 4\n", true},   // equal neighbours still ascend
      {"0.2 1\n0.5 2\n0.4 3\n0.9 4\n", false},  // a step down
      {"0.2 1\n0.5 2\n0.9 3\n1.2 4\n", false},  // beyond the closing point
      {"-0.2 1\n0.5 2\n", false},                 // below entry 0
  };
  for (const auto& c : cases) {
    Loaded t;
    t.load(c.spec, log);
    EXPECT_EQ(t.st->x_ascending, c.ascending) << c.spec;
  }
}

TEST(Tables, AtMost128RecordsAndTheClosingPointHasItsOwnEntry) {
  Loaded full;
  full.load(records(128, 0.1, 1.0), records(128, 0.1, 2.0));
  EXPECT_EQ(full.st->npts, 129);
  EXPECT_EQ(full.st->s[128], 1.0 + 0.5 * 127);
  EXPECT_EQ(full.entry(129), std::make_tuple(1.0, full.st->s[128], full.st->l[128]));

  Loaded more;
  // Records after the 128th are not read, even a malformed one.
  more.load(records(128, 0.1, 1.0) + "bad bad\n", records(130, 0.1, 2.0));
  EXPECT_EQ(more.st->npts, 129);
  EXPECT_EQ(more.st->x[128], std::stod(std::to_string(0.1 + 0.001 * 127)));
}

TEST(Tables, MissingFileAndMalformedFieldStopNamingTheFile) {
  e2e::TempDir dir;
  auto st = std::make_unique<RunState>();
  e2e::ScopedChdir here(dir.path());
  dir.write("corrlog.in", "0.1 0.2\n");
  try {
    tamsel::load_tables(*st, AT_FDCWD);
    FAIL();
  } catch (const tamsel::Stop& s) {
    EXPECT_EQ(s.status(), 2);
    EXPECT_STREQ(s.what(), "tamsel: corrspec.in: cannot open: No such file or directory");
  }
  dir.write("corrspec.in", "0.1 0.3\n0.2 x\n");
  dir.write("corrlog.in", "0.1 0.2\n0.2 0.4\n");
  try {
    tamsel::load_tables(*st, AT_FDCWD);
    FAIL();
  } catch (const tamsel::Stop& s) {
    EXPECT_STREQ(s.what(), "tamsel: corrspec.in:2: 'x' is not a number");
  }
}

} // namespace
