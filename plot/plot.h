// SPDX-License-Identifier: BSD-3-Clause
// The picture of a run, one self-contained SVG document.
//
// A summary panel comes first: every sample's coefficient against its
// window, as a segment from fmin to fmax on a fixed -1..1 scale, named by a
// tooltip and, where there is room, a label; samples whose coefficient is not
// finite or whose fmin is not below fmax are listed beneath it instead.
// Then one panel per sample: the spec and the log fit, each less its mean,
// as lines through their 128 points from fmin to fmax, and the records of
// both tables inside the window as markers at (abscissa, value less the same
// mean), with ticked and labelled axes, a legend, and a title holding the
// sample's name, its window and its coefficient as the report writes it,
// and, in the plot area, a note for each remark the run made on the sample
// (RunState::sample_warnings) and for a coefficient that is NaN.
// Panels go more to a row as the list grows.  Values that are not finite are
// left out, and whatever lies beyond the plot area is cut at its edge, so
// every coordinate written is an ordinary number.
#pragma once

#include <string>

#include "driver/run.h"
#include "driver/state.h"

namespace tamsel {

inline constexpr const char* kCurvesFile = "tamsel_curves.svg";

// The SVG document for samples 1..st.sample_count of a run whose curves and
// coefficients are built (sample_phase), with what keep_sample kept of
// those samples: the fits' means and the curve points, so that the curves
// are drawn at the very abscissae the run sampled.  The summary is a
// <g class="summary"> holding one <path class="window"> per sample drawn
// there and one <text class="apart"> per sample listed apart; each sample's panel is a <g class="panel">, each
// stretch of a curve inside the plot area a <polyline class="spec"> or
// <polyline class="log">, each record a <circle class="spec-record"> or a
// <rect class="log-record">.
std::string curves_svg(const RunState& st, const KeptSample* kept);

// Writes `document` as the whole content of the file `path`, replacing a
// regular file only once it is written in full (driver/files.h).  Stops
// with an input/output error naming the file when it cannot be written in
// full, leaving an old file as it was, or when it is one of the run's
// input files.
void write_document(const char* path, const std::string& document);

} // namespace tamsel
