// SPDX-License-Identifier: BSD-3-Clause
#include "driver/run.h"

#include <cstdint>
#include <cstring>
#include <sys/mman.h>

#include <tamsel/version.h>

#include "driver/curves.h"
#include "driver/files.h"
#include "driver/input.h"
#include "driver/samples.h"
#include "driver/status.h"
#include "driver/tables.h"

namespace tamsel {

namespace {

alignas(4096) RunState state;
KeptSample kept[kMaxSamples];

// Asks the kernel to map all of the run's storage at once, which costs far
// less than one page fault per page as the zeroing reaches it.  Only a
// request: where it is not supported, the pages come one fault at a time.
void map_in_one_go(RunState& st) {
#ifdef MADV_POPULATE_WRITE
  constexpr std::uintptr_t kPage = 4096;
  const auto start = reinterpret_cast<std::uintptr_t>(&st);
  if (start % kPage == 0) {
    static_cast<void>(madvise(&st, sizeof st, MADV_POPULATE_WRITE));
  }
#else
  static_cast<void>(st);
#endif
}

struct ListFile {
  InputFile in{nullptr, kSampleFile, 0};
  ~ListFile() { close_input(in); }
};

struct ReportFile {
  ReportStream stream{-1, {}};
  ~ReportFile() { close_report(stream); }
};

// The identities of the run's input files, taken once: the run itself
// changes none of them.
struct Inputs {
  static constexpr const char* kNames[3] = {kSampleFile, kSpecFile, kLogFile};
  FileIdentity ids[3];
  Inputs() {
    for (int i = 0; i < 3; ++i) ids[i] = identify(kNames[i]);
  }
  // The input that `path` names, or null.
  const char* reached_by(const char* path) const {
    const FileIdentity id = identify(path);
    for (int i = 0; i < 3; ++i)
      if (same_file(id, ids[i])) return kNames[i];
    return nullptr;
  }
};

// Refuses the report file of the sample just read, named on line `line` of
// the list, when it would lie outside the working directory or is one of
// the run's input files; `shown_name` is the sample's name as messages show
// it.
void check_report_file(const RunState& st, const char* shown_name, long line,
                       const Inputs& inputs) {
  char path[kNameWidth + 1], shown_path[kNameWidth + 1];
  report_path(st.report_name, path);
  show_bytes(path, std::strlen(path), shown_path);
  if (leaves_working_directory(path))
    stopf(kInputStatus,
          "tamsel: %s:%ld: sample '%s': its report file %s would lie outside the working directory",
          kSampleFile, line, shown_name, shown_path);
  if (const char* input = inputs.reached_by(path))
    stopf(kInputStatus, "tamsel: %s:%ld: sample '%s': its report file %s is the input file %s",
          kSampleFile, line, shown_name, shown_path, input);
}

} // namespace

RunState& run_state() { return state; }

void keep_sample(const RunState& st) {
  KeptSample& k = kept[st.sample_count - 1];
  k.npts = st.npts;
  k.spec_mean = st.spec_mean;
  k.log_mean = st.log_mean;
  std::memcpy(k.points, st.points, sizeof k.points);
}

const KeptSample* kept_samples() { return kept; }

const char* input_file_at(const char* path) { return Inputs().reached_by(path); }

void sample_phase(RunState& st, std::FILE* console, ReportStream* report,
                  SampleHook after_sample, std::FILE* warnings) {
  map_in_one_go(st);
  std::memset(&st, 0, sizeof st);
  ListFile list;
  open_input(list.in, kSampleFile);
  bool tables_loaded = false;
  const Inputs inputs;

  for (long name_line = list.in.line; read_sample(list.in, st); name_line = list.in.line) {
    st.name_length = name(st.sample_name);
    form_report_name(st);
    std::memcpy(st.sample_names[st.sample_count], st.sample_name, kNameWidth);
    st.name_lengths[st.sample_count] = st.name_length;
    // The name as the console and the messages show it.
    char shown[kNameWidth + 1];
    show_bytes(st.sample_name, std::size_t(st.name_length), shown);
    if (report != nullptr) check_report_file(st, shown, name_line, inputs);
    if (console != nullptr) {
      std::fputs(" Tamsel version " TAMSEL_VERSION_SHORT "\n You are running sample ", console);
      std::fwrite(shown, 1, std::size_t(st.name_length), console);
      std::fputc('\n', console);
    }
    if (report != nullptr) open_report(*report, st.report_name);

    // The table files are the same for every sample, so one reading serves
    // the whole run: every sample sees exactly the tables a fresh reading
    // would give it.  They are read only now, after the first sample's
    // console lines and its report file, so that a run with both a report
    // file and a table at fault reports the report file, and the first
    // report file exists after a table error.
    if (!tables_loaded) {
      load_tables(st);
      tables_loaded = true;
    }
    st.width = st.fmax - st.fmin;
    build_curves(st);
    if (warnings != nullptr && !window_ascends(st.fmin, st.fmax)) {
      if (console != nullptr) std::fflush(console);
      std::fprintf(warnings, "tamsel: %s:%ld: warning: sample ", list.in.path, name_line);
      std::fwrite(shown, 1, std::size_t(st.name_length), warnings);
      std::fputs(": fmin is not below fmax, so its coefficient does not measure agreement\n",
                 warnings);
      std::fflush(warnings);
    }
    correlate_sample(st, st.sample_count + 1);
    ++st.sample_count;
    if (after_sample != nullptr) after_sample(st);
  }
}

void run(RunState& st, std::FILE* console, std::FILE* warnings) {
  ReportFile report;
  sample_phase(st, console, &report.stream, nullptr, warnings);
  if (st.sample_count == 0) return;
  write_report(st, report.stream);
}

} // namespace tamsel
