// SPDX-License-Identifier: BSD-3-Clause
// tamsel-plot end to end: the picture of the example, its command line, and
// its stops, which must match tamsel's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e.h"
#include "plot_svg.h"

namespace {

namespace fs = std::filesystem;

e2e::Result run_plot(const e2e::TempDir& dir, const std::vector<std::string>& args = {}) {
  return e2e::run_program(TAMSEL_PLOT_EXE, dir.path(), args);
}

bool have_xmllint() { return std::system("command -v xmllint >/dev/null 2>&1") == 0; }

bool well_formed(const e2e::TempDir& dir) {
  const std::string check = "xmllint --noout '" + (dir.path() / "tamsel_curves.svg").string() + "'";
  return std::system(check.c_str()) == 0;
}

// The numbers of a table file, in order.
std::vector<double> numbers(const fs::path& file) {
  std::ifstream in(file);
  std::vector<double> values;
  for (double v; in >> v;) values.push_back(v);
  return values;
}

TEST(PlotTool, DrawsTheExampleWithTheReportsCoefficients) {
  e2e::TempDir dir;
  e2e::copy_example(dir);
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

  // Each panel marks every record of both tables inside its window, read
  // here from the files themselves, over its fit and again in its strip of
  // residuals; the summary has a segment per window, and the page's title
  // names the three files.
  const std::vector<double> spec = numbers(dir.path() / "corrspec.in");
  for (std::size_t k = 0; k < panels.size(); ++k) {
    double fmin, fmax;
    const std::string& t = panels[k].text;
    ASSERT_EQ(std::sscanf(t.c_str() + t.find("window "), "window %lf to %lf", &fmin, &fmax), 2);
    int inside = 0;
    for (std::size_t i = 0; i < spec.size(); i += 2) inside += spec[i] >= fmin && spec[i] <= fmax;
    EXPECT_EQ(svgcheck::count(t, "<circle class=\"spec-record\" "), 2 * inside) << k;
    EXPECT_EQ(svgcheck::count(t, "<rect class=\"log-record\" "), 2 * inside) << k;
  }
  EXPECT_EQ(svgcheck::count(svg, "<path class=\"window\""), 5);
  EXPECT_EQ(svgcheck::count(svg, "class=\"apart\""), 0);
  const std::string title = svg.substr(svg.find("<text class=\"title\""), 200);
  for (const char* f : {"samples.lst", "corrspec.in", "corrlog.in"})
    EXPECT_TRUE(svgcheck::contains(title, f));

  if (!have_xmllint()) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_TRUE(well_formed(dir));
}

// A full list: short enough to view, every usable window in the summary,
// the others listed apart and remarked in their panels.
TEST(PlotTool, FullListFitsTheHeightAndSetsApartWindowsThatMeasureNothing) {
  e2e::TempDir dir;
  e2e::copy_example(dir);
  std::string list;
  for (int i = 0; i < 100; ++i) {
    char record[64];
    const double lo = 0.01 + 0.008 * i, hi = std::min(lo + 0.05 + 0.01 * (i % 30), 0.99);
    if (i == 41) std::snprintf(record, sizeof record, "rev%d\n0.5 0.45\n", i);
    else if (i == 77) std::snprintf(record, sizeof record, "zero%d\n0.6 0.6\n", i);
    else std::snprintf(record, sizeof record, "w%02d_sample\n%.4f %.4f\n", i, lo, hi);
    list += record;
  }
  fs::remove(dir.path() / "samples.lst");
  dir.write("samples.lst", list);
  auto r = run_plot(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = dir.read("tamsel_curves.svg");
  int width = 0, height = 0;
  ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<svg "), "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                        "width=\"%d\" height=\"%d\"", &width, &height), 2);
  EXPECT_LE(height, 10000);
  EXPECT_LE(width, 3000);
  const auto panels = svgcheck::panels(svg);
  ASSERT_EQ(panels.size(), 100u);
  EXPECT_EQ(svgcheck::count(svg, "<path class=\"window\""), 98);
  EXPECT_EQ(svgcheck::count(svg, "<text class=\"apart\""), 2);
  // Every window drawn is named beside its segment or in the list beneath.
  EXPECT_EQ(svgcheck::count(svg, "<text class=\"label\"") + svgcheck::count(svg, "<text class=\"listed\""),
            98);
  // The warning line stands in exactly the panels of the samples that drew a
  // warning, as the results table lists them.
  ASSERT_EQ(e2e::run_tamsel(dir.path(), {"--results", "results.tsv"}).status, 0);
  const auto rows = e2e::read_tsv(dir.read("results.tsv"));
  ASSERT_EQ(rows.size(), 101u);
  for (std::size_t k = 0; k < panels.size(); ++k) {
    const bool flagged = !rows[k + 1][5].empty();
    EXPECT_EQ(svgcheck::count(panels[k].text, "<text class=\"warning\""), flagged ? 1 : 0) << k;
    if (k == 41 || k == 77) {
      EXPECT_TRUE(svgcheck::contains(panels[k].text, ">warning: fmin is not below fmax")) << k;
    }
  }
  if (!have_xmllint()) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_TRUE(well_formed(dir));
}

// Names of any bytes and values up to the largest double still give a
// document every XML parser reads, with every coordinate on the page.
TEST(PlotTool, HostileNamesAndHugeValuesGiveWellFormedXmlWithCoordinatesOnThePage) {
  e2e::TempDir dir;
  dir.write("samples.lst",
            "<b>&amp;\xfe\x01\n0.1 0.9\n"           // markup, a stray byte, a control byte
            "a\xef\xbf\xbe\xef\xbf\xbf\xed\xa0\x80\x1b]0;t\x07\n0.2 0.8\n" // U+FFFE, U+FFFF, a surrogate
            "flat\n0.5 0.5\n]]>\n0.2 0.3\n"
            "big\n-1.7976931348623157e308 1.7976931348623157e308\n"
            "far\n1e300 1.7976931348623157e308\nrev\n0.5 0.4\nnan\nnan 0.5\n");
  // Spec curves beyond the largest value an axis spans; log curves that overflow.
  dir.write("corrspec.in", "0.2 1e305\n0.5 -3e305\n0.8 5e-324\n");
  dir.write("corrlog.in", "0.2 1.7976931348623157e308\n0.5 -1.7976931348623157e308\n0.8 1e-320\n");
  auto r = run_plot(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = dir.read("tamsel_curves.svg");
  EXPECT_EQ(svgcheck::panels(svg).size(), 8u);
  const std::vector<double> coordinates = svgcheck::coordinates(svg);
  EXPECT_GT(coordinates.size(), 1000u);
  for (double c : coordinates) ASSERT_TRUE(std::isfinite(c) && std::fabs(c) <= 1e4) << c;
  if (!have_xmllint()) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_TRUE(well_formed(dir));
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
    EXPECT_EQ(r.err, e2e::without_warnings(expected.err)) << c.list;
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
  EXPECT_EQ(r.out.rfind("Usage: tamsel-plot [-o FILE] [--dpi N] [--samples LIST]", 0), 0u);
  r = run_plot(dir, {"out.svg"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("tamsel-plot: unexpected argument 'out.svg'; usage: tamsel-plot", 0), 0u);
  EXPECT_TRUE(dir.entries().empty());
}

TEST(PlotTool, UnwritablePictureIsAnOutputError) {
  e2e::TempDir dir;
  e2e::copy_example(dir);
  fs::create_directory(dir.path() / "tamsel_curves.svg");
  auto r = run_plot(dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("tamsel-plot: tamsel_curves.svg: cannot create the file: ", 0), 0u) << r.err;
}

} // namespace
