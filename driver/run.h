// The correlation run: the program's whole job, from the sample list to the
// report.
#pragma once

#include <cstdio>

#include "driver/report.h"
#include "driver/state.h"

namespace tamsel {

// Runs the program in the working directory, writing the console lines to
// `console`.  Returns after a normal run; every failure throws Stop (the
// program's own stop messages with kStopStatus, input/output failures and
// the sample limit with kInputStatus), with every file it opened closed.
// The run's storage is `st`, zeroed at the start.
void run(RunState& st, std::FILE* console);

// The sample phase of a run, for tools that use the curves without writing
// the report: zeroes `st`, reads the sample list and, for every sample,
// prints the two console lines to `console` (unless it is null), opens the
// sample's report file on `report` (unless it is null), loads the tables and
// builds the curves; the sample's name goes to st.sample_names.  On return
// st.sample_count samples are built; the list is closed.  Stops as run()
// does; the caller closes `report`.
// `after_sample`, unless null, is called once per sample when its curves are
// built and counted (its row is st.sample_count), for tools that need what
// the next sample overwrites (the name, npts, the two means).
using SampleHook = void (*)(const RunState& st);
void sample_phase(RunState& st, std::FILE* console, ReportStream* report,
                  SampleHook after_sample = nullptr);

// The run without its report, for tools that show the results another way:
// the sample phase with no report file opened, then the coefficient of every
// sample in cc(k, k).  The names of the samples are in st.sample_names.
// Stops as run() does on the same input (no report file is opened, so none
// can fail to open) and writes no file.
void run_samples_and_correlate(RunState& st, std::FILE* console);

// The storage of the program's run: large, static, owned by the driver.
RunState& run_state();

} // namespace tamsel
