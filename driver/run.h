// SPDX-License-Identifier: BSD-3-Clause
// The correlation run: the program's whole job, from the sample list to the
// report.
#pragma once

#include <atomic>
#include <cstdio>

#include "driver/report.h"
#include "driver/state.h"

namespace tamsel {

// Runs the program in the directory `dir` (a descriptor of it, or AT_FDCWD
// for the working directory), writing the console lines to `console` and
// the warnings to `warnings`.  Every file is opened relative to `dir`, and
// messages name files as they are named there; the process's working
// directory is not used, so that runs with their own states and
// directories may go on at once in one process.  Returns after a normal run;
// every failure throws Stop (the program's own stop messages with
// kStopStatus, input/output failures and the sample limit with
// kInputStatus), or the toolkit's refusal (a reversed window's, from
// chebev: tamsel::DomainError), which the entry points stop with as
// kStopStatus (stop_on_refusal, driver/stop.h), with every file it opened
// closed.  The console is flushed
// and checked before the report replaces anything: a console that cannot
// be written stops the run with kInputStatus.  The run's storage is `st`,
// zeroed at the start; of the rows of agem and xlgrm the run writes only
// column 0 (sample_phase's whole_rows).
// With `results` set, the results table (driver/results.h) goes to that
// file, checked before anything is read, or to the console after its lines
// for "-"; it is written just before the report, so that a run stopped
// before then leaves both as they were.  With `reports` false (only with
// `results`) no report file is checked, opened or written.
void run(RunState& st, int dir, std::FILE* console, std::FILE* warnings = stderr,
         const char* results = nullptr, bool reports = true);

// While a CancelScope lives, the runs and sample phases of the thread that
// made it stop at their next step, with kInputStatus and "tamsel: the run
// was cancelled", once `flag` is set, and write nothing after: they look
// before every sample, after reading the tables and before writing the
// results table and the report.  A step blocked in a read (a pipe that
// waits for its writer) ends first.  Scopes nest; the innermost counts.
class CancelScope {
public:
  explicit CancelScope(const std::atomic<bool>* flag);
  ~CancelScope();
  CancelScope(const CancelScope&) = delete;
  CancelScope& operator=(const CancelScope&) = delete;

private:
  const std::atomic<bool>* outer_;
};

// The sample phase's copy, for one sample, of what the run computed for it
// that the next sample overwrites in the run state: npts, the means of the
// two fits, the curve points u at which both fits were sampled (the
// abscissa of point i is fmin + u[i]), and the fits themselves: fmin and
// the width of the fitting interval [0, width] of u, and each fit's ncheb
// Chebyshev coefficients, of the table divided by 2^exponent
// (st.spec_exponent, st.log_exponent).
struct KeptSample {
  Integer npts;
  Real spec_mean, log_mean;
  Real points[kCurvePoints];
  Real fmin, width;
  Real spec_coef[ncheb], log_coef[ncheb];
  int spec_exponent, log_exponent;
};

// The sample phase of a run in the directory `dir` (as run() takes it), for
// tools that use the curves and coefficients without writing the report:
// zeroes `st`, reads the sample list and, for every sample, prints the two
// console lines to `console` (unless it is null), opens the sample's report
// file on `report` (unless it is null), loads the tables, builds the curves
// and correlates them into cc(k, k) while they are at hand; the sample's
// name goes to st.sample_names.  On
// `warnings` (unless it is null) go the warnings about the tables, once,
// when they are loaded, and each sample's warnings (driver/warnings.h), one
// line per finding once its curves are built, naming the list's line of
// the sample's name; the console is flushed first, so that both keep their
// order.  On return st.sample_count samples
// are built; the list is closed.  Stops as run() does; the caller closes
// `report`.  With `report` null no file is opened, so none can fail to
// open, and no file is written.
// With `report` set (check_only or not), a sample whose report file would
// lie outside the working directory (an absolute path, a ".." component),
// is one of the three input files however it is reached (identify), cannot
// be identified, or, for a name too long to keep the whole "_cross.txt"
// suffix, is an existing non-empty file that does not begin as a report
// (is_report_head) stops the run with kInputStatus and a message naming
// the list's line, before its console lines are printed.
// `kept`, unless null, receives in kept[k - 1] (kMaxSamples entries) what
// sample k leaves that the next sample overwrites, once its curves are
// built, for tools that need it.
// With `whole_rows` false, each sample's row of agem and xlgrm gets only
// column 0, the window's bounds, as the run itself reads nothing else of
// the rows (build_curves).
void sample_phase(RunState& st, int dir, std::FILE* console, ReportStream* report,
                  KeptSample* kept = nullptr, std::FILE* warnings = nullptr,
                  bool whole_rows = true);

// The input file of the run in `dir` (samples.lst, corrspec.in or
// corrlog.in) that `path` names there, however it is reached (same_file),
// or null.
const char* input_file_at(int dir, const char* path);

// The storage of the programs' run: large, static, owned by the driver, for
// one run at a time.  Its first run or sample phase takes it as zero, as the
// program started it, without zeroing it again: nothing may write to it
// before then.  Other callers, and runs at the same time, each take a
// RunState of their own.
RunState& run_state();

} // namespace tamsel
