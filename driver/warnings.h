// SPDX-License-Identifier: BSD-3-Clause
// What the run finds about a sample's data that keeps its coefficient from
// measuring how the curves agree: one bit per reason, ORed into
// RunState::sample_warnings, each with a short key that tools print.
#pragma once

namespace tamsel {

enum SampleWarning : unsigned {
  kWindowNotAscending = 1u << 0, // fmin is not below fmax
  kWindowBelowRecords = 1u << 1, // the window reaches below the first record
  kWindowAboveRecords = 1u << 2, // the window reaches above the last record
  kFewRecords = 1u << 3,         // fewer than 3 records inside the window
  kSpecNoVariation = 1u << 4,    // the spec curve holds nothing above rounding
  kLogNoVariation = 1u << 5,     // the log curve holds nothing above rounding
  kSpecNotFinite = 1u << 6,      // the spec curve holds values that are not finite
  kLogNotFinite = 1u << 7,       // the log curve holds values that are not finite
};

// The stable key of one bit ("window-not-ascending", "few-records", ...);
// null for a value that is not a single known bit.
const char* sample_warning_key(SampleWarning warning);

} // namespace tamsel
