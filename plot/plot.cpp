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
#include "driver/samples.h"
#include "driver/tables.h"
#include "driver/status.h"

namespace tamsel {

namespace {

// Geometry, in SVG user units (pixels).  A sample's panel and its plot area:
constexpr double kPanelWidth = 540, kPanelHeight = 350;
constexpr double kLeft = 72, kRight = 22, kTop = 66, kBottom = 52;
constexpr double kPlotWidth = kPanelWidth - kLeft - kRight;
constexpr double kPlotHeight = kPanelHeight - kTop - kBottom;
// The page's title above everything; the summary's plot area, as wide as the
// page and taller as the page widens, and the lines of its list of samples
// shown apart.
constexpr double kHeader = 86;
double summary_plot_height(Integer columns) { return 260 + 40 * double(columns); }
constexpr double kApartLine = 18;

constexpr const char* kStyle =
    "text{font-family:'DejaVu Sans',Helvetica,Arial,sans-serif;fill:#222}"
    ".title{font-size:19px;font-weight:bold}.subtitle{font-size:12.5px;fill:#555}"
    ".name{font-size:15px;font-weight:bold}.info{font-size:13px}"
    ".warn{fill:#c00000;font-weight:bold}"
    ".note{font-size:13px;fill:#c00000;paint-order:stroke;stroke:#fff;stroke-width:4px;"
    "stroke-linejoin:round}"
    ".tick{font-size:11px;fill:#444}.axis{font-size:12px;fill:#333}"
    ".legend{font-size:12px}.frame{fill:none;stroke:#333;stroke-width:1}"
    ".grid{stroke:#e3e3e3;stroke-width:1}.zero{stroke:#999;stroke-width:1;stroke-dasharray:4 3}"
    ".spec{fill:none;stroke:#0072b2;stroke-width:1.8;stroke-linejoin:round}"
    ".log{fill:none;stroke:#d55e00;stroke-width:1.8;stroke-linejoin:round;stroke-dasharray:7 3}"
    ".spec-record{fill:#fff;stroke:#0072b2;stroke-width:1.1}"
    ".log-record{fill:#fff;stroke:#d55e00;stroke-width:1.1}"
    ".window{fill:none;stroke:#1a1a1a;stroke-width:1.8;stroke-opacity:0.8}"
    ".label{font-size:11px;fill:#333}"
    ".apart{font-size:12px}.cross{fill:#c00000;font-weight:bold}";

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

// Appends bytes as XML character data: markup characters become entities;
// control characters, bytes that are not well-formed UTF-8 and the two
// characters U+FFFE and U+FFFF, which XML does not allow, become '?'.
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
    if (ok && c == 0xef && s[i + 1] == 0xbf && s[i + 2] >= 0xbe) {
      out += '?'; // U+FFFE or U+FFFF
      i += n;
    } else if (ok) {
      out.append(bytes + i, n);
      i += n;
    } else {
      out += '?';
      ++i;
    }
  }
}

// The width of text in the sans-serif face at `size`, roughly: 0.6 em per
// character.
double text_width(const char* bytes, std::size_t length, double size) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < length; ++i)
    characters += (static_cast<unsigned char>(bytes[i]) & 0xc0) != 0x80;
  return double(characters) * 0.6 * size;
}

// Appends the name of sample k as XML text, cut with an ellipsis where it
// would be wider than `room` at `size`.
void append_name(std::string& out, const RunState& st, Integer k, double room, double size) {
  const char* name = st.sample_names[k - 1];
  std::size_t length = std::size_t(st.name_lengths[k - 1]);
  if (text_width(name, length, size) <= room) return append_text(out, name, length);
  while (length > 0 && text_width(name, length, size) > room - 0.6 * size) {
    --length;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xc0) == 0x80) --length;
  }
  append_text(out, name, length);
  out += "\xe2\x80\xa6";
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

// A window whose fmin is not below fmax (reversed, of zero width, or with a
// NaN bound): its coefficient does not measure agreement.
bool reversed(Real fmin, Real fmax) { return !(fmin < fmax); }

