// SPDX-License-Identifier: BSD-3-Clause
#include "plot/plot.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/files.h"
#include "driver/report.h"
#include "driver/run.h"
#include "numeric/stop.h"

namespace tamsel {

namespace {

// Geometry of a panel, in SVG user units (pixels).
constexpr double kPanelWidth = 540, kPanelHeight = 350;
constexpr double kLeft = 72, kRight = 22, kTop = 66, kBottom = 52;
constexpr double kPlotWidth = kPanelWidth - kLeft - kRight;
constexpr double kPlotHeight = kPanelHeight - kTop - kBottom;
constexpr double kHeader = 58; // the figure's own title above the panels

constexpr const char* kStyle =
    "text{font-family:'DejaVu Sans',Helvetica,Arial,sans-serif;fill:#222}"
    ".title{font-size:19px;font-weight:bold}.subtitle{font-size:12.5px;fill:#555}"
    ".name{font-size:15px;font-weight:bold}.info{font-size:13px}"
    ".nan{fill:#c00000;font-weight:bold}.note{font-size:13px;fill:#c00000}"
    ".tick{font-size:11px;fill:#444}.axis{font-size:12px;fill:#333}"
    ".legend{font-size:12px}.frame{fill:none;stroke:#333;stroke-width:1}"
    ".grid{stroke:#e3e3e3;stroke-width:1}.zero{stroke:#999;stroke-width:1;stroke-dasharray:4 3}"
    ".spec{fill:none;stroke:#0072b2;stroke-width:1.8;stroke-linejoin:round}"
    ".log{fill:none;stroke:#d55e00;stroke-width:1.8;stroke-linejoin:round;stroke-dasharray:7 3}";

void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& out, const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  const std::size_t at = out.size();
  out.resize(at + std::size_t(n) + 1);
  std::vsnprintf(out.data() + at, std::size_t(n) + 1, format, again);
  va_end(again);
  out.resize(at + std::size_t(n));
}

// Appends bytes as XML character data: markup characters become entities,
// control characters and bytes that are not well-formed UTF-8 become '?'.
void append_text(std::string& out, const char* bytes, std::size_t length) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < length;) {
    unsigned char c = s[i];
    if (c < 0x80) {
      switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += ' '; break;
      default: out += c < 0x20 || c == 0x7f ? '?' : char(c);
      }
      ++i;
      continue;
    }
    // A multi-byte sequence: its lead byte gives the length, every
    // continuation byte is 10xxxxxx, and overlong or surrogate forms are
    // refused.
    std::size_t n = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
    bool ok = n != 0 && i + n <= length;
    for (std::size_t j = 1; ok && j < n; ++j) ok = (s[i + j] & 0xc0) == 0x80;
    if (ok && c == 0xe0) ok = s[i + 1] >= 0xa0;
    if (ok && c == 0xed) ok = s[i + 1] < 0xa0;
    if (ok && c == 0xf0) ok = s[i + 1] >= 0x90;
    if (ok && c == 0xf4) ok = s[i + 1] < 0x90;
    if (ok) {
      out.append(bytes + i, n);
      i += n;
    } else {
      out += '?';
      ++i;
    }
  }
}

// A number as the report's field writes it, without the field's leading
// blanks.
std::string field(Real value) {
  char text[8];
  format_field(value, text);
  const char* start = text;
  while (*start == ' ') ++start;
  return start;
}

// A window bound: as in the report, or in full where the report's field
// has no room for it.
std::string bound(Real value) {
  std::string text = field(value);
  if (text[0] != '*') return text;
  char full[32];
  for (int digits = 6; digits <= 17; ++digits) {
    std::snprintf(full, sizeof full, "%.*g", digits, value);
    if (std::strtod(full, nullptr) == value) break;
  }
  return full;
}

// Axes span finite ranges: values beyond +-kFar lie off the scale and are
// clipped at the plot area's edge.
constexpr double kFar = 1e300;

// Tick spacing: 1, 2 or 5 times a power of ten, giving about `count`
// intervals over `span`.
double nice_step(double span, int count) {
  double raw = span / count;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  double m = raw / power;
  return (m < 1.5 ? 1 : m < 3.5 ? 2 : m < 7.5 ? 5 : 10) * power;
}

// A tick's value with as many digits as the spacing needs.
std::string tick_label(double value, double step) {
  if (std::fabs(value) < step * 1e-6) value = 0.0;
  char text[64];
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e6 || step < 1e-4) {
    int digits = magnitude > 0.0 ? int(std::floor(std::log10(magnitude)) - std::floor(std::log10(step))) + 1 : 1;
    std::snprintf(text, sizeof text, "%.*g", std::clamp(digits, 1, 17), value);
  } else {
    int decimals = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
  }
  return text;
}

struct Axis {
  double lo, hi;
  std::vector<double> ticks; // the multiples of the spacing in [lo, hi]
};

Axis make_axis(double lo, double hi, double step) {
  Axis axis{lo, hi, {}};
  if (!(step > 0.0) || !std::isfinite(step)) return axis;
  const double first = std::ceil(lo / step - 1e-9);
  for (int i = 0; i < 12; ++i) {
    const double t = (first + i) * step;
    if (t > hi + step * 1e-9) break;
    if (axis.ticks.empty() || t > axis.ticks.back()) axis.ticks.push_back(t);
  }
  return axis;
}

