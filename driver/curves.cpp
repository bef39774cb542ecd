// SPDX-License-Identifier: BSD-3-Clause
#include "driver/curves.h"

#include <cmath>
#include <limits>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/tabulated.h>

namespace tamsel {

namespace {

// The largest magnitude of a curve's kCurvePoints values; NaN when one of
// them is NaN.
Real largest_magnitude(const Real* curve) {
  Real largest = 0.0;
  for (Integer i = 0; i < kCurvePoints; ++i) {
    const Real magnitude = std::fabs(curve[i]);
    if (std::isnan(magnitude)) return magnitude;
    if (magnitude > largest) largest = magnitude;
  }
  return largest;
}

// Whether the transforms and the quotient are sound on curves with these
// largest magnitudes as they are: the smaller curve is not lost in the
// rounding of the larger one in the shared transform, and the product of
// the two sums of squares neither overflows nor underflows.
bool sound_scales(Real g_largest, Real h_largest) {
  return g_largest >= 1e-50 && g_largest <= 1e50 && h_largest >= 1e-50 && h_largest <= 1e50 &&
         g_largest <= 1e6 * h_largest && h_largest <= 1e6 * g_largest;
}

// Multiplies the curve by the power of two that brings its largest
// magnitude, finite and not zero, into [1, 2).
void scale_to_unit_peak(Real* curve, Real largest) {
  const int exponent = std::ilogb(largest);
  for (Integer i = 0; i < kCurvePoints; ++i) curve[i] = std::scalbn(curve[i], -exponent);
}

} // namespace

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

void correlate_sample(RunState& st, Integer k) {
  static constexpr Integer n = kCurvePoints;
  const Real g_largest = largest_magnitude(st.g);
  const Real h_largest = largest_magnitude(st.h);
  // A NaN curve takes the plain arithmetic, which keeps the NaN.
  if (!std::isnan(g_largest) && !std::isnan(h_largest) && !sound_scales(g_largest, h_largest)) {
    // A curve that is zero throughout has no direction to agree with, and
    // an infinite one no finite measure: the coefficient is undefined.
    if (g_largest == 0.0 || h_largest == 0.0 || std::isinf(g_largest) || std::isinf(h_largest)) {
      cc_diagonal(st, k) = std::numeric_limits<Real>::quiet_NaN();
      return;
    }
    // Brought to one size, neither curve drowns in the rounding of the other
    // and the sums stay far from overflow and underflow; a power of two
    // rounds nothing, so the quotient is still that of the curves as built.
    scale_to_unit_peak(st.g, g_largest);
    scale_to_unit_peak(st.h, h_largest);
  }
  // Only lag 0 of each correlation is used.
  const Real cross = correl_zero_lag(st.g, st.h, n, st.cross_result);
  const Real spec_power = correl_zero_lag(st.g, st.g, n, st.spec_result);
  const Real log_power = correl_zero_lag(st.h, st.h, n, st.log_result);
  cc_diagonal(st, k) = cross / std::sqrt(spec_power * log_power);
}

} // namespace tamsel
