// SPDX-License-Identifier: BSD-3-Clause
// What the run finds about a sample's data that keeps its coefficient from
// measuring how the curves agree: one bit per reason, ORed into
// RunState::sample_warnings, each with a short key that tools print and a
// sentence that the warnings and the picture show.
#pragma once

#include <cstddef>
#include <cstdio>

#include "driver/state.h"

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
  kSpecFitMisses = 1u << 8,      // the spec fit misses a record inside the window
  kLogFitMisses = 1u << 9,       // the log fit misses a record inside the window
  kBoundsLineSkipped = 1u << 10, // the bounds' line held more numbers, not read
  // Findings about the tables, which every sample reads: written once, when
  // the tables are read (load_tables), and set in every sample's bits.
  kRecordsNotRead = 1u << 16,     // a file holds records past the 128th
  kRecordCountsDiffer = 1u << 17, // the two files hold unequal numbers of records
  kTableLineSkipped = 1u << 18,   // a record's line held more numbers, not read
  kAbscissaNotFinite = 1u << 19,  // an abscissa is not finite
  kAbscissaOutside = 1u << 20,    // an abscissa lies outside [0, 1]
  kAbscissaNotRising = 1u << 21,  // an abscissa does not rise above the one before
  kLogAbscissaDiffers = 1u << 22, // a log abscissa differs from the spec one
};

// Every bit, in the order the warnings are written and their keys listed.
inline constexpr SampleWarning kSampleWarnings[] = {
    kBoundsLineSkipped, kWindowNotAscending, kWindowBelowRecords, kWindowAboveRecords,
    kFewRecords,        kSpecNoVariation,    kLogNoVariation,     kSpecNotFinite,
    kLogNotFinite,      kSpecFitMisses,      kLogFitMisses,       kRecordsNotRead,
    kRecordCountsDiffer, kTableLineSkipped,  kAbscissaNotFinite,  kAbscissaOutside,
    kAbscissaNotRising, kLogAbscissaDiffers};

// The bits that leave the coefficient undefined: it is NaN.
inline constexpr unsigned kUndefinedCoefficient =
    kSpecNoVariation | kLogNoVariation | kSpecNotFinite | kLogNotFinite;

// The bits of findings about the tables: one line each when the tables are
// read, none per sample.
inline constexpr unsigned kTableWarnings = kRecordsNotRead | kRecordCountsDiffer |
                                           kTableLineSkipped | kAbscissaNotFinite |
                                           kAbscissaOutside | kAbscissaNotRising |
                                           kLogAbscissaDiffers;

// The stable key of one bit ("window-not-ascending", "few-records", ...);
// null for a value that is not a single known bit.
const char* sample_warning_key(SampleWarning warning);

// The sentence for one bit of sample k (its window, its count of records
// inside it, the records' span), without a final full stop, in text[0..size);
// empty for the bits of kTableWarnings, whose warnings load_tables writes.
void describe_sample_warning(const RunState& st, Integer k, SampleWarning warning, char* text,
                             std::size_t size);

// Writes one line per bit of sample k but the tables' bits to `out`,
// "tamsel: LIST:LINE: warning: sample NAME: SENTENCE", LINE being the line
// of the sample's name in the list (for kBoundsLineSkipped, the line of its
// bounds) and NAME the name as shown.
void write_sample_warnings(std::FILE* out, const RunState& st, Integer k, const char* list,
                           long line, const char* shown_name);

// The shortest text "%.Ng" that reads back as `value`, N being at least the
// number of digits of its integer part (160, not 1.6e+02), in text[0..32).
// Written as in the C locale, whatever locale the process has set.
void shortest(Real value, char* text);

// The same with N from `least` up; NaN as "%.17g" writes it.
void shortest_from(Real value, int least, char* text);

} // namespace tamsel
