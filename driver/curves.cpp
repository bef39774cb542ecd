// SPDX-License-Identifier: BSD-3-Clause
#include "driver/curves.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/tabulated.h>

#include "driver/warnings.h"

namespace tamsel {

namespace {

// The largest magnitude of a curve's kCurvePoints values; NaN when one of
// them is NaN.  Eight running maxima and no early exit: eight independent
// chains of comparisons instead of one, and no branch to mispredict (the
// largest magnitude does not depend on the order of the comparisons).
Real largest_magnitude(const Real* curve) {
  constexpr int kLanes = 8;
  static_assert(kCurvePoints % kLanes == 0);
  Real largest[kLanes] = {};
  Real unordered[kLanes] = {};
  for (Integer i = 0; i < kCurvePoints; i += kLanes) {
#pragma GCC unroll 8
    for (int l = 0; l < kLanes; ++l) {
      const Real magnitude = std::fabs(curve[i + l]);
      unordered[l] = magnitude != magnitude ? magnitude : unordered[l];
      largest[l] = magnitude > largest[l] ? magnitude : largest[l];
    }
  }
  Real result = 0.0;
  for (int l = 0; l < kLanes; ++l) {
    if (unordered[l] != unordered[l]) return unordered[l];
    result = largest[l] > result ? largest[l] : result;
  }
  return result;
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

// Keeps the magnitude of `value` in the running maximum `m` when it is
// finite and larger.
void keep_finite(Real& m, Real value) {
  const Real magnitude = std::fabs(value);
  const Real finite = magnitude <= std::numeric_limits<Real>::max() ? magnitude : 0.0;
  m = finite > m ? finite : m;
}

// The interval of the tables in which favr finds the abscissa t, by favr's
// rule (the first i of 1..npts with x[i] >= t and t > x[i - 1]), or 0 when
// it finds none; by bisection on an ascending table, as favr_ascending.
Integer matched_interval(const Tables& tab, Real t) {
  const Real* x = tab.x;
  if (tab.ascending) {
    if (std::isnan(t)) return 0;
    const Integer i = Integer(std::lower_bound(x + 1, x + tab.npts + 1, t) - x);
    return i <= tab.npts && t > x[i - 1] ? i : 0;
  }
  for (Integer i = 1; i <= tab.npts; ++i)
    if (x[i] >= t && t > x[i - 1]) return i;
  return 0;
}

// The largest finite magnitudes of the spec and the log entries that the
// fits over the window read: at each of chebft's nodes, the two ends of the
// interval favr finds there.  No other entry enters a fit.
void read_peaks(const RunState& st, const Tables& tab, Real& spec_peak, Real& log_peak) {
  Real scratch[detail::kChebftScratch];
  const detail::ChebftNodes mapping = detail::chebft_start(fitting_origin, st.width, scratch);
  spec_peak = log_peak = 0.0;
  for (Integer k = 1; k <= ncheb; ++k) {
    const Real node = detail::chebft_node(mapping, ncheb, k);
    const Integer i = matched_interval(tab, st.fmin + node);
    if (i == 0) continue;
    keep_finite(spec_peak, tab.s[i - 1]);
    keep_finite(spec_peak, tab.s[i]);
    keep_finite(log_peak, tab.l[i - 1]);
    keep_finite(log_peak, tab.l[i]);
  }
}

// Whether a table of this largest magnitude is fitted as it is: every sum of
// the fit and its mean then stays far from overflow and underflow.
bool fits_as_it_is(Real largest) {
  return largest == 0.0 || (largest >= 0x1p-256 && largest <= 0x1p256);
}

// The exponents of the powers of two by which the spec and the log table
// are divided before fitting, from the entries the fits read (read_peaks),
// so that a record the window never reads changes nothing.  Both 0 when
// both tables fit as they are.
// Otherwise one exponent for both, that of the larger table, when the
// smaller then still fits: the two curves keep their ratio, so the
// correlation, whose transforms round the two together, gives the very bits
// of the tables scaled down alike.  Failing that, each table that does not
// fit as it is is brought into [1, 2) by its own exponent; the curves are
// then far apart in size, and the correlation brings each to one size
// itself (correlate_sample).
void table_exponents(const RunState& st, const Tables& tab, int& spec_exponent,
                     int& log_exponent) {
  Real spec_peak = 0.0, log_peak = 0.0;
  read_peaks(st, tab, spec_peak, log_peak);
  spec_exponent = log_exponent = 0;
  if (fits_as_it_is(spec_peak) && fits_as_it_is(log_peak)) return;
  const int common = std::ilogb(std::fmax(spec_peak, log_peak));
  const Real smaller = std::fmin(spec_peak, log_peak);
  if (smaller == 0.0 || std::scalbn(smaller, -common) >= 0x1p-256) {
    spec_exponent = log_exponent = common;
    return;
  }
  if (!fits_as_it_is(spec_peak)) spec_exponent = std::ilogb(spec_peak);
  if (!fits_as_it_is(log_peak)) log_exponent = std::ilogb(log_peak);
}

// The table to fit: `values` itself, or its entries 0..npts divided by
// 2^exponent in `scaled`.
const Real* fitted_table(const Real* values, Integer npts, int exponent, Real* scaled) {
  if (exponent == 0) return values;
  for (Integer i = 0; i <= npts; ++i) scaled[i] = std::scalbn(values[i], -exponent);
  return scaled;
}

// A value of a scaled fit in the table's own units.
Real scaled_back(Real value, int exponent) {
  return exponent == 0 ? value : std::scalbn(value, exponent);
}

// The size of a fit over its interval: half the magnitude of its first
// Chebyshev coefficient plus the magnitudes of the others, a bound of the
// fit's magnitude (|T_j| <= 1 there) that is itself within a small factor of
// the values the fit was built from.
Real fit_size(const Real* coef) {
  Real size = std::fabs(coef[0]) / 2.0;
  for (Integer j = 1; j < ncheb; ++j) size += std::fabs(coef[j]);
  return size;
}

// A curve's finding: kNotFinite when one of its values or its fit's size is
// not finite, kNoVariation when its largest magnitude is at most 2^-40 of
// the fit's size.
//
// Why 2^-40: a curve is its fit less the fit's mean, so a fit that is
// constant over the window gives a curve made of rounding alone.  That
// rounding is bounded by a modest multiple of the fit's size times the
// double's epsilon 2^-52: each of the 15 coefficients sums 15 values times
// cosines, Clenshaw's recurrence over 15 terms and the mean's integral add
// a few epsilon each, as long as nothing underflows: the fits see no table
// beyond [2^-256, 2^256] (table_exponents).  Measured over 400,000 constant
// tables at levels from 1e-300 to 1e300, of 2 to 128 records, over random
// windows down to a few units in the last place wide: at most 2^-48.52 of
// the size.  The threshold lies 2^8.5 above that, so that a constant table
// is caught at any level and window with room to spare, and a curve just
// above it carries rounding of at most 2^-8.5 (0.3%) of its peak; a curve
// that varies by 2^-40 (9e-13) of its level or more keeps its coefficient:
// a signal of amplitude 1 on a pedestal of 1e10, rounded there to 2e-6,
// is correlated.
// `largest` is the curve's largest magnitude (largest_magnitude).
enum CurveFinding { kCurveSound, kNotFinite, kNoVariation };
CurveFinding curve_finding(Real largest, const Real* coef) {
  const Real size = fit_size(coef);
  if (!std::isfinite(largest) || !std::isfinite(size)) return kNotFinite;
  return largest <= std::ldexp(size, -40) ? kNoVariation : kCurveSound;
}

} // namespace

Tables make_tables(const Real* x, const Real* s, const Real* l, Real* fit_s, Real* fit_l,
                   Integer npts, bool ascending) {
  Tables t{x, s, l, fit_s, fit_l, npts, ascending, false, 0.0, 0.0};
  t.span = records_span(x, npts, t.lowest, t.highest);
  return t;
}

Tables run_tables(RunState& st) {
  return make_tables(st.x, st.s, st.l, st.fit_s, st.fit_l, st.npts, st.x_ascending);
}

RecordRange records_inside(const Tables& t, Real fmin, Real width) {
  if (!t.ascending) return {1, t.npts};
  // On an ascending table u = x - fmin never descends either (rounding is
  // monotone), so the records with u >= 0 and then those with u <= width
  // each follow one another.
  const Real* first = t.x + 1;
  const Real* end = t.x + t.npts;
  const Real* low = std::partition_point(first, end, [fmin](Real x) { return !(x - fmin >= 0.0); });
  const Real* high =
      std::partition_point(low, end, [fmin, width](Real x) { return x - fmin <= width; });
  return {Integer(low - t.x), Integer(high - t.x)};
}

void build_curves(RunState& st, bool whole_row) { build_curves(st, run_tables(st), whole_row); }

void build_curves(RunState& st, const Tables& tab, bool whole_row) {
  const Integer k = st.sample_count + 1;
  const Real& a = fitting_origin;
  const Real& b = st.width;

  int& spec_exponent = st.spec_exponent;
  int& log_exponent = st.log_exponent;
  table_exponents(st, tab, spec_exponent, log_exponent);
  const Real* spec_table = fitted_table(tab.s, tab.npts, spec_exponent, tab.fit_s);
  const Real* log_table = fitted_table(tab.l, tab.npts, log_exponent, tab.fit_l);

  // favr's values either way; on an ascending table found by bisection.
  const auto table_value = tab.ascending ? favr_ascending : favr;
  chebft(a, b, st.spec_coef, ncheb, table_value, tab.x, spec_table, tab.npts, st.fmin);
  chebft(a, b, st.log_coef, ncheb, table_value, tab.x, log_table, tab.npts, st.fmin);

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
  }
  // The column stores apart from the arithmetic: one curve's entries lie a
  // stride of kMatrixRows apart, all in the same few sets of the data
  // cache, and kept out of the loop above they no longer hold up its loads.
  if (whole_row) {
    for (Integer i = 0; i < kCurvePoints; ++i) {
      matrix_at(st.agem, k, i + 1) = scaled_back(st.g[i], spec_exponent);
      matrix_at(st.xlgrm, k, i + 1) = scaled_back(st.h[i], log_exponent);
    }
  }
  st.spec_mean = scaled_back(st.spec_mean, spec_exponent);
  st.log_mean = scaled_back(st.log_mean, log_exponent);
  matrix_at(st.agem, k, 0) = st.fmin;
  matrix_at(st.xlgrm, k, 0) = st.fmax;
}

bool records_span(const Real* xs, Integer npts, Real& lowest, Real& highest) {
  bool any = false;
  for (Integer r = 1; r < npts; ++r) {
    const Real x = xs[r];
    if (!std::isfinite(x)) continue;
    if (!any || x < lowest) lowest = x;
    if (!any || x > highest) highest = x;
    any = true;
  }
  return any;
}

namespace {

// How far a fit may lie from a record inside its window before the sample
// is warned of, as a share of the spread of the records' values there (the
// highest less the lowest).  A 15-term fit of a curve that its records
// resolve passes close to every record; it misses records by a good part of
// their spread only where they vary faster than 15 terms can follow (noise,
// a spike, a step), and there the coefficient measures the fit's own swings
// rather than the records.  Measured: the bundled example's windows at most
// 3.1% of the spread, any window over its tables that holds three records
// or more and lies within them at most 10%, a smooth table (sin 9x at 120
// records) under 1%, and the same with noise of 1% of its amplitude at most
// 23%; noise alone misses by more than a quarter in every window of 20
// records or more, in 96% of those of 15 and 15% of those of 10 (a window of
// 5 records is followed: the fit has 15 nodes); records of +-1e300 inside a
// window of smooth ones, 47%.  A quarter lies above the first group and
// below the second.
constexpr Real kMissedShare = 0.25;

// A table's value at record r in halves of its units as fitted (scaled by
// 2^-exponent): halves round nothing of weight, and neither the spread of
// the records nor a miss of the largest doubles can overflow.  Multiplying
// by 0.5 rounds exactly as scalbn does, and costs far less.
Real half_fitted(const Real* table, int exponent, Integer r) {
  return exponent == 0 ? table[r] * 0.5 : std::scalbn(table[r], -exponent - 1);
}

// The record a fit misses most so far: its entry, the miss as a share of
// the spread and the miss itself.  A miss no larger than `miss` cannot give
// a larger share (the quotient by one spread never descends), so the
// quotient is formed only for a larger one.
struct Worst {
  FitMiss found{0, 0.0};
  Real miss = 0.0;
  void consider(Real v, Real fitted, Real spread, Integer r) {
    const Real m = std::fabs(v - 0.5 * fitted);
    if (!(m > miss) || !std::isfinite(v)) return;
    const Real share = m / spread;
    if (share > found.share) found = FitMiss{r, share}, miss = m;
  }
};

// Sets st.spec_miss and st.log_miss of sample k from both fits at every
// record inside the window (a window that ascends), whose abscissa lies at
// u = x - fmin in [0, width]: for each table, the record its fit misses
// most, the first of them in table order, and the miss as a share of the
// spread of the records' finite values there (highest less lowest).
void fit_misses(RunState& st, const Tables& tab, Integer k) {
  const RecordRange range = records_inside(tab, st.fmin, st.width);
  // On an ascending table every record of the range lies inside.
  auto inside = [&](Integer r) {
    const Real at = tab.x[r] - st.fmin;
    return tab.ascending || (at >= 0.0 && at <= st.width);
  };
  const Real* tables[2] = {tab.s, tab.l};
  const int exponents[2] = {st.spec_exponent, st.log_exponent};
  Real spread[2];
  for (int w = 0; w < 2; ++w) {
    // The first lowest and highest finite value in table order, without a
    // branch: an infinity or a NaN moves neither.
    Real lowest = INFINITY, highest = -INFINITY;
    for (Integer r = range.first; r < range.last; ++r) {
      const Real v = half_fitted(tables[w], exponents[w], r);
      const bool counted = inside(r) && std::fabs(v) <= std::numeric_limits<Real>::max();
      lowest = counted && v < lowest ? v : lowest;
      highest = counted && v > highest ? v : highest;
    }
    spread[w] = lowest <= highest ? highest - lowest : 0.0;
  }
  Worst worst[2];
  if (spread[0] > 0.0 || spread[1] > 0.0) {
    // Both fits at the records, a block of them at a time.
    Integer r_at[kMaxRecords];
    Real u[kMaxRecords], fitted[2][kMaxRecords];
    for (Integer r = range.first; r < range.last;) {
      Integer count = 0;
      for (; r < range.last && count < kMaxRecords; ++r) {
        if (!inside(r)) continue;
        r_at[count] = r;
        u[count++] = tab.x[r] - st.fmin;
      }
      chebev_points(fitting_origin, st.width, st.spec_coef, st.log_coef, ncheb, u, fitted[0],
                    fitted[1], count);
      for (int w = 0; w < 2; ++w) {
        if (!(spread[w] > 0.0)) continue;
        for (Integer j = 0; j < count; ++j)
          worst[w].consider(half_fitted(tables[w], exponents[w], r_at[j]), fitted[w][j], spread[w],
                            r_at[j]);
      }
    }
  }
  st.spec_miss[k - 1] = worst[0].found;
  st.log_miss[k - 1] = worst[1].found;
}

// The findings of sample k (measure_sample) and its coefficient
// (correlate_sample), with the curves' largest magnitudes (largest_magnitude
// of st.g and st.h) taken once for both.
unsigned findings(RunState& st, const Tables& tab, Integer k, Real g_largest,
                  Real h_largest) {
  // The window as the fits see it: the record at abscissa x lies at
  // u = x - fmin, inside when u is in [0, width].
  Integer inside = 0;
  const RecordRange range = records_inside(tab, st.fmin, st.width);
  for (Integer r = range.first; r < range.last; ++r) {
    const Real u = tab.x[r] - st.fmin;
    if (u >= 0.0 && u <= st.width) ++inside;
  }
  st.window_records[k - 1] = inside;
  if (!window_ascends(st.fmin, st.fmax)) return kWindowNotAscending;

  unsigned bits = 0;
  if (tab.span) {
    if (tab.lowest - st.fmin > 0.0) bits |= kWindowBelowRecords;
    if (tab.highest - st.fmin < st.width) bits |= kWindowAboveRecords;
  }
  if (inside < 3) bits |= kFewRecords;
  const CurveFinding spec_curve = curve_finding(g_largest, st.spec_coef);
  const CurveFinding log_curve = curve_finding(h_largest, st.log_coef);
  if (spec_curve == kNoVariation) bits |= kSpecNoVariation;
  if (log_curve == kNoVariation) bits |= kLogNoVariation;
  if (spec_curve == kNotFinite) bits |= kSpecNotFinite;
  if (log_curve == kNotFinite) bits |= kLogNotFinite;
  if (spec_curve == kCurveSound || log_curve == kCurveSound) {
    fit_misses(st, tab, k);
    if (spec_curve == kCurveSound && st.spec_miss[k - 1].share > kMissedShare)
      bits |= kSpecFitMisses;
    if (log_curve == kCurveSound && st.log_miss[k - 1].share > kMissedShare)
      bits |= kLogFitMisses;
  }
  return bits;
}

void correlate(RunState& st, Integer k, Real g_largest, Real h_largest) {
  static constexpr Integer n = kCurvePoints;
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
  // The quotient lies in [-1, 1] but for rounding, which can carry it a few
  // units in the last place beyond: a coefficient is never more than 1.
  const Real coefficient = cross / std::sqrt(spec_power * log_power);
  cc_diagonal(st, k) = coefficient > 1.0 ? 1.0 : coefficient < -1.0 ? -1.0 : coefficient;
}

} // namespace

void correlate_sample(RunState& st, Integer k) {
  correlate(st, k, largest_magnitude(st.g), largest_magnitude(st.h));
}

void measure_sample(RunState& st, bool whole_row) {
  measure_sample(st, run_tables(st), whole_row);
}

void measure_sample(RunState& st, const Tables& tab, bool whole_row) {
  const Integer k = st.sample_count + 1;
  st.width = st.fmax - st.fmin;
  build_curves(st, tab, whole_row);
  const Real g_largest = largest_magnitude(st.g);
  const Real h_largest = largest_magnitude(st.h);
  st.spec_miss[k - 1] = st.log_miss[k - 1] = FitMiss{0, 0.0};
  st.sample_warnings[k - 1] = findings(st, tab, k, g_largest, h_largest) | st.table_warnings |
                              (st.bounds_skipped_line[k - 1] != 0 ? kBoundsLineSkipped : 0u);
  correlate(st, k, g_largest, h_largest);
  // A curve of rounding noise or of values that are not finite has no
  // direction to agree with: the coefficient is undefined.
  if ((st.sample_warnings[k - 1] & kUndefinedCoefficient) != 0)
    cc_diagonal(st, k) = std::numeric_limits<Real>::quiet_NaN();
}

} // namespace tamsel
