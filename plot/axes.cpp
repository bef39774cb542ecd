// SPDX-License-Identifier: BSD-3-Clause
#include "plot/axes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "plot/svg_text.h"

namespace tamsel::svg {

namespace {

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

// The form shared by every tick label of an axis: the value divided by
// 10^power, with `decimals` decimals.  Ranges of ordinary size are written
// as they are (power 0); others as multiples of a power of ten that the
// axis's title names.
struct TickForm {
  int power;
  int decimals;
};

TickForm tick_form(const Axis& axis) {
  const double reach = std::max(std::fabs(axis.lo), std::fabs(axis.hi));
  int power = 0;
  if (reach >= 1e5 || reach < 1e-3) power = int(std::floor(std::log10(reach)));
  const int decimals = int(-std::floor(std::log10(axis.step) - power + 1e-9));
  return {power, std::clamp(decimals, 0, 20)};
}

std::string tick_label(double value, const Axis& axis, const TickForm& form) {
  if (std::fabs(value) < axis.step * 1e-6) value = 0.0;
  std::string text = fixed(value / std::pow(10.0, form.power), form.decimals);
  // No minus sign on a label that reads as zero.
  if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);
  return text;
}

// The factor an axis's title names when its labels are multiples of a power
// of ten: " (×10⁻⁵)", or nothing.
std::string factor(const TickForm& form) {
  if (form.power == 0) return "";
  static const char* const kSuperscript[] = {"\u2070", "\u00b9", "\u00b2", "\u00b3", "\u2074",
                                             "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
  std::string text = " (\u00d710";
  if (form.power < 0) text += "\u207b";
  const std::string digits = std::to_string(std::abs(form.power));
  for (char d : digits) text += kSuperscript[d - '0'];
  return text + ")";
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
  const TickForm form = tick_form(axis);
  for (double t : axis.ticks) {
    const std::string label = tick_label(t, axis, form);
    widest = std::max(widest, text_width(label.data(), label.size(), 11));
  }
  return axis.ticks.size() < 2 || widest + 10 <= room * axis.step / (axis.hi - axis.lo);
}

} // namespace

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

Axis covering_axis(const std::vector<double>& values, int intervals, double room) {
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

// Far enough off the scale that a line to there is cut at the plot area's
// edge with less than a pixel's error.
constexpr double kReach = 1e9;
double across(double value, const Axis& axis) {
  return std::clamp((value - axis.lo) / (axis.hi - axis.lo), -kReach, kReach);
}

// Points on the edge of the plot area, up to rounding, count as inside.
constexpr double kEdge = 1e-9;

bool inside(double u, double v) {
  return u >= -kEdge && u <= 1.0 + kEdge && v >= -kEdge && v <= 1.0 + kEdge;
}

namespace {

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

} // namespace

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

void append_axes(std::string& out, const Frame& f, bool x_labels) {
  const double bottom = f.top + f.height, right = f.left + f.width;
  const TickForm x_form = tick_form(f.x), y_form = tick_form(f.y);
  for (double t : f.x.ticks) {
    const double x = f.at_x(t);
    append(out, "<line class=\"grid\" x1=\"%.2f\" y1=\"%.0f\" x2=\"%.2f\" y2=\"%.0f\"/>", x, f.top,
           x, bottom);
    if (!x_labels) continue;
    append(out, "<line class=\"frame\" x1=\"%.2f\" y1=\"%.0f\" x2=\"%.2f\" y2=\"%.0f\"/>", x,
           bottom, x, bottom + 5);
    append(out, "<text class=\"tick\" x=\"%.2f\" y=\"%.0f\" text-anchor=\"middle\">%s</text>\n", x,
           bottom + 18, tick_label(t, f.x, x_form).c_str());
  }
  for (double t : f.y.ticks) {
    const double y = f.at_y(t);
    append(out, "<line class=\"grid\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>", f.left,
           y, right, y);
    append(out, "<line class=\"frame\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>",
           f.left - 5, y, f.left, y);
    append(out, "<text class=\"tick\" x=\"%.0f\" y=\"%.2f\" text-anchor=\"end\">%s</text>\n",
           f.left - 8, y + 4, tick_label(t, f.y, y_form).c_str());
  }
  if (f.y.lo < 0.0 && f.y.hi > 0.0)
    append(out, "<line class=\"zero\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>\n", f.left,
           f.at_y(0.0), right, f.at_y(0.0));
  append(out, "<rect class=\"frame\" x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\"/>\n",
         f.left, f.top, f.width, f.height);
}

void append_axis_titles(std::string& out, const Frame& f, const char* x_title,
                        const char* y_title) {
  if (x_title != nullptr)
    append(out, "<text class=\"axis\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">%s%s</text>\n",
           f.left + f.width / 2, f.top + f.height + 42, x_title, factor(tick_form(f.x)).c_str());
  if (y_title != nullptr)
    append(out,
           "<text class=\"axis\" transform=\"translate(18,%.0f) rotate(-90)\" "
           "text-anchor=\"middle\">%s%s</text>\n",
           f.top + f.height / 2, y_title, factor(tick_form(f.y)).c_str());
}

} // namespace tamsel::svg
