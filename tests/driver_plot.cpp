// SPDX-License-Identifier: BSD-3-Clause
// The curves picture built in-process from a run without its report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "driver/report.h"
#include "driver/run.h"
#include "e2e.h"
#include "plot/plot.h"
#include "plot/summary.h"
#include "plot_svg.h"

namespace {

using svgcheck::contains;

// Runs the sample phase and the correlation in `dir` and returns the picture.
std::string picture(const e2e::TempDir& dir, const std::string& list,
                    const std::string& spec_table = e2e::kExampleSpec,
                    const std::string& log_table = e2e::kExampleLog,
                    const tamsel::PictureOptions& options = {}) {
  dir.write("samples.lst", list);
  dir.write("corrspec.in", spec_table);
  dir.write("corrlog.in", log_table);
  e2e::ScopedChdir here(dir.path());
  std::vector<tamsel::KeptSample> kept(tamsel::kMaxSamples);
  tamsel::sample_phase(tamsel::run_state(), AT_FDCWD, nullptr, nullptr, kept.data());
  return tamsel::curves_svg(tamsel::run_state(), kept.data(), options);
}

std::string example_file(const char* name) {
  std::ifstream in(std::string(TAMSEL_EXAMPLES) + "/smooth/" + name);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The height of the plot area and the vertical extent of each polyline of
// class `cls` in a panel.
double frame_height(const std::string& panel) {
  double fx, fy, fw, fh;
  EXPECT_EQ(std::sscanf(panel.c_str() + panel.find("<rect class=\"frame\""),
                        "<rect class=\"frame\" x=\"%lf\" y=\"%lf\" width=\"%lf\" height=\"%lf\"",
                        &fx, &fy, &fw, &fh), 4);
  return fh;
}
double extent(const std::string& panel, const std::string& cls) {
  const std::string line = "<polyline class=\"" + cls + "\" points=\"";
  double lo = INFINITY, hi = -INFINITY;
  for (std::size_t at = panel.find(line); at != std::string::npos; at = panel.find(line, at + 1)) {
    std::string points = panel.substr(at + line.size(), panel.find('"', at + line.size()) - at - line.size());
    std::replace(points.begin(), points.end(), ',', ' ');
    std::istringstream in(points);
    for (double x, y; in >> x >> y;) lo = std::min(lo, y), hi = std::max(hi, y);
  }
  return hi - lo;
}

TEST(RunWithoutReport, FillsCoefficientsAndNamesAndWritesNoFile) {
  e2e::TempDir dir;
  picture(dir, "wide extra words\n0.1 0.9\nmid\n0.2,0.8\n");
  const tamsel::RunState& st = tamsel::run_state();
  ASSERT_EQ(st.sample_count, 2);
  EXPECT_EQ(std::string(st.sample_names[0], std::size_t(st.name_lengths[0])), "wide");
  EXPECT_EQ(std::string(st.sample_names[1], std::size_t(st.name_lengths[1])), "mid");
  char field[8];
  tamsel::format_field(tamsel::cc_diagonal(st, 1), field);
  EXPECT_STREQ(field, " 0.4160");
  tamsel::format_field(tamsel::cc_diagonal(st, 2), field);
  EXPECT_STREQ(field, " 0.3223");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"corrlog.in", "corrspec.in", "samples.lst"}));
}

TEST(CurvesPicture, OnePanelPerSampleWithTwoFullCurves) {
  e2e::TempDir dir;
  const std::string svg = picture(dir, "wide\n0.1 0.9\nmid\n0.2 0.8\nnarrow\n0.3 0.7\n");
  const auto panels = svgcheck::panels(svg);
  ASSERT_EQ(panels.size(), 3u);
  const char* titles[] = {"window 0.1000 to 0.9000, cross-correlation <tspan font-weight=\"bold\">0.4160<",
                          "window 0.2000 to 0.8000, cross-correlation <tspan font-weight=\"bold\">0.3223<",
                          "window 0.3000 to 0.7000, cross-correlation <tspan font-weight=\"bold\">0.3223<"};
  const char* names[] = {">wide<", ">mid<", ">narrow<"};
  for (std::size_t i = 0; i < panels.size(); ++i) {
    EXPECT_EQ(panels[i].spec_points, std::vector<int>{128});
    EXPECT_EQ(panels[i].log_points, std::vector<int>{128});
    EXPECT_TRUE(contains(panels[i].text, titles[i])) << i;
    EXPECT_TRUE(contains(panels[i].text, names[i])) << i;
    EXPECT_TRUE(contains(panels[i].text, ">spec</text>"));
    EXPECT_TRUE(contains(panels[i].text, ">log</text>"));
    EXPECT_FALSE(contains(panels[i].text, "NaN"));
  }
  EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
}

