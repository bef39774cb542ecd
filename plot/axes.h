// SPDX-License-Identifier: BSD-3-Clause
// Axes and plot areas of the curves picture: tick spacing and labels, the
// place of a value across an axis, lines cut at the edge of a plot area, and
// the grid, ticks and frame drawn around it.
#pragma once

#include <string>
#include <vector>

#include <tamsel/numeric/types.h>

namespace tamsel::svg {

struct Axis {
  double lo, hi; // lo < hi, both finite
  double step;
  std::vector<double> ticks; // the multiples of the spacing in [lo, hi]
};

// An axis from lo to hi with a tick at every multiple of `step` in between
// (at most 12).
Axis make_axis(double lo, double hi, double step);

// An abscissa axis running exactly over a window, `room` pixels long.
Axis window_axis(Real fmin, Real fmax, double room);

// An axis covering the finite values, ending on ticks; for a horizontal
// axis `room` pixels long, with tick values that fit side by side.  Values
// beyond +-1e300 lie off the scale.
Axis covering_axis(const std::vector<double>& values, int intervals, double room = 0.0);

// Where a value lies across an axis: 0 at its low end, 1 at its high end.
// Kept within +-1e9, so that a value far off the scale, up to +-DBL_MAX,
// still gives an ordinary number; the lines to such a point are cut at the
// plot area's edge with less than a pixel's error.
double across(double value, const Axis& axis);

// A plot area: its axes and its place in the panel.
struct Frame {
  Axis x, y;
  double left, top, width, height;
  double px(double u) const { return left + u * width; }
  double py(double v) const { return top + (1.0 - v) * height; }
  double at_x(double value) const { return px(across(value, x)); }
  double at_y(double value) const { return py(across(value, y)); }
};

// Whether the point (u, v), in axis units, lies in the plot area; points on
// its edge, up to rounding, count as inside.
bool inside(double u, double v);

// Draws the points (x[i], y[i]) joined in order as polylines of class
// `cls`: a point that is not finite breaks the line, and the line is cut
// where it leaves the plot area.
void append_lines(std::string& out, const char* cls, const std::vector<double>& x,
                  const std::vector<double>& y, const Frame& f);

// Grid, ticks with their values, the zero line and the frame of a plot area.
// All tick labels of an axis share one form, chosen from the axis's range:
// fixed-point with the decimals its spacing needs, the values divided by a
// power of ten when they reach 1e5 or stay below 1e-3.  Without
// `x_labels` the abscissa's ticks are left out below the plot area (a strip
// beneath it shows them).
void append_axes(std::string& out, const Frame& f, bool x_labels = true);

// The titles of the abscissa, below the plot area, and of the ordinate,
// upright at the panel's left; both are XML text already, and a null one
// is left out.  A title whose
// axis's labels are divided by a power of ten ends with it: " (×10⁻⁵)".
void append_axis_titles(std::string& out, const Frame& f, const char* x_title,
                        const char* y_title);

} // namespace tamsel::svg