// Axes span finite ranges: values beyond +-kFar lie off the scale and are
// cut at the plot area's edge.  With both ends within +-kFar, an axis's
// span never overflows.
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
  double lo, hi; // lo < hi, both finite
  double step;
  std::vector<double> ticks; // the multiples of the spacing in [lo, hi]
};

Axis make_axis(double lo, double hi, double step) {
  Axis axis{lo, hi, step, {}};
  if (!(step > 0.0) || !std::isfinite(step)) return axis;
  const double first = std::ceil(lo / step - 1e-9);
  for (int i = 0; i < 12; ++i) {
    const double t = (first + i) * step;
    if (t > hi + step * 1e-9) break;
    if (axis.ticks.empty() || t > axis.ticks.back()) axis.ticks.push_back(t);
  }
  return axis;
}

// The next coarser tick spacing: 1, 2, 5, 10 times a power of ten.
double coarser(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double m = step / power;
  return (m < 1.5 ? 2 : m < 3.5 ? 5 : 10) * power;
}

// Whether the tick values of a horizontal axis `room` pixels long stand
// side by side without touching.
bool labels_fit(const Axis& axis, double room) {
  double widest = 0.0;
  for (double t : axis.ticks) {
    const std::string label = tick_label(t, axis.step);
    widest = std::max(widest, text_width(label.data(), label.size(), 11));
  }
  return axis.ticks.size() < 2 || widest + 10 <= room * axis.step / (axis.hi - axis.lo);
}

// An abscissa axis running exactly over a window, `room` pixels long.
Axis window_axis(Real fmin, Real fmax, double room) {
  double lo = std::max(std::min(fmin, fmax), -kFar), hi = std::min(std::max(fmin, fmax), kFar);
  if (!(lo <= hi)) lo = 0.0, hi = 1.0;
  if (lo == hi) {
    const double pad = hi == 0.0 ? 0.05 : std::fabs(hi) * 0.05;
    lo -= pad, hi += pad;
  }
  if (!(lo < hi)) lo = hi - 1.0, hi += 1.0; // subnormal bounds
  Axis axis = make_axis(lo, hi, nice_step(hi - lo, 6));
  for (int i = 0; i < 8 && !labels_fit(axis, room); ++i) axis = make_axis(lo, hi, coarser(axis.step));
  return axis;
}

// An axis covering the finite values, ending on ticks; for a horizontal
// axis `room` pixels long, with tick values that fit side by side.
Axis covering_axis(const std::vector<double>& values, int intervals, double room = 0.0) {
  double lo = INFINITY, hi = -INFINITY;
  for (double v : values)
    if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  if (lo > hi) lo = -1.0, hi = 1.0;
  lo = std::max(lo, -kFar), hi = std::min(hi, kFar);
  if (hi - lo <= std::fabs(hi) * 1e-12) {
    double pad = hi == 0.0 ? 1.0 : std::fabs(hi) * 0.1;
    lo -= pad, hi += pad;
  }
  if (!(lo < hi)) lo = -1.0, hi = 1.0; // subnormal values
  double step = nice_step(hi - lo, intervals);
  Axis axis = make_axis(std::floor(lo / step) * step, std::ceil(hi / step) * step, step);
  for (int i = 0; i < 8 && room > 0.0 && !labels_fit(axis, room); ++i) {
    step = coarser(step);
    axis = make_axis(std::floor(lo / step) * step, std::ceil(hi / step) * step, step);
  }
  return axis;
}

// Where a value lies across an axis: 0 at its low end, 1 at its high end.
// Kept within +-kReach, so that a value far off the scale, up to +-DBL_MAX,
// still gives an ordinary number; the lines to such a point are cut at the
// plot area's edge with less than a pixel's error.
constexpr double kReach = 1e9;
double across(double value, const Axis& axis) {
  return std::clamp((value - axis.lo) / (axis.hi - axis.lo), -kReach, kReach);
}

