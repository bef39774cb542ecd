// SPDX-License-Identifier: BSD-3-Clause
#include "driver/report.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unistd.h>

#include "driver/display.h"
#include "driver/files.h"
#include "driver/status.h"

namespace tamsel {

namespace {

// Stops with an input/output error on the report file `path`, shown without
// its control bytes.
[[noreturn]] void report_failure(const char* path, const char* what, const char* reason) {
  char shown[kNameWidth + 1];
  show_bytes(path, std::strlen(path), shown);
  stopf(kInputStatus, "tamsel: %s: %s: %s", shown, what, reason);
}

// The report could not be written: says why and stops.  A function of its
// own, so that the message's buffer (4 KiB) sits on the stack only then.
[[noreturn, gnu::noinline]] void report_write_failure(int dir, const char* path,
                                                      OutputFailure failure) {
  char reason[PATH_MAX + 128];
  describe_output_failure(dir, path, failure, reason, sizeof reason);
  report_failure(path, "cannot write the report", reason);
}

} // namespace

void report_path(const char* report_name, char* path) {
  int length = kNameWidth;
  while (length > 0 && report_name[length - 1] == ' ') --length;
  std::memcpy(path, report_name, std::size_t(length));
  path[length] = '\0';
}

void open_report(ReportStream& rs, int dir, const char* report_name) {
  close_report(rs);
  report_path(report_name, rs.path);
  rs.dir = dir;
  if (rs.check_only) {
    if (const int error = probe_output(dir, rs.path))
      report_failure(rs.path, "cannot create the report file", open_error(dir, rs.path, error));
    return;
  }
  rs.fd = open_output(dir, rs.path, true);
  if (rs.fd < 0)
    report_failure(rs.path, "cannot create the report file", open_error(dir, rs.path, errno));
}

void adopt_report(ReportStream& rs, int dir, const char* report_name, int fd) {
  close_report(rs);
  report_path(report_name, rs.path);
  rs.dir = dir;
  rs.fd = fd;
}

bool is_report_head(const char* bytes, std::size_t length) {
  static constexpr char kAfterName[] = "\n\nCross-correlation: ";
  constexpr std::size_t kHead = kNameWidth + sizeof kAfterName - 1;
  if (length < kHead || bytes[0] == ' ') return false;
  for (int i = 0; i < kNameWidth; ++i)
    if (bytes[i] == '\n' || bytes[i] == '\0') return false;
  return std::memcmp(bytes + kNameWidth, kAfterName, sizeof kAfterName - 1) == 0;
}

void close_report(ReportStream& rs) {
  if (rs.fd >= 0) close(rs.fd);
  rs.fd = -1;
}

namespace {

__extension__ using Wide = unsigned __int128;

// printf's "%7.4f" of a finite value, worked out directly: the exact binary
// value times 10^4, rounded to the nearest integer with ties to even (as
// printf rounds), then written as digits.  Returns false when the text
// would not fit 7 characters.
bool fixed_point(Real value, char* field) {
  const bool negative = std::signbit(value);
  const Real magnitude = std::fabs(value);
  if (!(magnitude < 128.0)) return false; // at least 3 digits before the point
  int exponent = 0;
  const Real fraction = std::frexp(magnitude, &exponent); // in [0.5, 1), or 0
  // magnitude = mantissa / 2^shift exactly, with shift >= 46.
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  const int shift = 53 - exponent;
  std::uint64_t units = 0; // round(magnitude * 10^4)
  if (shift < 128) {
    const Wide scaled = static_cast<Wide>(mantissa) * 10000u;
    Wide whole = scaled >> shift;
    const Wide rest = scaled - (whole << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
    units = static_cast<std::uint64_t>(whole);
  } // else magnitude < 2^-74: it rounds to zero
  const auto integer = static_cast<unsigned>(units / 10000); // at most 128
  const auto decimals = static_cast<unsigned>(units % 10000);
  char text[10];
  int length = 0;
  if (negative) text[length++] = '-';
  if (integer >= 100) text[length++] = char('0' + integer / 100);
  if (integer >= 10) text[length++] = char('0' + integer / 10 % 10);
  text[length++] = char('0' + integer % 10);
  text[length++] = '.';
  for (unsigned place = 1000; place >= 1; place /= 10) text[length++] = char('0' + decimals / place % 10);
  if (length > 7) return false;
  const int pad = 7 - length;
  std::memset(field, ' ', std::size_t(pad));
  std::memcpy(field + pad, text, std::size_t(length));
  field[7] = '\0';
  return true;
}

} // namespace

void format_field(Real value, char* field) {
  if (std::isnan(value)) {
    std::memcpy(field, "    NaN", 8);
  } else if (std::isinf(value)) {
    std::memcpy(field, value > 0 ? "    Inf" : "   -Inf", 8);
  } else if (!fixed_point(value, field)) {
    std::memcpy(field, "*******", 8);
  }
}

void write_report(RunState& st, ReportStream& rs) {
  static_assert(sizeof st.report_text == kMaxSamples * kReportBlock);
  char* out = st.report_text;
  auto put = [&out](const char* text, std::size_t length) {
    std::memcpy(out, text, length);
    out += length;
  };
  for (Integer k = 1; k <= st.sample_count; ++k) {
    char cc_field[8], fmin_field[8], fmax_field[8];
    format_field(cc_diagonal(st, k), cc_field);
    format_field(matrix_at(st.agem, k, 0), fmin_field);
    format_field(matrix_at(st.xlgrm, k, 0), fmax_field);
    // Every block is headed by the name of the report file opened last,
    // the one this report goes to, not by its own sample's: what reads the
    // report may count on it.
    put(st.report_name, kNameWidth);
    put("\n\nCross-correlation: ", 21);
    put(cc_field, 7);
    put("\n             fmin: ", 20);
    put(fmin_field, 7);
    put("\n             fmax: ", 20);
    put(fmax_field, 7);
    put("\n", 1);
  }
  const int fd = rs.fd;
  rs.fd = -1;
  const OutputFailure failure =
      replace_output(rs.dir, rs.path, fd, st.report_text, std::size_t(out - st.report_text));
  if (failure.error != 0) report_write_failure(rs.dir, rs.path, failure);
}

} // namespace tamsel
