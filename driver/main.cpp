// SPDX-License-Identifier: BSD-3-Clause
// tamsel: correlation of two tabulated curves inside the frequency windows
// of a sample list.  Reads samples.lst, corrspec.in and corrlog.in in the
// working directory (or the one -C names) and writes the report to the last
// sample's report file, and with --results FILE the results table.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <fcntl.h>

#include "driver/cli.h"
#include "driver/display.h"
#include "driver/run.h"
#include "driver/status.h"

namespace {

const char* results = nullptr;    // --results FILE
const char* directory = nullptr;  // -C DIR, --directory=DIR
const char* no_reports = nullptr; // --no-reports

constexpr tamsel::Option kOptions[] = {
    {"--results", "FILE", &results},
    {"--directory", "DIR", &directory, "-C", nullptr, false},
    {"--no-reports", nullptr, &no_reports, nullptr, "--results", false},
    {nullptr, nullptr, nullptr}};

constexpr tamsel::ProgramText kText{
    "tamsel",
    "Usage: tamsel [--results FILE]\n"
    "       tamsel --help | --version\n"
    "\n"
    "Correlates two tabulated curves inside the frequency windows of a sample\n"
    "list.  Run it in the directory of its input files, or name that\n"
    "directory with -C.\n"
    "\n"
    "Reads   samples.lst   per sample a name line, then fmin and fmax\n"
    "        corrspec.in   the spec curve: records of abscissa and value\n"
    "        corrlog.in    the log curve, on the abscissae of corrspec.in\n"
    "Writes  two progress lines per sample on standard output; creates\n"
    "        NAME_cross.txt for every sample and writes the report of all\n"
    "        samples to the one of the last sample.\n"
    "\n"
    "The coefficient does not depend on the units of either table and lies\n"
    "in [-1, 1]; it is NaN when a curve holds no variation above the\n"
    "rounding of its values (a constant table, a window too narrow) or holds\n"
    "values that are not finite.\n"
    "\n"
    "What the coefficient can and cannot tell you: a warning on standard\n"
    "error, naming the file and line, says what the run read that the number\n"
    "cannot bear, and what to do:\n"
    "  records past the 128th, or files of unequal counts: give both files\n"
    "    the same records, at most 128;\n"
    "  more than two numbers on a record's or a sample's bounds' line: one\n"
    "    record to a line, decimals with a point;\n"
    "  abscissae not finite, outside [0, 1] or not rising, or log abscissae\n"
    "    unlike the spec ones: rescale abscissae and windows to [0, 1], sort\n"
    "    the records, use the spec file's abscissae in both;\n"
    "  a window with fmin not below fmax, reaching past the records, or\n"
    "    holding fewer than 3 of them: fix, narrow or widen the window;\n"
    "  a fit that misses a record by more than a quarter of the records'\n"
    "    spread: the records vary faster than the fit follows;\n"
    "  a curve with no variation, or not finite: the coefficient is NaN.\n"
    "\n"
    "Exit status: 0 normal run, warnings included; 1 a name line starting\n"
    "with a blank, or a reversed window whose last point falls outside the\n"
    "fit; 2 input or output failures, more than 100 samples, or a refused\n"
    "command line.\n"
    "\n"
    "Options:\n"
    "  --results FILE  also write a tab-separated table, one row per sample:\n"
    "                  name, fmin, fmax, coefficient (every digit), records\n"
    "                  inside the window, warnings; - for standard output.\n"
    "                  FILE obeys the rules of the report files.\n"
    "  --no-reports    with --results: write the table and no report file.\n"
    "  -C DIR, --directory=DIR\n"
    "                  run in DIR as if started there: every file, FILE\n"
    "                  too, is read, written and named as there.\n"
    "  -h, --help      show this text and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "The manual, man tamsel (doc/tamsel.1 in the sources), describes the\n"
    "file formats, the report, the results table and the limits.\n",
    kOptions};

// The directory -C names, opened for the run to work in.
int open_directory(const char* path) {
  const int dir = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    const int error = errno;
    std::string shown(std::strlen(path) + 1, '\0');
    shown.resize(tamsel::show_bytes(path, shown.size() - 1, shown.data()));
    tamsel::stopf(tamsel::kInputStatus, "tamsel: %s: cannot open the directory: %s",
                  shown.c_str(), std::strerror(error));
  }
  return dir;
}

} // namespace

int main(int argc, char** argv) {
  return tamsel::program_main(argc, argv, kText, [] {
    const int dir = directory == nullptr ? AT_FDCWD : open_directory(directory);
    tamsel::run(tamsel::run_state(), dir, stdout, stderr, results, no_reports == nullptr);
  });
}
