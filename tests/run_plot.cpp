// SPDX-License-Identifier: BSD-3-Clause
// tamsel-plot end to end: the picture of the example, its command line, and
// its stops, which must match tamsel's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e.h"
#include "plot/svg_text.h"
#include "plot_svg.h"

#if TAMSEL_HAVE_RSVG
#include <cairo.h>
#endif

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

// The picture as a reader sees it: the PNG of 17 crowded windows, drawn
// at 96 dpi and again at 48, has the page's size in pixels; every panel's
// plot area holds drawn curve pixels; and every name in the summary stands
// in its box, as the SVG places it, drawn there and clear of every other
// name's box.  The PDF is a PDF.
TEST(PlotTool, PngShowsEveryPanelAndEveryNameApart) {
#if !TAMSEL_HAVE_RSVG
  GTEST_SKIP() << "tamsel-plot is built without librsvg and cairo (librsvg2-dev)";
#else
  e2e::TempDir dir;
  const svgcheck::Crowded c = svgcheck::crowded(17);
  dir.write("samples.lst", c.list);
  dir.write("corrspec.in", c.spec);
  dir.write("corrlog.in", c.log);
  for (const char* file : {"p.svg", "p.png", "p.pdf"})
    ASSERT_EQ(run_plot(dir, {"-o", file}).status, 0) << file;
  ASSERT_EQ(run_plot(dir, {"--output=half.png", "--dpi", "48"}).status, 0);
  EXPECT_EQ(dir.read("p.pdf").rfind("%PDF-", 0), 0u);
  const std::string svg = dir.read("p.svg");
  double width = 0, height = 0;
  ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<svg "), "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                        "width=\"%lf\" height=\"%lf\"", &width, &height), 2);
  cairo_surface_t* half = cairo_image_surface_create_from_png((dir.path() / "half.png").c_str());
  EXPECT_EQ(cairo_image_surface_get_width(half), int(std::ceil(width / 2)));
  EXPECT_EQ(cairo_image_surface_get_height(half), int(std::ceil(height / 2)));
  cairo_surface_destroy(half);
  cairo_surface_t* png = cairo_image_surface_create_from_png((dir.path() / "p.png").c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_image_surface_get_width(png), int(width));
  ASSERT_EQ(cairo_image_surface_get_height(png), int(height));
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  // The pixels of a box whose red, green and blue pass `is`.
  auto count = [&](double x0, double y0, double x1, double y1, auto is) {
    int n = 0;
    for (int y = std::max(0, int(y0)); y < std::min(int(height), int(y1)); ++y)
      for (int x = std::max(0, int(x0)); x < std::min(int(width), int(x1)); ++x) {
        const unsigned char* p = data + y * stride + 4 * x; // B, G, R, A
        n += is(p[2], p[1], p[0]);
      }
    return n;
  };
  auto curve = [](int r, int, int b) { return (b > r + 60 && b > 120) || (r > b + 80 && r > 150); };
  auto ink = [](int r, int g, int b) { return r < 110 && g < 110 && b < 110; };

  const auto panels = svgcheck::panels(svg);
  ASSERT_EQ(panels.size(), 17u);
  for (const auto& p : panels) {
    double px, py, fx, fy, fw, fh;
    ASSERT_EQ(std::sscanf(p.text.c_str(), "<g class=\"panel\" transform=\"translate(%lf,%lf)", &px, &py), 2);
    ASSERT_EQ(std::sscanf(p.text.c_str() + p.text.find("<rect class=\"frame\""),
                          "<rect class=\"frame\" x=\"%lf\" y=\"%lf\" width=\"%lf\" height=\"%lf\"",
                          &fx, &fy, &fw, &fh), 4);
    EXPECT_GT(count(px + fx + 2, py + fy + 2, px + fx + fw - 2, py + fy + fh - 2, curve), 400)
        << p.text.substr(0, 80);
  }
  const std::string summary = "<g class=\"summary\" transform=\"translate(0,";
  ASSERT_NE(svg.find(summary), std::string::npos);
  const double top = std::atof(svg.c_str() + svg.find(summary) + summary.size());
  const std::string label = "<text class=\"label\" x=\"";
  std::vector<std::array<double, 4>> boxes;
  for (std::size_t at = svg.find(label); at != std::string::npos; at = svg.find(label, at + 1)) {
    double x, y;
    ASSERT_EQ(std::sscanf(svg.c_str() + at + label.size(), "%lf\" y=\"%lf", &x, &y), 2);
    const std::size_t begin = svg.find('>', at) + 1;
    const double w = tamsel::svg::text_width(svg.c_str() + begin, svg.find('<', begin) - begin, 11);
    const std::array<double, 4> box{x, top + y - 9, x + w, top + y + 2};
    EXPECT_GT(count(box[0], box[1], box[2], box[3], ink), 10) << svg.substr(at, 80);
    for (const auto& b : boxes)
      EXPECT_FALSE(box[0] < b[2] && b[0] < box[2] && box[1] < b[3] && b[1] < box[3])
          << svg.substr(at, 80);
    boxes.push_back(box);
  }
  EXPECT_EQ(boxes.size(), 17u);
  cairo_surface_destroy(png);
#endif
}

// -o takes the file rules of the picture: an extension it knows, a place
// inside the working directory, never an input file; --samples names
// samples that are there.  Nothing is written after a refusal.
TEST(PlotTool, PictureFilesAndChoices) {
  e2e::TempDir dir;
  e2e::copy_example(dir);
  fs::create_symlink("corrspec.in", dir.path() / "spec.svg");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-o", "p.jpg"}, "tamsel-plot: p.jpg: the picture's file name must end in .svg, .png or .pdf\n"},
      {{"-o", "../p.svg"}, "tamsel-plot: ../p.svg: the picture would lie outside the working directory\n"},
      {{"-o", "spec.svg"}, "tamsel-plot: spec.svg: cannot write the file: it is the input file corrspec.in\n"},
      {{"--samples", "peak*,nothing"}, "tamsel-plot: --samples: no sample in samples.lst is named 'nothing'\n"},
      {{"--columns", "0"}, "tamsel-plot: --columns takes a whole number from 1 to 10, not '0'\n"},
  };
  for (const auto& [args, message] : cases) {
    auto r = run_plot(dir, args);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(dir.entries().size(), 4u) << args[1];
  }
  EXPECT_EQ(dir.read("spec.svg").substr(0, 4), dir.read("corrspec.in").substr(0, 4));
  // The samples chosen get panels, the summary keeps every window; the
  // page has the width asked for.
  auto r = run_plot(dir, {"--samples", "peak*", "-o", "chosen.svg", "--no-residuals", "--width=1000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "tamsel-plot: 2 of 5 samples drawn to chosen.svg\n");
  std::string svg = dir.read("chosen.svg");
  EXPECT_EQ(svgcheck::panels(svg).size(), 2u);
  EXPECT_EQ(svgcheck::count(svg, "<path class=\"window\""), 5);
  EXPECT_EQ(svgcheck::count(svg, "class=\"residuals\""), 0);
  EXPECT_TRUE(svgcheck::contains(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" "));
  r = run_plot(dir, {"--summary-only", "-o", "alone.svg"});
  ASSERT_EQ(r.status, 0) << r.err;
  svg = dir.read("alone.svg");
  EXPECT_EQ(svgcheck::panels(svg).size(), 0u);
  EXPECT_EQ(svgcheck::count(svg, "<path class=\"window\""), 5);
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
