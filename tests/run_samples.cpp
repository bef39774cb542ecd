// SPDX-License-Identifier: BSD-3-Clause
// The run end to end: the sample list, the console lines, the report files
// and the failures of the sample phase.
#include <gtest/gtest.h>

#include <string>

#include "e2e.h"

namespace {

using e2e::console_lines;
using e2e::padded;

using e2e::Job;

// The first line of every block of a report written to `file`.
int blocks_in(const std::string& report, const std::string& file) {
  int count = 0;
  for (std::size_t at = report.find(padded(file) + "\n\n"); at != std::string::npos;
       at = report.find(padded(file) + "\n\n", at + 1))
    ++count;
  return count;
}

TEST(Run, EmptyListWritesNothing) {
  Job job("");
  auto r = job.run();
  EXPECT_EQ(r, (e2e::Result{0, "", ""}));
  EXPECT_EQ(job.dir.entries(), job.inputs_and({}));
}

TEST(Run, OneSamplePrintsBothLinesAndReportsToItsFile) {
  Job job("abc\n0.1 0.4\n");
  EXPECT_EQ(e2e::without_warnings(job.run()),
            (e2e::Result{0, console_lines("abc"), ""}));
  EXPECT_EQ(job.dir.entries(), job.inputs_and({"abc_cross.txt"}));
  std::string report = job.dir.read("abc_cross.txt");
  EXPECT_EQ(report.substr(0, 52), padded("abc_cross.txt") + "\n\n");
  EXPECT_NE(report.find("\n             fmin:  0.1000\n             fmax:  0.4000\n"),
            std::string::npos);
}

TEST(Run, NameEndsAtItsFirstBlankAndLongNamesLoseTheSuffix) {
  std::string n45(45, 'q'), n60(60, 'w');
  Job job("abc def 0.1 0.4\n0.1 0.4\n" + n45 + "\n0.1,0.4\n" + n60 + "\n\n0.1\n0.4\n");
  auto r = job.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, console_lines("abc") + console_lines(n45) + console_lines(std::string(50, 'w')));
  EXPECT_EQ(job.dir.entries(),
            job.inputs_and({"abc_cross.txt", n45 + "_cros", std::string(50, 'w')}));
  EXPECT_EQ(job.dir.read("abc_cross.txt"), "");
  EXPECT_EQ(job.dir.read(n45 + "_cros"), "");
  EXPECT_EQ(blocks_in(job.dir.read(std::string(50, 'w')), std::string(50, 'w')), 3);
}

TEST(Run, ThreeSamplesPutEveryBlockInTheLastFile) {
  Job job("one\n0.1 0.9\ntwo\n0.2 0.8\nthree\n0.3 0.7\n");
  job.dir.write("one_cross.txt", "kept as it was\n");
  job.dir.write("three_cross.txt", std::string(5000, '#'));
  auto r = job.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, console_lines("one") + console_lines("two") + console_lines("three"));
  EXPECT_EQ(job.dir.read("one_cross.txt"), "kept as it was\n");
  EXPECT_EQ(job.dir.read("two_cross.txt"), "");
  std::string report = job.dir.read("three_cross.txt");
  EXPECT_EQ(blocks_in(report, "three_cross.txt"), 3);
  EXPECT_EQ(report.find('#'), std::string::npos); // cut after the last line
  EXPECT_EQ(report.back(), '\n');
}

// CR LF and lone CR line ends read as LF ones in all three files: the same
// console, messages (with their line numbers) and report.
TEST(Run, CrLfAndCrLineEndsReadLikeLf) {
  auto with_ends = [](std::string text, const std::string& end) {
    for (std::size_t at = text.find('\n'); at != std::string::npos;
         at = text.find('\n', at + end.size()))
      text.replace(at, 1, end);
    return text;
  };
  const std::string list = "abc\n0.1 0.4\nrev\n\n0.4 0.1\n";
  Job lf(list);
  const auto expected = lf.run();
  ASSERT_EQ(expected.status, 0) << expected.err;
  EXPECT_NE(expected.err, "");
  for (const char* end : {"\r\n", "\r"}) {
    Job job(with_ends(list, end), with_ends(e2e::kExampleSpec, end),
            with_ends(e2e::kExampleLog, end));
    auto r = job.run();
    EXPECT_EQ(r, expected) << end;
    EXPECT_EQ(job.dir.read("rev_cross.txt"), lf.dir.read("rev_cross.txt"));
  }
}

