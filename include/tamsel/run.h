// SPDX-License-Identifier: BSD-3-Clause
// The correlation run as a library (tamsel::run, libtamsel_run): the run of
// the tamsel command in a directory, and the same measurement over tables
// given as arrays of any length.
//
// Every call has a state of its own and names files relative to its
// directory, never the process's working directory, which it leaves alone:
// any number of calls may go on at once from different threads, each with
// the bits of a call alone.  Nothing is written on standard output or
// standard error.
#pragma once

#include <atomic>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <tamsel/numeric/types.h>

namespace tamsel {

// One sample of a run, or one window of correlate_windows.
struct SampleResult {
  std::string name; // as samples.lst holds it, its bytes; empty for a window
  Real fmin, fmax;  // the window
  // The normalised zero-lag cross-correlation of the two curves, in
  // [-1, 1] (the report prints it to 4 decimals); NaN where the warnings
  // leave it undefined.
  Real coefficient;
  // The table records inside the window, as the fits place them.
  long records;
  // The keys of what keeps the coefficient from measuring how the curves
  // agree ("few-records", "spec-fit-misses-records", ...), in the order of
  // the results table, the findings about the tables included.
  std::vector<std::string> warnings;
};

struct RunResult {
  std::vector<SampleResult> samples; // in list order, or one per window
  // The keys of the findings about the tables, which every sample's
  // warnings hold too ("records-not-read", "abscissa-not-rising", ...).
  std::vector<std::string> table_findings;
  // The warnings, each a line as the command writes it on standard error,
  // naming files as the directory names them ("tamsel: corrspec.in:3:
  // warning: ..."); empty for correlate_windows.
  std::string messages;
};

// A run that stopped where the command stops: what() is the message the
// command writes on standard error (without its line end), status() the
// command's exit status (1 for its own stops, 2 for input and output
// failures and limits), messages() the warnings written before the stop.
class RunError : public std::runtime_error {
public:
  RunError(int status, const std::string& message, std::string messages = {})
      : std::runtime_error(message), status_(status), messages_(std::move(messages)) {}
  int status() const noexcept { return status_; }
  const std::string& messages() const noexcept { return messages_; }

private:
  int status_;
  std::string messages_;
};

struct RunOptions {
  // The results table's file, as the command's --results FILE, named
  // relative to the directory; null for none.
  const char* results = nullptr;
  // False as the command's --no-reports: no report file is checked,
  // opened or written.  Only with `results`.
  bool reports = true;
  // Set to true from another thread, the run stops at its next step (after
  // the read or the sample at hand; a read blocked on a pipe waits for its
  // writer first) with RunError "tamsel: the run was cancelled", status 2,
  // and writes nothing after that.
  const std::atomic<bool>* cancel = nullptr;
};

// The command's run in the directory `path` (or the directory open on the
// descriptor `directory`, which stays open): reads samples.lst, corrspec.in
// and corrlog.in there, and writes the report files (and the results
// table) under the command's file rules, byte for byte as the command.
// Throws RunError where the command stops, std::system_error when `path`
// cannot be opened as a directory, std::invalid_argument for options the
// command refuses (reports false without results).
RunResult run_directory(const char* path, const RunOptions& options = {});
RunResult run_directory(int directory, const RunOptions& options = {});

// The run's measurement of windows fmin[w]..fmax[w] over tables given as
// arrays: the records (x[i], spec[i], log[i]), any number of them with
// abscissae in any ascending range; no file is read or written.
//
// Tables the run could read (at most 128 records, no finite abscissa
// outside [0, 1]) are completed as the run completes its own, with a point
// (0, 0, 0) before the records and the closing point at abscissa 1 holding
// the last record's values, and give the run's bits for every window.
// Other tables are the records alone: a window must lie inside them
// [x[0], x[n-1]], or its fits read zeros beyond them and it is warned of
// ("window-below-records", "window-above-records").  A window inside the
// records gives the same bits either way: only the records around the fits'
// nodes enter.  The time a window takes grows with the records inside it,
// and with the logarithm of the others on ascending abscissae.
// Abscissae that are not finite or do not rise are found as the run finds
// them in its files ("abscissa-not-finite", "abscissa-not-rising", in
// table_findings and every window's warnings).
// Throws std::invalid_argument when x, spec and log differ in length or
// fmin and fmax do, RunError where the run stops (a window whose curve
// points leave its fitting interval).
RunResult correlate_windows(std::span<const Real> x, std::span<const Real> spec,
                            std::span<const Real> log, std::span<const Real> fmin,
                            std::span<const Real> fmax);

} // namespace tamsel
