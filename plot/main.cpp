// SPDX-License-Identifier: BSD-3-Clause
// tamsel-plot: the curves of a run as a picture.  Reads the same three
// files as tamsel in the working directory, builds the same curves and
// coefficients, and draws them to tamsel_curves.svg, or to the SVG, PNG or
// PDF file -o names: a summary of every coefficient, then one panel per
// sample with its fits and table records and their residuals.  It writes
// no report file.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/cli.h"
#include "driver/display.h"
#include "driver/files.h"
#include "driver/run.h"
#include "driver/status.h"
#include "plot/plot.h"
#include "plot/render.h"

namespace {

const char* raw = nullptr;          // --raw
const char* title = nullptr;        // --title TEXT
const char* xlabel = nullptr;       // --xlabel TEXT
const char* ylabel = nullptr;       // --ylabel TEXT
const char* output = nullptr;       // -o, --output FILE
const char* dpi = nullptr;          // --dpi N
const char* samples = nullptr;      // --samples LIST
const char* columns = nullptr;      // --columns N
const char* width = nullptr;        // --width PIXELS
const char* font_size = nullptr;    // --font-size PIXELS
const char* summary_only = nullptr; // --summary-only
const char* no_summary = nullptr;   // --no-summary
const char* no_residuals = nullptr; // --no-residuals

constexpr tamsel::Option kOptions[] = {{"--output", "FILE", &output, "-o"},
                                       {"--dpi", "N", &dpi},
                                       {"--samples", "LIST", &samples},
                                       {"--summary-only", nullptr, &summary_only},
                                       {"--no-summary", nullptr, &no_summary},
                                       {"--no-residuals", nullptr, &no_residuals},
                                       {"--columns", "N", &columns},
                                       {"--width", "PIXELS", &width},
                                       {"--font-size", "PIXELS", &font_size},
                                       {"--raw", nullptr, &raw},
                                       {"--title", "TEXT", &title},
                                       {"--xlabel", "TEXT", &xlabel},
                                       {"--ylabel", "TEXT", &ylabel},
                                       {nullptr, nullptr, nullptr}};

constexpr tamsel::ProgramText kText{
    "tamsel-plot",
    "Usage: tamsel-plot [-o FILE] [--dpi N] [--samples LIST] [--summary-only |\n"
    "                   --no-summary] [--no-residuals] [--columns N]\n"
    "                   [--width PIXELS] [--font-size PIXELS] [--raw]\n"
    "                   [--title TEXT] [--xlabel TEXT] [--ylabel TEXT]\n"
    "       tamsel-plot --help | --version\n"
    "\n"
    "Draws the curves that tamsel correlates.  Run it in the directory of the\n"
    "input files.\n"
    "\n"
    "Reads   samples.lst, corrspec.in and corrlog.in, as tamsel does\n"
    "Writes  tamsel_curves.svg, or the file -o names: first a summary of every\n"
    "        sample's coefficient against its window, then one panel per\n"
    "        sample with the spec and log fits at their 128 points from fmin\n"
    "        to fmax, and the table records inside the window as markers,\n"
    "        titled with the sample's name, window and cross-correlation and\n"
    "        the run's warnings; beneath it a strip of each record less its\n"
    "        fit, the record a fit misses most ringed where the run warned of\n"
    "        it.  Each fit is drawn less its mean and divided by its\n"
    "        root-mean-square over the window, its records at the same scale:\n"
    "        the coefficient is the mean product of the two lines.  No report\n"
    "        file is written.  A list without samples writes no picture.\n"
    "\n"
    "Exit status: 0 picture written (or no samples); 1 and 2 as for tamsel,\n"
    "with the same messages; 2 for a refused option or picture file; nothing\n"
    "is written then.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE   write the picture to FILE, an SVG, PNG or PDF file by\n"
    "                      its extension (.svg, .png, .pdf), inside the working\n"
    "                      directory\n"
    "  --dpi N             a PNG's pixels to the inch, 10 to 1200 (default 96:\n"
    "                      one pixel of the page to a pixel)\n"
    "  --samples LIST      panels for the samples named in LIST only, names or\n"
    "                      shell patterns separated by commas (\"peak*,base\")\n"
    "  --summary-only      draw the summary alone\n"
    "  --no-summary        leave the summary out\n"
    "  --no-residuals      leave out the strips of records less their fit\n"
    "  --columns N         panels to a row, 1 to 10 (default: 1 to 5, more\n"
    "                      as the list grows)\n"
    "  --width PIXELS      the page's width, 200 to 20000 pixels\n"
    "  --font-size PIXELS  the size of the panels' text on the page, 4 to 72\n"
    "                      pixels (default 13)\n"
    "  --raw               draw the fits less their means only, in the tables' units\n"
    "  --title TEXT        the picture's title (the input files are then named\n"
    "                      beneath it)\n"
    "  --xlabel TEXT       the title of the abscissa, such as \"frequency (Hz)\"\n"
    "  --ylabel TEXT       the title of the panels' ordinate\n"
    "  -h, --help          show this text and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "The manual: man tamsel-plot (doc/tamsel.1 in the sources).\n",
    kOptions};

// What each sample leaves that the next one overwrites.
tamsel::KeptSample kept[tamsel::kMaxSamples];

// Text of the command line as the console shows it.
std::string shown(const char* text) {
  std::string out(std::strlen(text) + 1, '\0');
  out.resize(tamsel::show_bytes(text, out.size() - 1, out.data()));
  return out;
}

// The value of a numeric option, a number from lo to hi; stops with a
// usage error otherwise.
double number(const char* name, const char* text, double lo, double hi, bool whole) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0 || !(value >= lo && value <= hi) ||
      (whole && value != std::floor(value)))
    tamsel::stopf(tamsel::kUsageStatus, "tamsel-plot: %s takes %s from %g to %g, not '%s'", name,
                  whole ? "a whole number" : "a number", lo, hi, shown(text).c_str());
  return value;
}

