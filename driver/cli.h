// SPDX-License-Identifier: BSD-3-Clause
// Command-line conventions shared by tamsel and its companion tools.
//
// The programs read no file names from the command line: all their input
// comes from fixed file names in the working directory (or in the directory
// an option names).  They accept --help (or -h), which prints the usage text
// on standard output, and --version, which prints "<program> <version>";
// both stand alone and exit 0 without touching any file.  Besides, each
// program has its own options, written "--name VALUE" or "--name=VALUE" (or
// "--name" alone for a flag), each at most once; an option may have a short
// spelling too ("-C DIR" or "-CDIR"), and may be given only with another.
// Anything else, including a file name, is refused with a one-line usage
// error on standard error and exit status 2, so that a
// user who meant another file does not get a run on the files that happen
// to be in the directory.
#pragma once

#include <cstdio>

namespace tamsel {

// The version of the programs, TAMSEL_VERSION_STRING of <tamsel/version.h>.
const char* version();

// An option of a program: "--results" with the value "FILE", or a flag
// (value null).  The word given, or "" for a flag, is stored in *given,
// which stays null when the option is not given.  `alias` is a short
// spelling, if any, with the value joined to it or as the next word ("-C");
// `short_name` a short form written alone, with its value as the next word
// ("-o"); `needs`, the name of an option without which it is refused;
// `in_synopsis`, whether the usage error's synopsis shows it.
struct Option {
  const char* name;
  const char* value;
  const char** given;
  const char* alias = nullptr;
  const char* needs = nullptr;
  bool in_synopsis = true;
  const char* short_name = nullptr;
};

// What a program shows for its command line.
struct ProgramText {
  const char* name;  // "tamsel"
  const char* help;  // the usage text printed by --help, ending in a line feed
  const Option* options = nullptr; // the program's options, ended by {nullptr}
};

// Handles the arguments argv[1..argc-1].  Returns -1 when the program
// should run: there are none, or only the program's own options, now
// stored.  Otherwise writes the help text or the version to `out`, or the
// usage error to `err`, and returns the exit status: 0 after --help and
// --version (2 if `out` cannot be written), kUsageStatus (driver/status.h)
// for any other argument list.
int handle_command_line(int argc, const char* const* argv, const ProgramText& text,
                        std::FILE* out, std::FILE* err);

// The whole of a program's main: handles the command line, then prepares
// the process (prepare_process, driver/process.h: standard streams,
// SIGXFSZ) and runs `body`.
// A Stop from the body, or a refusal of the toolkit (stop_on_refusal,
// driver/stop.h), writes its message on standard error and gives its
// status; standard output that cannot be written gives an error message and
// status 2 instead of success.  Returns the exit status.
int program_main(int argc, const char* const* argv, const ProgramText& text, void (*body)());

} // namespace tamsel
