// SPDX-License-Identifier: BSD-3-Clause
// Hostile and broken input end to end: every failure is one line on standard
// error naming the file (and the line where there is one) and a non-zero
// exit status, never a crash; and no failing run damages a report file that
// existed before it, unless the run reached the report phase.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

#include "e2e.h"

namespace {

namespace fs = std::filesystem;
using e2e::console_lines;
using e2e::padded;

using e2e::Job;

// One line on standard error, beginning with `start`, and an exit status of
// the program's own (not a signal).
void expect_one_line_error(const e2e::Result& r, const std::string& start, int status = 2) {
  EXPECT_EQ(r.status, status) << r.err;
  const std::string err = e2e::without_warnings(r.err);
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(err.find('\n'), err.size() - 1) << r.err;
  EXPECT_EQ(err.compare(0, start.size(), start), 0) << r.err;
}

// True when permission bits do not keep this process out (root): the
// permission cases are then skipped.
bool can_read(const fs::path& p) { return access(p.c_str(), R_OK) == 0; }
bool can_write(const fs::path& p) { return access(p.c_str(), W_OK) == 0; }

const char* const kInputFiles[] = {"samples.lst", "corrspec.in", "corrlog.in"};

TEST(Hostile, MissingOrDirectoryInputNamesTheFile) {
  for (const std::string file : kInputFiles) {
    SCOPED_TRACE(file);
    Job missing("abc\n0.1 0.4\n");
    fs::remove(missing.dir.path() / file);
    auto r = missing.run();
    expect_one_line_error(r, "tamsel: " + file + ": cannot open: No such file or directory");
    EXPECT_EQ(r.out, file == "samples.lst" ? "" : console_lines("abc"));

    Job directory("abc\n0.1 0.4\n");
    fs::remove(directory.dir.path() / file);
    fs::create_directory(directory.dir.path() / file);
    r = directory.run();
    expect_one_line_error(r, "tamsel: " + file + ": cannot read: is a directory");
  }
}

TEST(Hostile, UnreadableInputNamesTheFile) {
  for (const std::string file : kInputFiles) {
    SCOPED_TRACE(file);
    Job job("abc\n0.1 0.4\n");
    fs::permissions(job.dir.path() / file, fs::perms::none);
    if (can_read(job.dir.path() / file))
      GTEST_SKIP() << "running as root: permission bits do not deny reading";
    expect_one_line_error(job.run(), "tamsel: " + file + ": cannot open: Permission denied");
  }
}

TEST(Hostile, BinaryGarbageAndNulBytes) {
  // Random bytes in each file in turn: always a clean stop, never a crash.
  std::mt19937 bytes(2385);
  for (int round = 0; round < 10; ++round) {
    for (const std::string file : kInputFiles) {
      SCOPED_TRACE(file + " round " + std::to_string(round));
      std::string garbage(4096, '\0');
      for (char& c : garbage) c = char(bytes() & 0xff);
      garbage[0] = 'g'; // a name that does not start with a blank
      Job job("abc\n0.1 0.4\n");
      job.dir.write(file, garbage);
      auto r = job.run();
      expect_one_line_error(r, "tamsel: " + file + ":");
    }
  }

  Job number("abc\n0.1 0.4\n");
  number.dir.write("corrspec.in", std::string("0.2 1.0\n0.5 3\0" "0\n", 15));
  expect_one_line_error(number.run(), "tamsel: corrspec.in:2: '3?0' is not a number");

  Job name(std::string("ab\0c\n0.1 0.4\n", 13));
  auto r = name.run();
  expect_one_line_error(r, "tamsel: samples.lst:1: the name line holds a NUL byte");
  EXPECT_EQ(r.out, "");

  // Past the 50 characters of the name a NUL is never looked at.
  Job beyond(std::string(50, 'n') + std::string("\0\n0.1 0.4\n", 10));
  r = beyond.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, console_lines(std::string(50, 'n')));
}