TEST(CurvesPicture, CurvesSpanTheWindowInsideTheFrame) {
  e2e::TempDir dir;
  const std::string panel = svgcheck::panels(picture(dir, "w\n0.1 0.9\n"))[0].text;
  // The frame of the plot area, then the first and last point of the spec curve.
  double fx, fy, fw, fh;
  ASSERT_EQ(std::sscanf(panel.c_str() + panel.find("<rect class=\"frame\""),
                        "<rect class=\"frame\" x=\"%lf\" y=\"%lf\" width=\"%lf\" height=\"%lf\"",
                        &fx, &fy, &fw, &fh), 4);
  std::size_t at = panel.find("points=\"") + 8;
  double x0, y0;
  ASSERT_EQ(std::sscanf(panel.c_str() + at, "%lf,%lf", &x0, &y0), 2);
  std::size_t end = panel.find('"', at), last = panel.rfind(' ', end) + 1;
  double x1, y1;
  ASSERT_EQ(std::sscanf(panel.c_str() + last, "%lf,%lf", &x1, &y1), 2);
  EXPECT_NEAR(x0, fx, 0.01);
  EXPECT_NEAR(x1, fx + fw, 0.01);
  for (double y : {y0, y1}) {
    EXPECT_GE(y, fy);
    EXPECT_LE(y, fy + fh);
  }
}

// Where a fit follows its table closely, each record's marker sits on the
// fit's line: both are drawn less the same mean, on the same scale.  (The
// strip of residuals beneath marks the same records again.)
TEST(CurvesPicture, RecordsSitOnTheirFits) {
  e2e::TempDir dir;
  const std::string svg =
      picture(dir, "peak1\n0.2 0.45\n", example_file("corrspec.in"), example_file("corrlog.in"));
  std::string panel = svgcheck::panels(svg)[0].text;
  panel.erase(panel.find("<g class=\"residuals\">"));
  for (const char* curve : {"spec", "log"}) {
    const std::string line = "<polyline class=\"" + std::string(curve) + "\" points=\"";
    const std::size_t begin = panel.find(line) + line.size();
    std::string points = panel.substr(begin, panel.find('"', begin) - begin);
    std::replace(points.begin(), points.end(), ',', ' ');
    std::istringstream in(points);
    std::vector<double> x, y;
    for (double px, py; in >> px >> py;) x.push_back(px), y.push_back(py);
    ASSERT_EQ(x.size(), 128u);
    const std::string marker = std::string(curve) == "spec" ? "<circle class=\"spec-record\" cx=\""
                                                            : "<rect class=\"log-record\" x=\"";
    int markers = 0;
    for (std::size_t at = panel.find(marker); at != std::string::npos;
         at = panel.find(marker, at + 1), ++markers) {
      double mx, my;
      ASSERT_EQ(std::sscanf(panel.c_str() + at + marker.size(), "%lf\" %*[a-z]=\"%lf", &mx, &my), 2);
      if (marker[1] == 'r') mx += 2.1, my += 2.1; // a square's corner
      const std::size_t i = std::size_t(std::upper_bound(x.begin(), x.end(), mx) - x.begin());
      ASSERT_TRUE(i > 0 && i < x.size()) << mx;
      const double on_line = y[i - 1] + (y[i] - y[i - 1]) * (mx - x[i - 1]) / (x[i] - x[i - 1]);
      EXPECT_NEAR(my, on_line, 1.0) << curve << " record at x = " << mx;
    }
    EXPECT_EQ(markers, 25) << curve; // abscissae 0.2079 .. 0.4455
  }
}

