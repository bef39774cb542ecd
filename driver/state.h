// SPDX-License-Identifier: BSD-3-Clause
// The storage of one run.  The run owns every table and matrix for its whole
// length; they are zeroed once at its start and never cleared again.
#pragma once

#include <tamsel/numeric/types.h>

namespace tamsel {

inline constexpr int kNameWidth = 50;     // characters of a name field
inline constexpr Integer kMaxSamples = 100; // rows of the coefficient table
inline constexpr Integer kMaxRecords = 128; // records read from each table file
inline constexpr Integer kTableLast = 129;  // tables hold entries 0..129
inline constexpr Integer kCurvePoints = 128;
inline constexpr Integer kMatrixRows = 128;
inline constexpr Integer kCoefficients = 100; // size of each coefficient array
inline constexpr Integer ncheb = 15;          // Chebyshev terms used
inline constexpr Real fitting_origin = 0.0;
// The longest block of one sample in the report: the 50-character name
// line, an empty line and three labelled lines of 26 characters, each
// with its line feed.
inline constexpr int kReportBlock = (kNameWidth + 1) + 1 + 3 * (19 + 7 + 1);
inline constexpr int kStreamBuffer = 4096; // bytes of an input stream's buffer

// Where a read of numbers found them: the line of the first number, and
// the line of the last one when the rest of that line, which the read
// skips, held anything but separators (0 when it did not).
struct ReadPlace {
  long line;
  long skipped_line;
};

// The record inside a sample's window that one of its fits misses most
// (measure_sample): its entry in the tables (0 when the fit follows every
// record within the margin) and the miss as a share of the spread of the
// records' values inside the window.
struct FitMiss {
  Integer record;
  Real share;
};

struct RunState {
  // Sample phase.
  char sample_name[kNameWidth];
  Integer name_length;
  char report_name[kNameWidth];
  Real fmin, fmax, width;
  Integer sample_count;
  // The name of every sample taken so far, in list order, with its length:
  // entry k - 1 belongs to sample k.  Tools label their output with them.
  char sample_names[kMaxSamples][kNameWidth];
  Integer name_lengths[kMaxSamples];

  // Curve tables, entries 0..kTableLast; npts is the index of the closing point.
  Real x[kTableLast + 1];
  Real s[kTableLast + 1];
  Real l[kTableLast + 1];
  Integer npts;
  // The findings about the tables as read (driver/warnings.h, the bits of
  // kTableWarnings), which every sample's bits carry too.
  unsigned table_warnings;
  // Whether x[0..npts] never descends, so that the fits may find their
  // intervals by bisection (favr_ascending) with favr's very values.
  bool x_ascending;

  // Curve building scratch.  fit_s and fit_l hold the spec and log tables
  // scaled by a power of two when their values are too large or too small
  // to be fitted as they are (entries 0..npts).
  Real fit_s[kTableLast + 1];
  Real fit_l[kTableLast + 1];
  int spec_exponent, log_exponent; // the powers of two of fit_s and fit_l
  Real spec_coef[kCoefficients];
  Real log_coef[kCoefficients];
  Real int_coef[kCoefficients];
  Real spec_mean, log_mean;
  Real points[kCurvePoints];

  // agem and xlgrm: kMatrixRows rows by columns 0..kCurvePoints, stored
  // column by column (the sample index varies fastest).
  Real agem[(kCurvePoints + 1) * kMatrixRows];
  Real xlgrm[(kCurvePoints + 1) * kMatrixRows];

  // Report phase: cc is kMaxSamples by kMaxSamples, of which the run
  // writes and reads the diagonal alone (cc_diagonal); only the diagonal is
  // stored, so that a run touches one page of it rather than twenty.
  Real cc[kMaxSamples];
  // Entry k - 1: the SampleWarning bits of sample k (driver/warnings.h), ORed,
  // and the number of table records whose abscissa lies inside [fmin, fmax]
  // as the fits see it.
  unsigned sample_warnings[kMaxSamples];
  Integer window_records[kMaxSamples];
  // Entry k - 1: what each fit of sample k misses most, and the line of
  // sample k's bounds in the list when the rest of that line held more
  // numbers (0 when it did not).
  FitMiss spec_miss[kMaxSamples], log_miss[kMaxSamples];
  long bounds_skipped_line[kMaxSamples];
  Real g[kCurvePoints], h[kCurvePoints];
  // Work space of the three correlations; only their lag 0 is formed.
  Real cross_result[2 * kCurvePoints];
  Real spec_result[2 * kCurvePoints];
  Real log_result[2 * kCurvePoints];

  // The files' work space, kept in the state, whose pages a run maps in one
  // go (driver/run.cpp), rather than in pages of its own: where the records
  // of both tables stood, and the log table's own abscissae, for the
  // warnings about the tables (entries 1..kMaxRecords); the report's text,
  // made whole before it replaces the report file; the buffers of the
  // sample list's and the two tables' streams while they are open.
  ReadPlace spec_places[kMaxRecords + 1];
  ReadPlace log_places[kMaxRecords + 1];
  Real log_x[kMaxRecords + 1];
  char report_text[kMaxSamples * kReportBlock];
  char list_buffer[kStreamBuffer];
  char spec_buffer[kStreamBuffer];
  char log_buffer[kStreamBuffer];
};

// Element (k, j) of agem or xlgrm: row k = 1..kMatrixRows, column j = 0..kCurvePoints.
inline Real& matrix_at(Real* matrix, Integer k, Integer j) {
  return matrix[j * kMatrixRows + (k - 1)];
}
inline const Real& matrix_at(const Real* matrix, Integer k, Integer j) {
  return matrix[j * kMatrixRows + (k - 1)];
}

// Element (k, k) of cc, k = 1..kMaxSamples.
inline Real& cc_diagonal(RunState& st, Integer k) { return st.cc[k - 1]; }
inline const Real& cc_diagonal(const RunState& st, Integer k) { return st.cc[k - 1]; }

} // namespace tamsel
