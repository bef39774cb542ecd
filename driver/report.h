// SPDX-License-Identifier: BSD-3-Clause
// The report stream and the correlation report.
//
// The report stream is opened once per sample on the sample's report file:
// the file is created when absent and is not cut on opening, so a file that
// receives no line keeps its contents.  At the end of the list the report
// becomes the whole content of the file opened last: a regular file is
// replaced only once the report is written in full (driver/files.h), a
// device or FIFO is written directly.
#pragma once

#include <cstddef>
#include <fcntl.h>

#include "driver/state.h"

namespace tamsel {

struct ReportStream {
  int fd;                      // open descriptor, or -1
  char path[kNameWidth + 1];   // the file name, trailing blanks removed
  // Set for a tool that writes no report: opening only checks that the
  // file could be created or opened, and leaves it as it is (fd stays -1).
  bool check_only = false;
  int dir = AT_FDCWD; // the directory the path is relative to
};

// The file name of a 50-character report name: the name with its trailing
// blanks removed, in path[0..50].
void report_path(const char* report_name, char* path);

// Connects the stream to the file named by a 50-character report name with
// its trailing blanks removed, in the directory `dir` (a descriptor, or
// AT_FDCWD), first closing the file it was connected to.
// Stops with an input/output error naming the file when it cannot be
// created or opened for writing, or is a FIFO that no process reads (with
// check_only: when it could not be).
void open_report(ReportStream& rs, int dir, const char* report_name);

// As open_report, with the file already open for writing on `fd`, which the
// stream takes over.
void adopt_report(ReportStream& rs, int dir, const char* report_name, int fd);

// Whether bytes[0..length-1], the start of a file, begin a report as
// write_report writes it: a 50-character name line that starts with no
// blank, an empty line and the coefficient's label.
bool is_report_head(const char* bytes, std::size_t length);

// Closes the file, if any.  Never stops.
void close_report(ReportStream& rs);

// The 7-character number field of the report: fixed point with 4 decimals,
// rounded to nearest on the exact binary value, right-aligned, with a zero
// before the point when it fits and the sign kept for negative values that
// round to zero.  Values that need more room give 7 asterisks; NaN gives
// "    NaN" whatever its sign bit; infinities give "    Inf" and "   -Inf".
// Writes 7 characters and a terminating NUL to field.
void format_field(Real value, char* field);

// Writes the five-line block of every sample 1..st.sample_count (name line,
// empty line, coefficient, fmin, fmax) as the whole content of the report
// stream's file, and closes the stream; the text is made in
// st.report_text first.  Stops with an input/output error naming the file
// when the report cannot be written in full; a regular file then keeps its
// old bytes.
void write_report(RunState& st, ReportStream& rs);

} // namespace tamsel
