// SPDX-License-Identifier: BSD-3-Clause
// Text of the curves picture: formatted markup, XML character data from
// arbitrary bytes, the rough width of a text, numbers as the report writes
// them, and a sample's name, window and coefficient.
#pragma once

#include <cstddef>
#include <string>

#include "driver/state.h"

namespace tamsel::svg {

// Appends printf-formatted text to `out`, numbers written as in the C locale
// whatever locale the process has set.
void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends bytes as XML character data: markup characters become entities, a
// tab a blank; what the console shows as '?' (control, bidirectional and
// invisible characters, driver/display.h), the other bytes that are not
// well-formed UTF-8 and the two characters U+FFFE and U+FFFF, which XML
// does not allow, become '?'.
void append_text(std::string& out, const char* bytes, std::size_t length);

// The width of text in the sans-serif face at `size`, roughly: 0.6 em per
// character.
double text_width(const char* bytes, std::size_t length, double size);

// A number as the report's field writes it, without the field's leading
// blanks.
std::string field(Real value);

// A window bound: as in the report, or in full where the report's field
// has no room for it.
std::string bound(Real value);

// printf's "%.*f" of `value` with 0 to 20 decimals, as in the C locale.
std::string fixed(double value, int decimals);

// Appends the name of sample k as XML text, cut with an ellipsis where it
// would be wider than `room` at `size`.
void append_name(std::string& out, const RunState& st, Integer k, double room, double size);

// A window whose fmin is not below fmax (reversed, of zero width, or with a
// NaN bound): its coefficient does not measure agreement.
inline bool reversed(Real fmin, Real fmax) { return !(fmin < fmax); }

// Sample k's window and coefficient as the report writes them, the
// coefficient marked (class "warn") where it is not finite or does not
// measure agreement, and in bold otherwise.
void append_window_and_coefficient(std::string& out, const RunState& st, Integer k);

} // namespace tamsel::svg
