// SPDX-License-Identifier: BSD-3-Clause
#include "driver/tables.h"

#include <cmath>

#include <tamsel/numeric/tabulated.h>

#include "driver/input.h"
#include "driver/warnings.h"

namespace tamsel {

namespace {

struct TableFiles {
  InputFile spec_file{nullptr, kSpecFile, 0};
  InputFile log_file{nullptr, kLogFile, 0};
  ~TableFiles() {
    close_input(spec_file);
    close_input(log_file);
  }
};

// The records of one kind of finding: the first of them (0 while there is
// none) and how many there are.
struct Finding {
  Integer first = 0;
  Integer count = 0;
  void note(Integer r) {
    if (count++ == 0) first = r;
  }
};

void warn(std::FILE* out, const char* file, long line, const char* text) {
  std::fprintf(out, "tamsel: %s:%ld: warning: %s\n", file, line, text);
}

// ", as are N more records" for a finding of count records, or nothing.
void more(char* text, std::size_t size, Integer count, const char* what) {
  if (count > 1)
    std::snprintf(text, size, ", as %s %d more record%s", what, count - 1, count > 2 ? "s" : "");
  else
    text[0] = '\0';
}

// What is wrong with the abscissae of `used` records: the first of each
// kind and how many.
struct AbscissaFindings {
  Finding not_finite, outside, not_rising, log_differs;
};
// `log_x`, unless null, holds the log file's own abscissae.
AbscissaFindings abscissa_findings(const Real* xs, const Real* log_x, Integer used) {
  AbscissaFindings a;
  for (Integer r = 1; r <= used; ++r) {
    const Real x = xs[r];
    if (!std::isfinite(x)) {
      a.not_finite.note(r);
    } else {
      if (!(x >= 0.0 && x <= 1.0)) a.outside.note(r);
      if (r > 1 && std::isfinite(xs[r - 1]) && !(x > xs[r - 1])) a.not_rising.note(r);
    }
    if (log_x == nullptr) continue;
    const Real lx = log_x[r];
    if (lx != x && !(std::isnan(lx) && std::isnan(x))) a.log_differs.note(r);
  }
  return a;
}

unsigned abscissa_bits(const AbscissaFindings& a) {
  return (a.not_finite.count > 0 ? kAbscissaNotFinite : 0u) |
         (a.outside.count > 0 ? kAbscissaOutside : 0u) |
         (a.not_rising.count > 0 ? kAbscissaNotRising : 0u) |
         (a.log_differs.count > 0 ? kLogAbscissaDiffers : 0u);
}

// The findings about tables of `used` records read in step (both files'
// places in st.spec_places and st.log_places), as kTableWarnings bits, and
// with `out` set one warning each there: a file that holds more records
// than are read, or more than the other, numbers skipped at the end of a
// line, abscissae that are not finite, lie outside [0, 1] or do not rise,
// and log abscissae that differ from the spec ones.  `spec_rest` and
// `log_rest` are the records left unread in each file, with the line of
// the first of them.
unsigned table_findings(const RunState& st, Integer used, bool reached_limit, long spec_rest,
                        long spec_rest_line, long log_rest, long log_rest_line, std::FILE* out) {
  const long spec_count = used + spec_rest, log_count = used + log_rest;
  const bool not_read = reached_limit && (spec_rest > 0 || log_rest > 0);
  const bool counts_differ = !reached_limit && spec_count != log_count;
  Finding spec_skipped, log_skipped;
  for (Integer r = 1; r <= used; ++r) {
    if (st.spec_places[r].skipped_line != 0) spec_skipped.note(r);
    if (st.log_places[r].skipped_line != 0) log_skipped.note(r);
  }
  const AbscissaFindings found = abscissa_findings(st.x, st.log_x, used);
  const unsigned bits = (not_read ? kRecordsNotRead : 0u) |
                        (counts_differ ? kRecordCountsDiffer : 0u) |
                        (spec_skipped.count + log_skipped.count > 0 ? kTableLineSkipped : 0u) |
                        abscissa_bits(found);
  if (out == nullptr || bits == 0) return bits;

  char text[256], tail[64], a[32], b[32];
  if (reached_limit) {
    if (spec_rest > 0) {
      std::snprintf(text, sizeof text,
                    "the file holds %ld records; those after the %dth are not read", spec_count,
                    kMaxRecords);
      warn(out, kSpecFile, spec_rest_line, text);
    }
    if (log_rest > 0) {
      std::snprintf(text, sizeof text,
                    "the file holds %ld records; those after the %dth are not read", log_count,
                    kMaxRecords);
      warn(out, kLogFile, log_rest_line, text);
    }
  } else if (counts_differ) {
    const bool spec_longer = spec_count > log_count;
    std::snprintf(text, sizeof text,
                  "%s holds %ld records and %s %ld; only the first %d of each are used",
                  spec_longer ? kSpecFile : kLogFile, spec_longer ? spec_count : log_count,
                  spec_longer ? kLogFile : kSpecFile, spec_longer ? log_count : spec_count, used);
    warn(out, spec_longer ? kSpecFile : kLogFile, spec_longer ? spec_rest_line : log_rest_line,
         text);
  }

  const auto& [not_finite, outside, not_rising, log_differs] = found;
  const struct {
    const Finding& f;
    const char* file;
    const ReadPlace* at;
  } skipped[] = {{spec_skipped, kSpecFile, st.spec_places},
                 {log_skipped, kLogFile, st.log_places}};
  for (const auto& s : skipped) {
    if (s.f.count == 0) continue;
    if (s.f.count > 1)
      std::snprintf(tail, sizeof tail, ", as on %d more line%s", s.f.count - 1,
                    s.f.count > 2 ? "s" : "");
    else
      tail[0] = '\0';
    std::snprintf(
        text, sizeof text,
        "the line holds more than the two numbers of its record; the rest of the line is skipped%s",
        tail);
    warn(out, s.file, s.at[s.f.first].skipped_line, text);
  }
  if (not_finite.count > 0) {
    const Integer r = not_finite.first;
    shortest(st.x[r], a);
    more(tail, sizeof tail, not_finite.count, "are");
    std::snprintf(text, sizeof text,
                  "the abscissa %s is not finite%s; the fits cannot place the record", a, tail);
    warn(out, kSpecFile, st.spec_places[r].line, text);
  }
  if (outside.count > 0) {
    const Integer r = outside.first;
    shortest(st.x[r], a);
    more(tail, sizeof tail, outside.count, "do");
    std::snprintf(text, sizeof text,
                  "the abscissa %s lies outside [0, 1]%s; the tables end at the closing point at 1",
                  a, tail);
    warn(out, kSpecFile, st.spec_places[r].line, text);
  }
  if (not_rising.count > 0) {
    const Integer r = not_rising.first;
    shortest(st.x[r], a);
    shortest(st.x[r - 1], b);
    more(tail, sizeof tail, not_rising.count, "do");
    std::snprintf(
        text, sizeof text,
        "the abscissa %s does not rise above the one before, %s%s; the fits read zeros or "
        "the wrong records there",
        a, b, tail);
    warn(out, kSpecFile, st.spec_places[r].line, text);
  }
  if (log_differs.count > 0) {
    const Integer r = log_differs.first;
    shortest(st.log_x[r], a);
    shortest(st.x[r], b);
    more(tail, sizeof tail, log_differs.count, "do");
    std::snprintf(text, sizeof text,
                  "the abscissa %s differs from %s's %s for the same record%s; the log values are "
                  "taken at %s's abscissae",
                  a, kSpecFile, b, tail, kSpecFile);
    warn(out, kLogFile, st.log_places[r].line, text);
  }
  std::fflush(out);
  return bits;
}

} // namespace

unsigned array_table_warnings(const Real* x, Integer records) {
  return abscissa_bits(abscissa_findings(x, nullptr, records)) & ~unsigned(kAbscissaOutside);
}

void load_tables(RunState& st, int dir, std::FILE* warnings) {
  TableFiles files;
  open_input(files.spec_file, dir, kSpecFile, st.spec_buffer);
  open_input(files.log_file, dir, kLogFile, st.log_buffer);
  Integer r = 1;
  bool log_ended = false, spec_ended = false;
  for (;;) {
    Real record[2];
    // A record cut by end of file is dropped: the closing point takes its
    // entry whatever part of it was read.
    if (!read_reals(files.log_file, record, 2, &st.log_places[r])) {
      log_ended = true;
      break;
    }
    st.x[r] = record[0];
    st.l[r] = record[1];
    st.log_x[r] = record[0];
    if (!read_reals(files.spec_file, record, 2, &st.spec_places[r])) {
      spec_ended = true;
      break;
    }
    st.x[r] = record[0];
    st.s[r] = record[1];
    if (r == kMaxRecords) {
      r = kMaxRecords + 1;
      break;
    }
    ++r;
  }
  st.npts = r;
  st.x[r] = 1.0;
  st.s[r] = st.s[r - 1];
  st.l[r] = st.l[r - 1];
  st.x_ascending = ascending_table(st.x, st.npts);
  // What is left in each file, counted without being read as numbers, so
  // that nothing past the records used can stop the run.  A log record
  // whose spec half is missing counts as left in the log file.
  long spec_rest = 0, spec_line = 0, log_rest = 0, log_line = 0;
  if (!spec_ended) spec_rest = count_records(files.spec_file, 2, spec_line);
  if (!log_ended) {
    log_rest = count_records(files.log_file, 2, log_line);
    if (spec_ended) {
      ++log_rest;
      log_line = st.log_places[r].line;
    }
  }
  st.table_warnings = table_findings(st, st.npts - 1, !spec_ended && !log_ended, spec_rest,
                                     spec_line, log_rest, log_line, warnings);
  close_input(files.spec_file);
  close_input(files.log_file);
}

} // namespace tamsel
