// SPDX-License-Identifier: BSD-3-Clause
#include "e2e.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

namespace fs = std::filesystem;

#ifdef TAMSEL_CHILD_ASAN_OPTIONS
// In the AddressSanitizer build the programs the tests start skip the leak
// check at exit: it costs a tenth of a second a program, most of that
// suite's time.  The tests' own processes keep it, and so do the fuzz
// targets, which run the whole run in one process.  ASAN_OPTIONS given by
// the caller wins.
[[maybe_unused]] const bool kChildSanitizerOptions =
    setenv("ASAN_OPTIONS", TAMSEL_CHILD_ASAN_OPTIONS, 0) == 0;
#endif

const char* const kExampleSpec = "0.2 1.0\n0.5 3.0\n0.8 2.0\n";
const char* const kExampleLog = "0.2 0.5\n0.5 1.0\n0.8 2.5\n";

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tamsel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Restore permissions a test may have taken away, so that removal works.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& bytes) const {
  std::ofstream file(path_ / name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), std::streamsize(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + name);
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream file(path_ / name, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + name);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool TempDir::exists(const std::string& name) const {
  return fs::exists(fs::symlink_status(path_ / name));
}

std::vector<std::string> TempDir::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

} // namespace

Result run_tamsel(const fs::path& dir, const std::vector<std::string>& args, const Setup& setup) {
  return run_program(TAMSEL_EXE, dir, args, setup);
}

Result run_program(const std::string& program, const fs::path& dir,
                   const std::vector<std::string>& args, const Setup& setup) {
  TempDir capture;
  fs::path out_file = capture.path() / "stdout";
  fs::path err_file = capture.path() / "stderr";
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = setup.output.empty() ? open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)
                                   : open(setup.output.c_str(), O_WRONLY);
    int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd : setup.closed) close(fd);
    if (setup.file_size_limit >= 0) {
      const rlimit limit{rlim_t(setup.file_size_limit), rlim_t(setup.file_size_limit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    alarm(setup.time_limit);
    std::vector<char*> argv;
    std::string exe = program;
    argv.push_back(exe.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  Result result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.out = slurp(out_file);
  result.err = slurp(err_file);
  return result;
}

ScopedChdir::ScopedChdir(const fs::path& dir) : previous_(fs::current_path()) {
  fs::current_path(dir);
}

ScopedChdir::~ScopedChdir() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
}

std::string console_lines(const std::string& name) {
  return " Tamsel version 1.0\n You are running sample " + name + "\n";
}

std::string without_warnings(const std::string& err) {
  std::string kept;
  for (std::size_t at = 0, end; at < err.size(); at = end) {
    end = err.find('\n', at);
    end = end == std::string::npos ? err.size() : end + 1;
    const std::string line = err.substr(at, end - at);
    if (line.find(": warning: ") == std::string::npos) kept += line;
  }
  return kept;
}

Result without_warnings(Result result) {
  result.err = without_warnings(result.err);
  return result;
}

std::string padded(const std::string& name) {
  std::string line = name.substr(0, 50);
  line.resize(50, ' ');
  return line;
}

std::string block(const std::string& file, const std::string& cc, const std::string& fmin,
                  const std::string& fmax) {
  return padded(file) + "\n\nCross-correlation: " + cc + "\n             fmin: " + fmin +
         "\n             fmax: " + fmax + "\n";
}

void copy_example(const TempDir& dir) {
  for (const char* f : {"samples.lst", "corrspec.in", "corrlog.in"})
    std::filesystem::copy_file(std::filesystem::path(TAMSEL_EXAMPLES) / "smooth" / f,
                               dir.path() / f);
}

std::vector<std::vector<std::string>> read_tsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      rows.push_back(row);
      row.assign(1, "");
    } else if (c == '\t') {
      row.emplace_back();
    } else if (c == '\\' && text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) {
      row.back() += char(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else if (c == '\\' && i + 1 < text.size()) {
      const char e = text[++i];
      row.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    } else {
      row.back() += c;
    }
  }
  return rows;
}

Job::Job(const std::string& list, const std::string& spec_table, const std::string& log_table) {
  dir.write("samples.lst", list);
  dir.write("corrspec.in", spec_table);
  dir.write("corrlog.in", log_table);
}

std::vector<std::string> Job::inputs_and(std::vector<std::string> more) const {
  more.insert(more.end(), {"corrlog.in", "corrspec.in", "samples.lst"});
  std::sort(more.begin(), more.end());
  return more;
}

void PrintTo(const Result& result, std::ostream* os) {
  *os << "{status " << result.status << ", out \"" << result.out << "\", err \"" << result.err
      << "\"}";
}

NestedJob::NestedJob(const std::string& list) {
  std::filesystem::create_directory(dir);
  put("samples.lst", list);
  put("corrspec.in", kExampleSpec);
  put("corrlog.in", kExampleLog);
}

void NestedJob::put(const std::string& name, const std::string& bytes) const {
  top.write("work/" + name, bytes);
}

std::string NestedJob::get(const std::string& name) const { return top.read("work/" + name); }

Result NestedJob::plot(const Setup& setup) const {
  return run_program(TAMSEL_PLOT_EXE, dir, {}, setup);
}

std::vector<std::string> NestedJob::listing(const std::string& sub) const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir / sub))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace e2e