TEST(Hostile, TenMegabyteLines) {
  const std::string huge(10 << 20, 'x');
  // A name line is cut at 50 characters, however long.
  Job name(huge + "\n0.1 0.4\n");
  auto r = name.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, console_lines(std::string(50, 'x')));
  EXPECT_EQ(name.dir.read(std::string(50, 'x')).substr(0, 52), padded(std::string(50, 'x')) + "\n\n");

  // Blanks before the bounds are separators, however many.
  Job blanks("abc\n" + std::string(10 << 20, ' ') + "0.1 0.4\n");
  r = blanks.run();
  EXPECT_EQ(r.status, 0) << r.err;

  Job word("abc\n0.1 0.4\n");
  word.dir.write("corrlog.in", "0.2 0.5\n0.5 " + huge + "\n");
  expect_one_line_error(word.run(), "tamsel: corrlog.in:2: 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...' is not a number");

  Job digits("abc\n0.1 0.4\n");
  digits.dir.write("corrspec.in", "0.2 " + std::string(10 << 20, '7') + "\n");
  expect_one_line_error(digits.run(), "tamsel: corrspec.in:1: '7777777777777777777777777777777777777777...' is too long for a number");
}

TEST(Hostile, LongAndOutOfRangeNumbersAreRefused) {
  Job digits("abc\n0." + std::string(5000, '3') + " 0.4\n");
  expect_one_line_error(digits.run(), "tamsel: samples.lst:2: '0.33333333333333333333333333333333333333...' is too long for a number");

  Job high("abc\n0.1\n\n1e999\n");
  expect_one_line_error(high.run(), "tamsel: samples.lst:4: '1e999' is out of the range of a double");

  Job low("abc\n0.1 0.4\n");
  low.dir.write("corrspec.in", "0.2 1.0\n0.5 -1D999\n");
  expect_one_line_error(low.run(), "tamsel: corrspec.in:2: '-1D999' is out of the range of a double");

  // Below the range is not an error: the nearest double, here zero.
  Job tiny("abc\n1e-999 0.4\n");
  auto r = tiny.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tiny.dir.read("abc_cross.txt").substr(52 + 27, 27), "             fmin:  0.0000\n");
}

TEST(Hostile, NanAndInfinitiesFlowThrough) {
  Job bounds("abc\nnan inf\n");
  auto r = bounds.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(bounds.dir.read("abc_cross.txt"), e2e::block("abc_cross.txt", "    NaN", "    NaN", "    Inf"));

  Job low("abc\n-INF 0.4\n");
  r = low.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(low.dir.read("abc_cross.txt"), e2e::block("abc_cross.txt", "    NaN", "   -Inf", " 0.4000"));

  // An infinite value inside the window poisons the fit ...
  Job inside("abc\n0.1 0.9\n");
  inside.dir.write("corrspec.in", "0.2 1.0\n0.5 -inf\n0.8 2.0\n");
  r = inside.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(inside.dir.read("abc_cross.txt"), e2e::block("abc_cross.txt", "    NaN", " 0.1000", " 0.9000"));

  // ... while one in an interval the window never reaches is never used.
  Job finite("abc\n0.1 0.5\n"), infinite("abc\n0.1 0.5\n");
  finite.dir.write("corrspec.in", "0.2 1.0\n0.5 3.0\n0.8 2.0\n0.9 2.5\n");
  infinite.dir.write("corrspec.in", "0.2 1.0\n0.5 3.0\n0.8 2.0\n0.9 inf\n");
  finite.dir.write("corrlog.in", "0.2 0.5\n0.5 1.0\n0.8 2.5\n0.9 nan\n");
  infinite.dir.write("corrlog.in", "0.2 0.5\n0.5 1.0\n0.8 2.5\n0.9 nan\n");
  ASSERT_EQ(finite.run().status, 0);
  ASSERT_EQ(infinite.run().status, 0);
  EXPECT_EQ(infinite.dir.read("abc_cross.txt"), finite.dir.read("abc_cross.txt"));
}

TEST(Hostile, ReportInAMissingDirectory) {
  Job job("sub/abc\n0.1 0.4\n");
  auto r = job.run();
  expect_one_line_error(r, "tamsel: sub/abc_cross.txt: cannot create the report file: No such file or directory");
  EXPECT_EQ(r.out, console_lines("sub/abc"));
}

