// SPDX-License-Identifier: BSD-3-Clause
// The picture of a run: the two mean-removed curves of every sample, drawn
// as one self-contained SVG document with one panel per sample.
//
// Each panel plots the spec and the log curve of its sample at their 128
// points over the abscissa from fmin to fmax, with ticked and labelled axes,
// a legend, and a title holding the sample's name, its window and its
// coefficient written as in the report.  Values that are not finite are
// left out of the lines; a panel whose coefficient is not a number says so
// in its title and tells why inside the plot area.
#pragma once

#include <string>

#include "driver/state.h"

namespace tamsel {

inline constexpr const char* kCurvesFile = "tamsel_curves.svg";

// The SVG document for samples 1..st.sample_count of a run whose curves and
// coefficients are built (sample_phase).  Each panel is a
// <g class="panel">, each stretch of finite values of a curve a
// <polyline class="spec"> or <polyline class="log">.
std::string curves_svg(const RunState& st);

// Writes `document` as the whole content of the file `path`, replacing a
// regular file only once it is written in full (driver/files.h).  Stops
// with an input/output error naming the file when it cannot be written in
// full, leaving an old file as it was, or when it is one of the run's
// input files.
void write_document(const char* path, const std::string& document);

} // namespace tamsel
