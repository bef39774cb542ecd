// SPDX-License-Identifier: BSD-3-Clause
// The summary at the head of the curves picture: every sample's coefficient
// against its window, as a segment from fmin to fmax on a fixed -1..1 scale.
// Each segment is labelled beside it, where a label fits clear of every
// segment and every other label, with the sample's name.  When a name finds
// no room there (many windows, close coefficients) the summary is crowded
// and drawn otherwise: the scale follows the coefficients, a bar at the
// right shows the part of -1..1 it spans, the plot area grows with the
// number of windows, and every name stands in a column at the right of the
// plot area, joined to its segment's right end by a leader line.  Samples
// not drawn (a coefficient that is not finite, a window whose fmin is not
// below fmax) are listed below the plot area with the reason.
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
    double x, y;  // left end and baseline
    double width; // the text's width (text_width at 11 pixels)
    bool leader;  // joined to its segment's right end by a leader line
  };
  std::vector<Label> labels;
  bool crowded; // the scale follows the coefficients, the names in a column
  std::vector<Integer> apart;  // not drawn
  Integer list_rows;           // rows of the list, in `columns` columns
  Integer columns;
  double width;
};

// Lays out the summary of samples 1..st.sample_count on a page `width`
// pixels wide whose panels go `columns` to a row.
Summary plan_summary(const RunState& st, Integer columns, double width);

// The box a label's text takes, {x0, y0, x1, y1} in the summary's own
// coordinates; no two labels' boxes overlap.
struct LabelBox {
  double x0, y0, x1, y1;
};
LabelBox label_box(const Summary::Label& label);

// The summary's height on the page.
double summary_height(const Summary& s);

// Draws the summary `py` pixels below the top of the page; `x_title` is the
// abscissa's title as XML text.
void append_summary(std::string& out, const RunState& st, const Summary& s, double py,
                    const std::string& x_title);

} // namespace tamsel::svg