// A plot area: its axes and its place in the panel.
struct Frame {
  Axis x, y;
  double left, top, width, height;
  double px(double u) const { return left + u * width; }
  double py(double v) const { return top + (1.0 - v) * height; }
  double at_x(double value) const { return px(across(value, x)); }
  double at_y(double value) const { return py(across(value, y)); }
};

// Points on the edge of the plot area, up to rounding, count as inside.
constexpr double kEdge = 1e-9;

bool inside(double u, double v) {
  return u >= -kEdge && u <= 1.0 + kEdge && v >= -kEdge && v <= 1.0 + kEdge;
}

// Cuts the segment from (u0, v0) to (u1, v1), in axis units, to the plot
// area: on return [t0, t1] is the part inside, as fractions of the segment.
// False when no part is inside.
bool clip(double u0, double v0, double u1, double v1, double& t0, double& t1) {
  const double du = u1 - u0, dv = v1 - v0;
  const double p[4] = {-du, du, -dv, dv};
  const double q[4] = {u0 + kEdge, 1.0 + kEdge - u0, v0 + kEdge, 1.0 + kEdge - v0};
  t0 = 0.0, t1 = 1.0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0.0) t0 = std::max(t0, r);
    else t1 = std::min(t1, r);
  }
  return t0 <= t1;
}

// Draws the points (x[i], y[i]) joined in order as polylines of class
// `cls`: a point that is not finite breaks the line, and the line is cut
// where it leaves the plot area.
void append_lines(std::string& out, const char* cls, const std::vector<double>& x,
                  const std::vector<double>& y, const Frame& f) {
  bool open = false;
  auto close = [&] {
    if (open) out += "\"/>\n";
    open = false;
  };
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (!std::isfinite(x[i - 1]) || !std::isfinite(y[i - 1]) || !std::isfinite(x[i]) ||
        !std::isfinite(y[i])) {
      close();
      continue;
    }
    const double u0 = across(x[i - 1], f.x), v0 = across(y[i - 1], f.y);
    const double u1 = across(x[i], f.x), v1 = across(y[i], f.y);
    double t0, t1;
    if (!clip(u0, v0, u1, v1, t0, t1)) {
      close();
      continue;
    }
    if (t0 > 0.0) close();
    if (!open) {
      append(out, "<polyline class=\"%s\" points=\"%.2f,%.2f", cls, f.px(u0 + t0 * (u1 - u0)),
             f.py(v0 + t0 * (v1 - v0)));
      open = true;
    }
    append(out, " %.2f,%.2f", f.px(u0 + t1 * (u1 - u0)), f.py(v0 + t1 * (v1 - v0)));
    if (t1 < 1.0) close();
  }
  close();
}

// Grid, ticks with their values, the zero line and the frame of a plot area.
void append_axes(std::string& out, const Frame& f) {
  const double bottom = f.top + f.height, right = f.left + f.width;
  for (double t : f.x.ticks) {
    const double x = f.at_x(t);
    append(out, "<line class=\"grid\" x1=\"%.2f\" y1=\"%.0f\" x2=\"%.2f\" y2=\"%.0f\"/>", x, f.top,
           x, bottom);
    append(out, "<line class=\"frame\" x1=\"%.2f\" y1=\"%.0f\" x2=\"%.2f\" y2=\"%.0f\"/>", x,
           bottom, x, bottom + 5);
    append(out, "<text class=\"tick\" x=\"%.2f\" y=\"%.0f\" text-anchor=\"middle\">%s</text>\n", x,
           bottom + 18, tick_label(t, f.x.step).c_str());
  }
  for (double t : f.y.ticks) {
    const double y = f.at_y(t);
    append(out, "<line class=\"grid\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>", f.left,
           y, right, y);
    append(out, "<line class=\"frame\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>",
           f.left - 5, y, f.left, y);
    append(out, "<text class=\"tick\" x=\"%.0f\" y=\"%.2f\" text-anchor=\"end\">%s</text>\n",
           f.left - 8, y + 4, tick_label(t, f.y.step).c_str());
  }
  if (f.y.lo < 0.0 && f.y.hi > 0.0)
    append(out, "<line class=\"zero\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>\n", f.left,
           f.at_y(0.0), right, f.at_y(0.0));
  append(out, "<rect class=\"frame\" x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\"/>\n",
         f.left, f.top, f.width, f.height);
}

