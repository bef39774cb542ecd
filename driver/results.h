// SPDX-License-Identifier: BSD-3-Clause
// The results table: every sample's name, window, coefficient, records and
// warnings as tab-separated text, for programs to read.
//
// The first line is the header
//   name  fmin  fmax  coefficient  records  warnings
// (separated by tabs), then one line per sample in list order.  Numbers are
// written with the fewest digits that read back to the same double, never
// fewer than the integer part holds ("nan", "inf" and "-inf" for the
// others); records is the number of table records whose abscissa lies
// inside the window; warnings holds the keys of the sample's warnings
// (driver/warnings.h) separated by ';', empty when there are none.  In a
// name, a backslash is written as \\, a tab as \t, a line feed as \n, a
// carriage return as \r, a double quote as \" and a byte that is not part
// of a well-formed UTF-8 character as \x and two upper-case hexadecimal
// digits (\xFF), so that every name reads back exactly, the table is valid
// UTF-8 and no field starts a quoted field for a CSV reader; every other
// byte is written as it is.  Lines end with a line feed.
//
// The results file obeys the rules of the report files: it lies inside the
// working directory, is reached through no other user's symbolic link, is
// none of the input files, and replaces a regular file only once it is
// written in full (driver/files.h).  The name "-" stands for standard
// output.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <string>

#include "driver/state.h"

namespace tamsel {

// A name as the table writes it, appended to `out`: valid UTF-8 whatever
// its bytes, and no '"' that a CSV reader would take for the start of a
// quoted field (the escapes above).
void append_table_name(std::string& out, const char* name, std::size_t length);

// A number as the table writes it: the shortest text that reads back to
// the double (shortest, driver/warnings.h), "nan" for every NaN.
std::string table_number(Real value);

// The whole table for samples 1..st.sample_count.
std::string results_table(const RunState& st);

struct ResultsFile {
  const char* path;   // the name as given, or null when no table is asked for
  int fd;             // descriptor of the existing file, or -1
  int dir = AT_FDCWD; // the directory the path is relative to
};

// Checks the results file `path` (relative to the directory `dir`, a
// descriptor or AT_FDCWD) before the run reads or writes anything and opens
// it when it exists: stops with kInputStatus and a message naming the
// file when it would lie outside the working directory, is reached through
// a symbolic link of another user (foreign_link, driver/files.h), is one of
// the input files, or cannot be opened for writing (or, when it does not
// exist yet, created).  Nothing is checked for "-".
void open_results(ResultsFile& rf, int dir, const char* path);

// Closes the descriptor, if any.  Never stops.
void close_results(ResultsFile& rf);

// Writes the table of the run to the results file, or to `console` for
// "-", and closes the file.  `last_report` is the file the report goes to:
// a results file that is that very file is refused, since the report would
// replace the table.  Stops with kInputStatus and a message naming the file
// when the table cannot be written in full; a regular file then keeps its
// old bytes.
void write_results(const RunState& st, ResultsFile& rf, std::FILE* console,
                   const char* last_report);

} // namespace tamsel
