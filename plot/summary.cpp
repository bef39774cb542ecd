// SPDX-License-Identifier: BSD-3-Clause
#include "plot/summary.h"

#include <algorithm>
#include <cmath>

#include "plot/svg_text.h"

namespace tamsel::svg {

namespace {

// The summary's plot area begins below its two lines of title.
constexpr double kTop = 66;
// The lines of the list below the plot area.
constexpr double kListLine = 18;

struct Box {
  double x0, y0, x1, y1;
  bool overlaps(const Box& b) const { return x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1; }
};

// The room kept round a segment, so that no other label seems to be its own.
Box room(const Summary::Segment& d) { return {d.x0 - 3, d.y - 7, d.x1 + 3, d.y + 7}; }

// Whether sample k is drawn as a segment.
bool drawn_in_summary(const RunState& st, Integer k) {
  return std::isfinite(cc_diagonal(st, k)) &&
         !reversed(matrix_at(st.agem, k, 0), matrix_at(st.xlgrm, k, 0));
}

// The crowded summary: the column of names at the right of the plot area,
// its lines, the room of its leader lines, and the bar showing -1..1.
constexpr double kLabelLine = 13, kLeaderRoom = 28, kGaugeRoom = 58, kLongestLabel = 220;

// An axis over the coefficients of the drawn windows, with a little room
// above and below them, never beyond -1..1.
Axis coefficient_axis(const std::vector<double>& values) {
  double lo = 1.0, hi = -1.0;
  for (double v : values) lo = std::min(lo, v), hi = std::max(hi, v);
  if (lo > hi) return make_axis(-1.0, 1.0, 0.5);
  const double pad = std::max(0.06 * (hi - lo), 0.002);
  lo = std::max(lo - pad, -1.0), hi = std::min(hi + pad, 1.0);
  Axis axis = covering_axis({lo, hi}, 6);
  return make_axis(std::max(axis.lo, -1.0), std::min(axis.hi, 1.0), axis.step);
}

// Moves the baselines `at` (in order, top first) the least that sets them
// kLabelLine apart at least, within [lo, hi].
void spread(std::vector<double>& at, double lo, double hi) {
  for (std::size_t i = 0; i < at.size(); ++i)
    at[i] = std::max(at[i], i == 0 ? lo : at[i - 1] + kLabelLine);
  for (std::size_t i = at.size(); i-- > 0;)
    at[i] = std::min(at[i], i + 1 == at.size() ? hi : at[i + 1] - kLabelLine);
}

Summary plan(const RunState& st, Integer columns, double width, bool crowded) {
  const Integer n = st.sample_count;
  std::vector<double> bounds, coefficients;
  double longest = 0.0;
  for (Integer k = 1; k <= n; ++k)
    if (drawn_in_summary(st, k)) {
      bounds.push_back(matrix_at(st.agem, k, 0)), bounds.push_back(matrix_at(st.xlgrm, k, 0));
      coefficients.push_back(cc_diagonal(st, k));
      longest = std::max(longest, text_width(st.sample_names[k - 1],
                                             std::size_t(st.name_lengths[k - 1]), 11));
    }
  const double column = std::min(longest, kLongestLabel);
  const double plot_width =
      width - kLeft - kRight - (crowded ? kLeaderRoom + column + kGaugeRoom : 0.0);
  const double plot_height =
      std::max(260 + 40 * double(columns),
               crowded ? kLabelLine * double(coefficients.size()) + 16 : 0.0);
  Summary s{{covering_axis(bounds, 8, plot_width),
             crowded ? coefficient_axis(coefficients) : make_axis(-1.0, 1.0, 0.5), kLeft, kTop,
             plot_width, plot_height},
            {}, {}, crowded, {}, 0, columns, width};
  const Frame& f = s.f;
  for (Integer k = 1; k <= n; ++k) {
    if (!drawn_in_summary(st, k)) {
      s.apart.push_back(k);
      continue;
    }
    s.drawn.push_back({k, f.px(std::clamp(across(matrix_at(st.agem, k, 0), f.x), 0.0, 1.0)),
                       f.px(std::clamp(across(matrix_at(st.xlgrm, k, 0), f.x), 0.0, 1.0)),
                       f.at_y(cc_diagonal(st, k))});
  }
  if (crowded) {
    // Every name in the column, in the order of the segments from the top,
    // each as near its segment's height as the others leave it.
    std::vector<std::size_t> order(s.drawn.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return s.drawn[a].y < s.drawn[b].y;
    });
    std::vector<double> at;
    for (std::size_t i : order) at.push_back(s.drawn[i].y + 4);
    spread(at, f.top + 12, f.top + f.height - 3);
    for (std::size_t j = 0; j < order.size(); ++j) {
      const Integer k = s.drawn[order[j]].k;
      const double w = text_width(st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]), 11);
      s.labels.push_back({k, f.left + f.width + kLeaderRoom, at[j], std::min(w, column), true});
    }
  } else {
    std::vector<Box> taken;
    for (const auto& d : s.drawn) taken.push_back(room(d));
    // Places a label `w` wide by segment i; false when none is clear.
    auto place = [&](std::size_t i, double w) {
      const Box own = room(s.drawn[i]);
      const double y = (own.y0 + own.y1) / 2, middle = (own.x0 + own.x1) / 2;
      // In order of preference: centred above or below the segment, or
      // beside one of its ends.  Each is (left edge, baseline).
      const double places[][2] = {{middle - w / 2, y - 7},  {middle - w / 2, y + 16},
                                  {own.x1 + 2, y + 4},      {own.x0 - 2 - w, y + 4},
                                  {own.x0 + 3, y - 7},      {own.x1 - 3 - w, y - 7},
                                  {own.x0 + 3, y + 16},     {own.x1 - 3 - w, y + 16}};
      for (const auto& at : places) {
        const Box label{at[0], at[1] - 9, at[0] + w, at[1] + 2};
        if (label.x0 < f.left + 2 || label.x1 > f.left + f.width - 2 || label.y0 < f.top ||
            label.y1 > f.top + f.height)
          continue;
        bool clear = true;
        for (std::size_t j = 0; clear && j < taken.size(); ++j)
          clear = j == i || !label.overlaps(taken[j]);
        if (!clear) continue;
        s.labels.push_back({s.drawn[i].k, label.x0, at[1], w, false});
        taken.push_back(label);
        return true;
      }
      return false;
    };
    for (std::size_t i = 0; i < s.drawn.size() && !s.crowded; ++i) {
      const Integer k = s.drawn[i].k;
      const std::size_t length = std::size_t(st.name_lengths[k - 1]);
      s.crowded = !place(i, text_width(st.sample_names[k - 1], length, 11));
    }
  }
  s.list_rows = (Integer(s.apart.size()) + columns - 1) / columns;
  return s;
}

} // namespace