void append_axis_titles(std::string& out, const Frame& f, const char* x_title,
                        const char* y_title) {
  append(out, "<text class=\"axis\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">%s</text>\n",
         f.left + f.width / 2, f.top + f.height + 42, x_title);
  append(out,
         "<text class=\"axis\" transform=\"translate(18,%.0f) rotate(-90)\" "
         "text-anchor=\"middle\">%s</text>\n",
         f.top + f.height / 2, y_title);
}

// Sample k's window and coefficient as the report writes them, the
// coefficient marked where it is not finite or does not measure agreement.
void append_window_and_coefficient(std::string& out, const RunState& st, Integer k) {
  const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
  const Real coefficient = cc_diagonal(st, k);
  append(out, "window %s to %s, ", bound(fmin).c_str(), bound(fmax).c_str());
  if (!std::isfinite(coefficient) || reversed(fmin, fmax))
    append(out, "<tspan class=\"warn\">cross-correlation %s</tspan>", field(coefficient).c_str());
  else
    append(out, "cross-correlation <tspan font-weight=\"bold\">%s</tspan>",
           field(coefficient).c_str());
}

// The summary: each sample's coefficient against its window.
bool drawn_in_summary(const RunState& st, Integer k) {
  return std::isfinite(cc_diagonal(st, k)) &&
         !reversed(matrix_at(st.agem, k, 0), matrix_at(st.xlgrm, k, 0));
}

Integer apart_count(const RunState& st) {
  Integer count = 0;
  for (Integer k = 1; k <= st.sample_count; ++k) count += !drawn_in_summary(st, k);
  return count;
}

double summary_height(const RunState& st, Integer columns) {
  const Integer apart = apart_count(st);
  const Integer rows = (apart + columns - 1) / columns;
  const double list = apart > 0 ? 10 + double(rows) * kApartLine : 0.0;
  return kTop + summary_plot_height(columns) + kBottom + list + 16;
}

struct Box {
  double x0, y0, x1, y1;
  bool overlaps(const Box& b) const { return x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1; }
};

