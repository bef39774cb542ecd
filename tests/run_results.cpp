// SPDX-License-Identifier: BSD-3-Clause
// tamsel --results end to end: the table reads back to the run's own bits,
// whatever the names, and its file obeys the rules of the report files.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "e2e.h"

namespace {

namespace fs = std::filesystem;

std::uint64_t bits(double value) { return std::bit_cast<std::uint64_t>(value); }

// The same double, NaNs of any payload alike.
bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || bits(a) == bits(b); }

// Runs tamsel --results and tamsel-dump in `dir` and checks that every row of
// the table is the dump's sample: name, fmin, fmax and coefficient to the
// bit.  Also checks that the table adds to a run without taking anything
// away: the console and the report are those of a plain run, and "-" prints
// the same table after the console lines.  Returns the table's rows.
std::vector<std::vector<std::string>> check_against_dump(const e2e::TempDir& dir) {
  const e2e::Result plain = e2e::run_tamsel(dir.path());
  EXPECT_EQ(plain.status, 0) << plain.err;
  const std::string report_name = [&] {
    for (const auto& entry : dir.entries())
      if (entry.size() > 10 && entry.compare(entry.size() - 10, 10, "_cross.txt") == 0 &&
          fs::file_size(dir.path() / entry) > 0)
        return entry;
    return std::string();
  }();
  const std::string report = dir.read(report_name);
  const e2e::Result with = e2e::run_tamsel(dir.path(), {"--results", "results.tsv"});
  EXPECT_EQ(with.status, 0) << with.err;
  EXPECT_EQ(with.out, plain.out);
  EXPECT_EQ(with.err, plain.err);
  EXPECT_EQ(dir.read(report_name), report);
  const std::string table = dir.read("results.tsv");
  const e2e::Result to_console = e2e::run_tamsel(dir.path(), {"--results=-"});
  EXPECT_EQ(to_console.out, plain.out + table);

  const e2e::Result dump = e2e::run_program(TAMSEL_DUMP_EXE, dir.path());
  EXPECT_EQ(dump.status, 0) << dump.err;
  std::istringstream lines(dump.out);
  const auto rows = e2e::read_tsv(table);
  EXPECT_EQ(rows.at(0), (std::vector<std::string>{"name", "fmin", "fmax", "coefficient", "records",
                                                  "warnings"}));
  std::size_t row = 1;
  for (std::string line; std::getline(lines, line); ++row) {
    const std::size_t blank = line.find(' ');
    std::istringstream fields(line.substr(blank));
    int npts;
    std::string fmin, fmax, spec_mean, log_mean, cc;
    fields >> npts >> fmin >> fmax >> spec_mean >> log_mean >> cc;
    EXPECT_LT(row, rows.size());
    if (row >= rows.size()) break;
    const auto& r = rows[row];
    EXPECT_EQ(r.size(), 6u) << row;
    if (r.size() != 6) continue;
    EXPECT_EQ(r[0], line.substr(0, blank)) << row;
    const std::string* dumped[] = {&fmin, &fmax, &cc};
    for (int i = 0; i < 3; ++i) {
      const double from_dump = std::bit_cast<double>(std::stoull(*dumped[i], nullptr, 16));
      EXPECT_TRUE(same(std::strtod(r[1 + i].c_str(), nullptr), from_dump))
          << "row " << row << " column " << 1 + i << ": " << r[1 + i];
    }
  }
  EXPECT_EQ(row, rows.size());
  return rows;
}

TEST(ResultsTable, ExampleReadsBackToTheRunsBits) {
  e2e::TempDir dir;
  e2e::copy_example(dir);
  const auto rows = check_against_dump(dir);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[1][0], "broad");
  EXPECT_EQ(rows[1][1], "0.05"); // the shortest text of the double read
  for (std::size_t k = 1; k < rows.size(); ++k) {
    EXPECT_GT(std::stoi(rows[k][4]), 20) << k;
    EXPECT_EQ(rows[k][5], "") << k; // the example is clean
  }
}

// A full list whose names hold every byte a TSV reader could trip on, and
// windows that give NaN, a reversed window and long decimal bounds.
TEST(ResultsTable, FullListWithHostileNamesReadsBackToTheRunsBits) {
  e2e::TempDir dir;
  e2e::copy_example(dir);
  const char* hostile[] = {"tab\there", "back\\slash", "back\\tnot-a-tab", "trailing\\",
                           "\"quoted\"", "#comment", "nan", "comma,semi;colon", "ctl\x01\x1b",
                           "caf\xc3\xa9\xff", "a\t\t\\\\t", "=1+2", "line\\nnot-a-break"};
  std::string list;
  for (int i = 0; i < 100; ++i) {
    char bounds[64];
    const double lo = 0.01 + 0.008 * i, hi = std::min(lo + 0.05 + 0.01 * (i % 30), 0.99);
    if (i == 41) std::snprintf(bounds, sizeof bounds, "0.5 0.45");
    else if (i == 77) std::snprintf(bounds, sizeof bounds, "0.6 0.6");
    else std::snprintf(bounds, sizeof bounds, "%.17g %.6f", lo, hi);
    list += (i % 8 == 3 ? std::string(hostile[i / 8]) : "w" + std::to_string(i)) + "\n" + bounds + "\n";
  }
  fs::remove(dir.path() / "samples.lst");
  dir.write("samples.lst", list);
  const auto rows = check_against_dump(dir);
  ASSERT_EQ(rows.size(), 101u);
  for (int i = 3; i < 100; i += 8) EXPECT_EQ(rows[std::size_t(i) + 1][0], hostile[i / 8]) << i;
  EXPECT_EQ(rows[78][3], "nan");
  EXPECT_NE(rows[42][5].find("window-not-ascending"), std::string::npos);
}

