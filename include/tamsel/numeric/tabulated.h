// SPDX-License-Identifier: BSD-3-Clause
// Piecewise-linear interpolation in a table of points.
//
// Threads: every routine here keeps no state and only reads its tables, so
// any number of threads may call them at once, on shared tables too.
//
// Accuracy: favr's value is its formula (below) with each operation
// rounded once, no more.
//
// Floating-point environment: these results need the default one.  A
// program linked with -ffast-math or -Ofast starts with subnormal numbers
// flushed to zero (and read as zero), whatever flags the toolkit was built
// with; then subnormal inputs and results become 0.
#pragma once

#include <tamsel/numeric/types.h>

namespace tamsel {

// favr: the tabulated function at the abscissa t = off + x.
//
// xtab and ytab point at entry 0 of two tables with entries 0..n:
// ytab[i] is the value at xtab[i].  Interval i (i = 1..n) is the half-open
// range (xtab[i-1], xtab[i]], open on the left and closed on the right.
// The intervals are scanned from i = 1 upwards; interval i matches when
// xtab[i] >= t and then t > xtab[i-1] (xtab[i-1] is read only when the first
// test holds).  At the first match the result is
//   ytab[i-1] + (t - xtab[i-1]) * ((ytab[i] - ytab[i-1]) / (xtab[i] - xtab[i-1])),
// the slope formed before the product.  Abscissae need not be ascending,
// distinct or finite: a repeated, descending or NaN-bordered interval never
// matches, so the divisor is always positive, and in a non-monotone table the
// first ascending interval containing t wins.
//
// n is read once.  For n <= 0 the result is 0.0 and neither table is read.
// No match (t beyond the table, t = xtab[0], t NaN) also gives 0.0.  Entries
// 0..n of both tables may be read; nothing is written.  Keeps no state.
//
// The argument order fits the function argument of chebft: four pass-through
// arguments (xtab, ytab, n, off) and the abscissa x last.
Real favr(const Real* xtab, const Real* ytab, const Integer& n, const Real& off,
          const Real& x);

// ascending_table: whether the abscissae xtab[0..n] never descend:
// xtab[i-1] <= xtab[i] for i = 1..n (so none is NaN).  True for n <= 0.
// Reads xtab[0..n]; keeps no state.
bool ascending_table(const Real* xtab, const Integer& n);

// favr_ascending: favr's value, bit for bit, for a table of which
// ascending_table holds.  There the intervals with xtab[i] >= t form a
// final run, so the first match can only be the first of them: it is found
// by bisection (about log2(n) reads of xtab) and then tested as favr tests
// it.  Same arguments, reads and arithmetic as favr; on any other table the
// result is unspecified.
Real favr_ascending(const Real* xtab, const Real* ytab, const Integer& n,
                    const Real& off, const Real& x);

} // namespace tamsel
