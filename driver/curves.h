// SPDX-License-Identifier: BSD-3-Clause
// The sample curves: both tables fitted over the sample's window with a
// 15-term Chebyshev series, each fit's mean over the window removed, and both
// sampled at 128 points from the window's lower end to its upper end.
#pragma once

#include "driver/state.h"

namespace tamsel {

// Builds the curves of the sample in row k = st.sample_count + 1 of
// st.agem (spec curve, fmin in column 0) and st.xlgrm (log curve, fmax in
// column 0), from the tables, st.npts, st.fmin and st.width; the two
// curves also go to st.g and st.h, where the correlation takes them.  The
// fitting variable u runs over [0, width]; the table abscissa at u is
// fmin + u.  An ascending table (st.x_ascending) is searched by bisection.
// Stops with "ERROR(CHEBEV): x not in range ." when a reversed window puts
// the last curve point outside the fitting interval.
void build_curves(RunState& st);

} // namespace tamsel
