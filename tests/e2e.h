// SPDX-License-Identifier: BSD-3-Clause
// Test harness for the run: scratch directories, the real executable run in
// one of them, and in-process runs with the working directory switched.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace e2e {

// A fresh empty directory, removed with its contents at the end of the test.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Names of the entries of the directory, sorted.
  std::vector<std::string> entries() const;

private:
  std::filesystem::path path_;
};

struct Result {
  int status; // exit status, or 128 + signal number
  std::string out;
  std::string err;
  friend bool operator==(const Result&, const Result&) = default;
};
// The three parts in a test's failure message.
void PrintTo(const Result& result, std::ostream* os);

// What the child gets beyond the defaults.
struct Setup {
  std::vector<int> closed;        // of the descriptors 0, 1, 2, those closed at the start
  long long file_size_limit = -1; // RLIMIT_FSIZE in bytes, or -1 for none
  unsigned time_limit = 0;        // seconds before SIGALRM ends the child, or 0 for none
  std::string output{};           // a file standard output goes to instead of being captured
};

// Runs the executable `exe` with `args` in `dir`, stdin from /dev/null.
Result run_program(const std::string& exe, const std::filesystem::path& dir,
                   const std::vector<std::string>& args = {}, const Setup& setup = {});

// Runs the tamsel executable with `args` in `dir`, stdin from /dev/null.
Result run_tamsel(const std::filesystem::path& dir, const std::vector<std::string>& args = {},
                  const Setup& setup = {});

// Switches the working directory of this process for one scope.
class ScopedChdir {
public:
  explicit ScopedChdir(const std::filesystem::path& dir);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

private:
  std::filesystem::path previous_;
};

// The two console lines the program prints for a sample.
std::string console_lines(const std::string& name);

// Standard error without its warning lines, for tests of other things run
// on data that draws warnings (the worked example's windows reach past its
// three records).
std::string without_warnings(const std::string& err);
// The result with the warning lines of its standard error left out.
Result without_warnings(Result result);

// A report name line: the name padded with blanks to 50 characters.
std::string padded(const std::string& name);

// One sample's report block: its name line, then the coefficient and the
// window as the report prints them (cc, fmin and fmax already formatted).
std::string block(const std::string& file, const std::string& cc, const std::string& fmin,
                  const std::string& fmax);

// The rows of a results table (tamsel --results), header included, split
// at tabs, with the escapes of names (\\, \t, \n, \r, \", \xHH) undone.
std::vector<std::vector<std::string>> read_tsv(const std::string& text);

// The bundled example's three input files (examples/smooth), copied into dir.
void copy_example(const TempDir& dir);

// The three tables of the worked example: spec (0.2, 1.0), (0.5, 3.0),
// (0.8, 2.0) and log (0.2, 0.5), (0.5, 1.0), (0.8, 2.5).
extern const char* const kExampleSpec;
extern const char* const kExampleLog;

// A job: the sample list and the two tables (the worked example's unless
// given) in a fresh directory.
struct Job {
  TempDir dir;
  explicit Job(const std::string& list, const std::string& spec_table = kExampleSpec,
               const std::string& log_table = kExampleLog);
  Result run(const Setup& setup = {}) const { return run_tamsel(dir.path(), {}, setup); }
  // The names of the three input files and `more`, sorted.
  std::vector<std::string> inputs_and(std::vector<std::string> more) const;
};

// A job with the worked example's tables in the directory `work` of a fresh
// directory, so that a report that got out would land beside it.
struct NestedJob {
  TempDir top;
  std::filesystem::path dir = top.path() / "work";
  explicit NestedJob(const std::string& list);
  void put(const std::string& name, const std::string& bytes) const;
  std::string get(const std::string& name) const;
  Result run(const Setup& setup = {}) const { return run_tamsel(dir, {}, setup); }
  Result plot(const Setup& setup = {}) const;
  // The names in `sub` of the job's directory, sorted.
  std::vector<std::string> listing(const std::string& sub = "") const;
};

} // namespace e2e