void append_summary(std::string& out, const RunState& st, Integer columns, double width, double py) {
  const Integer n = st.sample_count;
  std::vector<double> bounds;
  for (Integer k = 1; k <= n; ++k)
    if (drawn_in_summary(st, k))
      bounds.push_back(matrix_at(st.agem, k, 0)), bounds.push_back(matrix_at(st.xlgrm, k, 0));
  const Frame f{covering_axis(bounds, 8, width - kLeft - kRight), make_axis(-1.0, 1.0, 0.5), kLeft,
                kTop, width - kLeft - kRight, summary_plot_height(columns)};

  append(out, "<g class=\"summary\" transform=\"translate(0,%.0f)\">\n", py);
  out += "<text class=\"name\" x=\"20\" y=\"24\">Cross-correlation of every window</text>\n";
  out += "<text class=\"info\" x=\"20\" y=\"46\">each sample's coefficient as a segment from "
         "its fmin to its fmax, named where there is room and in a tooltip</text>\n";
  append_axes(out, f);
  append_axis_titles(out, f, "abscissa", "cross-correlation");

  // The segments, then the names beside them where they fit: clear of the
  // frame, of every other segment and of the names placed before.
  std::vector<Box> taken;
  std::vector<Integer> drawn;
  for (Integer k = 1; k <= n; ++k) {
    if (!drawn_in_summary(st, k)) continue;
    drawn.push_back(k);
    const double y = f.at_y(cc_diagonal(st, k));
    const double x0 = f.px(std::clamp(across(matrix_at(st.agem, k, 0), f.x), 0.0, 1.0));
    const double x1 = f.px(std::clamp(across(matrix_at(st.xlgrm, k, 0), f.x), 0.0, 1.0));
    append(out,
           "<path class=\"window\" d=\"M%.2f %.2fH%.2fM%.2f %.2fv8M%.2f %.2fv8\"><title>",
           x0, y, x1, x0, y - 4, x1, y - 4);
    append_text(out, st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
    out += ": ";
    append_window_and_coefficient(out, st, k);
    out += "</title></path>\n";
    // Room kept round the segment, so that no other name seems to be its own.
    taken.push_back({x0 - 3, y - 7, x1 + 3, y + 7});
  }
  if (drawn.empty())
    append(out,
           "<text class=\"note\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">no window has "
           "fmin below fmax and a finite coefficient</text>\n",
           f.left + f.width / 2, f.top + f.height / 2 - 12);
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    const Integer k = drawn[i];
    const Box own = taken[i];
    const double y = (own.y0 + own.y1) / 2, middle = (own.x0 + own.x1) / 2;
    const double w = text_width(st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]), 11);
    // Where the name may go, in order of preference: centred above or below
    // the segment, or beside one of its ends.  Each is (left edge, baseline).
    const double places[][2] = {{middle - w / 2, y - 7},  {middle - w / 2, y + 16},
                                {own.x1 + 2, y + 4},      {own.x0 - 2 - w, y + 4},
                                {own.x0 + 3, y - 7},      {own.x1 - 3 - w, y - 7},
                                {own.x0 + 3, y + 16},     {own.x1 - 3 - w, y + 16}};
    for (const auto& place : places) {
      const Box label{place[0], place[1] - 9, place[0] + w, place[1] + 2};
      if (label.x0 < f.left + 2 || label.x1 > f.left + f.width - 2 || label.y0 < f.top ||
          label.y1 > f.top + f.height)
        continue;
      bool clear = true;
      for (std::size_t j = 0; clear && j < taken.size(); ++j)
        clear = j == i || !label.overlaps(taken[j]);
      if (!clear) continue;
      append(out, "<text class=\"label\" x=\"%.2f\" y=\"%.2f\">", label.x0, place[1]);
      append_text(out, st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
      out += "</text>\n";
      taken.push_back(label);
      break;
    }
  }

  // The samples shown apart, in columns below the plot area.
  const Integer apart = apart_count(st);
  const double column_width = width / double(columns);
  const double list_top = f.top + f.height + kBottom + 10;
  Integer index = 0;
  for (Integer k = 1; k <= n; ++k) {
    if (drawn_in_summary(st, k)) continue;
    const Integer rows = (apart + columns - 1) / columns;
    const double x = 20 + double(index / rows) * column_width;
    const double y = list_top + double(index % rows) * kApartLine;
    ++index;
    const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
    const Real coefficient = cc_diagonal(st, k);
    std::string why = reversed(fmin, fmax) ? "fmin is not below fmax, cross-correlation "
                                           : "cross-correlation ";
    why += field(coefficient);
    append(out, "<text class=\"apart\" x=\"%.0f\" y=\"%.0f\"><title>", x, y);
    append_text(out, st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
    out += ": ";
    append_window_and_coefficient(out, st, k);
    out += "</title><tspan class=\"cross\">\xc3\x97</tspan> ";
    append_name(out, st, k, column_width - 40 - text_width(why.data(), why.size(), 12) - 30, 12);
    append(out, ": %s</text>\n", why.c_str());
  }
  out += "</g>\n";
}

// The curve of row k of `matrix` at its 128 points, with their abscissae
// fmin + u, u the run's own curve points.
void curve(const Real* matrix, Integer k, Real fmin, const Real* points,
           std::vector<double>& x, std::vector<double>& y) {
  for (Integer i = 0; i < kCurvePoints; ++i) {
    x.push_back(fmin + points[i]);
    y.push_back(matrix_at(matrix, k, i + 1));
  }
}

// The records of `table` whose abscissa lies in the window, each less
// `mean`, with their abscissae.  The closing point is no record.
void records(const RunState& st, const Real* table, Real fmin, Real fmax, Real mean,
             std::vector<double>& x, std::vector<double>& y) {
  const Real lo = std::min(fmin, fmax), hi = std::max(fmin, fmax);
  for (Integer i = 1; i < st.npts; ++i) {
    if (!(st.x[i] >= lo && st.x[i] <= hi)) continue;
    x.push_back(st.x[i]);
    y.push_back(table[i] - mean);
  }
}