// The results file lies inside the working directory, is no input and not
// the report, and is replaced only by a run that ends normally, atomically,
// keeping its permission bits.
TEST(ResultsTable, FileFollowsTheRulesOfReports) {
  struct Case {
    const char* results;
    const char* error; // part of the message, or null when the run succeeds
  };
  const Case cases[] = {
      {"../results.tsv", "tamsel: ../results.tsv: the results file would lie outside the working directory"},
      {"/tmp/results.tsv", "outside the working directory"},
      {"corrspec.in", "tamsel: corrspec.in: the results file is the input file corrspec.in"},
      {"link.tsv", "the results file is the input file samples.lst"},
      {"./high_cross.txt", "the results file is the report file of the last sample"},
      {"sub", "tamsel: sub: cannot create the results file: "},
      {"missing/results.tsv",
       "tamsel: missing/results.tsv: cannot create the results file: No such file or directory"},
      {"", "tamsel: the results file has no name"},
      {"old.tsv", nullptr},
      {"stopped.tsv", "samples.lst:"},
  };
  for (const Case& c : cases) {
    e2e::TempDir dir;
    e2e::copy_example(dir);
    fs::create_symlink("samples.lst", dir.path() / "link.tsv");
    fs::create_directory(dir.path() / "sub");
    dir.write("high_cross.txt", "an old report\n");
    dir.write("old.tsv", "old table\n");
    fs::permissions(dir.path() / "old.tsv", fs::perms(0640));
    dir.write("stopped.tsv", "old table\n");
    if (std::string(c.results) == "stopped.tsv")
      dir.write("samples.lst", dir.read("samples.lst") + "late\n0.1 oops\n");
    const auto before = dir.entries();
    const std::string list = dir.read("samples.lst"), spec = dir.read("corrspec.in");

    const auto r = e2e::run_tamsel(dir.path(), {"--results", c.results});
    EXPECT_EQ(dir.read("samples.lst"), list) << c.results;
    EXPECT_EQ(dir.read("corrspec.in"), spec) << c.results;
    // The report is replaced only by a run that ends normally.
    EXPECT_EQ(dir.read("high_cross.txt") == "an old report\n", c.error != nullptr) << c.results;
    if (c.error == nullptr) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(dir.read("old.tsv").rfind("name\tfmin\tfmax\t", 0), 0u);
      struct stat info;
      ASSERT_EQ(stat((dir.path() / "old.tsv").c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0640u);
      continue;
    }
    EXPECT_EQ(r.status, 2) << c.results;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(dir.read("old.tsv"), "old table\n");
    EXPECT_EQ(dir.read("stopped.tsv"), "old table\n");
    // Refused before anything is read: nothing printed, no file created.
    if (std::string(c.error).find("report file") == std::string::npos &&
        std::string(c.results) != "stopped.tsv") {
      EXPECT_EQ(r.out, "") << c.results;
      EXPECT_EQ(dir.entries(), before) << c.results;
    }
  }
}

// -C DIR is a run started in DIR, byte for byte, with every file rule read
// there (an input reached through a link of DIR is still an input), while
// the working directory's own files of the same names are never touched;
// --no-reports leaves out the report files and nothing else.
TEST(ResultsTable, DirectoryOptionRunsThereAndNoReportsWritesOnlyTheTable) {
  e2e::TempDir here, started;
  e2e::copy_example(started);
  for (const char* name : {"samples.lst", "corrspec.in", "corrlog.in", "results.tsv"})
    here.write(name, std::string("the working directory's own ") + name + "\n");
  for (const char* d : {"dir", "lean"}) {
    fs::create_directory(here.path() / d);
    for (const char* name : {"samples.lst", "corrspec.in", "corrlog.in"})
      fs::copy_file(started.path() / name, here.path() / d / name);
  }
  fs::create_symlink("samples.lst", here.path() / "dir" / "link.tsv");
  fs::create_symlink("samples.lst", started.path() / "link.tsv");
  const auto own = here.entries();

  auto in_started = [&](const std::vector<std::string>& args) {
    return e2e::run_tamsel(started.path(), args);
  };
  auto with_c = [&](const char* d, std::vector<std::string> args) {
    args.insert(args.begin(), {"-C", d});
    return e2e::run_tamsel(here.path(), args);
  };
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--results", "link.tsv"}, {"--results", "../results.tsv"},
        {"--results", "results.tsv"}}) {
    const e2e::Result want = in_started(args), got = with_c("dir", args);
    EXPECT_EQ(got, want) << args[1];
  }
  EXPECT_NE(in_started({"--results", "link.tsv"}).err.find("is the input file samples.lst"),
            std::string::npos);
  for (const auto& name : started.entries())
    EXPECT_EQ(here.read("dir/" + name), started.read(name)) << name;
  EXPECT_EQ(here.entries(), own);
  for (const char* name : {"samples.lst", "corrspec.in", "corrlog.in", "results.tsv"})
    EXPECT_EQ(here.read(name), std::string("the working directory's own ") + name + "\n");

  const e2e::Result lean = with_c("lean", {"--results", "results.tsv", "--no-reports"});
  EXPECT_EQ(lean, in_started({"--results", "results.tsv"}));
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(here.path() / "lean"))
    files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"corrlog.in", "corrspec.in", "results.tsv",
                                             "samples.lst"}));
  EXPECT_EQ(here.read("lean/results.tsv"), started.read("results.tsv"));
}

} // namespace
