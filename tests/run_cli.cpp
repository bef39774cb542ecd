// SPDX-License-Identifier: BSD-3-Clause
// The command line of tamsel end to end: --help, --version and refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "e2e.h"

namespace {

// One sample's job, which the refused and informational command lines leave
// untouched.
struct Inputs : e2e::Job {
  Inputs() : e2e::Job("abc\n0.1 0.4\n") {}
  bool untouched() const { return dir.entries() == inputs_and({}); }
};

TEST(CommandLine, HelpPrintsUsageAndTouchesNothing) {
  for (const char* flag : {"--help", "-h"}) {
    Inputs in;
    auto r = e2e::run_tamsel(in.dir.path(), {flag});
    EXPECT_EQ(r.status, 0) << flag;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Usage: tamsel [--results FILE]\n", 0), 0u) << r.out;
    for (const char* word : {"samples.lst", "corrspec.in", "corrlog.in", "_cross.txt",
                             "Exit status", "man tamsel", "-C DIR", "--no-reports"})
      EXPECT_NE(r.out.find(word), std::string::npos) << word;
    EXPECT_TRUE(in.untouched());
  }
}

TEST(CommandLine, VersionPrintsNameAndVersion) {
  Inputs in;
  auto r = e2e::run_tamsel(in.dir.path(), {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tamsel 1.0.0\n"
                   "Copyright (C) 2026 the tamsel developers.\n"
                   "License BSD-3-Clause <https://spdx.org/licenses/BSD-3-Clause.html>.\n"
                   "This is free software: you are free to change and redistribute it.\n"
                   "There is NO WARRANTY, to the extent permitted by law.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(in.untouched());
}

TEST(CommandLine, AnyOtherArgumentIsAOneLineUsageError) {
  const std::vector<std::vector<std::string>> refused = {
      {"samples.lst"}, {"-x"}, {"--"}, {"--help", "extra"}, {"--version", "-h"}, {""},
      {"a\nb"}, {"--results"}, {"--results", "a", "--results=b"}, {"--results=a", "--help"},
      {"--resultsa"}, {"--results", "a", "b"}, {"--no-reports"}, {"-C"},
      {"-C", ".", "--directory=."}, {"-C.", "--no-reports"}};
  for (const auto& args : refused) {
    Inputs in;
    auto r = e2e::run_tamsel(in.dir.path(), args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err; // exactly one line
    EXPECT_EQ(r.err.rfind("tamsel: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("usage: tamsel [--results FILE] | --help | --version"), std::string::npos)
        << r.err;
    EXPECT_TRUE(in.untouched());
  }
  Inputs in;
  EXPECT_EQ(e2e::run_tamsel(in.dir.path(), {"corrlog.in"}).err,
            "tamsel: unexpected argument 'corrlog.in'; usage: tamsel [--results FILE] | --help | "
            "--version (run it in the directory of its input files)\n");
  EXPECT_EQ(e2e::run_tamsel(in.dir.path(), {"--help", "--bogus"}).err.rfind(
                "tamsel: unknown option '--bogus'", 0),
            0u);
}

TEST(CommandLine, HelpThatCannotBeWrittenFails) {
  const std::string command = std::string(TAMSEL_EXE) + " --help >/dev/full 2>/dev/null";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST(CommandLine, NoArgumentsIsTheRun) {
  Inputs in;
  auto r = e2e::run_tamsel(in.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, e2e::console_lines("abc"));
  EXPECT_TRUE(in.dir.exists("abc_cross.txt"));
}

} // namespace
