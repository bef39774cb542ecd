// SPDX-License-Identifier: BSD-3-Clause
// The sample curves: both tables fitted over the sample's window with a
// 15-term Chebyshev series, each fit's mean over the window removed, and both
// sampled at 128 points from the window's lower end to its upper end; and
// their correlation.
#pragma once

#include "driver/state.h"

namespace tamsel {

// The tables a sample's fits read: entries 0..npts of x, s and l, the
// records at 1..npts-1 and the closing point at npts; fit_s and fit_l, work
// space of npts + 1 entries each for the tables scaled by a power of two;
// whether x never descends (the fits then search it by bisection); and the
// lowest and highest finite abscissae of the records (span false when none
// is finite).  The run's own are its state's arrays (run_tables); a caller
// with records of its own may give tables of any length.
struct Tables {
  const Real* x;
  const Real* s;
  const Real* l;
  Real* fit_s;
  Real* fit_l;
  Integer npts;
  bool ascending;
  bool span;
  Real lowest, highest;
};

// The tables over entries 0..npts of x, s and l, with fit_s and fit_l as
// their work space, x ascending or not; the records' span found here.
Tables make_tables(const Real* x, const Real* s, const Real* l, Real* fit_s, Real* fit_l,
                   Integer npts, bool ascending);

// The run's tables: st.x, st.s, st.l, st.npts and st.x_ascending, as
// load_tables leaves them.
Tables run_tables(RunState& st);

// The records r of 1..npts-1 inside the window that starts at fmin and is
// `width` wide, as the fits place them (u = x[r] - fmin in [0, width]):
// every such record lies in [first, last), which on an ascending table
// holds them alone.
struct RecordRange {
  Integer first, last;
};
RecordRange records_inside(const Tables& t, Real fmin, Real width);

// Builds the curves of the sample in row k = st.sample_count + 1 of
// st.agem (spec curve, fmin in column 0) and st.xlgrm (log curve, fmax in
// column 0), from the tables, st.npts, st.fmin and st.width; the two
// curves also go to st.g and st.h, where the correlation takes them.  The
// fitting variable u runs over [0, width]; the table abscissa at u is
// fmin + u.  An ascending table (st.x_ascending) is searched by bisection.
// When the largest finite magnitude of the entries of a table that the
// fits read (the two ends of the interval of each of chebft's nodes) lies
// outside [2^-256, 2^256], the tables are fitted divided by powers of two,
// st.spec_exponent and st.log_exponent (table_exponents in curves.cpp): a
// power of two rounds nothing, so the results are those of the tables as
// they are wherever these fit without overflow or underflow, tables of any
// finite size are fitted, two tables scaled alike by a power of two give
// the same coefficient, and an entry no node reads changes nothing.  The
// coefficients and st.g or st.h then stay scaled; the means and the rows
// of agem and xlgrm are scaled back.
// Throws chebev's tamsel::DomainError, "ERROR(CHEBEV): x not in range .",
// when a reversed window puts the last curve point outside the fitting
// interval.
// With `whole_row` false, only column 0 of the row is written (fmin and
// fmax), for a run that reads nothing else of the rows: the curves' 256
// stores lie a stride of kMatrixRows apart, all in a few sets of the data
// cache, and cost a good part of a sample's time.
void build_curves(RunState& st, bool whole_row = true);
// The same over tables `t` in place of the state's own.
void build_curves(RunState& st, const Tables& t, bool whole_row);

// The lowest and highest finite abscissae of the records x[1..npts-1];
// false, leaving both unchanged, when there is none.
bool records_span(const Real* x, Integer npts, Real& lowest, Real& highest);
inline bool records_span(const RunState& st, Real& lowest, Real& highest) {
  return records_span(st.x, st.npts, lowest, highest);
}

// Everything the run computes for the sample in row k = st.sample_count + 1
// from st.fmin, st.fmax and the tables: st.width, the curves
// (build_curves), the findings and the coefficient (correlate_sample), NaN
// when the findings leave it undefined.  Does not count the sample.
// `whole_row` as for build_curves.
//
// The findings, into st.sample_warnings[k - 1] as SampleWarning bits
// (driver/warnings.h), are what keeps the coefficient from measuring
// agreement; st.window_records[k - 1] is set with them.  A window that does
// not ascend gets kWindowNotAscending alone.  Otherwise a fit misses its
// records when one inside the window lies farther from it than a quarter of
// their spread (kSpecFitMisses, kLogFitMisses; the record in st.spec_miss
// and st.log_miss); and a curve holds no
// variation when its largest magnitude is at most 2^-40 of its fit's size,
// the sum of the magnitudes of its Chebyshev terms; see curves.cpp for why.
void measure_sample(RunState& st, bool whole_row = true);
// The same over tables `t` in place of the state's own: the time a window
// takes grows with the records inside it and, on an ascending table, only
// with the logarithm of the others.
void measure_sample(RunState& st, const Tables& t, bool whole_row);

// Correlates the two curves of sample k, as build_curves leaves them in st.g
// and st.h (the values it stores in row k of agem and xlgrm, columns
// 1..128, with whole_row, unless it fitted a table scaled by a power of
// two), and
// stores their normalised zero-lag cross-correlation, the sum of g*h over
// the square root of the product of the sums of g*g and h*h, in cc(k, k).
// The coefficient does not depend on the units of either curve and is never
// infinite: it lies in [-1, 1] (a quotient rounded beyond is +-1), or is
// NaN when a curve is zero throughout or not finite.  When both curves'
// largest magnitudes lie in [1e-50, 1e50] and within a factor 1e6 of each
// other, the three lag-0 correlations and the quotient are formed on the
// curves as they are.
// Otherwise st.g and st.h are first each scaled by a power of two that
// brings their largest magnitude into [1, 2), which rounds nothing but
// values far below the curve's peak, and are left scaled.
void correlate_sample(RunState& st, Integer k);

// Whether the window [fmin, fmax] ascends.  A window that does not (fmin
// above or equal to fmax, or a NaN bound) puts all curve points but the
// first on one abscissa, or gives curves that are not numbers, so its
// coefficient does not measure how the curves agree.
inline bool window_ascends(Real fmin, Real fmax) { return fmin < fmax; }

} // namespace tamsel
