// SPDX-License-Identifier: BSD-3-Clause
// The page of the curves picture: the summary of every window, then one
// panel per sample, laid out in rows.
#include "plot/plot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fnmatch.h>
#include <vector>

#include <tamsel/numeric/chebyshev.h>

#include "driver/curves.h"
#include "driver/display.h"
#include "driver/report.h"
#include "driver/samples.h"
#include "driver/tables.h"
#include "driver/status.h"
#include "driver/warnings.h"
#include "plot/axes.h"
#include "plot/summary.h"
#include "plot/svg_text.h"

namespace tamsel {

namespace {

using namespace svg;

// Geometry, in SVG user units (pixels at the default size).  A sample's
// panel (kLeft, kRight and kBottom are the summary's too), the strip of
// residuals beneath its plot area, and the page's title above everything.
constexpr double kPanelWidth = 540, kPanelHeight = 364, kTop = 80;
constexpr double kStripGap = 16, kStripHeight = 64, kHeader = 86;
// Panels are never narrower than this, nor a page narrower than two of them,
// whatever --width and --font-size ask.
constexpr double kNarrowestPanel = 360;

// A panel's size and the places of its plot area and strip.
struct PanelGeometry {
  double width, height;
  double plot_width, plot_height;
  bool strip;
  double strip_top;
  // The bottom of the lowest plot area, beneath which the abscissa is labelled.
  double bottom() const { return strip ? strip_top + kStripHeight : kTop + plot_height; }
};

PanelGeometry panel_geometry(double width, bool strip) {
  const double plot_height = kPanelHeight - kTop - kBottom - (strip ? 36 : 0);
  PanelGeometry g{width, kPanelHeight, width - kLeft - kRight, plot_height, strip,
                  kTop + plot_height + kStripGap};
  g.height = g.bottom() + kBottom;
  return g;
}

constexpr const char* kStyle =
    "text{font-family:'DejaVu Sans',Helvetica,Arial,sans-serif;fill:#222}"
    ".title{font-size:19px;font-weight:bold}.subtitle{font-size:12.5px;fill:#555}"
    ".name{font-size:15px;font-weight:bold}.info{font-size:13px}"
    ".warn{fill:#c00000;font-weight:bold}.warning{font-size:12.5px;fill:#c00000}"
    ".note{font-size:13px;fill:#c00000;paint-order:stroke;stroke:#fff;stroke-width:4px;"
    "stroke-linejoin:round}"
    ".tick{font-size:11px;fill:#444}.axis{font-size:12px;fill:#333}"
    ".legend{font-size:12px}.frame{fill:none;stroke:#333;stroke-width:1}"
    ".grid{stroke:#e3e3e3;stroke-width:1}.zero{stroke:#999;stroke-width:1;stroke-dasharray:4 3}"
    ".spec{fill:none;stroke:#0072b2;stroke-width:1.8;stroke-linejoin:round}"
    ".log{fill:none;stroke:#d55e00;stroke-width:1.8;stroke-linejoin:round;stroke-dasharray:7 3}"
    ".spec-record{fill:#fff;stroke:#0072b2;stroke-width:1.1}"
    ".log-record{fill:#fff;stroke:#d55e00;stroke-width:1.1}"
    ".missed{fill:none;stroke:#c00000;stroke-width:1.6}"
    ".window{fill:none;stroke:#1a1a1a;stroke-width:1.8;stroke-opacity:0.8}"
    ".label{font-size:11px;fill:#333}.leader{fill:none;stroke:#9a9a9a;stroke-width:0.7}"
    ".span{fill:#0072b2;fill-opacity:0.55}"
    ".apart{font-size:12px}.cross{fill:#c00000;font-weight:bold}";

// What a warning of the run says about a sample, as its panel shows it.
std::string warning_text(const RunState& st, Integer k, SampleWarning warning) {
  char lo[32] = "?", hi[32] = "?";
  Real first = 0.0, last = 0.0;
  if (records_span(st, first, last)) shortest(first, lo), shortest(last, hi);
  const std::string span = std::string(" (") + lo + " to " + hi + ")";
  const Integer inside = st.window_records[k - 1];
  switch (warning) {
  case kWindowNotAscending: return "fmin is not below fmax";
  case kWindowBelowRecords: return "the window reaches below the records" + span;
  case kWindowAboveRecords: return "the window reaches above the records" + span;
  case kFewRecords:
    if (inside == 0) return "no record inside the window";
    return "only " + std::to_string(inside) + (inside == 1 ? " record" : " records") +
           " inside the window";
  case kSpecNoVariation: return "the spec curve holds no variation";
  case kLogNoVariation: return "the log curve holds no variation";
  case kSpecNotFinite: return "the spec curve holds values that are not finite";
  case kLogNotFinite: return "the log curve holds values that are not finite";
  case kSpecFitMisses: return "the spec fit misses a record (ringed)";
  case kLogFitMisses: return "the log fit misses a record (ringed)";
  case kBoundsLineSkipped: return "the line of the bounds holds more numbers";
  case kRecordsNotRead: return "records past the 128th not read";
  case kRecordCountsDiffer: return "the tables hold unequal numbers of records";
  case kTableLineSkipped: return "a table line holds more numbers";
  case kAbscissaNotFinite: return "an abscissa is not finite";
  case kAbscissaOutside: return "abscissae outside [0, 1]";
  case kAbscissaNotRising: return "the abscissae do not rise";
  case kLogAbscissaDiffers: return "the log abscissae differ from the spec ones";
  }
  const char* key = sample_warning_key(warning);
  return key != nullptr ? key : "";
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

// A sample's fit of one table, as the sample phase keeps it (KeptSample).
struct Fit {
  const KeptSample& kept;
  const Real* coef;
  int exponent;
  // The fit at abscissa x, or NaN outside its interval.
  double at(Real x) const {
    const Real u = x - kept.fmin;
    if (!(u >= 0.0 && u <= kept.width)) return NAN;
    return std::scalbn(chebev(fitting_origin, kept.width, coef, ncheb, u), exponent);
  }
};

// The records of `table` whose abscissa lies in the window, each less
// `mean`, with their abscissae and each less the fit there (NaN in a window
// whose fmin is not below fmax).  The closing point is no record.  Returns
// the position in x and y of the record in entry `missed` of the tables,
// or -1 when it is not among them.
long records(const RunState& st, const Real* table, Real fmin, Real fmax, Real mean,
             Integer missed, const Fit& fit, std::vector<double>& x, std::vector<double>& y,
             std::vector<double>& residual) {
  const Real lo = std::min(fmin, fmax), hi = std::max(fmin, fmax);
  long marked = -1;
  for (Integer i = 1; i < st.npts; ++i) {
    if (!(st.x[i] >= lo && st.x[i] <= hi)) continue;
    if (i == missed) marked = long(x.size());
    x.push_back(st.x[i]);
    y.push_back(table[i] - mean);
    residual.push_back(fmin < fmax ? table[i] - fit.at(st.x[i]) : NAN);
  }
  return marked;
}

// A ring around the record that a fit misses most, when the run warned of
// it, with what it is as its tooltip.
void append_missed(std::string& out, const char* which, const std::vector<double>& x,
                   const std::vector<double>& y, long marked, const Frame& f) {
  if (marked < 0) return;
  const double u = across(x[std::size_t(marked)], f.x), v = across(y[std::size_t(marked)], f.y);
  if (!std::isfinite(y[std::size_t(marked)]) || !inside(u, v)) return;
  append(out,
         "<circle class=\"missed\" cx=\"%.2f\" cy=\"%.2f\" r=\"6.5\"><title>the %s fit "
         "misses this record most</title></circle>\n",
         f.px(u), f.py(v), which);
}

// Why the coefficient is not a number: from what the curves hold, else from
// the run's warnings.
const char* why_not_a_number(unsigned warnings, const std::vector<double>& spec_curve,
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
  const bool spec_flat = (warnings & kSpecNoVariation) != 0;
  const bool log_flat = (warnings & kLogNoVariation) != 0;
  if (spec_flat && log_flat) return "neither curve holds any variation";
  if (spec_flat) return "the spec curve holds no variation";
  if (log_flat) return "the log curve holds no variation";
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

// The root-mean-square of the curve's finite values, formed without
// overflow; 1 where it is zero or cannot be formed, so that dividing by it
// leaves such a curve as it is.
double root_mean_square(const std::vector<double>& y) {
  double peak = 0.0;
  for (double v : y)
    if (std::isfinite(v)) peak = std::max(peak, std::fabs(v));
  if (!(peak > 0.0) || !std::isfinite(peak)) return 1.0;
  double sum = 0.0;
  int count = 0;
  for (double v : y)
    if (std::isfinite(v)) sum += (v / peak) * (v / peak), ++count;
  const double rms = peak * std::sqrt(sum / count);
  return rms > 0.0 && std::isfinite(rms) ? rms : 1.0;
}

// Divides a curve, its records and their residuals by the curve's
// root-mean-square.
void standardise(std::vector<double>& curve_values, std::vector<double>& record_values,
                 std::vector<double>& residuals) {
  const double rms = root_mean_square(curve_values);
  for (double& v : curve_values) v /= rms;
  for (double& v : record_values) v /= rms;
  for (double& v : residuals) v /= rms;
}

// The markers (append_spec_marker or append_log_marker) of records at
// (x[i], y[i]) inside the plot area.
using Marker = void (*)(std::string& out, double x, double y, const char* extra);
void append_markers(std::string& out, Marker marker, const std::vector<double>& x,
                    const std::vector<double>& y, const Frame& f) {
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double u = across(x[i], f.x), v = across(y[i], f.y);
    if (std::isfinite(y[i]) && inside(u, v)) marker(out, f.px(u), f.py(v), "");
  }
  out += '\n';
}

// The strip beneath a panel's plot area: every record less its fit, both
// curves on one scale symmetric about zero, the records a fit misses most
// ringed where the run warned of them, and the abscissa's ticks and title.
void append_strip(std::string& out, const Frame& f, const PanelGeometry& g,
                  const std::vector<double>& spec_x, const std::vector<double>& spec_r,
                  long spec_missed, const std::vector<double>& log_x,
                  const std::vector<double>& log_r, long log_missed,
                  const std::string& x_title) {
  double reach = 0.0;
  for (const auto* r : {&spec_r, &log_r})
    for (double v : *r)
      if (std::isfinite(v)) reach = std::max(reach, std::fabs(v));
  if (!(reach > 0.0) || reach > 1e300) reach = 1.0;
  const Frame strip{f.x, covering_axis({-reach, reach}, 1), kLeft, g.strip_top, g.plot_width,
                    kStripHeight};
  out += "<g class=\"residuals\">\n";
  append_axes(out, strip);
  append_axis_titles(out, strip, x_title.c_str(), "residual");
  append_markers(out, append_spec_marker, spec_x, spec_r, strip);
  append_markers(out, append_log_marker, log_x, log_r, strip);
  append_missed(out, "spec", spec_x, spec_r, spec_missed, strip);
  append_missed(out, "log", log_x, log_r, log_missed, strip);
  out += "</g>\n";
}

void append_panel(std::string& out, const RunState& st, const KeptSample& kept, Integer k,
                  double px, double py, const PanelGeometry& g, const PictureOptions& options,
                  const std::string& x_title, const std::string& y_title) {
  const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
  const Real coefficient = cc_diagonal(st, k);
  std::vector<double> spec_x, spec_y, log_x, log_y;
  curve(st.agem, k, fmin, kept.points, spec_x, spec_y);
  curve(st.xlgrm, k, fmin, kept.points, log_x, log_y);
  std::vector<double> spec_rx, spec_ry, spec_res, log_rx, log_ry, log_res;
  const unsigned bits = st.sample_warnings[k - 1];
  const long spec_missed =
      records(st, st.s, fmin, fmax, kept.spec_mean,
              (bits & kSpecFitMisses) != 0 ? st.spec_miss[k - 1].record : 0,
              {kept, kept.spec_coef, kept.spec_exponent}, spec_rx, spec_ry, spec_res);
  const long log_missed =
      records(st, st.l, fmin, fmax, kept.log_mean,
              (bits & kLogFitMisses) != 0 ? st.log_miss[k - 1].record : 0,
              {kept, kept.log_coef, kept.log_exponent}, log_rx, log_ry, log_res);
  const char* why_nan = why_not_a_number(st.sample_warnings[k - 1], spec_y, log_y);
  if (!options.raw) {
    standardise(spec_y, spec_ry, spec_res);
    standardise(log_y, log_ry, log_res);
  }

  std::vector<double> values = spec_y;
  for (const auto* v : {&log_y, &spec_ry, &log_ry}) values.insert(values.end(), v->begin(), v->end());
  const Frame f{window_axis(fmin, fmax, g.plot_width), covering_axis(values, 5), kLeft, kTop,
                g.plot_width, g.plot_height};

  append(out, "<g class=\"panel\" transform=\"translate(%.0f,%.0f)\">\n", px, py);

  // Title: the name, then the window and the coefficient as the report
  // writes them, then what the run warned of.  Bounds written in full can
  // make the second line too long: it is then squeezed to the panel's width.
  out += "<text class=\"name\" x=\"20\" y=\"24\">";
  append_name(out, st, k, g.width - 40, 15 * 1.08);
  out += "</text>\n<text class=\"info\" x=\"20\" y=\"46\"";
  const std::string info = "window " + bound(fmin) + " to " + bound(fmax) +
                           ", cross-correlation " + field(coefficient);
  if (text_width(info.data(), info.size(), 13) > g.width - 40)
    append(out, " textLength=\"%.0f\" lengthAdjust=\"spacingAndGlyphs\"", g.width - 40);
  out += '>';
  append_window_and_coefficient(out, st, k);
  out += "</text>\n";
  if (bits != 0) {
    std::string warning = "warning: ";
    const char* separator = "";
    for (unsigned bit = 1; bit != 0; bit <<= 1) {
      if ((bits & bit) == 0) continue;
      warning += separator;
      separator = "; ";
      // One phrase for a finding about both curves: each log-curve bit is
      // the spec-curve bit shifted by one.
      static_assert(kLogNoVariation == kSpecNoVariation << 1 && kLogNotFinite == kSpecNotFinite << 1);
      if (bit == kSpecNoVariation && (bits & kLogNoVariation) != 0)
        warning += "neither curve holds any variation", bit <<= 1;
      else if (bit == kSpecNotFinite && (bits & kLogNotFinite) != 0)
        warning += "both curves hold values that are not finite", bit <<= 1;
      else
        warning += warning_text(st, k, SampleWarning(bit));
    }
    // A line too long for the panel is set smaller, which every renderer
    // honours (not all of them squeeze text to a length).
    out += "<text class=\"warning\" x=\"20\" y=\"66\"";
    const double width = text_width(warning.data(), warning.size(), 12.5);
    if (width > g.width - 40)
      append(out, " style=\"font-size:%.2fpx\"", 12.5 * (g.width - 40) / width);
    append(out, ">%s</text>\n", warning.c_str());
  }
  // Legend, at the right of the abscissa's title: each fit's line with its
  // records' marker.
  const double lx = g.width - kRight - 104, ly = g.bottom() + 38;
  append(out, "<line class=\"spec\" x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\"/>", lx, ly,
         lx + 26, ly);
  append_spec_marker(out, lx + 13, ly, " key");
  append(out, "<text class=\"legend\" x=\"%.0f\" y=\"%.0f\">spec</text>", lx + 31, ly + 4);
  append(out, "<line class=\"log\" x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\"/>", lx + 64,
         ly, lx + 90, ly);
  append_log_marker(out, lx + 77, ly, " key");
  append(out, "<text class=\"legend\" x=\"%.0f\" y=\"%.0f\">log</text>\n", lx + 95, ly + 4);

  append_axes(out, f, !g.strip);
  append_axis_titles(out, f, g.strip ? nullptr : x_title.c_str(), y_title.c_str());

  // The records under the fits, then the fits, both cut at the plot area.
  append_markers(out, append_spec_marker, spec_rx, spec_ry, f);
  append_markers(out, append_log_marker, log_rx, log_ry, f);
  append_lines(out, "spec", spec_x, spec_y, f);
  append_lines(out, "log", log_x, log_y, f);
  append_missed(out, "spec", spec_rx, spec_ry, spec_missed, f);
  append_missed(out, "log", log_rx, log_ry, log_missed, f);

  // Why the coefficient is not a number.
  if (std::isnan(coefficient))
    append(out,
           "<text class=\"note\" x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">"
           "cross-correlation is NaN: %s</text>\n",
           kLeft + g.plot_width / 2, kTop + g.plot_height / 2 - 12, why_nan);
  if (g.strip)
    append_strip(out, f, g, spec_rx, spec_res, spec_missed, log_rx, log_res, log_missed, x_title);
  out += "</g>\n";
}

// Panels to a row: more as the list grows, so that a full list of 100
// samples stays within 10,000 pixels of height.
Integer columns_for(Integer n) { return n <= 1 ? 1 : n <= 8 ? 2 : n <= 24 ? 3 : n <= 60 ? 4 : 5; }

// Text of the command line as XML text.
std::string xml_text(const char* text) {
  std::string out;
  append_text(out, text, std::strlen(text));
  return out;
}

} // namespace

std::vector<Integer> chosen_samples(const RunState& st, const char* list) {
  std::vector<bool> chosen(std::size_t(st.sample_count), false);
  for (const char* entry = list;; ++entry) {
    const char* end = std::strchr(entry, ',');
    const std::string pattern(entry, end != nullptr ? std::size_t(end - entry) : std::strlen(entry));
    bool any = false;
    for (Integer k = 1; k <= st.sample_count; ++k) {
      const std::string name(st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
      if (fnmatch(pattern.c_str(), name.c_str(), 0) == 0) chosen[std::size_t(k - 1)] = any = true;
    }
    if (!any) {
      std::string shown(pattern.size() + 1, '\0');
      show_bytes(pattern.data(), pattern.size(), shown.data());
      stopf(kUsageStatus, "tamsel-plot: --samples: no sample in %s is named '%s'", kSampleFile,
            shown.c_str());
    }
    if (end == nullptr) break;
    entry = end;
  }
  std::vector<Integer> samples;
  for (Integer k = 1; k <= st.sample_count; ++k)
    if (chosen[std::size_t(k - 1)]) samples.push_back(k);
  return samples;
}

std::string curves_svg(const RunState& st, const KeptSample* kept, const PictureOptions& options) {
  const Integer n = st.sample_count;
  std::vector<Integer> drawn;
  if (options.panels && options.samples.empty())
    for (Integer k = 1; k <= n; ++k) drawn.push_back(k);
  else if (options.panels)
    drawn = options.samples;
  const auto count = Integer(drawn.size());
  const Integer columns =
      options.columns > 0 ? options.columns : columns_for(count > 0 ? count : n);
  const Integer rows = (count + columns - 1) / columns;
  // The page is laid out in units of the viewBox and shown `scale` pixels
  // to a unit: at the default font size a unit is a pixel; --width sets the
  // panels' width in units so that their text comes out at --font-size.
  double scale = options.font_size / 13.0, panel_width = kPanelWidth;
  double width = double(std::max<Integer>(columns, 2)) * kPanelWidth;
  if (options.width > 0.0) {
    width = std::max(options.width / scale, 2 * kNarrowestPanel);
    if (count > 0) {
      panel_width = std::max(width / double(columns), kNarrowestPanel);
      width = std::max(width, double(columns) * panel_width);
    }
    scale = options.width / width;
  }
  const PanelGeometry geometry = panel_geometry(panel_width, options.residuals);
  const Summary summary = plan_summary(st, columns, width);
  const double summary_space = options.summary ? summary_height(summary) : 0.0;
  const double header = options.title != nullptr ? kHeader + 18 : kHeader;
  const double height = header + summary_space + double(rows) * geometry.height + 8;
  const std::string x_title = options.xlabel != nullptr ? xml_text(options.xlabel) : "abscissa";
  const std::string y_title = options.ylabel != nullptr ? xml_text(options.ylabel)
                              : options.raw             ? "value minus the fit's mean"
                                                        : "(value \u2212 mean) \u00f7 RMS";

  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  append(out,
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
         "viewBox=\"0 0 %.0f %.0f\">\n",
         std::ceil(width * scale - 1e-6), std::ceil(height * scale - 1e-6), width, height);
  append(out, "<title>tamsel: %s and %s over the windows of %s, %d sample%s</title>\n", kSpecFile,
         kLogFile, kSampleFile, n, n == 1 ? "" : "s");
  append(out, "<style>%s</style>\n", kStyle);
  out += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  // The title, the user's or one naming the three files; the files are named
  // beneath a title of the user's.
  double line = 30;
  if (options.title != nullptr) {
    // A title wider than the page is squeezed to its width.
    append(out, "<text class=\"title\" x=\"20\" y=\"%.0f\"", line);
    if (text_width(options.title, std::strlen(options.title), 19 * 1.08) > width - 40)
      append(out, " textLength=\"%.0f\" lengthAdjust=\"spacingAndGlyphs\"", width - 40);
    append(out, ">%s</text>\n", xml_text(options.title).c_str());
    line += 22;
  }
  append(out,
         "<text class=\"%s\" x=\"20\" y=\"%.0f\">Spec curve of %s and log curve of %s over "
         "the windows of %s</text>\n",
         options.title != nullptr ? "subtitle" : "title", line, kSpecFile, kLogFile, kSampleFile);
  append(out,
         "<text class=\"subtitle\" x=\"20\" y=\"%.0f\">Lines: the 15-term Chebyshev fit of each "
         "table over the window, at 128 points.  Markers: the table's records inside the "
         "window.</text>\n",
         line + 22);
  append(out, "<text class=\"subtitle\" x=\"20\" y=\"%.0f\">%s</text>\n", line + 40,
         options.raw ? "Both less the fit's mean over the window; the lines are the curves whose "
                       "cross-correlation is reported."
                     : "Both less the fit's mean and divided by the curve's root-mean-square over "
                       "the window: the cross-correlation is the mean product of the two lines.");
  if (options.summary) append_summary(out, st, summary, header, x_title);
  for (Integer i = 0; i < count; ++i) {
    const Integer k = drawn[std::size_t(i)];
    append_panel(out, st, kept[k - 1], k, double(i % columns) * panel_width,
                 header + summary_space + double(i / columns) * geometry.height, geometry,
                 options, x_title, y_title);
  }
  out += "</svg>\n";
  return out;
}

} // namespace tamsel