// A record the spec fit misses (a spike the 15 nodes never read) is ringed
// where its marker is, over its fit and in the strip of residuals, where it
// lies farthest from zero, and the panel says so; records the fits follow
// are not.
TEST(CurvesPicture, RecordAFitMissesIsRinged) {
  e2e::TempDir dir;
  std::string spec, log;
  char line[64];
  for (int r = 1; r <= 60; ++r) {
    std::snprintf(line, sizeof line, "%.2f %.17g\n", r / 100.0, r == 51 ? 40.0 : std::sin(r / 14.0));
    spec += line;
    std::snprintf(line, sizeof line, "%.2f %.17g\n", r / 100.0, std::sin(r / 14.0));
    log += line;
  }
  const std::string panel = svgcheck::panels(picture(dir, "a\n0.1 0.58\n", spec, log))[0].text;
  EXPECT_TRUE(contains(panel, "the spec fit misses a record (ringed)"));
  const std::size_t strip_at = panel.find("<g class=\"residuals\">");
  ASSERT_NE(strip_at, std::string::npos);
  const std::string ring = "<circle class=\"missed\" cx=\"";
  const std::string marker = "<circle class=\"spec-record\" cx=\"";
  std::vector<double> ring_x;
  for (const std::string& part : {panel.substr(0, strip_at), panel.substr(strip_at)}) {
    const std::size_t at = part.find(ring);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(part.find(ring, at + 1), std::string::npos) << "the log fit misses none";
    double cx, cy;
    ASSERT_EQ(std::sscanf(part.c_str() + at + ring.size(), "%lf\" cy=\"%lf", &cx, &cy), 2);
    char ringed[96];
    std::snprintf(ringed, sizeof ringed, "%s%.2f\" cy=\"%.2f\"", marker.c_str(), cx, cy);
    EXPECT_TRUE(contains(part, ringed)) << ringed;
    ring_x.push_back(cx);
    if (ring_x.size() == 1) continue;
    // In the strip no record lies farther from the zero line.
    double zero, far = 0.0;
    ASSERT_EQ(std::sscanf(part.c_str() + part.find("<line class=\"zero\""),
                          "<line class=\"zero\" x1=\"%*f\" y1=\"%lf", &zero), 1);
    for (std::size_t m = part.find(marker); m != std::string::npos; m = part.find(marker, m + 1)) {
      double x, y;
      ASSERT_EQ(std::sscanf(part.c_str() + m + marker.size(), "%lf\" cy=\"%lf", &x, &y), 2);
      far = std::max(far, std::fabs(y - zero));
    }
    EXPECT_EQ(far, std::fabs(cy - zero));
  }
  EXPECT_EQ(ring_x[0], ring_x[1]);
  EXPECT_FALSE(contains(picture(dir, example_file("samples.lst"), example_file("corrspec.in"),
                                example_file("corrlog.in")),
                        "class=\"missed\""));
}

// Curves in any units compare: with the spec table in units a billion times
// smaller than the log table's, both curves of every panel still span most
// of the plot area's height.  --raw keeps the tables' units, in which the
// spec curve is flat.
TEST(CurvesPicture, CurvesInAnyUnitsFillTheirPanels) {
  std::istringstream in(example_file("corrspec.in"));
  std::string spec;
  for (double x, y; in >> x >> y;) {
    char record[64];
    std::snprintf(record, sizeof record, "%.17g %.17g\n", x, y * 1e-9);
    spec += record;
  }
  for (bool raw : {false, true}) {
    e2e::TempDir dir;
    tamsel::PictureOptions options;
    options.raw = raw;
    const auto panels =
        svgcheck::panels(picture(dir, example_file("samples.lst"), spec, example_file("corrlog.in"), options));
    ASSERT_EQ(panels.size(), 5u);
    for (const auto& p : panels) {
      const double height = frame_height(p.text);
      if (raw) {
        EXPECT_LT(extent(p.text, "spec"), 0.01 * height) << p.text.substr(0, 200);
        continue;
      }
      EXPECT_GE(extent(p.text, "spec"), 0.5 * height) << p.text.substr(0, 200);
      EXPECT_GE(extent(p.text, "log"), 0.5 * height) << p.text.substr(0, 200);
    }
  }
}

// However many windows crowd how closely, the summary names every one
// once, in boxes that overlap neither each other nor the page's edge, on a
// scale that spreads the coefficients over the plot area's height; windows
// that do not crowd keep the fixed -1..1 scale.
TEST(CurvesPicture, SummaryNamesEveryWindowApart) {
  for (const int windows : {5, 17, 40, 100}) {
    e2e::TempDir dir;
    const svgcheck::Crowded c = svgcheck::crowded(windows);
    picture(dir, c.list, c.spec, c.log);
    const tamsel::RunState& st = tamsel::run_state();
    for (const auto& [columns, width] : {std::pair{3, 1620.0}, {5, 2700.0}, {1, 720.0}}) {
      const tamsel::svg::Summary s = tamsel::svg::plan_summary(st, columns, width);
      ASSERT_EQ(s.drawn.size(), std::size_t(windows));
      EXPECT_EQ(s.crowded, windows > 5) << windows;
      const tamsel::svg::Frame& f = s.f;
      double lowest = INFINITY, highest = -INFINITY;
      for (const auto& d : s.drawn) {
        EXPECT_TRUE(d.y >= f.top && d.y <= f.top + f.height) << d.y;
        lowest = std::min(lowest, d.y), highest = std::max(highest, d.y);
      }
      EXPECT_TRUE(f.y.lo >= -1.0 && f.y.hi <= 1.0);
      if (s.crowded) EXPECT_GT(highest - lowest, 0.5 * f.height) << windows << " " << width;
      else EXPECT_EQ(f.y.hi - f.y.lo, 2.0);
      std::vector<int> named(std::size_t(windows) + 1, 0);
      for (std::size_t i = 0; i < s.labels.size(); ++i) {
        const auto a = tamsel::svg::label_box(s.labels[i]);
        ++named[std::size_t(s.labels[i].k)];
        EXPECT_TRUE(a.x0 >= 0.0 && a.x1 <= width && a.y0 >= f.top - 12 && a.y1 <= f.top + f.height)
            << windows << " " << width << " label " << s.labels[i].k;
        for (std::size_t j = 0; j < i; ++j) {
          const auto b = tamsel::svg::label_box(s.labels[j]);
          EXPECT_FALSE(a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1)
              << windows << " " << width << ": labels of " << s.labels[i].k << " and "
              << s.labels[j].k;
        }
      }
      EXPECT_EQ(std::count(named.begin() + 1, named.end(), 1), windows) << windows;
    }
  }
}

