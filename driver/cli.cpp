// SPDX-License-Identifier: BSD-3-Clause
#include "driver/cli.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <tamsel/version.h>

#include "driver/files.h"
#include "driver/status.h"

namespace tamsel {

namespace {

// The argument as it can be shown on one line: control characters become
// '?' (shown_byte), and a very long argument is shortened.
std::string printable(const char* arg) {
  std::string shown;
  for (const char* c = arg; *c != '\0' && shown.size() < 60; ++c)
    shown += shown_byte(*c);
  if (std::strlen(arg) > shown.size()) shown += "...";
  return shown;
}

// Flushes standard output; on failure says so on err and returns true.
bool output_failed(const ProgramText& text, std::FILE* out, std::FILE* err) {
  if (std::fflush(out) == 0 && !std::ferror(out)) return false;
  std::fprintf(err, "%s: standard output: write error: %s\n", text.name, std::strerror(errno));
  return true;
}

int finish_output(const ProgramText& text, std::FILE* out, std::FILE* err) {
  return output_failed(text, out, err) ? kUsageStatus : 0;
}

} // namespace

const char* version() { return TAMSEL_VERSION_STRING; }

int handle_command_line(int argc, const char* const* argv, const ProgramText& text,
                        std::FILE* out, std::FILE* err) {
  if (argc <= 1) return -1;
  const std::string first = argv[1];
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::fputs(text.help, out);
    return finish_output(text, out, err);
  }
  if (argc == 2 && first == "--version") {
    // The version, then copyright, licence and warranty, as GNU programs say them.
    std::fprintf(out,
                 "%s %s\n"
                 "Copyright (C) 2026 the tamsel developers.\n"
                 "License BSD-3-Clause <https://spdx.org/licenses/BSD-3-Clause.html>.\n"
                 "This is free software: you are free to change and redistribute it.\n"
                 "There is NO WARRANTY, to the extent permitted by law.\n",
                 text.name, version());
    return finish_output(text, out, err);
  }
  // Name the first argument that is not accepted where it stands.
  int bad = 1;
  if (argc > 2 && (first == "--help" || first == "-h" || first == "--version")) bad = 2;
  const char* what = argv[bad][0] == '-' ? "unknown option" : "unexpected argument";
  std::fprintf(err, "%s: %s '%s'; usage: %s [--help | --version] (run it in the directory of its input files)\n",
               text.name, what, printable(argv[bad]).c_str(), text.name);
  return kUsageStatus;
}

int program_main(int argc, const char* const* argv, const ProgramText& text, void (*body)()) {
  const int handled = handle_command_line(argc, argv, text, stdout, stderr);
  if (handled >= 0) return handled;

  int status = 0;
  try {
    prepare_process(text.name);
    body();
  } catch (const Stop& s) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", s.what());
    status = s.status();
  }
  if (output_failed(text, stdout, stderr) && status == 0) status = kInputStatus;
  return status;
}

} // namespace tamsel