// The abscissa axis runs exactly over the window.
Axis abscissa_axis(Real fmin, Real fmax, double& step) {
  double lo = std::max(std::min(fmin, fmax), -kFar), hi = std::min(std::max(fmin, fmax), kFar);
  if (!(lo <= hi)) lo = 0.0, hi = 1.0;
  if (lo == hi) {
    double pad = hi == 0.0 ? 0.05 : std::fabs(hi) * 0.05;
    lo -= pad, hi += pad;
  }
  step = nice_step(hi - lo, 6);
  return make_axis(lo, hi, step);
}

// The value axis covers the finite values of both curves and ends on ticks.
Axis value_axis(const std::vector<double>& values, double& step) {
  double lo = INFINITY, hi = -INFINITY;
  for (double v : values)
    if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  if (lo > hi) lo = -1.0, hi = 1.0;
  lo = std::max(lo, -kFar), hi = std::min(hi, kFar);
  if (hi - lo <= std::fabs(hi) * 1e-12) {
    double pad = hi == 0.0 ? 1.0 : std::fabs(hi) * 0.1;
    lo -= pad, hi += pad;
  }
  step = nice_step(hi - lo, 5);
  return make_axis(std::floor(lo / step) * step, std::ceil(hi / step) * step, step);
}

struct Curve {
  std::vector<double> x, y;
  int finite = 0;
  bool all_zero = true;
};

// The curve of row k of `matrix` with the abscissae of its points: the
// point at u is fmin + u, u going from 0 to the window's width in 127 equal
// steps and never beyond the width.
Curve curve(const Real* matrix, Integer k, Real fmin, Real fmax) {
  Curve c;
  const Real width = fmax - fmin;
  const Real step = width / 127.0;
  for (Integer i = 0; i < kCurvePoints; ++i) {
    Real u = Real(i) * step;
    if (width < u) u = width;
    const Real y = matrix_at(matrix, k, i + 1);
    c.x.push_back(fmin + u);
    c.y.push_back(y);
    if (std::isfinite(fmin + u) && std::isfinite(y)) ++c.finite;
    if (y != 0.0) c.all_zero = false;
  }
  return c;
}