TEST(Run, TrailingEmptyLineIsEndOfFileInsideARecord) {
  Job job("one\n0.1 0.9\ntwo\n0.2 0.8\n\n");
  job.dir.write("two_cross.txt", "previous report\n");
  EXPECT_EQ(e2e::without_warnings(job.run()),
            (e2e::Result{2, console_lines("one") + console_lines("two"),
                         "tamsel: samples.lst:5: end of file before the bounds fmin and fmax of this sample\n"}));
  EXPECT_EQ(job.dir.read("one_cross.txt"), "");
  EXPECT_EQ(job.dir.read("two_cross.txt"), "previous report\n");
}

TEST(Run, BlankNameStopsWithTheProgramsOwnMessage) {
  Job job("one\n0.1 0.9\n two\n0.2 0.8\n");
  EXPECT_EQ(e2e::without_warnings(job.run()),
            (e2e::Result{1, console_lines("one"), "name starts with empty space\n"}));
  EXPECT_EQ(job.dir.read("one_cross.txt"), "");
  // An empty name line is a blank name too.
  Job empty("\n0.1 0.9\n");
  EXPECT_EQ(empty.run(), (e2e::Result{1, "", "name starts with empty space\n"}));
  EXPECT_EQ(empty.dir.entries(), empty.inputs_and({}));
}

TEST(Run, MalformedBoundAndMissingInputsNameTheFile) {
  Job bad("abc\n0.1 zero\n");
  auto r = bad.run();
  EXPECT_EQ(r, (e2e::Result{2, "", "tamsel: samples.lst:2: 'zero' is not a number\n"}));

  e2e::TempDir none;
  r = e2e::run_tamsel(none.path());
  EXPECT_EQ(r, (e2e::Result{2, "",
                           "tamsel: samples.lst: cannot open: No such file or directory\n"}));
  EXPECT_TRUE(none.entries().empty());

  Job nolog("abc\n0.1 0.4\n");
  std::filesystem::remove(nolog.dir.path() / "corrlog.in");
  r = nolog.run();
  EXPECT_EQ(r, (e2e::Result{2, console_lines("abc"),
                           "tamsel: corrlog.in: cannot open: No such file or directory\n"}));
  EXPECT_EQ(nolog.dir.read("abc_cross.txt"), "");
}

TEST(Run, ReportFileThatCannotBeCreatedStops) {
  Job job("ok\n0.1 0.9\nmissing/abc\n0.1 0.4\n");
  EXPECT_EQ(e2e::without_warnings(job.run()),
            (e2e::Result{2, console_lines("ok") + console_lines("missing/abc"),
                         "tamsel: missing/abc_cross.txt: cannot create the report file: No such file or directory\n"}));
  EXPECT_EQ(job.dir.read("ok_cross.txt"), "");
}

TEST(Run, TheHundredAndFirstSampleIsRefusedBeforeItIsPrinted) {
  std::string list, expected;
  for (int i = 1; i <= 101; ++i) {
    const std::string name = std::string("s").append(std::to_string(i));
    list.append(name).append("\n0.1 0.9\n");
    if (i <= 100) expected += console_lines(name);
  }
  Job job(list);
  EXPECT_EQ(e2e::without_warnings(job.run()),
            (e2e::Result{2, expected,
                         "tamsel: samples.lst:201: more than 100 samples; a run holds at most 100\n"}));
  EXPECT_FALSE(job.dir.exists("s101_cross.txt"));
  EXPECT_EQ(job.dir.read("s100_cross.txt"), "");

  // Exactly 100 samples run.
  list.erase(list.find("s101\n"));
  Job hundred(list);
  const e2e::Result r = hundred.run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(blocks_in(hundred.dir.read("s100_cross.txt"), "s100_cross.txt"), 100);
}

} // namespace
