// SPDX-License-Identifier: BSD-3-Clause
// Files and safety end to end: where a report may go, how a finished text
// replaces a file, the standard streams, inputs and outputs that could hang
// the run, and what input bytes reach the console.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "driver/input.h"
#include "e2e.h"
#include <tamsel/numeric/stop.h>

namespace {

namespace fs = std::filesystem;
using e2e::console_lines;

// A job with the worked example's tables in the directory `work` of a fresh
// directory, so that a report that got out would land beside it.
struct NestedJob {
  e2e::TempDir top;
  fs::path dir = top.path() / "work";
  explicit NestedJob(const std::string& list) {
    fs::create_directory(dir);
    put("samples.lst", list);
    put("corrspec.in", e2e::kExampleSpec);
    put("corrlog.in", e2e::kExampleLog);
  }
  void put(const std::string& name, const std::string& bytes) const { top.write("work/" + name, bytes); }
  std::string get(const std::string& name) const { return top.read("work/" + name); }
  e2e::Result run(const e2e::Setup& setup = {}) const { return e2e::run_tamsel(dir, {}, setup); }
  e2e::Result plot(const e2e::Setup& setup = {}) const {
    return e2e::run_program(TAMSEL_PLOT_EXE, dir, {}, setup);
  }
  std::vector<std::string> listing(const std::string& sub = "") const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / sub)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

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
    EXPECT_TRUE(r.err.starts_with("tamsel: samples.lst:3: sample '" + name + "': its report file ")) << r.err;
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
  NestedJob job("a\n0.1 0.9\nb\n0.2 0.8\nc\n0.3 0.7\n");
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
  EXPECT_EQ(r.err, "tamsel: b_cross.txt: cannot create the report file: it is a FIFO that no process is reading\n");
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

} // namespace
