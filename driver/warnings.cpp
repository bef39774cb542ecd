// SPDX-License-Identifier: BSD-3-Clause
#include "driver/warnings.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "driver/curves.h"

namespace tamsel {

const char* sample_warning_key(SampleWarning warning) {
  switch (warning) {
  case kWindowNotAscending: return "window-not-ascending";
  case kWindowBelowRecords: return "window-below-records";
  case kWindowAboveRecords: return "window-above-records";
  case kFewRecords: return "few-records";
  case kSpecNoVariation: return "spec-no-variation";
  case kLogNoVariation: return "log-no-variation";
  case kSpecNotFinite: return "spec-not-finite";
  case kLogNotFinite: return "log-not-finite";
  }
  return nullptr;
}

void shortest_from(Real value, int least, char* text) {
  // to_chars and from_chars are printf's "%.*g" and strtod in the C locale,
  // whatever locale the process has set (the Python module's may write a
  // decimal comma).
  for (int digits = least; digits <= 17; ++digits) {
    char* end = std::to_chars(text, text + 31, value, std::chars_format::general, digits).ptr;
    *end = '\0';
    // A NaN never compares equal and is written the same at every precision.
    Real back = 0.0;
    if (std::from_chars(text, end, back).ec == std::errc() && back == value) return;
  }
}

void shortest(Real value, char* text) {
  // At least as many digits as the integer part holds, so that 160 is not
  // written 1.6e+02.
  const Real magnitude = std::fabs(value);
  int digits = 1;
  while (digits < 17 && magnitude >= std::pow(10.0, digits) && std::isfinite(magnitude)) ++digits;
  shortest_from(value, digits, text);
}

void describe_sample_warning(const RunState& st, Integer k, SampleWarning warning, char* text,
                             std::size_t size) {
  char lo[32], hi[32];
  Real first = 0.0, last = 0.0;
  records_span(st, first, last);
  shortest(first, lo);
  shortest(last, hi);
  const Integer inside = st.window_records[k - 1];
  switch (warning) {
  case kWindowNotAscending:
    std::snprintf(text, size,
                  "fmin is not below fmax, so its coefficient does not measure agreement");
    return;
  case kWindowBelowRecords:
    std::snprintf(text, size,
                  "the window reaches below the records, which span %s to %s, so the fits see "
                  "the straight piece from (0, 0) there, and zeros below 0",
                  lo, hi);
    return;
  case kWindowAboveRecords:
    std::snprintf(text, size,
                  "the window reaches above the records, which span %s to %s, so the fits see "
                  "the last value held to 1 there, and zeros past 1",
                  lo, hi);
    return;
  case kFewRecords:
    if (inside == 0)
      std::snprintf(text, size,
                    "no record lies inside the window, so each curve is a straight piece or two");
    else
      std::snprintf(text, size,
                    "only %d record%s inside the window, so each curve is a few straight pieces",
                    inside, inside == 1 ? " lies" : "s lie");
    return;
  case kSpecNoVariation:
  case kLogNoVariation:
    std::snprintf(text, size,
                  "the %s curve holds no variation above the rounding of its values, so the "
                  "coefficient is undefined (NaN)",
                  warning == kSpecNoVariation ? "spec" : "log");
    return;
  case kSpecNotFinite:
  case kLogNotFinite:
    std::snprintf(
        text, size,
        "the %s curve holds values that are not finite, so the coefficient is undefined (NaN)",
        warning == kSpecNotFinite ? "spec" : "log");
    return;
  }
  text[0] = '\0';
}

void write_sample_warnings(std::FILE* out, const RunState& st, Integer k, const char* list,
                           long line, const char* shown_name) {
  const unsigned bits = st.sample_warnings[k - 1];
  for (const SampleWarning warning : kSampleWarnings) {
    if ((bits & warning) == 0) continue;
    char text[256];
    describe_sample_warning(st, k, warning, text, sizeof text);
    std::fprintf(out, "tamsel: %s:%ld: warning: sample %s: %s\n", list, line, shown_name, text);
  }
}

} // namespace tamsel
