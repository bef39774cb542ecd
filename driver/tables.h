// SPDX-License-Identifier: BSD-3-Clause
// The curve tables: the abscissa and spec tables from corrspec.in and the
// log table from corrlog.in, ended by a closing point at abscissa 1.0.
#pragma once

#include <cstdio>

#include "driver/state.h"

namespace tamsel {

inline constexpr const char* kSpecFile = "corrspec.in";
inline constexpr const char* kLogFile = "corrlog.in";

// Reads up to kMaxRecords records from the two files (in the directory
// `dir`: a descriptor, or AT_FDCWD) in step, log record first, into st.x,
// st.s and st.l (entries 1..npts-1), sets st.npts and
// writes the closing point at entry npts.  Records after the 128th are not
// read; 128 complete records give npts = 129.  Entry 0 is never written.
// Sets st.x_ascending from the abscissae as read.
// Stops with an input error naming the file when one cannot be opened or
// holds a field that is not a number.
// With `warnings` set, writes there one line per finding about the tables
// that the run reads without complaint, each naming the file and the first
// line concerned: records past the 128th, files of unequal record counts
// (what follows the records used is counted, never read as numbers, so it
// stops nothing), numbers skipped at the end of a record's line, abscissae
// that are not finite, lie outside [0, 1] or do not rise above the one
// before, and log abscissae that differ from the spec ones.  The same
// findings, as kTableWarnings bits (driver/warnings.h), go to
// st.table_warnings whether or not they are written.
void load_tables(RunState& st, int dir, std::FILE* warnings = nullptr);

// The findings about records x[1..records] given by a caller rather than
// read by load_tables, whose abscissae may lie in any range: abscissae that
// are not finite or do not rise, as kTableWarnings bits.
unsigned array_table_warnings(const Real* x, Integer records);

} // namespace tamsel
