// SPDX-License-Identifier: BSD-3-Clause
// Data the run cannot measure: a warning for each kind, and no coefficient
// from rounding noise; values of any finite size.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/curves.h"
#include "driver/run.h"
#include "driver/warnings.h"
#include "e2e.h"

namespace {

// n records "x f(x)" at x = first, first + step, ..., one to a line.
std::string table(int n, double first, double step, const std::function<double(double)>& f) {
  std::string text;
  char line[80];
  for (int i = 0; i < n; ++i) {
    const double x = first + step * i;
    std::snprintf(line, sizeof line, "%.17g %.17g\n", x, f(x));
    text += line;
  }
  return text;
}

std::string example(const char* file) {
  std::ifstream in(std::string(TAMSEL_EXAMPLES) + "/smooth/" + file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The example's spec table with line 46's abscissa replaced.
std::string example_spec_with_abscissa(const std::string& abscissa) {
  std::string text = example("corrspec.in");
  std::size_t at = 0;
  for (int line = 1; line < 46; ++line) at = text.find('\n', at) + 1;
  const std::size_t start = text.find_first_not_of(' ', at);
  text.replace(start, text.find(' ', start) - start, abscissa);
  return text;
}

// The example's spec table with every value times `factor`.
std::string example_spec_times(double factor) {
  std::istringstream in(example("corrspec.in"));
  std::string text;
  char line[80];
  for (double x, v; in >> x >> v;) {
    std::snprintf(line, sizeof line, "%.17g %.17g\n", x, v * factor);
    text += line;
  }
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The coefficient fields of a report, in order.
std::string coefficients(const std::string& report) {
  std::string fields;
  const std::string label = "Cross-correlation: ";
  for (std::size_t at = report.find(label); at != std::string::npos;
       at = report.find(label, at + 1))
    fields += report.substr(at + label.size(), 7) + "|";
  return fields;
}

const auto sin6 = [](double x) { return std::sin(6 * x); };
const auto sin7 = [](double x) { return std::sin(7 * x); };
const auto sin7_late = [](double x) { return std::sin(7 * x + 0.3); };

// Each case draws exactly its warnings, in order: the place ("FILE:LINE")
// and a phrase of each; the report holds the coefficients given.  The run
// itself succeeds.  The example stays silent.
TEST(Warnings, EachKindOfDataTheRunCannotMeasure) {
  const std::string spec = example("corrspec.in"), log = example("corrlog.in");
  std::string log3;
  for (int i = 0; i < 3; ++i) log3 += lines_of(log)[i] + "\n";
  const struct {
    const char* what;
    std::string list, spec, log;
    std::vector<std::pair<std::string, std::string>> warnings;
    std::string coefficients;
  } cases[] = {
      {"the example", example("samples.lst"), spec, log, {},
       " 0.5765| 0.6308| 0.4294| 0.2646| 0.4329|"},
      {"a constant spec table",
       "a\n0.2 0.8\nb\n0.1 0.3\n",
       table(99, 0.01, 0.01, [](double) { return 5.0; }), table(99, 0.01, 0.01, sin6),
       {{"samples.lst:1", "sample a: the spec curve holds no variation above the rounding"},
        {"samples.lst:3", "sample b: the spec curve holds no variation above the rounding"}},
       "    NaN|    NaN|"},
      {"a window one unit in the last place wide", "a\n0.5 0.5000000000000001\n", spec, log,
       {{"samples.lst:1", "sample a: no record lies inside the window"},
        {"samples.lst:1", "sample a: the spec curve holds no variation"},
        {"samples.lst:1", "sample a: the log curve holds no variation"}},
       "    NaN|"},
      {"tables on one line each", "a\n0.005 0.02\n",
       "0.01 1 0.02 2 0.03 3\n", "0.01 3 0.02 1 0.03 2\n",
       {{"corrspec.in:1", "the line holds more than the two numbers of its record"},
        {"corrlog.in:1", "the line holds more than the two numbers of its record"},
        {"samples.lst:1", "sample a: the window reaches below the records, which span 0.01 to"},
        {"samples.lst:1", "sample a: the window reaches above the records"},
        {"samples.lst:1", "sample a: only 1 record lies inside the window"}},
       " 1.0000|"},
      {"a log table cut to 3 records", "a\n0.0099 0.0297\n", spec, log3,
       {{"corrspec.in:4", "corrspec.in holds 100 records and corrlog.in 3; only the first 3"}},
       " 1.0000|"},
      {"windows past the records", "a\n0.92 0.99\nb\n0.1 0.4\n",
       table(41, 0.5, 0.01, sin7), table(41, 0.5, 0.01, sin7_late),
       {{"samples.lst:1", "sample a: the window reaches above the records, which span 0.5 to 0.9"},
        {"samples.lst:1", "sample a: no record lies inside the window"},
        {"samples.lst:1", "sample a: the spec curve holds no variation"},
        {"samples.lst:1", "sample a: the log curve holds no variation"},
        {"samples.lst:3", "sample b: the window reaches below the records"},
        {"samples.lst:3", "sample b: no record lies inside the window"}},
       "    NaN| 1.0000|"},
      {"199 records", "a\n0.2 0.6\n", table(199, 0.005, 0.005, sin7),
       table(199, 0.005, 0.005, sin7_late),
       {{"corrspec.in:129", "the file holds 199 records; those after the 128th are not read"},
        {"corrlog.in:129", "the file holds 199 records; those after the 128th are not read"}},
       " 0.9928|"},
      {"log abscissae on another grid", "a\n0.2 0.8\n", table(99, 0.01, 0.01, sin7),
       table(199, 0.005, 0.005, sin7),
       {{"corrlog.in:100", "corrlog.in holds 199 records and corrspec.in 99"},
        {"corrlog.in:1",
         "the abscissa 0.005 differs from corrspec.in's 0.01 for the same record, as do 98 more"}},
       " 0.3272|"},
      {"an abscissa that is not a number", "a\n0.2 0.8\n", example_spec_with_abscissa("nan"), log,
       {{"corrspec.in:46", "the abscissa nan is not finite"},
        {"corrlog.in:46", "the abscissa 0.4554 differs from corrspec.in's nan"}},
       " 0.5254|"},
      // Past the infinite abscissa the fits see one record's value held.
      {"an infinite abscissa", "a\n0.2 0.8\n", example_spec_with_abscissa("inf"), log,
       {{"corrspec.in:46", "the abscissa inf is not finite"},
        {"corrlog.in:46", "differs from corrspec.in's inf"},
        {"samples.lst:1", "sample a: the spec fit misses the record at 0.7227 (corrspec.in:73) by"},
        {"samples.lst:1", "sample a: the log fit misses the record at 0.5346 (corrlog.in:54) by"}},
       " 0.5700|"},
      // The fits' 15 nodes never read the two records, which the records'
      // check finds; the coefficient is the smooth table's.
      {"records of +-1e300 inside the window", "a\n0.1 0.6\n",
       table(70, 0.01, 0.01, [](double x) {
         const long r = std::lround(x * 100);
         return r == 51 ? 1e300 : r == 52 ? -1e300 : std::sin(7 * x);
       }),
       table(70, 0.01, 0.01, sin7_late),
       {{"samples.lst:1", "sample a: the spec fit misses the record at 0.51 (corrspec.in:51) by 50%"}},
       " 0.9823|"},
      {"bounds written with decimal commas", "a\n0,2 0,6\nb\n0.2 0.6 0.9 0.95\n", spec, log,
       {{"samples.lst:2", "sample a: the line holds more than the two bounds fmin and fmax"},
        {"samples.lst:1", "sample a: the window reaches below the records"},
        {"samples.lst:1", "sample a: the window reaches above the records"},
        {"samples.lst:1", "sample a: the spec fit misses the record at 0.99 (corrspec.in:100)"},
        {"samples.lst:1", "sample a: the log fit misses the record at 0.99 (corrlog.in:100)"},
        {"samples.lst:4", "sample b: the line holds more than the two bounds fmin and fmax"}},
       " 0.9032| 0.7330|"},
      // Rounded to 2e-6 there, the signal of amplitude 1 is resolved.
      {"a signal on a pedestal of 1e10", "a\n0.2 0.8\n",
       table(99, 0.01, 0.01, [](double x) { return 1e10 + std::sin(7 * x); }),
       table(99, 0.01, 0.01, sin7_late), {}, " 0.9761|"},
      {"the same without the pedestal", "a\n0.2 0.8\n", table(99, 0.01, 0.01, sin7),
       table(99, 0.01, 0.01, sin7_late), {}, " 0.9761|"},
      {"an abscissa that falls back", "a\n0.2 0.8\n", example_spec_with_abscissa("0.1"), log,
       {{"corrspec.in:46", "the abscissa 0.1 does not rise above the one before, 0.4455"},
        {"corrlog.in:46", "differs from corrspec.in's 0.1"}},
       " 0.5254|"},
      {"abscissae in hertz", "a\n150 250\n",
       table(400, 1.25, 1.25, [](double x) { return std::sin(x / 50); }),
       table(400, 1.25, 1.25, [](double x) { return std::cos(x / 50); }),
       {{"corrspec.in:129", "the file holds 400 records"},
        {"corrlog.in:129", "the file holds 400 records"},
        {"corrspec.in:1", "the abscissa 1.25 lies outside [0, 1], as do 127 more records"},
        {"samples.lst:1",
         "sample a: the window reaches above the records, which span 1.25 to 160,"},
        {"samples.lst:1", "sample a: the spec fit misses the record at 160"},
        {"samples.lst:1", "sample a: the log fit misses the record at 160"}},
       "-0.7168|"},
      {"descending abscissae", "a\n0.2 0.8\n", table(99, 0.99, -0.01, sin6),
       table(99, 0.99, -0.01, [](double x) { return std::cos(6 * x); }),
       {{"corrspec.in:2", "the abscissa 0.98 does not rise above the one before, 0.99, as do 97"},
        {"samples.lst:1", "sample a: the spec fit misses the record at 0.27 (corrspec.in:73)"},
        {"samples.lst:1", "sample a: the log fit misses the record at 0.55 (corrlog.in:45)"}},
       "-1.0000|"},
      {"a window holding no record", "a\n0.2400 0.2420\n", spec, log,
       {{"samples.lst:1", "sample a: no record lies inside the window"}}, " 1.0000|"},
      {"a spec table near the largest double", "a\n0.2 0.8\n", example_spec_times(1e307), log, {},
       " 0.5254|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    e2e::TempDir dir;
    dir.write("samples.lst", c.list);
    dir.write("corrspec.in", c.spec);
    dir.write("corrlog.in", c.log);
    const auto r = e2e::run_tamsel(dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = lines_of(r.err);
    ASSERT_EQ(lines.size(), c.warnings.size()) << r.err;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string place = "tamsel: " + c.warnings[i].first + ": warning: ";
      EXPECT_TRUE(lines[i].starts_with(place)) << lines[i];
      EXPECT_NE(lines[i].find(c.warnings[i].second), std::string::npos) << lines[i];
    }
    const std::string last = lines_of(c.list)[lines_of(c.list).size() - 2];
    EXPECT_EQ(coefficients(dir.read(last + "_cross.txt")), c.coefficients);
  }
}

// In-process runs of one list of windows inside the records over tables at
// many levels: constant tables give NaN at any level; tables that vary by
// 1e-11 of their level or more draw no remark, and their coefficients keep
// their bits when both tables are scaled by one power of two, up to the
// largest and down to the smallest normal doubles.
TEST(Warnings, NoCoefficientFromNoiseAndNoneLostToSize) {
  std::mt19937_64 random(19);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::string list;
  for (int k = 0; k < 12; ++k) {
    const double lo = 0.02 + 0.6 * unit(random), hi = lo + 0.3 + (0.96 - 0.3 - lo) * unit(random);
    char record[80];
    // The first window is one unit in the last place wide.
    std::snprintf(record, sizeof record, "w%d\n%.17g %.17g\n", k, lo,
                  k == 0 ? std::nextafter(lo, 1.0) : hi);
    list += record;
  }
  auto st = std::make_unique<tamsel::RunState>();
  e2e::TempDir dir;
  dir.write("samples.lst", list);
  auto run = [&](const std::string& spec, const std::string& log) {
    dir.write("corrspec.in", spec);
    dir.write("corrlog.in", log);
    e2e::ScopedChdir here(dir.path());
    tamsel::sample_phase(*st, AT_FDCWD, nullptr, nullptr);
    std::vector<std::uint64_t> bits;
    for (int k = 1; k <= st->sample_count; ++k)
      bits.push_back(std::bit_cast<std::uint64_t>(tamsel::cc_diagonal(*st, k)));
    return bits;
  };
  const auto log_shape = [](double x) { return std::cos(5 * x + 1); };
  for (int trial = 0; trial < 20; ++trial) {
    const double level = std::pow(10.0, -300 + 600 * unit(random)) * (trial % 2 ? -1 : 1);
    run(table(100, 0.01, 0.0097, [&](double) { return level; }),
        table(100, 0.01, 0.0097, log_shape));
    for (int k = 1; k <= st->sample_count; ++k) {
      EXPECT_TRUE(std::isnan(tamsel::cc_diagonal(*st, k))) << level << " w" << k - 1;
      EXPECT_NE(st->sample_warnings[k - 1] & tamsel::kSpecNoVariation, 0u) << level;
    }
  }
  for (int trial = 0; trial < 10; ++trial) {
    const double variation = std::pow(10.0, -11 * unit(random));
    const auto spec_shape = [&](double x) { return 1.0 + variation * std::sin(7 * x); };
    const auto tables = [&](int e) {
      return run(table(100, 0.01, 0.0097, [&](double x) { return std::ldexp(spec_shape(x), e); }),
                 table(100, 0.01, 0.0097, [&](double x) { return std::ldexp(log_shape(x), e); }));
    };
    const auto plain = tables(0);
    for (int k = 2; k <= st->sample_count; ++k)
      EXPECT_EQ(st->sample_warnings[k - 1], 0u) << variation;
    // Both tables scaled alike: by little, or so far that the fits scale them back.
    const int far = 257 + int(700 * unit(random));
    for (const int e : {int(200 * unit(random)) - 100, far, -far, 1000, -1000})
      EXPECT_EQ(tables(e), plain) << variation << " 2^" << e;
  }
}

} // namespace

namespace {

// Over random tables and windows, in-process: a record that lies beyond
// the records bracketing the window, which no fit reads, changes no bit of
// the sample whatever its value (item: scaling comes from what the window
// reads), and a log table that is a linear function of the spec table gives
// a coefficient of +-1 at most, never beyond.
TEST(Warnings, UnreadRecordsChangeNothingAndCoefficientsStayInRange) {
  std::mt19937_64 random(23);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto st = std::make_unique<tamsel::RunState>();
  const auto measure = [&](double lo, double hi) {
    st->sample_count = 0;
    st->fmin = lo;
    st->fmax = hi;
    tamsel::measure_sample(*st);
    std::vector<std::uint64_t> bits{std::bit_cast<std::uint64_t>(tamsel::cc_diagonal(*st, 1)),
                                    std::bit_cast<std::uint64_t>(st->spec_mean),
                                    std::bit_cast<std::uint64_t>(st->log_mean),
                                    st->sample_warnings[0]};
    for (tamsel::Integer j = 0; j <= tamsel::kCurvePoints; ++j)
      for (const double* m : {st->agem, st->xlgrm})
        bits.push_back(std::bit_cast<std::uint64_t>(tamsel::matrix_at(m, 1, j)));
    return bits;
  };
  for (int trial = 0; trial < 400; ++trial) {
    const int n = 20 + int(random() % 100);
    const double level = std::pow(10.0, -290 + 580 * unit(random));
    const double a = (unit(random) - 0.5) * std::pow(10.0, -50 + 100 * unit(random));
    const double b = (unit(random) - 0.5) * 1e3 * std::abs(a);
    *st = tamsel::RunState{};
    for (int r = 1; r <= n; ++r) {
      st->x[r] = double(r) / (n + 1);
      st->s[r] = level * (std::sin(9 * st->x[r] + trial) + 0.3 * unit(random));
      st->l[r] = trial % 2 ? a * st->s[r] + b : level * std::cos(5 * st->x[r]);
    }
    st->npts = n + 1;
    st->x[n + 1] = 1.0;
    st->s[n + 1] = st->s[n];
    st->l[n + 1] = st->l[n];
    st->x_ascending = true;
    // A window that leaves at least two records below it and two above.
    const int first = 3 + int(random() % (n - 8)), last = first + 2 + int(random() % (n - 4 - first));
    const double lo = st->x[first] + unit(random) / (n + 1), hi = st->x[last] + unit(random) / (n + 1);
    const auto plain = measure(lo, hi);
    const double cc = tamsel::cc_diagonal(*st, 1);
    EXPECT_TRUE(std::isnan(cc) || std::abs(cc) <= 1.0) << trial;
    const int far = random() % 2 ? 1 + int(random() % (first - 1)) : last + 2 + int(random() % (n - last - 1));
    for (const double value : {1e300, -1e308, 1e-300, 0.0}) {
      double* table = random() % 2 ? st->s : st->l;
      const double kept = table[far];
      table[far] = value;
      EXPECT_EQ(measure(lo, hi), plain) << trial << " record " << far << " = " << value;
      table[far] = kept;
    }
  }
}

} // namespace