TEST(CurvesPicture, NotANumberIsShownPlainly) {
  e2e::TempDir flat, empty;
  // A degenerate window: both curves are NaN throughout, nothing is drawn.
  auto panels = svgcheck::panels(picture(flat, "ok\n0.1 0.9\nflat\n0.5 0.5\n"));
  ASSERT_EQ(panels.size(), 2u);
  EXPECT_TRUE(panels[1].spec_points.empty());
  EXPECT_TRUE(panels[1].log_points.empty());
  EXPECT_TRUE(contains(panels[1].text, "<tspan class=\"warn\">cross-correlation NaN</tspan>"));
  EXPECT_TRUE(contains(panels[1].text, "no finite curve values"));
  EXPECT_FALSE(contains(panels[0].text, "NaN"));
  // Empty tables: both curves are zero, drawn flat, and the coefficient is 0/0.
  panels = svgcheck::panels(picture(empty, "e\n0.1 0.4\n", "", ""));
  ASSERT_EQ(panels.size(), 1u);
  EXPECT_EQ(panels[0].spec_points, std::vector<int>{128});
  EXPECT_TRUE(contains(panels[0].text, "cross-correlation is NaN: both curves are zero throughout"));
}

TEST(CurvesPicture, NamesAreEscapedAsXmlText) {
  e2e::TempDir dir, hidden, shown;
  const std::string svg = picture(dir, "a<&>\"b\xff\x01\xc3\xa9\n0.1 0.9\n");
  EXPECT_TRUE(contains(svgcheck::panels(svg)[0].text, ">a&lt;&amp;&gt;&quot;b??\xc3\xa9</text>"));
  // A bidirectional override (U+202E), a C1 control (U+0085) and a zero
  // width space are '?' as on the console, wherever the picture writes the
  // name: the picture is that of the name with '?' in their place.
  const std::string controls = "0.6308\xe2\x80\xae 1\xc2\x85\xe2\x80\x8b";
  EXPECT_EQ(picture(hidden, "x" + controls + "y\n0.1 0.9\n"),
            picture(shown, "x0.6308? 1??y\n0.1 0.9\n"));
}

TEST(CurvesPicture, FarAndHugeValuesKeepEveryCoordinateANumber) {
  e2e::TempDir dir;
  // A window far out on the abscissa, where the tick spacing is below the
  // values' resolution; curves of about 1e290; curves near the largest
  // double, which are fitted (and correlated) but reach past it in places.
  const std::string svg =
      picture(dir, "far\n1e17 1.00000000000000064e17\nbig\n0.1 0.9\n",
              "0.2 1e290\n0.5 -3e290\n0.8 2e290\n", "0.2 1.7e308\n0.5 -1.7e308\n0.8 1.7e308\n");
  const auto panels = svgcheck::panels(svg);
  ASSERT_EQ(panels.size(), 2u);
  EXPECT_EQ(panels[1].spec_points, std::vector<int>{128});
  EXPECT_FALSE(contains(panels[1].text, "NaN"));
  for (double c : svgcheck::coordinates(svg)) ASSERT_TRUE(std::isfinite(c)) << c;
  int ticks = 0;
  for (std::size_t at = panels[0].text.find("class=\"tick\""); at != std::string::npos;
       at = panels[0].text.find("class=\"tick\"", at + 1))
    ++ticks;
  EXPECT_GE(ticks, 2);
  EXPECT_LE(ticks, 24);
}

} // namespace