// Why the coefficient is not a number, from what the curves hold.
const char* why_not_a_number(const std::vector<double>& spec_curve,
                             const std::vector<double>& log_curve) {
  auto finite = [](const std::vector<double>& v) {
    return std::any_of(v.begin(), v.end(), [](double y) { return std::isfinite(y); });
  };
  auto zero = [](const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double y) { return y == 0.0; });
  };
  if (!finite(spec_curve) && !finite(log_curve)) return "no finite curve values in this window";
  if (!finite(spec_curve)) return "the spec curve has no finite values";
  if (!finite(log_curve)) return "the log curve has no finite values";
  if (zero(spec_curve) && zero(log_curve)) return "both curves are zero throughout";
  if (zero(spec_curve)) return "the spec curve is zero throughout";
  if (zero(log_curve)) return "the log curve is zero throughout";
  return "not a number";
}

// The two markers of the records; `extra` adds a class, as for the legend's.
void append_spec_marker(std::string& out, double x, double y, const char* extra = "") {
  append(out, "<circle class=\"spec-record%s\" cx=\"%.2f\" cy=\"%.2f\" r=\"2.4\"/>", extra, x, y);
}
void append_log_marker(std::string& out, double x, double y, const char* extra = "") {
  append(out,
         "<rect class=\"log-record%s\" x=\"%.2f\" y=\"%.2f\" width=\"4.2\" height=\"4.2\"/>",
         extra, x - 2.1, y - 2.1);
}

void append_panel(std::string& out, const RunState& st, const KeptSample& kept, Integer k,
                  double px, double py) {
  const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
  const Real coefficient = cc_diagonal(st, k);
  std::vector<double> spec_x, spec_y, log_x, log_y;
  curve(st.agem, k, fmin, kept.points, spec_x, spec_y);
  curve(st.xlgrm, k, fmin, kept.points, log_x, log_y);
  std::vector<double> spec_rx, spec_ry, log_rx, log_ry;
  records(st, st.s, fmin, fmax, kept.spec_mean, spec_rx, spec_ry);
  records(st, st.l, fmin, fmax, kept.log_mean, log_rx, log_ry);

  std::vector<double> values = spec_y;
  for (const auto* v : {&log_y, &spec_ry, &log_ry}) values.insert(values.end(), v->begin(), v->end());
  const Frame f{window_axis(fmin, fmax, kPlotWidth), covering_axis(values, 5), kLeft, kTop,
                kPlotWidth, kPlotHeight};

  append(out, "<g class=\"panel\" transform=\"translate(%.0f,%.0f)\">\n", px, py);

  // Title: the name, then the window and the coefficient as the report writes them.
  out += "<text class=\"name\" x=\"20\" y=\"24\">";
  append_name(out, st, k, kPanelWidth - 40, 15 * 1.08);
  out += "</text>\n<text class=\"info\" x=\"20\" y=\"46\"";
  // Bounds written in full can make the line too long: it is then squeezed
  // to the panel's width.
  const std::string info = "window " + bound(fmin) + " to " + bound(fmax) +
                           ", cross-correlation " + field(coefficient);
  if (text_width(info.data(), info.size(), 13) > kPanelWidth - 40)
    append(out, " textLength=\"%.0f\" lengthAdjust=\"spacingAndGlyphs\"", kPanelWidth - 40);
  out += '>';
  append_window_and_coefficient(out, st, k);
  out += "</text>\n";

  // Legend, at the right of the abscissa's title: each fit's line with its
  // records' marker.
  const double lx = kPanelWidth - kRight - 104, ly = kTop + kPlotHeight + 38;
  append(out, "<line class=\"spec\" x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\"/>", lx, ly,
         lx + 26, ly);
  append_spec_marker(out, lx + 13, ly, " key");
  append(out, "<text class=\"legend\" x=\"%.0f\" y=\"%.0f\">spec</text>", lx + 31, ly + 4);
  append(out, "<line class=\"log\" x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\"/>", lx + 64,
         ly, lx + 90, ly);
  append_log_marker(out, lx + 77, ly, " key");
  append(out, "<text class=\"legend\" x=\"%.0f\" y=\"%.0f\">log</text>\n", lx + 95, ly + 4);

  append_axes(out, f);
  append_axis_titles(out, f, "abscissa", "value minus the fit's mean");

  // The records under the fits, then the fits, both cut at the plot area.
  for (std::size_t i = 0; i < spec_rx.size(); ++i) {
    const double u = across(spec_rx[i], f.x), v = across(spec_ry[i], f.y);
    if (std::isfinite(spec_ry[i]) && inside(u, v)) append_spec_marker(out, f.px(u), f.py(v));
  }
  for (std::size_t i = 0; i < log_rx.size(); ++i) {
    const double u = across(log_rx[i], f.x), v = across(log_ry[i], f.y);
    if (std::isfinite(log_ry[i]) && inside(u, v)) append_log_marker(out, f.px(u), f.py(v));
  }
  out += '\n';
  append_lines(out, "spec", spec_x, spec_y, f);
  append_lines(out, "log", log_x, log_y, f);

  // Why the coefficient is not to be read as agreement, or is not a number.
  double note_y = kTop + kPlotHeight / 2 - 12;
  if (reversed(fmin, fmax)) {
    append(out,
           "<text class=\"note\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">"
           "<tspan>fmin is not below fmax: </tspan><tspan x=\"%.0f\" dy=\"17\">the coefficient "
           "does not measure agreement</tspan></text>\n",
           kLeft + kPlotWidth / 2, note_y - 17, kLeft + kPlotWidth / 2);
    note_y += 30;
  }
  if (std::isnan(coefficient))
    append(out,
           "<text class=\"note\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">"
           "cross-correlation is NaN: %s</text>\n",
           kLeft + kPlotWidth / 2, note_y, why_not_a_number(spec_y, log_y));
  out += "</g>\n";
}

