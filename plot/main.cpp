// SPDX-License-Identifier: BSD-3-Clause
// tamsel-plot: the curves of a run as a picture.  Reads the same three
// files as tamsel in the working directory, builds the same curves and
// coefficients, and draws them to tamsel_curves.svg: a summary of every
// coefficient, then one panel per sample with its fits and table records.
// It writes no report file.
#include <cstdio>

#include "driver/cli.h"
#include "driver/run.h"
#include "plot/plot.h"

namespace {

constexpr tamsel::ProgramText kText{
    "tamsel-plot",
    "Usage: tamsel-plot [--help | --version]\n"
    "\n"
    "Draws the curves that tamsel correlates.  Run it in the directory of the\n"
    "input files; it takes no arguments.\n"
    "\n"
    "Reads   samples.lst, corrspec.in and corrlog.in, as tamsel does\n"
    "Writes  tamsel_curves.svg: first a summary of every sample's coefficient\n"
    "        against its window, then one panel per sample with the spec and\n"
    "        log fits, each less its mean, at their 128 points from fmin to\n"
    "        fmax, and the table records inside the window as markers, titled\n"
    "        with the sample's name, window and cross-correlation, and with a\n"
    "        note for each of tamsel's warnings about the sample.  No report\n"
    "        file is written.  A list without samples writes no picture.\n"
    "\n"
    "Exit status: 0 picture written (or no samples); 1 and 2 as for tamsel,\n"
    "with the same messages; nothing is written then.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this text and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "The manual: man tamsel-plot (doc/tamsel.1 in the sources).\n"};

void draw() {
  tamsel::RunState& st = tamsel::run_state();
  // The report files are checked as tamsel checks them, none is created.
  tamsel::ReportStream reports{-1, {}, true};
  tamsel::sample_phase(st, nullptr, &reports, tamsel::keep_sample);
  if (st.sample_count == 0) {
    std::printf("tamsel-plot: no samples in samples.lst; nothing drawn\n");
    return;
  }
  tamsel::write_document(tamsel::kCurvesFile, tamsel::curves_svg(st, tamsel::kept_samples()));
  std::printf("tamsel-plot: %d sample%s drawn to %s\n", st.sample_count,
              st.sample_count == 1 ? "" : "s", tamsel::kCurvesFile);
}

} // namespace

int main(int argc, char** argv) {
  return tamsel::program_main(argc, argv, kText, draw);
}
