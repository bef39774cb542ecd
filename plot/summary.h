// SPDX-License-Identifier: BSD-3-Clause
// The summary at the head of the curves picture: every sample's coefficient
// against its window, as a segment from fmin to fmax on a fixed -1..1 scale.
// Each segment is labelled beside it, where a label fits clear of every
// segment and every other label, with the sample's name or else its number;
// the samples whose names found no room are listed below the plot area by
// number and name, as are, with the reason, those not drawn (a coefficient
// that is not finite, a window whose fmin is not below fmax).
#pragma once

#include <string>
#include <vector>

#include "driver/state.h"
#include "plot/axes.h"

namespace tamsel::svg {

// The margins round a plot area, in SVG user units (pixels), shared by the
// summary and the panels: the tick labels and the ordinate's title at the
// left, the tick labels, the abscissa's title and the legend below.
inline constexpr double kLeft = 72, kRight = 22, kBottom = 52;

struct Summary {
  Frame f;
  struct Segment {
    Integer k;
    double x0, x1, y;
  };
  std::vector<Segment> drawn;
  struct Label {
    Integer k;
    bool number; // the sample's number rather than its name
    double x, y; // left end and baseline
  };
  std::vector<Label> labels;
  std::vector<Integer> listed; // drawn, but named only in the list below
  std::vector<Integer> apart;  // not drawn
  Integer list_rows;           // rows of the list, in `columns` columns
  Integer columns;
  double width;
};

// Lays out the summary of samples 1..st.sample_count on a page `width`
// pixels wide whose panels go `columns` to a row.
Summary plan_summary(const RunState& st, Integer columns, double width);

// The summary's height on the page.
double summary_height(const Summary& s);

// Draws the summary `py` pixels below the top of the page; `x_title` is the
// abscissa's title as XML text.
void append_summary(std::string& out, const RunState& st, const Summary& s, double py,
                    const std::string& x_title);

} // namespace tamsel::svg
