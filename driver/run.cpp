// SPDX-License-Identifier: BSD-3-Clause
#include "driver/run.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <unistd.h>

#include <tamsel/version.h>

#include "driver/curves.h"
#include "driver/display.h"
#include "driver/files.h"
#include "driver/input.h"
#include "driver/results.h"
#include "driver/samples.h"
#include "driver/status.h"
#include "driver/tables.h"
#include "driver/warnings.h"

namespace tamsel {

namespace {

// The program's run state, zero like any static.  Its pages are mapped as
// the run first touches them, and a run touches few of them: the rows of
// agem and xlgrm only in column 0, which is contiguous, cc on its diagonal,
// which alone is stored, and its files' work space, in the state itself.
// Asking the kernel for all of them at once (MADV_POPULATE_WRITE), or for
// one huge page, maps pages the run never touches; see bench/NOTES.md.
RunState slot;

// Whether the slot still holds the zeros the program started with: until
// its first run.
bool slot_untouched = true;

// Zeroes the run's storage.  The slot's first run finds it zero already,
// as the kernel maps it, and does not write it again.
void prepare_storage(RunState& st) {
  const bool zero = &st == &slot && std::exchange(slot_untouched, false);
  if (!zero) std::memset(&st, 0, sizeof st);
}

// The cancel flag of the calling thread's run (CancelScope), or null.
thread_local const std::atomic<bool>* cancel_flag = nullptr;

void stop_if_cancelled() {
  if (cancel_flag != nullptr && cancel_flag->load(std::memory_order_relaxed))
    stopf(kInputStatus, "tamsel: the run was cancelled");
}

struct ListFile {
  InputFile in{nullptr, kSampleFile, 0};
  ~ListFile() { close_input(in); }
};

struct Results {
  ResultsFile file{nullptr, -1};
  ~Results() { close_results(file); }
};

struct ReportFile {
  ReportStream stream{-1, {}};
  ~ReportFile() { close_report(stream); }
};

// The identities of the run's input files, taken once: the run itself
// changes none of them.  The sample list is identified by the file open on
// `list`, each table by the file its name opens now, or where it would be
// created when there is none.
struct Inputs {
  static constexpr const char* kNames[3] = {kSampleFile, kSpecFile, kLogFile};
  FileIdentity ids[3];
  Inputs(int dir, int list) {
    ids[0] = list >= 0 ? identify_open(list) : identify(dir, kSampleFile);
    for (int i = 1; i < 3; ++i) ids[i] = identify(dir, kNames[i]);
  }
  // Whether every input is a file that exists: a path that names none of
  // them then names no existing input at all when it names no file yet.
  bool all_exist() const {
    for (const FileIdentity& id : ids)
      if (!id.known || id.leaf[0] != '\0') return false;
    return true;
  }
  // The input that `id` names, or null.  Stops, naming the input, when an
  // input could be identified neither way: what cannot be told apart is
  // never taken for another file.
  const char* reached_by(const FileIdentity& id) const {
    for (int i = 0; i < 3; ++i) {
      if (!ids[i].known)
        stopf(kInputStatus, "tamsel: %s: cannot open: %s", kNames[i], std::strerror(ids[i].error));
      if (same_file(id, ids[i])) return kNames[i];
    }
    return nullptr;
  }
};

// Whether a report file that cannot be identified fails to be created
// anyway, for the reason `error`: a directory on its way is missing or
// cannot be searched.  Opening it then says so.
bool fails_to_open(int error) { return error == ENOENT || error == ENOTDIR || error == EACCES; }

// Refuses the report file of the sample just read, named on line `line` of
// the list, when it would lie outside the working directory, is reached
// through a symbolic link of another user (foreign_link), is one of the
// run's input files or cannot be told apart from them, or would replace an
// existing file that is not a report while the name is too long for the
// full suffix; `shown_name` is the sample's name as messages show it.
//
// Where every input exists and the name keeps the whole suffix, the file
// is opened (created where there is none, never truncated) and told apart
// from the inputs by the open descriptor, which is returned for the report
// stream: an existing input is never written by that opening, and it takes
// two system calls where naming the file first took four.  Otherwise, or
// when that opening fails, the file is identified by its name, and -1 is
// returned.
int check_report_file(const RunState& st, int dir, const char* shown_name, long line,
                      const Inputs& inputs, bool open_now) {
  char path[kNameWidth + 1], shown_path[kNameWidth + 1];
  report_path(st.report_name, path);
  show_bytes(path, std::strlen(path), shown_path);
  if (leaves_working_directory(path))
    stopf(kInputStatus,
          "tamsel: %s:%ld: sample '%s': its report file %s would lie outside the working directory",
          kSampleFile, line, shown_name, shown_path);
  const bool long_name = st.name_length > kNameWidth - kReportSuffixLength;
  const bool open_first = open_now && !long_name && inputs.all_exist();
  // A name without a slash whose file opens without following a link meets
  // no link at all: the walk over the links is left out then, which saves
  // a system call a sample.
  int fd = open_first && std::strchr(path, '/') == nullptr ? open_output(dir, path, true, false)
                                                           : -1;
  if (uid_t owner = 0; fd < 0 && foreign_link(dir, path, owner)) {
    char how[384];
    describe_foreign_link(owner, how, sizeof how);
    stopf(kInputStatus, "tamsel: %s:%ld: sample '%s': its report file %s %s", kSampleFile, line,
          shown_name, shown_path, how);
  }
  if (open_first) {
    if (fd < 0) fd = open_output(dir, path, true);
    const FileIdentity opened = fd >= 0 ? identify_open(fd) : FileIdentity{};
    if (opened.known) {
      if (const char* input = inputs.reached_by(opened)) {
        close(fd);
        stopf(kInputStatus, "tamsel: %s:%ld: sample '%s': its report file %s is the input file %s",
              kSampleFile, line, shown_name, shown_path, input);
      }
      return fd;
    }
    if (fd >= 0) close(fd);
  }
  const FileIdentity id = identify(dir, path);
  if (!id.known && !fails_to_open(id.error))
    stopf(kInputStatus, "tamsel: %s:%ld: sample '%s': its report file %s cannot be identified: %s",
          kSampleFile, line, shown_name, shown_path, std::strerror(id.error));
  if (const char* input = inputs.reached_by(id))
    stopf(kInputStatus, "tamsel: %s:%ld: sample '%s': its report file %s is the input file %s",
          kSampleFile, line, shown_name, shown_path, input);
  // A name that keeps the whole suffix names a report file by itself; a
  // longer one may name any file, which is replaced only when it holds a
  // report already (or nothing).
  if (long_name && id.known && id.leaf[0] == '\0') {
    const FileHead head = read_head(dir, path);
    if (head.error != 0 || !head.regular ||
        (head.length != 0 && !is_report_head(head.bytes, head.length)))
      stopf(kInputStatus,
            "tamsel: %s:%ld: sample '%s': its report file %s would replace a file that is not a "
            "report (the name is too long for the _cross.txt suffix)",
            kSampleFile, line, shown_name, shown_path);
  }
  return -1;
}

// Keeps what the sample just built (row st.sample_count) leaves that the
// next one overwrites.
void keep_sample(const RunState& st, KeptSample& k) {
  k.npts = st.npts;
  k.spec_mean = st.spec_mean;
  k.log_mean = st.log_mean;
  std::memcpy(k.points, st.points, sizeof k.points);
  k.fmin = st.fmin;
  k.width = st.width;
  std::memcpy(k.spec_coef, st.spec_coef, sizeof k.spec_coef);
  std::memcpy(k.log_coef, st.log_coef, sizeof k.log_coef);
  k.spec_exponent = st.spec_exponent;
  k.log_exponent = st.log_exponent;
}

} // namespace

CancelScope::CancelScope(const std::atomic<bool>* flag)
    : outer_(std::exchange(cancel_flag, flag)) {}
CancelScope::~CancelScope() { cancel_flag = outer_; }

RunState& run_state() { return slot; }

const char* input_file_at(int dir, const char* path) {
  return Inputs(dir, -1).reached_by(identify(dir, path));
}

void sample_phase(RunState& st, int dir, std::FILE* console, ReportStream* report,
                  KeptSample* kept, std::FILE* warnings, bool whole_rows) {
  prepare_storage(st);
  ListFile list;
  open_input(list.in, dir, kSampleFile, st.list_buffer);
  bool tables_loaded = false;
  const Inputs inputs(dir, fileno(list.in.fp));

  for (long name_line = list.in.line; read_sample(list.in, st); name_line = list.in.line) {
    stop_if_cancelled();
    st.name_length = name(st.sample_name);
    form_report_name(st);
    std::memcpy(st.sample_names[st.sample_count], st.sample_name, kNameWidth);
    st.name_lengths[st.sample_count] = st.name_length;
    // The name as the console and the messages show it.
    char shown[kNameWidth + 1];
    const std::size_t shown_length = show_bytes(st.sample_name, std::size_t(st.name_length), shown);
    const int opened = report != nullptr
                           ? check_report_file(st, dir, shown, name_line, inputs,
                                               !report->check_only)
                           : -1;
    if (console != nullptr) {
      std::fputs(" Tamsel version " TAMSEL_VERSION_SHORT "\n You are running sample ", console);
      std::fwrite(shown, 1, shown_length, console);
      std::fputc('\n', console);
    }
    if (opened >= 0) {
      adopt_report(*report, dir, st.report_name, opened);
    } else if (report != nullptr) {
      open_report(*report, dir, st.report_name);
    }

    // The table files are the same for every sample, so one reading serves
    // the whole run: every sample sees exactly the tables a fresh reading
    // would give it.  They are read only now, after the first sample's
    // console lines and its report file, so that a run with both a report
    // file and a table at fault reports the report file, and the first
    // report file exists after a table error.
    if (!tables_loaded) {
      if (warnings != nullptr && console != nullptr) std::fflush(console);
      load_tables(st, dir, warnings);
      tables_loaded = true;
      stop_if_cancelled();
    }
    measure_sample(st, whole_rows);
    const Integer k = st.sample_count + 1;
    if (warnings != nullptr && (st.sample_warnings[k - 1] & ~kTableWarnings) != 0) {
      if (console != nullptr) std::fflush(console);
      write_sample_warnings(warnings, st, k, list.in.path, name_line, shown);
      std::fflush(warnings);
    }
    ++st.sample_count;
    if (kept != nullptr) keep_sample(st, kept[st.sample_count - 1]);
  }
}

void run(RunState& st, int dir, std::FILE* console, std::FILE* warnings, const char* results,
         bool reports) {
  Results table;
  if (results != nullptr) open_results(table.file, dir, results);
  ReportFile report;
  // The report and the results table read only the coefficients and
  // column 0 of the rows.
  sample_phase(st, dir, console, reports ? &report.stream : nullptr, nullptr, warnings, false);
  stop_if_cancelled();
  if (results != nullptr)
    write_results(st, table.file, console,
                  st.sample_count == 0 || !reports ? nullptr : report.stream.path);
  if (st.sample_count == 0 || !reports) return;
  // The console lines are out, and out in full, before the report replaces
  // anything: a run whose console fails stops with every old report intact.
  if (console != nullptr) {
    const int error = std::fflush(console) == 0 ? EIO : errno;
    if (std::ferror(console))
      stopf(kInputStatus, "tamsel: standard output: write error: %s", std::strerror(error));
  }
  write_report(st, report.stream);
}

} // namespace tamsel