Summary plan_summary(const RunState& st, Integer columns, double width) {
  Summary s = plan(st, columns, width, false);
  return s.crowded ? plan(st, columns, width, true) : s;
}

LabelBox label_box(const Summary::Label& label) {
  return {label.x, label.y - 9, label.x + label.width, label.y + 2};
}

double summary_height(const Summary& s) {
  const double list = s.list_rows > 0 ? 10 + double(s.list_rows) * kListLine : 0.0;
  return kTop + s.f.height + kBottom + list + 16;
}

void append_summary(std::string& out, const RunState& st, const Summary& s, double py,
                    const std::string& x_title) {
  const Frame& f = s.f;
  append(out, "<g class=\"summary\" transform=\"translate(0,%.0f)\">\n", py);
  out += "<text class=\"name\" x=\"20\" y=\"24\">Cross-correlation of every window</text>\n";
  // The line saying how to read it, set smaller where it is wider than the
  // page (which every renderer honours; not all squeeze text to a length).
  const std::string info =
      s.crowded ? "each sample's coefficient as a segment from its fmin to its fmax, named at "
                  "the right; the scale follows the coefficients (the bar: their place in "
                  "\u22121 to 1)"
                : "each sample's coefficient as a segment from its fmin to its fmax, named "
                  "beside it";
  out += "<text class=\"info\" x=\"20\" y=\"46\"";
  const double info_width = text_width(info.data(), info.size(), 13);
  if (info_width > s.width - 40)
    append(out, " style=\"font-size:%.2fpx\"", 13 * (s.width - 40) / info_width);
  append(out, ">%s</text>\n", info.c_str());
  append_axes(out, f);
  append_axis_titles(out, f, x_title.c_str(), "cross-correlation");

  for (const auto& [k, x0, x1, y] : s.drawn) {
    append(out,
           "<path class=\"window\" d=\"M%.2f %.2fH%.2fM%.2f %.2fv8M%.2f %.2fv8\"><title>",
           x0, y, x1, x0, y - 4, x1, y - 4);
    append_text(out, st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
    out += ": ";
    append_window_and_coefficient(out, st, k);
    out += "</title></path>\n";
  }
  if (s.drawn.empty())
    append(out,
           "<text class=\"note\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">no window has "
           "fmin below fmax and a finite coefficient</text>\n",
           f.left + f.width / 2, f.top + f.height / 2 - 12);
  const double right = f.left + f.width;
  for (const auto& label : s.labels) {
    if (label.leader) {
      // From the segment's right end to the plot area's edge at its
      // height, then to the name.
      const auto d = std::find_if(s.drawn.begin(), s.drawn.end(),
                                  [&](const Summary::Segment& d) { return d.k == label.k; });
      append(out, "<path class=\"leader\" d=\"M%.2f %.2fH%.2fL%.2f %.2f\"/>", d->x1 + 3, d->y,
             right + 6, label.x - 3, label.y - 4);
    }
    append(out, "<text class=\"label\" x=\"%.2f\" y=\"%.2f\">", label.x, label.y);
    append_name(out, st, label.k, label.width + 0.5, 11);
    out += "</text>\n";
  }
  if (s.crowded) {
    // The bar of the whole range -1..1, the part the scale spans filled.
    const double x = s.width - kRight - 24, top = f.top, bottom = f.top + f.height;
    auto at = [&](double c) { return bottom - (c + 1.0) / 2.0 * (bottom - top); };
    append(out, "<g class=\"full-range\"><text class=\"tick\" x=\"%.0f\" y=\"%.0f\" "
                "text-anchor=\"middle\">\u22121 to 1</text>\n", x - 4, bottom + 18);
    append(out, "<line class=\"frame\" x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\"/>", x,
           top, x, bottom);
    append(out, "<rect class=\"span\" x=\"%.0f\" y=\"%.2f\" width=\"10\" height=\"%.2f\"/>",
           x - 5, at(f.y.hi), std::max(at(f.y.lo) - at(f.y.hi), 2.0));
    for (const auto& [c, text] : {std::pair{1.0, "1"}, {0.0, "0"}, {-1.0, "\u22121"}})
      append(out,
             "<line class=\"frame\" x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\"/>"
             "<text class=\"tick\" x=\"%.0f\" y=\"%.2f\" text-anchor=\"end\">%s</text>\n",
             x - 4, at(c), x + 4, at(c), x - 8, at(c) + 4, text);
    out += "</g>\n";
  }

  // The list below the plot area, in columns: the samples not drawn, with
  // the reason.
  const double column_width = s.width / double(s.columns);
  const double list_top = f.top + f.height + kBottom + 10;
  for (std::size_t index = 0; index < s.apart.size(); ++index) {
    const Integer k = s.apart[index];
    const double x = 20 + double(Integer(index) / s.list_rows) * column_width;
    const double y = list_top + double(Integer(index) % s.list_rows) * kListLine;
    const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
    std::string why = reversed(fmin, fmax) ? "fmin is not below fmax, " : "";
    why += "cross-correlation " + field(cc_diagonal(st, k));
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

} // namespace tamsel::svg
