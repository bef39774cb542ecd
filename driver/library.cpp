// SPDX-License-Identifier: BSD-3-Clause
// The run as a library (<tamsel/run.h>), over the driver's run and its
// measurement of one sample.
#include <tamsel/run.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

#include <tamsel/numeric/tabulated.h>

#include "driver/curves.h"
#include "driver/run.h"
#include "driver/status.h"
#include "driver/stop.h"
#include "driver/tables.h"
#include "driver/warnings.h"

namespace tamsel {

namespace {

std::vector<std::string> keys(unsigned bits) {
  std::vector<std::string> out;
  for (const SampleWarning warning : kSampleWarnings)
    if ((bits & warning) != 0) out.emplace_back(sample_warning_key(warning));
  return out;
}

SampleResult sample_result(const RunState& st, Integer k, std::string name) {
  return SampleResult{std::move(name),
                      matrix_at(st.agem, k, 0),
                      matrix_at(st.xlgrm, k, 0),
                      cc_diagonal(st, k),
                      st.window_records[k - 1],
                      keys(st.sample_warnings[k - 1])};
}

// A stream that collects what is written to it in memory.
class Collected {
public:
  Collected() : stream_(open_memstream(&buffer_, &size_)) {
    if (stream_ == nullptr) throw std::bad_alloc();
  }
  ~Collected() {
    if (stream_ != nullptr) std::fclose(stream_);
    std::free(buffer_);
  }
  Collected(const Collected&) = delete;
  Collected& operator=(const Collected&) = delete;
  std::FILE* stream() const { return stream_; }
  // What was written; the stream is closed.
  std::string text() {
    std::fclose(stream_);
    stream_ = nullptr;
    return std::string(buffer_, size_);
  }

private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* stream_;
};

} // namespace

RunResult run_directory(int directory, const RunOptions& options) {
  if (!options.reports && options.results == nullptr)
    throw std::invalid_argument("tamsel::run_directory: reports can be left out only with results");
  Collected warnings;
  // Left as it is allocated: the run zeroes it.
  const std::unique_ptr<RunState> state(new RunState);
  RunState& st = *state;
  try {
    const CancelScope cancel(options.cancel);
    stop_on_refusal(
        [&] { run(st, directory, nullptr, warnings.stream(), options.results, options.reports); });
  } catch (const Stop& e) {
    throw RunError(e.status(), e.what(), warnings.text());
  }
  RunResult result;
  result.messages = warnings.text();
  result.table_findings = keys(st.table_warnings);
  for (Integer k = 1; k <= st.sample_count; ++k)
    result.samples.push_back(sample_result(
        st, k, std::string(st.sample_names[k - 1], std::size_t(st.name_lengths[k - 1]))));
  return result;
}

RunResult run_directory(const char* path, const RunOptions& options) {
  const int directory = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) throw std::system_error(errno, std::generic_category(), path);
  struct Close {
    int fd;
    ~Close() { ::close(fd); }
  } closing{directory};
  return run_directory(directory, options);
}

RunResult correlate_windows(std::span<const Real> x, std::span<const Real> spec,
                            std::span<const Real> log, std::span<const Real> fmin,
                            std::span<const Real> fmax) {
  if (spec.size() != x.size() || log.size() != x.size())
    throw std::invalid_argument("tamsel::correlate_windows: x, spec and log must hold as many "
                                "values each");
  if (fmin.size() != fmax.size())
    throw std::invalid_argument("tamsel::correlate_windows: as many fmin as fmax");
  const std::size_t n = x.size();
  if (n > std::size_t(INT32_MAX) - 2)
    throw std::invalid_argument("tamsel::correlate_windows: too many records");
  const Integer records = Integer(n);
  bool run_sized = records <= kMaxRecords;
  for (std::size_t i = 0; i < n && run_sized; ++i)
    run_sized = !(std::isfinite(x[i]) && !(x[i] >= 0.0 && x[i] <= 1.0));

  const auto state = std::make_unique<RunState>();
  RunState& st = *state;
  const Integer npts = records + 1;
  std::vector<Real> storage;
  Tables tables;
  if (run_sized) {
    // The run's tables as load_tables leaves them: the point (0, 0, 0), the
    // records at 1..n, and the closing point at abscissa 1.0.
    st.x[0] = st.s[0] = st.l[0] = 0.0;
    for (Integer r = 1; r <= records; ++r) {
      st.x[r] = x[std::size_t(r) - 1];
      st.s[r] = spec[std::size_t(r) - 1];
      st.l[r] = log[std::size_t(r) - 1];
    }
    st.npts = npts;
    st.x[npts] = 1.0;
    st.s[npts] = st.s[npts - 1];
    st.l[npts] = st.l[npts - 1];
    st.x_ascending = ascending_table(st.x, st.npts);
    tables = run_tables(st);
  } else {
    // The records alone, between points one unit in the last place beyond
    // the first and the last record that hold their values: an abscissa
    // there is the record's own, and beyond them the fits read zeros.
    const std::size_t entries = n + 2;
    storage.resize(5 * entries);
    Real* xs = storage.data();
    Real* ss = xs + entries;
    Real* ls = ss + entries;
    for (std::size_t i = 0; i < n; ++i) {
      xs[i + 1] = x[i];
      ss[i + 1] = spec[i];
      ls[i + 1] = log[i];
    }
    xs[0] = std::nextafter(xs[1], -INFINITY);
    ss[0] = ss[1];
    ls[0] = ls[1];
    xs[npts] = std::nextafter(xs[npts - 1], INFINITY);
    ss[npts] = ss[npts - 1];
    ls[npts] = ls[npts - 1];
    tables = make_tables(xs, ss, ls, ls + entries, ls + 2 * entries, npts,
                         ascending_table(xs, npts));
  }
  st.table_warnings = array_table_warnings(tables.x, records);

  RunResult result;
  result.table_findings = keys(st.table_warnings);
  result.samples.reserve(fmin.size());
  try {
    for (std::size_t w = 0; w < fmin.size(); ++w) {
      // Every window in the first row: a sample's curves, findings and
      // coefficient depend on its own window and the tables alone.  Only
      // column 0 of the row is read.
      st.sample_count = 0;
      st.fmin = fmin[w];
      st.fmax = fmax[w];
      stop_on_refusal([&] { measure_sample(st, tables, false); });
      result.samples.push_back(sample_result(st, 1, {}));
    }
  } catch (const Stop& e) {
    throw RunError(e.status(), e.what());
  }
  return result;
}

} // namespace tamsel