// Panels to a row: more as the list grows, so that a full list of 100
// samples stays within 10,000 pixels of height.
Integer columns_for(Integer n) { return n <= 1 ? 1 : n <= 8 ? 2 : n <= 24 ? 3 : n <= 60 ? 4 : 5; }

} // namespace

std::string curves_svg(const RunState& st, const KeptSample* kept) {
  const Integer n = st.sample_count;
  const Integer columns = columns_for(n);
  const Integer rows = (n + columns - 1) / columns;
  const double width = double(std::max<Integer>(columns, 2)) * kPanelWidth;
  const double summary = summary_height(st, columns);
  const double height = kHeader + summary + double(rows) * kPanelHeight + 8;

  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  append(out,
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
         "viewBox=\"0 0 %.0f %.0f\">\n",
         width, height, width, height);
  append(out, "<title>tamsel: %s and %s over the windows of %s, %d sample%s</title>\n", kSpecFile,
         kLogFile, kSampleFile, n, n == 1 ? "" : "s");
  append(out, "<style>%s</style>\n", kStyle);
  out += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  append(out,
         "<text class=\"title\" x=\"20\" y=\"30\">Spec curve of %s and log curve of %s over "
         "the windows of %s</text>\n",
         kSpecFile, kLogFile, kSampleFile);
  out += "<text class=\"subtitle\" x=\"20\" y=\"52\">Lines: the 15-term Chebyshev fit of each "
         "table over the window, at 128 points.  Markers: the table's records inside the "
         "window.</text>\n"
         "<text class=\"subtitle\" x=\"20\" y=\"70\">Both less the fit's mean over the "
         "window; the lines are the curves whose cross-correlation is reported.</text>\n";
  append_summary(out, st, columns, width, kHeader);
  for (Integer k = 1; k <= n; ++k)
    append_panel(out, st, kept[k - 1], k, double((k - 1) % columns) * kPanelWidth,
                 kHeader + summary + double((k - 1) / columns) * kPanelHeight);
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