void append_panel(std::string& out, const RunState& st, Integer k, double px, double py) {
  const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
  const Real coefficient = cc_diagonal(st, k);
  const Curve spec_curve = curve(st.agem, k, fmin, fmax), log_curve = curve(st.xlgrm, k, fmin, fmax);

  std::vector<double> values = spec_curve.y;
  values.insert(values.end(), log_curve.y.begin(), log_curve.y.end());
  double xstep, ystep;
  const Axis ax = abscissa_axis(fmin, fmax, xstep), ay = value_axis(values, ystep);
  auto sx = [&](double x) { return kLeft + (x - ax.lo) / (ax.hi - ax.lo) * kPlotWidth; };
  auto sy = [&](double y) { return kTop + kPlotHeight - (y - ay.lo) / (ay.hi - ay.lo) * kPlotHeight; };

  append(out, "<g class=\"panel\" transform=\"translate(%.0f,%.0f)\">\n", px, py);

  // Title: the name, then the window and the coefficient as the report writes them.
  out += "<text class=\"name\" x=\"20\" y=\"24\">";
  append_text(out, st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
  out += "</text>\n";
  append(out, "<text class=\"info\" x=\"20\" y=\"46\">window %s to %s, ",
         bound(fmin).c_str(), bound(fmax).c_str());
  if (std::isnan(coefficient))
    out += "<tspan class=\"nan\">cross-correlation NaN</tspan></text>\n";
  else
    append(out, "cross-correlation <tspan font-weight=\"bold\">%s</tspan></text>\n",
           field(coefficient).c_str());

  // Legend, at the right of the title.
  const double lx = kPanelWidth - kRight - 132;
  append(out,
         "<line class=\"spec\" x1=\"%.0f\" y1=\"42\" x2=\"%.0f\" y2=\"42\"/>"
         "<text class=\"legend\" x=\"%.0f\" y=\"46\">spec</text>"
         "<line class=\"log\" x1=\"%.0f\" y1=\"42\" x2=\"%.0f\" y2=\"42\"/>"
         "<text class=\"legend\" x=\"%.0f\" y=\"46\">log</text>\n",
         lx, lx + 26, lx + 31, lx + 75, lx + 101, lx + 106);

  // Grid, ticks and their values.
  for (double t : ax.ticks) {
    const double x = sx(t);
    append(out, "<line class=\"grid\" x1=\"%.2f\" y1=\"%.0f\" x2=\"%.2f\" y2=\"%.0f\"/>", x, kTop, x,
           kTop + kPlotHeight);
    append(out, "<line class=\"frame\" x1=\"%.2f\" y1=\"%.0f\" x2=\"%.2f\" y2=\"%.0f\"/>", x,
           kTop + kPlotHeight, x, kTop + kPlotHeight + 5);
    append(out, "<text class=\"tick\" x=\"%.2f\" y=\"%.0f\" text-anchor=\"middle\">%s</text>\n", x,
           kTop + kPlotHeight + 18, tick_label(t, xstep).c_str());
  }
  for (double t : ay.ticks) {
    const double y = sy(t);
    append(out, "<line class=\"grid\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>", kLeft, y,
           kLeft + kPlotWidth, y);
    append(out, "<line class=\"frame\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>", kLeft - 5,
           y, kLeft, y);
    append(out, "<text class=\"tick\" x=\"%.0f\" y=\"%.2f\" text-anchor=\"end\">%s</text>\n",
           kLeft - 8, y + 4, tick_label(t, ystep).c_str());
  }
  if (ay.lo < 0.0 && ay.hi > 0.0)
    append(out, "<line class=\"zero\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>\n", kLeft,
           sy(0.0), kLeft + kPlotWidth, sy(0.0));
  append(out, "<rect class=\"frame\" x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\"/>\n",
         kLeft, kTop, kPlotWidth, kPlotHeight);
  append(out, "<text class=\"axis\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">abscissa</text>\n",
         kLeft + kPlotWidth / 2, kPanelHeight - 10);
  append(out,
         "<text class=\"axis\" transform=\"translate(18,%.0f) rotate(-90)\" "
         "text-anchor=\"middle\">value minus its mean</text>\n",
         kTop + kPlotHeight / 2);

  // The curves, one polyline per stretch of finite points, clipped to the
  // plot area.
  append(out,
         "<clipPath id=\"plot%d\"><rect x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\"/>"
         "</clipPath>\n<g clip-path=\"url(#plot%d)\">\n",
         k, kLeft, kTop, kPlotWidth, kPlotHeight, k);
  for (const Curve* c : {&spec_curve, &log_curve}) {
    const char* name = c == &spec_curve ? "spec" : "log";
    bool open = false;
    for (std::size_t i = 0; i < c->y.size(); ++i) {
      const bool finite = std::isfinite(c->x[i]) && std::isfinite(c->y[i]);
      if (finite && !open) append(out, "<polyline class=\"%s\" points=\"", name), open = true;
      else if (finite) out += ' ';
      if (finite) append(out, "%.2f,%.2f", sx(c->x[i]), sy(c->y[i]));
      if (!finite && open) out += "\"/>\n", open = false;
    }
    if (open) out += "\"/>\n";
  }
  out += "</g>\n";

  // Why a coefficient is not a number.
  if (std::isnan(coefficient)) {
    const char* why = "not a number";
    if (spec_curve.finite == 0 && log_curve.finite == 0) why = "no finite curve values in this window";
    else if (spec_curve.finite == 0) why = "the spec curve has no finite values";
    else if (log_curve.finite == 0) why = "the log curve has no finite values";
    else if (spec_curve.all_zero && log_curve.all_zero) why = "both curves are zero throughout";
    else if (spec_curve.all_zero) why = "the spec curve is zero throughout";
    else if (log_curve.all_zero) why = "the log curve is zero throughout";
    append(out,
           "<text class=\"note\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">"
           "cross-correlation is NaN: %s</text>\n",
           kLeft + kPlotWidth / 2, kTop + kPlotHeight / 2 - 12, why);
  }
  out += "</g>\n";
}

} // namespace

std::string curves_svg(const RunState& st) {
  const Integer n = st.sample_count;
  const Integer columns = n > 1 ? 2 : 1;
  const Integer rows = (n + columns - 1) / columns;
  const double width = columns * kPanelWidth, height = kHeader + rows * kPanelHeight + 8;

  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  append(out,
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
         "viewBox=\"0 0 %.0f %.0f\">\n",
         width, height, width, height);
  append(out, "<title>tamsel: spec and log curves of %d sample%s</title>\n", n, n == 1 ? "" : "s");
  append(out, "<style>%s</style>\n", kStyle);
  out += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  out += "<text class=\"title\" x=\"20\" y=\"28\">Spec and log curves</text>\n";
  out += "<text class=\"subtitle\" x=\"20\" y=\"48\">15-term Chebyshev fits over each "
         "window, each less its mean, at 128 points</text>\n";
  for (Integer k = 1; k <= n; ++k)
    append_panel(out, st, k, double((k - 1) % columns) * kPanelWidth,
                 kHeader + double((k - 1) / columns) * kPanelHeight);
  out += "</svg>\n";
  return out;
}

void write_document(const char* path, const std::string& document) {
  if (const char* input = input_file_at(path))
    stopf(kInputStatus, "tamsel-plot: %s: cannot write the file: it is the input file %s", path, input);
  const int fd = open_output(path, false);
  if (fd < 0 && errno != ENOENT)
    stopf(kInputStatus, "tamsel-plot: %s: cannot create the file: %s", path,
          open_output_error(path, errno));
  if (const int error = replace_output(path, fd, document.data(), document.size()))
    stopf(kInputStatus, "tamsel-plot: %s: cannot write the file: %s", path, std::strerror(error));
}

} // namespace tamsel
