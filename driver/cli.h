// SPDX-License-Identifier: BSD-3-Clause
// Command-line conventions shared by tamsel and its companion tools.
//
// The programs read no arguments: all their input comes from fixed file
// names in the working directory.  The only words they accept are
// --help (or -h), which prints the usage text on standard output, and
// --version, which prints "<program> <version>"; both exit 0 without
// touching any file.  Anything else, including a file name, is refused with
// a one-line usage error on standard error and exit status 2, so that a
// user who meant another file does not get a run on the files that happen
// to be in the directory.
#pragma once

#include <cstdio>

namespace tamsel {

// The version of the programs, TAMSEL_VERSION_STRING of <tamsel/version.h>.
const char* version();

// What a program shows for its command line.
struct ProgramText {
  const char* name;  // "tamsel"
  const char* help;  // the usage text printed by --help, ending in a line feed
};

// Handles the arguments argv[1..argc-1].  Returns -1 when there are none
// and the program should run.  Otherwise writes the help text or the
// version to `out`, or the usage error to `err`, and returns the exit
// status: 0 after --help and --version (2 if `out` cannot be written),
// kUsageStatus (driver/status.h) for any other argument list.
int handle_command_line(int argc, const char* const* argv, const ProgramText& text,
                        std::FILE* out, std::FILE* err);

// The whole of a program's main: handles the command line, then prepares
// the process (prepare_process: standard streams, SIGXFSZ) and runs `body`.
// A Stop from the body writes its message on standard error and gives its
// status; standard output that cannot be written gives an error message and
// status 2 instead of success.  Returns the exit status.
int program_main(int argc, const char* const* argv, const ProgramText& text, void (*body)());

} // namespace tamsel
