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

const char* raw = nullptr;    // --raw
const char* title = nullptr;  // --title TEXT
const char* xlabel = nullptr; // --xlabel TEXT

constexpr tamsel::Option kOptions[] = {{"--raw", nullptr, &raw},
                                       {"--title", "TEXT", &title},
                                       {"--xlabel", "TEXT", &xlabel},
                                       {nullptr, nullptr, nullptr}};

constexpr tamsel::ProgramText kText{
    "tamsel-plot",
    "Usage: tamsel-plot [--raw] [--title TEXT] [--xlabel TEXT]\n"
    "       tamsel-plot --help | --version\n"
    "\n"
    "Draws the curves that tamsel correlates.  Run it in the directory of the\n"
    "input files.\n"
    "\n"
    "Reads   samples.lst, corrspec.in and corrlog.in, as tamsel does\n"
    "Writes  tamsel_curves.svg: first a summary of every sample's coefficient\n"
    "        against its window, then one panel per sample with the spec and\n"
    "        log fits at their 128 points from fmin to fmax, and the table\n"
    "        records inside the window as markers, titled with the sample's\n"
    "        name, window and cross-correlation and the run's warnings.  Each\n"
    "        fit is drawn less its mean and divided by its root-mean-square\n"
    "        over the window, its records at the same scale: the coefficient\n"
    "        is the mean product of the two lines.  No report file is\n"
    "        written.  A list without samples writes no picture.\n"
    "\n"
    "Exit status: 0 picture written (or no samples); 1 and 2 as for tamsel,\n"
    "with the same messages; nothing is written then.\n"
    "\n"
    "Options:\n"
    "  --raw          draw the fits less their means only, in the tables' units\n"
    "  --title TEXT   the picture's title (the input files are then named\n"
    "                 beneath it)\n"
    "  --xlabel TEXT  the title of the abscissa, such as \"frequency (Hz)\"\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "The manual: man tamsel-plot (doc/tamsel.1 in the sources).\n",
    kOptions};

// What each sample leaves that the next one overwrites.
tamsel::KeptSample kept[tamsel::kMaxSamples];

void draw() {
  tamsel::RunState& st = tamsel::run_state();
  // The report files are checked as tamsel checks them, none is created.
  tamsel::ReportStream reports{-1, {}, true};
  tamsel::sample_phase(st, AT_FDCWD, nullptr, &reports, kept);
  if (st.sample_count == 0) {
    std::printf("tamsel-plot: no samples in samples.lst; nothing drawn\n");
    return;
  }
  const tamsel::PictureOptions options{raw != nullptr, title, xlabel};
  tamsel::write_document(AT_FDCWD, tamsel::kCurvesFile, tamsel::curves_svg(st, kept, options));
  std::printf("tamsel-plot: %d sample%s drawn to %s\n", st.sample_count,
              st.sample_count == 1 ? "" : "s", tamsel::kCurvesFile);
}

} // namespace

int main(int argc, char** argv) {
  return tamsel::program_main(argc, argv, kText, draw);
}
