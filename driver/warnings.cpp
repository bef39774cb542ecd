// SPDX-License-Identifier: BSD-3-Clause
#include "driver/warnings.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "driver/curves.h"
#include "driver/tables.h"

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
  case kSpecFitMisses: return "spec-fit-misses-records";
  case kLogFitMisses: return "log-fit-misses-records";
  case kBoundsLineSkipped: return "bounds-line-skipped";
  case kRecordsNotRead: return "records-not-read";
  case kRecordCountsDiffer: return "record-counts-differ";
  case kTableLineSkipped: return "table-line-skipped";
  case kAbscissaNotFinite: return "abscissa-not-finite";
  case kAbscissaOutside: return "abscissa-outside-range";
  case kAbscissaNotRising: return "abscissa-not-rising";
  case kLogAbscissaDiffers: return "log-abscissa-differs";
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
  case kSpecFitMisses:
  case kLogFitMisses: {
    const bool spec_fit = warning == kSpecFitMisses;
    const FitMiss miss = spec_fit ? st.spec_miss[k - 1] : st.log_miss[k - 1];
    const ReadPlace* places = spec_fit ? st.spec_places : st.log_places;
    shortest(st.x[miss.record], lo);
    const Real percent = std::round(std::fmin(miss.share, 1e6) * 100.0);
    std::snprintf(text, size,
                  "the %s fit misses the record at %s (%s:%ld) by %ld%% of the spread of the "
                  "records inside the window, so the coefficient measures the fit's swings "
                  "there, not the records",
                  spec_fit ? "spec" : "log", lo, spec_fit ? kSpecFile : kLogFile,
                  places[miss.record].line, long(percent));
    return;
  }
  case kBoundsLineSkipped:
    std::snprintf(text, size,
                  "the line holds more than the two bounds fmin and fmax; the rest of the line is "
                  "skipped (a comma separates numbers: write decimals with a point)");
    return;
  // Findings about the tables are written once, as the tables are read
  // (load_tables), never for a sample.
  case kRecordsNotRead:
  case kRecordCountsDiffer:
  case kTableLineSkipped:
  case kAbscissaNotFinite:
  case kAbscissaOutside:
  case kAbscissaNotRising:
  case kLogAbscissaDiffers:
    break;
  }
  text[0] = '\0';
}

void write_sample_warnings(std::FILE* out, const RunState& st, Integer k, const char* list,
                           long line, const char* shown_name) {
  const unsigned bits = st.sample_warnings[k - 1] & ~kTableWarnings;
  for (const SampleWarning warning : kSampleWarnings) {
    if ((bits & warning) == 0) continue;
    char text[256];
    describe_sample_warning(st, k, warning, text, sizeof text);
    const long at = warning == kBoundsLineSkipped ? st.bounds_skipped_line[k - 1] : line;
    std::fprintf(out, "tamsel: %s:%ld: warning: sample %s: %s\n", list, at, shown_name, text);
  }
}

} // namespace tamsel
