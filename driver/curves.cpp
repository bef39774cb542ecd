// SPDX-License-Identifier: BSD-3-Clause
#include "driver/curves.h"

#include "numeric/chebyshev.h"
#include "numeric/tabulated.h"

namespace tamsel {

void build_curves(RunState& st) {
  const Integer k = st.sample_count + 1;
  const Real& a = fitting_origin;
  const Real& b = st.width;

  // favr's values either way; on an ascending table found by bisection.
  const auto table_value = st.x_ascending ? favr_ascending : favr;
  chebft(a, b, st.spec_coef, ncheb, table_value, st.x, st.s, st.npts, st.fmin);
  chebft(a, b, st.log_coef, ncheb, table_value, st.x, st.l, st.npts, st.fmin);

  chint(a, b, st.spec_coef, st.int_coef, ncheb);
  st.spec_mean = chebev(a, b, st.int_coef, ncheb, st.width) / st.width;
  chint(a, b, st.log_coef, st.int_coef, ncheb);
  st.log_mean = chebev(a, b, st.int_coef, ncheb, st.width) / st.width;

  const Real step = st.width / 127.0;
  for (Integer i = 0; i < kCurvePoints; ++i) {
    Real& p = st.points[i];
    p = Real(i) * step;
    if (st.width < p) p = st.width;
  }
  // Both fits at all points: chebev's values, its range test and its stop.
  chebev_points(a, b, st.spec_coef, st.log_coef, ncheb, st.points, st.g, st.h, kCurvePoints);
  for (Integer i = 0; i < kCurvePoints; ++i) {
    st.g[i] = st.g[i] - st.spec_mean;
    st.h[i] = st.h[i] - st.log_mean;
    matrix_at(st.agem, k, i + 1) = st.g[i];
    matrix_at(st.xlgrm, k, i + 1) = st.h[i];
  }
  matrix_at(st.agem, k, 0) = st.fmin;
  matrix_at(st.xlgrm, k, 0) = st.fmax;
}

} // namespace tamsel
