// SPDX-License-Identifier: BSD-3-Clause
// tamsel-plot end to end: the picture of the example, its command line, and
// its stops, which must match tamsel's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e.h"
#include "plot_svg.h"

namespace {

namespace fs = std::filesystem;

e2e::Result run_plot(const e2e::TempDir& dir, const std::vector<std::string>& args = {}) {
  return e2e::run_program(TAMSEL_PLOT_EXE, dir.path(), args);
}

void copy_example(const e2e::TempDir& dir) {
  for (const char* f : {"samples.lst", "corrspec.in", "corrlog.in"})
    fs::copy_file(fs::path(TAMSEL_EXAMPLES) / "smooth" / f, dir.path() / f);
}

bool have_xmllint() { return std::system("command -v xmllint >/dev/null 2>&1") == 0; }

TEST(PlotTool, DrawsTheExampleWithTheReportsCoefficients) {
  e2e::TempDir dir;
  copy_example(dir);
  auto r = run_plot(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "tamsel-plot: 5 samples drawn to tamsel_curves.svg\n");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"corrlog.in", "corrspec.in", "samples.lst",
                                                     "tamsel_curves.svg"}));
  const std::string svg = dir.read("tamsel_curves.svg");
  const auto panels = svgcheck::panels(svg);
  ASSERT_EQ(panels.size(), 5u);
  for (const auto& p : panels) {
    EXPECT_EQ(p.spec_points, std::vector<int>{128});
    EXPECT_EQ(p.log_points, std::vector<int>{128});
  }

  // The coefficients in the titles are the report's, character for character.
  ASSERT_EQ(e2e::run_tamsel(dir.path()).status, 0);
  const std::string report = dir.read("high_cross.txt");
  std::size_t at = 0;
  for (const auto& p : panels) {
    at = report.find("Cross-correlation: ", at) + 19;
    std::string field = report.substr(at, 7);
    field.erase(0, field.find_first_not_of(' '));
    EXPECT_TRUE(svgcheck::contains(p.text, "cross-correlation <tspan font-weight=\"bold\">" + field +
                                               "</tspan>"))
        << field;
  }

  if (!have_xmllint()) GTEST_SKIP() << "xmllint is not installed";
  const std::string check = "xmllint --noout '" + (dir.path() / "tamsel_curves.svg").string() + "'";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

TEST(PlotTool, OddNamesAndNaNStillGiveWellFormedXml) {
  if (!have_xmllint()) GTEST_SKIP() << "xmllint is not installed";
  e2e::TempDir dir;
  dir.write("samples.lst", "<b>&amp;\xfe\x01\n0.1 0.9\nflat\n0.5 0.5\n]]>\n0.2 0.3\n");
  dir.write("corrspec.in", e2e::kExampleSpec);
  dir.write("corrlog.in", e2e::kExampleLog);
  ASSERT_EQ(run_plot(dir).status, 0);
  EXPECT_EQ(svgcheck::panels(dir.read("tamsel_curves.svg")).size(), 3u);
  const std::string check = "xmllint --noout '" + (dir.path() / "tamsel_curves.svg").string() + "'";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

TEST(PlotTool, StopsLikeTamselAndWritesNothing) {
  struct Case {
    std::string list, spec_table, log_table;
  };
  const std::vector<Case> cases = {
      {" blank\n0.1 0.9\n", e2e::kExampleSpec, e2e::kExampleLog},  // name starts with a blank
      {"ok\n0.1 0.9\nrev\n0.29 0.04\n", e2e::kExampleSpec, e2e::kExampleLog},  // CHEBEV range
      {"ok\n0.1 zero\n", e2e::kExampleSpec, e2e::kExampleLog},     // malformed bound
      {"ok\n0.1 0.9\nlast\n", e2e::kExampleSpec, e2e::kExampleLog}, // end of file in a record
      {"ok\n0.1 0.9\n", "0.2 1.0\n0.5 x\n", e2e::kExampleLog},      // malformed table
  };
  for (const auto& c : cases) {
    e2e::TempDir for_tamsel, for_plot;
    for (const auto* dir : {&for_tamsel, &for_plot}) {
      dir->write("samples.lst", c.list);
      dir->write("corrspec.in", c.spec_table);
      dir->write("corrlog.in", c.log_table);
    }
    for_plot.write("tamsel_curves.svg", "earlier picture");
    auto expected = e2e::run_tamsel(for_tamsel.path());
    auto r = run_plot(for_plot);
    ASSERT_NE(expected.status, 0) << c.list;
    EXPECT_EQ(r.status, expected.status) << c.list;
    EXPECT_EQ(r.err, expected.err) << c.list;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(for_plot.read("tamsel_curves.svg"), "earlier picture");
    EXPECT_EQ(for_plot.entries().size(), 4u) << c.list; // no report files either
  }
  e2e::TempDir missing;
  missing.write("samples.lst", "ok\n0.1 0.9\n");
  auto r = run_plot(missing);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, e2e::run_tamsel(missing.path()).err);
}

TEST(PlotTool, EmptyListDrawsNothing) {
  e2e::TempDir dir;
  dir.write("samples.lst", "");
  auto r = run_plot(dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(dir.exists("tamsel_curves.svg"));
}

TEST(PlotTool, CommandLine) {
  e2e::TempDir dir;
  auto r = run_plot(dir, {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tamsel-plot 1.0.0\n"
                   "Copyright (C) 2026 the tamsel developers.\n"
                   "License BSD-3-Clause <https://spdx.org/licenses/BSD-3-Clause.html>.\n"
                   "This is free software: you are free to change and redistribute it.\n"
                   "There is NO WARRANTY, to the extent permitted by law.\n");
  r = run_plot(dir, {"-h"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: tamsel-plot [--help | --version]\n", 0), 0u);
  r = run_plot(dir, {"out.svg"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("tamsel-plot: unexpected argument 'out.svg'; usage: tamsel-plot", 0), 0u);
  EXPECT_TRUE(dir.entries().empty());
}

TEST(PlotTool, UnwritablePictureIsAnOutputError) {
  e2e::TempDir dir;
  copy_example(dir);
  fs::create_directory(dir.path() / "tamsel_curves.svg");
  auto r = run_plot(dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("tamsel-plot: tamsel_curves.svg: cannot create the file: ", 0), 0u) << r.err;
}

} // namespace
