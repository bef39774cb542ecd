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

} // namespace

Summary plan_summary(const RunState& st, Integer columns, double width) {
  const Integer n = st.sample_count;
  std::vector<double> bounds;
  for (Integer k = 1; k <= n; ++k)
    if (drawn_in_summary(st, k))
      bounds.push_back(matrix_at(st.agem, k, 0)), bounds.push_back(matrix_at(st.xlgrm, k, 0));
  Summary s{{covering_axis(bounds, 8, width - kLeft - kRight), make_axis(-1.0, 1.0, 0.5), kLeft,
             kTop, width - kLeft - kRight, 260 + 40 * double(columns)},
            {}, {}, {}, {}, 0, columns, width};
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
  std::vector<Box> taken;
  for (const auto& d : s.drawn) taken.push_back(room(d));
  // Places a label `w` wide by segment i; false when none is clear.
  auto place = [&](std::size_t i, double w, bool number) {
    const Box own = room(s.drawn[i]);
    const double y = (own.y0 + own.y1) / 2, middle = (own.x0 + own.x1) / 2;
    // In order of preference: centred above or below the segment, or beside
    // one of its ends.  Each is (left edge, baseline).
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
      s.labels.push_back({s.drawn[i].k, number, label.x0, at[1]});
      taken.push_back(label);
      return true;
    }
    return false;
  };
  std::vector<std::size_t> unnamed;
  for (std::size_t i = 0; i < s.drawn.size(); ++i) {
    const Integer k = s.drawn[i].k;
    if (!place(i, text_width(st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]), 11),
               false))
      unnamed.push_back(i);
  }
  for (std::size_t i : unnamed) {
    const std::string number = std::to_string(s.drawn[i].k);
    place(i, text_width(number.data(), number.size(), 11), true);
    s.listed.push_back(s.drawn[i].k);
  }
  const auto entries = Integer(s.listed.size() + s.apart.size());
  s.list_rows = (entries + columns - 1) / columns;
  return s;
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
  out += "<text class=\"info\" x=\"20\" y=\"46\">each sample's coefficient as a segment from "
         "its fmin to its fmax, named beside it where there is room, else by its number and in "
         "the list below</text>\n";
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
  for (const auto& label : s.labels) {
    append(out, "<text class=\"label%s\" x=\"%.2f\" y=\"%.2f\">", label.number ? " number" : "",
           label.x, label.y);
    if (label.number) append(out, "%d", int(label.k));
    else append_text(out, st.sample_names[label.k - 1], std::size_t(st.name_lengths[label.k - 1]));
    out += "</text>\n";
  }

  // The list below the plot area, in columns: first the samples drawn but
  // named only here, by number, then those not drawn, with the reason.
  const double column_width = s.width / double(s.columns);
  const double list_top = f.top + f.height + kBottom + 10;
  std::vector<Integer> entries = s.listed;
  entries.insert(entries.end(), s.apart.begin(), s.apart.end());
  for (std::size_t index = 0; index < entries.size(); ++index) {
    const Integer k = entries[index];
    const double x = 20 + double(Integer(index) / s.list_rows) * column_width;
    const double y = list_top + double(Integer(index) % s.list_rows) * kListLine;
    const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
    const bool drawn = index < s.listed.size();
    std::string why = drawn ? "window " + bound(fmin) + " to " + bound(fmax) + ", "
                      : reversed(fmin, fmax) ? "fmin is not below fmax, "
                                             : "";
    why += "cross-correlation " + field(cc_diagonal(st, k));
    append(out, "<text class=\"%s\" x=\"%.0f\" y=\"%.0f\"><title>", drawn ? "listed" : "apart", x,
           y);
    append_text(out, st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
    out += ": ";
    append_window_and_coefficient(out, st, k);
    if (drawn) append(out, "</title><tspan class=\"number\">%d</tspan> ", int(k));
    else out += "</title><tspan class=\"cross\">\xc3\x97</tspan> ";
    append_name(out, st, k, column_width - 40 - text_width(why.data(), why.size(), 12) - 30, 12);
    append(out, ": %s</text>\n", why.c_str());
  }
  out += "</g>\n";
}

} // namespace tamsel::svg
