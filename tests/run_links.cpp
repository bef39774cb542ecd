// SPDX-License-Identifier: BSD-3-Clause
// Symbolic links end to end: the sample list known through any chain of
// them, and another user's links never followed to a report, a results
// table or a picture.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "driver/files.h"
#include "e2e.h"

namespace {

namespace fs = std::filesystem;
using e2e::NestedJob;
using e2e::without_warnings;
using LinkNames = std::vector<std::string>;

// The sample list is known by the file open, however long the chain of
// links that leads to it: a chain too long to spell out as one path does
// not make the list's own file a report file.
TEST(Files, TheListIsKnownByTheFileOpenedThroughAnyChainOfLinks) {
  auto repeat = [](const std::string& part, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += part;
    return text;
  };
  const std::string list = repeat("./", 21) + "real.lst\n0.1 0.9\n";
  NestedJob job("");
  fs::remove(job.dir / "samples.lst");
  fs::create_directory(job.dir / "sub");
  job.put("real.lst", list);
  fs::create_symlink("sub/" + repeat("./", 2000) + "l2", job.dir / "samples.lst");
  fs::create_symlink(repeat("./", 60) + "../real.lst", job.dir / "sub/l2");
  const std::string refusal = "tamsel: samples.lst:1: sample '" + repeat("./", 21) +
                              "real.lst': its report file " + repeat("./", 21) +
                              "real.lst is the input file samples.lst\n";
  for (const e2e::Result& r : {job.run(), job.plot()}) {
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, refusal);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(job.get("real.lst"), list);
  }
}


// A symbolic link of another user anywhere on the way to a file the
// programs write (the file itself, a directory component, one hop of a
// chain of the user's own links) is refused before anything is created or
// written, naming the file and the link's owner; handed to the running
// user, the very same links are followed.  When the file is finally
// replaced, a link of another user that took its place is refused too.
TEST(Files, AnotherUsersSymbolicLinkIsNeverFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a link to another user";
  constexpr uid_t kOther = 65534;
  constexpr gid_t kSameGroup = static_cast<gid_t>(-1);
  std::string owner = "uid 65534";
  if (const passwd* user = getpwuid(kOther)) owner += std::string(", ") + user->pw_name;
  const std::string refused = " is reached through a symbolic link of another user (" + owner + ")";
  enum Program { kReport, kResults, kPicture };
  struct Link {
    std::string name, target;
    bool foreign;
  };
  const struct {
    Program program;
    std::string list, message;
    std::vector<Link> links;
    std::string reached, head; // the file in ../victim the links lead to; the output's start
  } cases[] = {
      {kReport, "a\n0.1 0.9\n", "tamsel: samples.lst:1: sample 'a': its report file a_cross.txt",
       {{"a_cross.txt", "../victim/settings.conf", true}}, "settings.conf", "a_cross.txt "},
      {kReport, "d/a\n0.1 0.9\n", "tamsel: samples.lst:1: sample 'd/a': its report file d/a_cross.txt",
       {{"d", "../victim", true}}, "a_cross.txt", "d/a_cross.txt "},
      {kReport, "a\n0.1 0.9\n", "tamsel: samples.lst:1: sample 'a': its report file a_cross.txt",
       {{"a_cross.txt", "hop", false}, {"hop", "../victim/new.conf", true}}, "new.conf", "a_cross.txt "},
      {kResults, "a\n0.1 0.9\n", "tamsel: r.tsv: the results file",
       {{"r.tsv", "../victim/settings.conf", true}}, "settings.conf", "name\tfmin\t"},
      {kPicture, "a\n0.1 0.9\n", "tamsel-plot: tamsel_curves.svg: cannot write the file: it",
       {{"tamsel_curves.svg", "../victim/settings.conf", true}}, "settings.conf", "<?xml "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    NestedJob job(c.list);
    fs::create_directory(job.top.path() / "victim");
    job.top.write("victim/settings.conf", "secret\n");
    for (const Link& link : c.links) {
      fs::create_symlink(link.target, job.dir / link.name);
      ASSERT_EQ(lchown((job.dir / link.name).c_str(), link.foreign ? kOther : 0, kSameGroup), 0);
    }
    const auto go = [&] {
      return c.program == kPicture   ? job.plot()
             : c.program == kResults ? e2e::run_tamsel(job.dir, {"--results", "r.tsv"})
                                     : job.run();
    };
    const LinkNames before = job.listing();
    auto r = go();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(without_warnings(r.err), c.message + refused + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(job.listing(), before);
    EXPECT_EQ(job.top.read("victim/settings.conf"), "secret\n");
    EXPECT_EQ(job.listing("../victim"), LinkNames{"settings.conf"});

    for (const Link& link : c.links)
      ASSERT_EQ(lchown((job.dir / link.name).c_str(), geteuid(), kSameGroup), 0);
    r = go();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(job.top.read("victim/" + c.reached).starts_with(c.head));
  }

  e2e::TempDir dir;
  dir.write("target", "secret\n");
  const fs::path link = dir.path() / "out";
  fs::create_symlink("target", link);
  ASSERT_EQ(lchown(link.c_str(), kOther, kSameGroup), 0);
  const tamsel::OutputFailure failure =
      tamsel::replace_output(AT_FDCWD, link.c_str(), -1, "new\n", 4);
  EXPECT_EQ(failure.error, EACCES);
  char reason[256];
  tamsel::describe_output_failure(AT_FDCWD, link.c_str(), failure, reason, sizeof reason);
  EXPECT_EQ(std::string(reason), "it" + refused);
  EXPECT_EQ(dir.read("target"), "secret\n");
  EXPECT_EQ(dir.entries(), (LinkNames{"out", "target"}));
}

} // namespace
