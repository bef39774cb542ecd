// SPDX-License-Identifier: BSD-3-Clause
// The program's bytes do not depend on the locale of its environment: a run
// under a locale with a decimal comma writes exactly what it writes under
// LC_ALL=C, on the console, on standard error and in the report; the run and
// the picture made in a process whose locale writes a decimal comma (as the
// Python module's may) write what they write in the C locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "driver/results.h"
#include "driver/run.h"
#include "e2e.h"
#include "plot/plot.h"

namespace {

namespace fs = std::filesystem;

// A locale of this system that writes a decimal comma (asked of a fresh
// process), or an empty string when it has none.  The test makes none: CI
// generates de_DE.UTF-8.
std::string comma_locale() {
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "it_IT.UTF-8", "es_ES.UTF-8",
                           "nl_NL.UTF-8", "pt_BR.UTF-8", "ru_RU.UTF-8"}) {
    const std::string ask = std::string("LC_ALL=") + name +
                            " locale -k decimal_point 2>/dev/null | grep -q 'decimal_point=\",\"'";
    if (std::system(ask.c_str()) == 0) return name;
  }
  return "";
}

// Sets LC_ALL for the scope (the runs inherit it), then restores it.
class ScopedLcAll {
public:
  explicit ScopedLcAll(const char* value) {
    if (const char* old = std::getenv("LC_ALL")) previous_ = old;
    setenv("LC_ALL", value, 1);
  }
  ~ScopedLcAll() {
    if (previous_) setenv("LC_ALL", previous_->c_str(), 1);
    else unsetenv("LC_ALL");
  }

private:
  std::optional<std::string> previous_;
};

struct Outcome {
  e2e::Result result;
  std::string report;
};

// Runs a copy of `inputs` (a directory with the three input files) under
// LC_ALL=`locale` and returns what it wrote.
Outcome run_under(const char* locale, const fs::path& inputs, const std::string& report) {
  e2e::TempDir dir;
  for (const char* file : {"samples.lst", "corrspec.in", "corrlog.in"})
    if (fs::exists(inputs / file)) fs::copy_file(inputs / file, dir.path() / file);
  ScopedLcAll scoped(locale);
  Outcome o{e2e::run_tamsel(dir.path()), ""};
  if (dir.exists(report)) o.report = dir.read(report);
  return o;
}

TEST(Locale, DecimalCommaLocaleWritesTheSameBytes) {
  // The locale writes a decimal comma, so a locale-dependent conversion
  // anywhere in the program would show.
  const std::string locale = comma_locale();
  if (locale.empty()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const char* comma_name = locale.c_str();

  const fs::path example = fs::path(TAMSEL_EXAMPLES) / "smooth";
  Outcome c = run_under("C", example, "high_cross.txt");
  Outcome comma = run_under(comma_name, example, "high_cross.txt");
  ASSERT_EQ(c.result.status, 0) << c.result.err;
  EXPECT_NE(c.report.find(" 0.9500\n"), std::string::npos);
  EXPECT_EQ(comma.result.status, 0);
  EXPECT_EQ(comma.result.out, c.result.out);
  EXPECT_EQ(comma.result.err, c.result.err);
  EXPECT_EQ(comma.report, c.report);

  // Error messages too: the system's error text and the quoted token.
  e2e::TempDir missing, malformed;
  missing.write("samples.lst", "abc\n0.1 0.4\n");
  missing.write("corrlog.in", "0.2 0.5\n");
  malformed.write("samples.lst", "abc\n0,4e 0.1\n");
  for (const e2e::TempDir* broken : {&missing, &malformed}) {
    c = run_under("C", broken->path(), "abc_cross.txt");
    comma = run_under(comma_name, broken->path(), "abc_cross.txt");
    EXPECT_EQ(c.result.status, 2);
    EXPECT_EQ(comma.result.status, c.result.status);
    EXPECT_EQ(comma.result.out, c.result.out);
    EXPECT_EQ(comma.result.err, c.result.err);
  }
  EXPECT_EQ(c.result.err, "tamsel: samples.lst:2: '4e' is not a number\n");
}

TEST(Locale, DecimalCommaLocaleOfTheProcessChangesNoByte) {
  const std::string locale = comma_locale();
  if (locale.empty()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  e2e::TempDir dir;
  // A window below the records draws a warning that names them; a 23-digit
  // value is read by the slow path; a huge window bound is written in full.
  dir.write("samples.lst", "low\n0.0 0.45\nhigh\n0.3 0.95\nfar\n0.2 12345.678\n");
  dir.write("corrspec.in", "0.05 0.1\n0.2 0.35000000000000000000001\n0.4 0.2\n0.7 0.9\n");
  dir.write("corrlog.in", "0.05 2.5\n0.2 1.5\n0.4 -0.25\n0.7 1e-3\n");
  e2e::ScopedChdir here(dir.path());
  auto outputs = [] {
    char* warnings = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&warnings, &size);
    tamsel::RunState& st = tamsel::run_state();
    std::vector<tamsel::KeptSample> kept(tamsel::kMaxSamples);
    tamsel::sample_phase(st, AT_FDCWD, nullptr, nullptr, kept.data(), stream);
    std::fclose(stream);
    std::string all = warnings;
    std::free(warnings);
    return all + tamsel::results_table(st) + tamsel::curves_svg(st, kept.data(), {});
  };
  const std::string c = outputs();
  ASSERT_NE(std::setlocale(LC_ALL, locale.c_str()), nullptr);
  const std::string comma = outputs();
  std::setlocale(LC_ALL, "C");
  EXPECT_NE(c.find("span 0.05 to 0.7"), std::string::npos) << c;
  EXPECT_NE(c.find("12345.678"), std::string::npos);
  const auto differ = std::mismatch(c.begin(), c.end(), comma.begin(), comma.end());
  const std::size_t at = std::size_t(differ.first - c.begin());
  EXPECT_EQ(at, c.size()) << "first difference: " << comma.substr(at, 60);
  EXPECT_EQ(comma.size(), c.size());
}

} // namespace
