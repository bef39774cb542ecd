// SPDX-License-Identifier: BSD-3-Clause
// The sample list, samples.lst: per sample a name line (its first 50
// characters, cut or padded with blanks) and then two numbers in free format,
// fmin and fmax.  The list ends at end of file where a name line is expected.
#pragma once

#include "driver/input.h"
#include "driver/state.h"

namespace tamsel {

inline constexpr const char* kSampleFile = "samples.lst";

// What a report file name adds to the sample's name, as far as 50
// characters leave room for it.
inline constexpr char kReportSuffix[] = "_cross.txt";
inline constexpr int kReportSuffixLength = sizeof kReportSuffix - 1;

// Length of a 50-character name: the number of characters before its first
// blank (50 when it holds none).  Only the blank separates; tabs belong to
// the name.  A name whose first character is a blank stops the run with
// "name starts with empty space".
Integer name(const char* sample_name);

// Reads the next sample record into st.sample_name, st.fmin and st.fmax,
// and into st.bounds_skipped_line of the sample the line of the second
// bound when the rest of that line, which is skipped, held more than
// separators (0 when it did not).  Returns false at end of the list.
// Stops on end of file inside a record, on a bound that is not a number,
// and on a record beyond the 100th.
bool read_sample(InputFile& list, RunState& st);

// Forms st.report_name: the first st.name_length characters of the name
// followed by "_cross.txt", cut or padded with blanks to 50 characters.
void form_report_name(RunState& st);

} // namespace tamsel
