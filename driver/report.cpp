#include "driver/report.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "numeric/correlation.h"
#include "numeric/stop.h"

namespace tamsel {

namespace {

// Longest block: the 50-character name line, an empty line and three
// labelled lines of 26 characters, each with its line feed.
constexpr int kBlockSize = (kNameWidth + 1) + 1 + 3 * (19 + 7 + 1);
// One more byte for the NUL that sprintf puts after the last block.
char report_text[kMaxSamples * kBlockSize + 1];

[[noreturn]] void write_failure(ReportStream& rs, int error) {
  char path[kNameWidth + 1];
  std::memcpy(path, rs.path, sizeof path);
  close_report(rs);
  stopf(kInputStatus, "tamsel: %s: cannot write the report: %s", path, std::strerror(error));
}

// Writes the whole text at the start of the file, then cuts a regular file
// after it.
void write_from_start(ReportStream& rs, const char* text, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = pwrite(rs.fd, text + done, length - done, off_t(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      write_failure(rs, errno);
    }
    if (n == 0) write_failure(rs, ENOSPC);
    done += std::size_t(n);
  }
  struct stat info;
  if (fstat(rs.fd, &info) != 0) write_failure(rs, errno);
  if (S_ISREG(info.st_mode) && ftruncate(rs.fd, off_t(length)) != 0) write_failure(rs, errno);
  int fd = rs.fd;
  rs.fd = -1;
  if (close(fd) != 0) write_failure(rs, errno);
}

} // namespace

void open_report(ReportStream& rs, const char* report_name) {
  close_report(rs);
  int length = kNameWidth;
  while (length > 0 && report_name[length - 1] == ' ') --length;
  std::memcpy(rs.path, report_name, std::size_t(length));
  rs.path[length] = '\0';
  rs.fd = open(rs.path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (rs.fd < 0)
    stopf(kInputStatus, "tamsel: %s: cannot create the report file: %s", rs.path,
          std::strerror(errno));
}

void close_report(ReportStream& rs) {
  if (rs.fd >= 0) close(rs.fd);
  rs.fd = -1;
}

void format_field(Real value, char* field) {
  if (std::isnan(value)) {
    std::memcpy(field, "    NaN", 8);
  } else if (std::isinf(value)) {
    std::memcpy(field, value > 0 ? "    Inf" : "   -Inf", 8);
  } else {
    char text[400];
    int length = std::snprintf(text, sizeof text, "%7.4f", value);
    if (length == 7)
      std::memcpy(field, text, 8);
    else
      std::memcpy(field, "*******", 8);
  }
}

void correlate_sample(RunState& st, Integer k) {
  static constexpr Integer n = kCurvePoints;
  // Only lag 0 of each correlation is used.
  const Real cross = correl_zero_lag(st.g, st.h, n, st.cross_result);
  const Real spec_power = correl_zero_lag(st.g, st.g, n, st.spec_result);
  const Real log_power = correl_zero_lag(st.h, st.h, n, st.log_result);
  cc_diagonal(st, k) = cross / std::sqrt(spec_power * log_power);
}

void write_report(const RunState& st, ReportStream& rs) {
  char* out = report_text;
  for (Integer k = 1; k <= st.sample_count; ++k) {
    char cc_field[8], fmin_field[8], fmax_field[8];
    format_field(cc_diagonal(st, k), cc_field);
    format_field(matrix_at(st.agem, k, 0), fmin_field);
    format_field(matrix_at(st.xlgrm, k, 0), fmax_field);
    std::memcpy(out, st.report_name, kNameWidth);
    out += kNameWidth;
    out += std::sprintf(out, "\n\nCross-correlation: %s\n             fmin: %s\n             fmax: %s\n",
                        cc_field, fmin_field, fmax_field);
  }
  write_from_start(rs, report_text, std::size_t(out - report_text));
}

} // namespace tamsel
