// SPDX-License-Identifier: BSD-3-Clause
// The picture of a run, one self-contained SVG document.
//
// A summary panel comes first: every sample's coefficient against its
// window, as a segment from fmin to fmax on a fixed -1..1 scale, named by a
// tooltip and by a label beside it (its name where there is room, else its
// number, the number then listed with the name beneath); samples whose
// coefficient is not finite or whose fmin is not below fmax are listed
// beneath it instead.  Then one panel per sample: the spec and the log fit,
// each less its mean and divided by its root-mean-square over the window
// (so that curves in any units compare, and the coefficient is the mean
// product of the two lines drawn), as lines through their 128 points from
// fmin to fmax, and the records of both tables inside the window as markers
// at the same scale, with ticked and labelled axes, a legend, a title
// holding the sample's name, its window and its coefficient as the report
// writes it, and a line naming every warning the run gave the sample.
// Beneath the plot area a strip shows each record less its fit, both
// curves on one scale, the record a fit misses most ringed where the run
// warned of it.  Panels go more to a row as the list grows.  Values that
// are not finite are left out, and whatever lies beyond the plot area is
// cut at its edge, so every coordinate written is an ordinary number.
#pragma once

#include <string>
#include <vector>

#include "driver/run.h"
#include "driver/state.h"

namespace tamsel {

inline constexpr const char* kCurvesFile = "tamsel_curves.svg";

// What the command line may change in the picture.
struct PictureOptions {
  bool raw = false;             // curves less their means only, in the tables' units
  const char* title = nullptr;  // the page's title (any bytes), or null for one naming the files
  const char* xlabel = nullptr; // the abscissa's title (any bytes), or null for "abscissa"
  const char* ylabel = nullptr; // the panels' ordinate title (any bytes), or null for the default
  std::vector<Integer> samples; // the samples given panels, in order; empty for all
  bool summary = true;          // draw the summary
  bool panels = true;           // draw the panels
  bool residuals = true;        // draw the strip of records less their fit under each panel
  Integer columns = 0;          // panels to a row, or 0 for as many as the list suggests
  double width = 0.0;           // the page's width in pixels, or 0 for the panels' own
  double font_size = 13.0;      // the size of the panels' text in pixels on the page
};

// The samples whose names match the comma-separated list of names and
// shell patterns (fnmatch, such as "peak*"), in list order.  Stops with a
// usage error naming the first entry that matches no sample.
std::vector<Integer> chosen_samples(const RunState& st, const char* list);

// The SVG document for samples 1..st.sample_count of a run whose curves and
// coefficients are built (sample_phase), with what the sample phase kept of
// those samples: the fits' means and the curve points, so that the curves
// are drawn at the very abscissae the run sampled.  The summary is a
// <g class="summary"> holding one <path class="window"> per sample drawn
// there, a <text class="listed"> per sample drawn but named only in its
// list and a <text class="apart"> per sample listed apart; each sample's
// panel is a <g class="panel">, holding a <text class="warning"> when the
// sample drew a warning, each stretch of a curve inside the plot area a
// <polyline class="spec"> or <polyline class="log">, each record a
// <circle class="spec-record"> or a <rect class="log-record">, and its
// strip a <g class="residuals">.  The page's size in pixels is its width
// and height; its content is drawn in units of the viewBox, which
// --width and --font-size scale.
std::string curves_svg(const RunState& st, const KeptSample* kept,
                       const PictureOptions& options = {});


} // namespace tamsel
