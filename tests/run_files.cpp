// SPDX-License-Identifier: BSD-3-Clause
// Files and safety end to end: where a report may go, whose symbolic links
// lead there, how a finished text replaces a file, the standard streams,
// inputs and outputs that could hang the run, and what input bytes reach
// the console.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "driver/files.h"
#include "driver/input.h"
#include "driver/stop.h"
#include "e2e.h"

namespace {

namespace fs = std::filesystem;
using e2e::console_lines;
using e2e::without_warnings;
using e2e::NestedJob;

using Names = std::vector<std::string>;
const Names kInputs = {"corrlog.in", "corrspec.in", "samples.lst"};

TEST(Files, ReportsStayInsideTheWorkingDirectory) {
  NestedJob probe("x\n0.1 0.9\n");
  const std::string absolute = (probe.top.path() / "abs").string();
  for (const std::string& name : {std::string("../escape"), absolute, std::string("sub/../../x"),
                                 std::string(47, 'a') + "/.."}) {
    SCOPED_TRACE(name);
    NestedJob job("first\n0.1 0.9\n" + name + "\n0.1 0.9\n");
    fs::create_directory(job.dir / "sub");
    auto r = job.run();
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(e2e::without_warnings(r.err).starts_with("tamsel: samples.lst:3: sample '" + name + "': its report file ")) << r.err;
    EXPECT_TRUE(r.err.ends_with(" would lie outside the working directory\n")) << r.err;
    EXPECT_EQ(r.out, console_lines("first"));
    EXPECT_EQ(job.top.entries(), Names{"work"});
    EXPECT_EQ(job.listing(), (Names{"corrlog.in", "corrspec.in", "first_cross.txt", "samples.lst", "sub"}));
    EXPECT_TRUE(job.listing("sub").empty());
  }
  EXPECT_EQ(probe.top.entries(), Names{"work"}); // where the absolute name pointed
  NestedJob inside("sub/abc\n0.1 0.9\n");
  fs::create_directory(inside.dir / "sub");
  EXPECT_EQ(inside.run().status, 0);
  EXPECT_EQ(inside.listing("sub"), Names{"abc_cross.txt"});
}

TEST(Files, NeverOntoAnInputHoweverItIsReached) {
  struct Case {
    std::string name, input;
    void (*prepare)(const NestedJob&);
  } cases[] = {
      {"." + std::string(38, '/') + "corrspec.in", "corrspec.in", nullptr},
      {"s", "samples.lst", [](const NestedJob& j) { fs::create_symlink("samples.lst", j.dir / "s_cross.txt"); }},
      {"h", "corrlog.in", [](const NestedJob& j) { fs::create_hard_link(j.dir / "corrlog.in", j.dir / "h_cross.txt"); }},
      // Not there yet: creating the report would create the input.
      {"." + std::string(39, '/') + "corrlog.in", "corrlog.in", [](const NestedJob& j) { fs::remove(j.dir / "corrlog.in"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NestedJob job(c.name + "\n0.1 0.9\n");
    if (c.prepare != nullptr) c.prepare(job);
    const std::string list = job.get("samples.lst");
    auto r = job.run();
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.ends_with(" is the input file " + c.input + "\n")) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(job.get("samples.lst"), list);
    EXPECT_EQ(job.get("corrspec.in"), e2e::kExampleSpec);
    if (fs::exists(job.dir / "corrlog.in")) {
      EXPECT_EQ(job.get("corrlog.in"), e2e::kExampleLog);
    }
  }
  NestedJob picture("a\n0.1 0.9\n");
  fs::create_symlink("corrspec.in", picture.dir / "tamsel_curves.svg");
  auto r = picture.plot();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tamsel-plot: tamsel_curves.svg: cannot write the file: it is the input file corrspec.in\n");
  EXPECT_EQ(picture.get("corrspec.in"), e2e::kExampleSpec);
}

// A file-size limit stands in for a full disk: the old file keeps its bytes,
// no new file is left behind, and the process is not killed by SIGXFSZ.
TEST(Files, AFailedWriteChangesNothingAndAWrittenOneReplacesTheFile) {
  const std::string old(1000, 'o');
  NestedJob job("a\n0.2 0.8\nb\n0.2 0.8\nc\n0.2 0.8\n"); // windows that draw no warning
  job.put("c_cross.txt", old);
  job.put("tamsel_curves.svg", old);
  const e2e::Setup limited{{}, 200};
  auto r = job.run(limited);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tamsel: c_cross.txt: cannot write the report: File too large\n");
  r = job.plot(limited);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tamsel-plot: tamsel_curves.svg: cannot write the file: File too large\n");
  EXPECT_EQ(job.get("c_cross.txt"), old);
  EXPECT_EQ(job.get("tamsel_curves.svg"), old);
  EXPECT_EQ(job.listing(), (Names{"a_cross.txt", "b_cross.txt", "c_cross.txt", "corrlog.in",
                                  "corrspec.in", "samples.lst", "tamsel_curves.svg"}));
  if (fs::exists("/dev/full")) {
    fs::remove(job.dir / "tamsel_curves.svg");
    fs::create_symlink("/dev/full", job.dir / "tamsel_curves.svg");
    EXPECT_EQ(job.plot().status, 2);
    EXPECT_TRUE(fs::is_symlink(job.dir / "tamsel_curves.svg"));
  }

  // A link is followed and stays a link; the replaced file keeps its mode.
  NestedJob linked("a\n0.1 0.9\nc\n0.3 0.7\n");
  fs::create_directory(linked.dir / "keep");
  linked.put("keep/target", old);
  fs::permissions(linked.dir / "keep/target", fs::perms(0640));
  fs::create_symlink("keep/target", linked.dir / "c_cross.txt");
  ASSERT_EQ(linked.run().status, 0);
  EXPECT_TRUE(fs::is_symlink(linked.dir / "c_cross.txt"));
  EXPECT_EQ(linked.get("keep/target").substr(0, 52), e2e::padded("c_cross.txt") + "\n\n");
  EXPECT_EQ(linked.get("keep/target").size(), 2 * 133u);
  EXPECT_EQ(fs::status(linked.dir / "keep/target").permissions(), fs::perms(0640));
  EXPECT_EQ(linked.listing("keep"), Names{"target"});
}

TEST(Files, StandardStreamsAreNeverTakenByAFile) {
  std::string list, console;
  for (int i = 0; i < 100; ++i) {
    list += "s" + std::to_string(i) + "\n0.1 0.9\n";
    console += console_lines("s" + std::to_string(i));
  }
  NestedJob no_output(list);
  auto r = no_output.run({{0, 1}});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tamsel: standard output is closed\n");
  EXPECT_EQ(no_output.listing(), kInputs);

  NestedJob no_errors(list);
  r = no_errors.run({{0, 2}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, console);
  for (int i = 0; i < 99; ++i) ASSERT_EQ(no_errors.get("s" + std::to_string(i) + "_cross.txt"), "") << i;
}

// An endless stream of one byte that counts what it serves and gives up
// after a mebibyte.
struct Endless {
  char byte;
  std::size_t served;
};

ssize_t serve(void* cookie, char* buffer, std::size_t size) {
  auto* endless = static_cast<Endless*>(cookie);
  if (endless->served > (1u << 20)) return 0;
  std::memset(buffer, endless->byte, size);
  endless->served += size;
  return ssize_t(size);
}

TEST(Files, NothingHangs) {
  // A FIFO report file with no reader is an error; with one it gets the report.
  NestedJob job("a\n0.1 0.9\nb\n0.2 0.8\n");
  ASSERT_EQ(mkfifo((job.dir / "b_cross.txt").c_str(), 0600), 0);
  auto r = job.run();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(e2e::without_warnings(r.err),
            "tamsel: b_cross.txt: cannot create the report file: it is a FIFO that no process is reading\n");
  NestedJob plain("a\n0.1 0.9\nb\n0.2 0.8\n");
  ASSERT_EQ(plain.run().status, 0);
  const int reader = open((job.dir / "b_cross.txt").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  r = job.run();
  EXPECT_EQ(r.status, 0) << r.err;
  char got[1024];
  const ssize_t n = read(reader, got, sizeof got);
  close(reader);
  EXPECT_EQ(std::string(got, std::size_t(std::max<ssize_t>(n, 0))), plain.get("b_cross.txt"));

  // Endless input without separators ends in an error naming the file.
  NestedJob zero("a\n0.1 0.9\n");
  fs::remove(zero.dir / "corrspec.in");
  fs::create_symlink("/dev/zero", zero.dir / "corrspec.in");
  r = zero.run();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tamsel: corrspec.in:1: '" + std::string(40, '?') + "...' is not a number\n");
  for (const char byte : {'7', 'x', 'n'}) {
    Endless endless{byte, 0};
    tamsel::InputFile in{fopencookie(&endless, "r", {serve, nullptr, nullptr, nullptr}), "endless", 1};
    ASSERT_NE(in.fp, nullptr);
    tamsel::Real values[2];
    std::string message = "(no stop)";
    try {
      tamsel::read_reals(in, values, 2);
    } catch (const tamsel::Stop& s) {
      message = s.what();
    }
    tamsel::close_input(in);
    EXPECT_TRUE(message.starts_with("tamsel: endless:1: '")) << message;
    EXPECT_LT(endless.served, 65536u) << byte;
  }
}

TEST(Files, ConsoleShowsNoControlBytesAndAByteOrderMarkIsSkipped) {
  const std::string bom = "\xef\xbb\xbf";
  const std::string name = "t\x1b]0;x\x07\x1b[2J\x7f\tz";
  NestedJob marked(bom + name + "\n0.1 0.9\n"), plain(name + "\n0.1 0.9\n");
  marked.put("corrspec.in", bom + e2e::kExampleSpec);
  marked.put("corrlog.in", bom + e2e::kExampleLog);
  for (const NestedJob* job : {&marked, &plain}) {
    auto r = job->run();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, console_lines("t?]0;x??[2J?\tz"));
    EXPECT_EQ(job->listing(), (Names{"corrlog.in", "corrspec.in", "samples.lst", name + "_cross.txt"}));
  }
  EXPECT_EQ(marked.get(name + "_cross.txt"), plain.get(name + "_cross.txt"));
  EXPECT_EQ(plain.get(name + "_cross.txt").substr(0, 50), e2e::padded(name + "_cross.txt"));

  // Only a whole mark is skipped; bytes that merely begin like one stay.
  NestedJob partial("\xef\xbb\x80k\n0.1 0.9\n");
  EXPECT_EQ(partial.run().out, console_lines("\xef\xbb\x80k"));
  EXPECT_TRUE(fs::exists(partial.dir / "\xef\xbb\x80k_cross.txt"));

  NestedJob missing("d\x1b/x\n0.1 0.9\n");
  EXPECT_EQ(missing.run().err,
            "tamsel: d?/x_cross.txt: cannot create the report file: No such file or directory\n");
}

// A name of 41 or more characters keeps no whole "_cross.txt" suffix, so it
// can name any file: only a file that holds a report, or nothing, is
// replaced, and a rerun replaces its own report.
TEST(Files, ANameWithoutTheWholeSuffixReplacesOnlyReports) {
  const std::string slashes = "." + std::string(40, '/');
  for (const std::string target : {"keep/config", "keep/empty", "keep/short"}) {
    SCOPED_TRACE(target);
    const std::string name = slashes.substr(0, 50 - target.size()) + target;
    NestedJob job("first\n0.1 0.9\n" + name + "\n0.2 0.8\n");
    fs::create_directory(job.dir / "keep");
    job.put("keep/config", "[core]\n\tbare = false\n");
    job.put("keep/short", e2e::padded(name) + "\n\nCross-correlation:"); // cut before its number
    const bool replaceable = target == "keep/empty";
    if (replaceable) job.put(target, "");
    auto r = job.run();
    if (replaceable) {
      EXPECT_EQ(r.status, 0) << r.err;
      const std::string first = job.get(target);
      EXPECT_EQ(first.substr(0, 71), e2e::padded(name) + "\n\nCross-correlation: ");
      job.put("first_cross.txt", "not mine\n");
      EXPECT_EQ(job.run().status, 0); // the same list again: its own report
      EXPECT_EQ(job.get(target), first);
      EXPECT_EQ(job.get("first_cross.txt"), "not mine\n");
      continue;
    }
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(without_warnings(r.err),
              "tamsel: samples.lst:3: sample '" + name + "': its report file " + name +
                  " would replace a file that is not a report (the name is too long for "
                  "the _cross.txt suffix)\n");
    EXPECT_EQ(r.out, console_lines("first"));
    EXPECT_EQ(job.get("keep/config"), "[core]\n\tbare = false\n");
    EXPECT_EQ(job.get("keep/short"), e2e::padded(name) + "\n\nCross-correlation:");
  }
}

// tamsel-plot writes no report file but refuses every sample tamsel
// refuses, with the very message and status, and then draws nothing.
TEST(Files, PlotRefusesTheReportFilesTamselRefuses) {
  const std::string long_name = "." + std::string(39, '/') + "not/report";
  for (const std::string name : {"/etc/passwd", "nosuchdir/x", "../x", "fifo", long_name.c_str()}) {
    SCOPED_TRACE(name);
    NestedJob job("first\n0.1 0.9\n" + name + "\n0.2 0.8\n");
    fs::create_directory(job.dir / "not");
    job.put("not/report", "keep\n");
    ASSERT_EQ(mkfifo((job.dir / "fifo_cross.txt").c_str(), 0600), 0);
    const Names before = job.listing();
    const auto tamsel = job.run();
    fs::remove(job.dir / "first_cross.txt");
    const auto plot = job.plot();
    EXPECT_EQ(tamsel.status, 2);
    EXPECT_EQ(plot.status, 2);
    EXPECT_TRUE(tamsel.err.starts_with("tamsel: ")) << tamsel.err;
    EXPECT_EQ(plot.err, without_warnings(tamsel.err));
    EXPECT_EQ(plot.out, "");
    EXPECT_EQ(job.listing(), before);
    EXPECT_EQ(job.get("not/report"), "keep\n");
  }
}

TEST(Files, AnInputFifoWithoutAWriterIsAnErrorNotAWait) {
  for (const std::string input : {"samples.lst", "corrspec.in", "corrlog.in"}) {
    SCOPED_TRACE(input);
    NestedJob job("a\n0.1 0.9\n");
    fs::remove(job.dir / input);
    ASSERT_EQ(mkfifo((job.dir / input).c_str(), 0600), 0);
    e2e::Setup limited;
    limited.time_limit = 20;
    auto r = job.run(limited);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tamsel: " + input + ": cannot read: it is a FIFO that no process is writing to\n");
  }
}

// Standard output that cannot be written stops the run before the report
// replaces anything, with one line on standard error.
TEST(Files, AFailingConsoleLeavesEveryOldReportByte) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  NestedJob job("a\n0.1 0.9\nb\n0.2 0.8\n");
  job.put("b_cross.txt", "old report\n");
  e2e::Setup full;
  full.output = "/dev/full";
  auto r = job.run(full);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(without_warnings(r.err), "tamsel: standard output: write error: No space left on device\n");
  EXPECT_EQ(job.get("b_cross.txt"), "old report\n");
}

TEST(Files, AReplacedReportKeepsItsOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  NestedJob job("a\n0.1 0.9\n");
  job.put("a_cross.txt", "old\n");
  const fs::path report = job.dir / "a_cross.txt";
  ASSERT_EQ(chown(report.c_str(), 65534, 65533), 0);
  ASSERT_EQ(chmod(report.c_str(), 0640), 0);
  ASSERT_EQ(job.run().status, 0);
  struct stat info;
  ASSERT_EQ(stat(report.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65533u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(job.get("a_cross.txt").substr(0, 50), e2e::padded("a_cross.txt"));
}

// C1 controls (raw and as UTF-8), bidirectional controls and invisible
// format characters reach no console line, warning or message; other UTF-8
// characters, even those whose bytes lie in the C1 range, show as they
// are, and the report file keeps the raw bytes.
TEST(Files, ControlAndFormatCharactersAreShownAsQuestionMarks) {
  const std::string name = "r\x9b" "2J|c\xc2\x9b|b\xe2\x80\xae|i\xe2\x81\xa6|z\xe2\x80\x8b|\xef\xbb\xbf|"
                           "\xc4\x81\xe2\x82\xac\xf0\x9f\x99\x82";
  const std::string shown = "r?2J|c?|b?|i?|z?|?|\xc4\x81\xe2\x82\xac\xf0\x9f\x99\x82";
  NestedJob job(name + "\n0.5 0.5\n");
  auto r = job.run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, console_lines(shown));
  EXPECT_EQ(r.err, "tamsel: samples.lst:1: warning: sample " + shown +
                       ": fmin is not below fmax, so its coefficient does not measure agreement\n");
  EXPECT_TRUE(fs::exists(job.dir / (name + "_cross.txt")));
  NestedJob missing("d\xe2\x80\xae/\x85x\n0.1 0.9\n");
  EXPECT_EQ(missing.run().err,
            "tamsel: d?/?x_cross.txt: cannot create the report file: No such file or directory\n");
}

// A message blames what refused: a socket is named as one, and a directory
// that refuses the new file that replaces a report is named.
TEST(Files, MessagesNameWhatRefused) {
  NestedJob socket_job("a\n0.1 0.9\n");
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string where = (socket_job.dir / "a_cross.txt").string();
  ASSERT_LT(where.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, where.c_str(), where.size() + 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(sock);
  auto r = socket_job.run();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tamsel: a_cross.txt: cannot create the report file: it is a socket\n");

  NestedJob job("ro/a\n0.1 0.9\n");
  fs::create_directory(job.dir / "ro");
  job.put("ro/a_cross.txt", "old\n");
  fs::permissions(job.dir / "ro", fs::perms(0555));
  if (access((job.dir / "ro").c_str(), W_OK) == 0)
    GTEST_SKIP() << "running as root: permission bits do not deny writing";
  r = job.run();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tamsel: ro/a_cross.txt: cannot write the report: the directory ro refuses the "
                   "new file: Permission denied\n");
  EXPECT_EQ(job.get("ro/a_cross.txt"), "old\n");
}

} // namespace
