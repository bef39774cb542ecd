// SPDX-License-Identifier: BSD-3-Clause
#include "driver/results.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <unistd.h>

#include "driver/display.h"
#include "driver/files.h"
#include "driver/run.h"
#include "driver/warnings.h"
#include "driver/status.h"

namespace tamsel {

namespace {

// The path as messages show it, without its control bytes.
std::string shown(const char* path) {
  std::string text(std::strlen(path) + 1, '\0');
  text.resize(show_bytes(path, text.size() - 1, text.data()));
  return text;
}

[[noreturn]] void results_failure(const char* path, const char* what) {
  stopf(kInputStatus, "tamsel: %s: %s", shown(path).c_str(), what);
}

// The results file could not be written: says why and stops.  A function of
// its own, so that the message's buffer (4 KiB) sits on the stack only then.
[[noreturn, gnu::noinline]] void results_write_failure(int dir, const char* path,
                                                       OutputFailure failure) {
  char reason[PATH_MAX + 128];
  describe_output_failure(dir, path, failure, reason, sizeof reason);
  results_failure(path, (std::string("cannot write the results file: ") + reason).c_str());
}

} // namespace

void append_table_name(std::string& out, const char* name, std::size_t length) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for_each_character(
      name, length,
      [&](unsigned char byte) {
        if (byte >= 0x80) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 15];
        } else if (const char* escape = escape_of(byte, {{'\\', "\\\\"}, {'\t', "\\t"},
                                                         {'\n', "\\n"}, {'\r', "\\r"},
                                                         {'"', "\\\""}})) {
          out += escape;
        } else {
          out += char(byte);
        }
      },
      [&](const char* character, std::size_t n, char32_t) { out.append(character, n); });
}

std::string table_number(Real value) {
  if (std::isnan(value)) return "nan";
  char text[32];
  shortest(value, text);
  return text;
}

std::string results_table(const RunState& st) {
  std::string out = "name\tfmin\tfmax\tcoefficient\trecords\twarnings\n";
  for (Integer k = 1; k <= st.sample_count; ++k) {
    append_table_name(out, st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]));
    for (Real value : {matrix_at(st.agem, k, 0), matrix_at(st.xlgrm, k, 0), cc_diagonal(st, k)})
      out += '\t' + table_number(value);
    out += '\t' + std::to_string(st.window_records[k - 1]) + '\t';
    const char* separator = "";
    for (const SampleWarning warning : kSampleWarnings) {
      if ((st.sample_warnings[k - 1] & warning) == 0) continue;
      out += separator;
      out += sample_warning_key(warning);
      separator = ";";
    }
    out += '\n';
  }
  return out;
}

void open_results(ResultsFile& rf, int dir, const char* path) {
  rf = {path, -1, dir};
  if (std::strcmp(path, "-") == 0) return;
  if (path[0] == '\0') stopf(kInputStatus, "tamsel: the results file has no name");
  if (leaves_working_directory(path))
    results_failure(path, "the results file would lie outside the working directory");
  if (uid_t owner = 0; foreign_link(dir, path, owner)) {
    char how[384];
    describe_foreign_link(owner, how, sizeof how);
    results_failure(path, (std::string("the results file ") + how).c_str());
  }
  if (const char* input = input_file_at(dir, path))
    results_failure(path, (std::string("the results file is the input file ") + input).c_str());
  rf.fd = open_output(dir, path, false);
  // A file not there yet must be one the run can create: its directory
  // exists and takes new files.
  int error = rf.fd < 0 ? errno : 0;
  if (error == ENOENT) error = probe_output(dir, path);
  if (error != 0)
    results_failure(path, (std::string("cannot create the results file: ") +
                           open_error(dir, path, error)).c_str());
}

void close_results(ResultsFile& rf) {
  if (rf.fd >= 0) close(rf.fd);
  rf.fd = -1;
}

void write_results(const RunState& st, ResultsFile& rf, std::FILE* console,
                   const char* last_report) {
  const std::string table = results_table(st);
  if (std::strcmp(rf.path, "-") == 0) {
    std::fwrite(table.data(), 1, table.size(), console);
    return;
  }
  if (last_report != nullptr &&
      same_file(identify(rf.dir, rf.path), identify(rf.dir, last_report)))
    results_failure(rf.path, "the results file is the report file of the last sample, "
                             "which the report would replace");
  const int fd = rf.fd;
  rf.fd = -1;
  const OutputFailure failure = replace_output(rf.dir, rf.path, fd, table.data(), table.size());
  if (failure.error != 0) results_write_failure(rf.dir, rf.path, failure);
}

} // namespace tamsel