TEST(Hostile, ReportInAReadOnlyDirectoryOrFile) {
  Job dir("ro/abc\n0.1 0.4\n");
  fs::create_directory(dir.dir.path() / "ro");
  fs::permissions(dir.dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  Job file("abc\n0.1 0.4\n");
  file.dir.write("abc_cross.txt", "kept\n");
  fs::permissions(file.dir.path() / "abc_cross.txt", fs::perms::owner_read);
  if (can_write(file.dir.path() / "abc_cross.txt") || can_write(dir.dir.path() / "ro"))
    GTEST_SKIP() << "running as root: permission bits do not deny writing";

  auto r = dir.run();
  expect_one_line_error(r, "tamsel: ro/abc_cross.txt: cannot create the report file: Permission denied");
  EXPECT_TRUE(fs::is_empty(dir.dir.path() / "ro"));

  r = file.run();
  expect_one_line_error(r, "tamsel: abc_cross.txt: cannot create the report file: Permission denied");
  fs::permissions(file.dir.path() / "abc_cross.txt", fs::perms::owner_all);
  EXPECT_EQ(file.dir.read("abc_cross.txt"), "kept\n");
}

TEST(Hostile, FullDiskWhileWritingTheReportOrResultsFailsTheRun) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Job job("first\n0.1 0.9\nabc\n0.1 0.4\n");
  fs::create_symlink("/dev/full", job.dir.path() / "abc_cross.txt");
  auto r = job.run();
  expect_one_line_error(r, "tamsel: abc_cross.txt: cannot write the report: No space left on device");
  EXPECT_EQ(r.out, console_lines("first") + console_lines("abc"));

  Job results("first\n0.1 0.9\n");
  fs::create_symlink("/dev/full", results.dir.path() / "full.tsv");
  r = e2e::run_tamsel(results.dir.path(), {"--results", "full.tsv"});
  expect_one_line_error(r, "tamsel: full.tsv: cannot write the results file: No space left on device");
}

// Nothing lost: a report file that existed before a failing run keeps its
// bytes whenever the run stopped before the report phase.
TEST(NothingLost, RunsThatStopBeforeTheReportLeaveAnOldReportAlone) {
  const std::string old = "abc_cross.txt" + std::string(37, ' ') +
                          "\n\nCross-correlation:  0.5000\n             fmin:  0.2000\n"
                          "             fmax:  0.3000\nand more than a new report holds\n";
  std::string hundred_and_one;
  for (int i = 0; i < 101; ++i) hundred_and_one += "abc\n0.1 0.9\n";
  struct Case {
    const char* what;
    std::string list;
    const char* remove; // an input file taken away, or null
    int status;
  } cases[] = {
      {"missing table", "abc\n0.1 0.4\n", "corrspec.in", 2},
      {"malformed bound after it", "abc\n0.1 0.4\nnext\n0.1 zero\n", nullptr, 2},
      {"end of file inside a record", "abc\n0.1 0.4\nabc\n", nullptr, 2},
      {"blank name after it", "abc\n0.1 0.4\n \n0.1 0.4\n", nullptr, 1},
      {"chebev range stop", "abc\n0.29 0.04\n", nullptr, 1},
      {"too many samples", hundred_and_one, nullptr, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Job job(c.list);
    job.dir.write("abc_cross.txt", old);
    if (c.remove != nullptr) fs::remove(job.dir.path() / c.remove);
    auto r = job.run();
    expect_one_line_error(r, c.status == 2 ? "tamsel: " : "", c.status);
    EXPECT_EQ(job.dir.read("abc_cross.txt"), old);
  }

  // A successful run leaves the files of earlier samples alone too.
  Job ok("abc\n0.1 0.4\nlast\n0.2 0.8\n");
  ok.dir.write("abc_cross.txt", old);
  ASSERT_EQ(ok.run().status, 0);
  EXPECT_EQ(ok.dir.read("abc_cross.txt"), old);
}

} // namespace