void draw() {
  // The command line first, before any file is read.
  const char* path = output != nullptr ? output : tamsel::kCurvesFile;
  const std::string name = shown(path);
  tamsel::PictureFormat format = tamsel::PictureFormat::kSvg;
  if (!tamsel::picture_format(path, format))
    tamsel::stopf(tamsel::kUsageStatus,
                  "tamsel-plot: %s: the picture's file name must end in .svg, .png or .pdf",
                  name.c_str());
  if (tamsel::leaves_working_directory(path))
    tamsel::stopf(tamsel::kUsageStatus,
                  "tamsel-plot: %s: the picture would lie outside the working directory",
                  name.c_str());
  if (summary_only != nullptr && no_summary != nullptr)
    tamsel::stopf(tamsel::kUsageStatus,
                  "tamsel-plot: --summary-only and --no-summary leave nothing to draw");
  if (dpi != nullptr && format != tamsel::PictureFormat::kPng)
    tamsel::stopf(tamsel::kUsageStatus, "tamsel-plot: --dpi is for PNG files only");
  tamsel::PictureOptions options;
  options.raw = raw != nullptr;
  options.title = title;
  options.xlabel = xlabel;
  options.ylabel = ylabel;
  options.summary = no_summary == nullptr;
  options.panels = summary_only == nullptr;
  options.residuals = no_residuals == nullptr;
  if (columns != nullptr)
    options.columns = tamsel::Integer(number("--columns", columns, 1, 10, true));
  if (width != nullptr) options.width = number("--width", width, 200, 20000, false);
  if (font_size != nullptr) options.font_size = number("--font-size", font_size, 4, 72, false);
  const double resolution = dpi != nullptr ? number("--dpi", dpi, 10, 1200, false) : 96.0;
  if (format != tamsel::PictureFormat::kSvg && !tamsel::renders_pictures())
    tamsel::picture_bytes("", format, resolution, name.c_str()); // stops, naming the package

  tamsel::RunState& st = tamsel::run_state();
  // The report files are checked as tamsel checks them, none is created.
  tamsel::ReportStream reports{-1, {}, true};
  tamsel::sample_phase(st, AT_FDCWD, nullptr, &reports, kept);
  if (st.sample_count == 0) {
    std::printf("tamsel-plot: no samples in samples.lst; nothing drawn\n");
    return;
  }
  if (samples != nullptr) options.samples = tamsel::chosen_samples(st, samples);
  const std::string svg = tamsel::curves_svg(st, kept, options);
  tamsel::write_document(AT_FDCWD, path,
                         tamsel::picture_bytes(svg, format, resolution, name.c_str()));
  const int drawn = !options.panels ? 0 : samples != nullptr ? int(options.samples.size())
                                                              : st.sample_count;
  if (drawn == st.sample_count)
    std::printf("tamsel-plot: %d sample%s drawn to %s\n", drawn, drawn == 1 ? "" : "s",
                name.c_str());
  else if (drawn == 0)
    std::printf("tamsel-plot: the summary of %d sample%s drawn to %s\n", st.sample_count,
                st.sample_count == 1 ? "" : "s", name.c_str());
  else
    std::printf("tamsel-plot: %d of %d samples drawn to %s\n", drawn, st.sample_count,
                name.c_str());
}

} // namespace

int main(int argc, char** argv) {
  return tamsel::program_main(argc, argv, kText, draw);
}
