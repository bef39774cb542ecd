// SPDX-License-Identifier: BSD-3-Clause
#include "driver/cli.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <tamsel/version.h>

#include "driver/display.h"
#include "driver/process.h"
#include "driver/status.h"

namespace tamsel {

namespace {

// The argument as it can be shown on one line: as show_bytes shows it, and
// a very long argument shortened.
std::string printable(const char* arg) {
  constexpr std::size_t kShown = 60;
  const std::size_t length = std::strlen(arg);
  const std::size_t kept = length < kShown ? length : kShown;
  char shown[kShown + 1];
  std::string text(shown, show_bytes(arg, kept, shown));
  if (kept < length) text += "...";
  return text;
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
  // The synopsis the usage error shows.
  std::string synopsis;
  for (const Option* o = text.options; o != nullptr && o->name != nullptr; ++o) {
    if (!o->in_synopsis) continue;
    synopsis += std::string(" [") + o->name;
    if (o->value != nullptr) synopsis += std::string(" ") + o->value;
    synopsis += ']';
  }
  synopsis = synopsis.empty() ? " [--help | --version]" : synopsis + " | --help | --version";
  auto refuse = [&](const std::string& problem) {
    std::fprintf(err, "%s: %s; usage: %s%s (run it in the directory of its input files)\n",
                 text.name, problem.c_str(), text.name, synopsis.c_str());
    return kUsageStatus;
  };

  const char* alone = nullptr; // --help or --version among other words
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--help" || word == "-h" || word == "--version") {
      if (alone == nullptr) alone = argv[i];
      continue;
    }
    const Option* option = nullptr;
    const char* value = nullptr;
    for (const Option* o = text.options; o != nullptr && o->name != nullptr; ++o) {
      if (o->short_name != nullptr && word == o->short_name) {
        option = o;
        continue;
      }
      const std::size_t n = std::strlen(o->name);
      if (word.compare(0, n, o->name) != 0) continue;
      if (word.size() == n) option = o;
      else if (word[n] == '=') option = o, value = argv[i] + n + 1;
    }
    for (const Option* o = text.options; option == nullptr && o != nullptr && o->name != nullptr;
         ++o) {
      const std::size_t n = o->alias == nullptr ? 0 : std::strlen(o->alias);
      if (n == 0 || word.compare(0, n, o->alias) != 0) continue;
      option = o;
      if (word.size() > n) value = argv[i] + n;
    }
    if (option == nullptr) {
      const char* what = word[0] == '-' ? "unknown option" : "unexpected argument";
      return refuse(std::string(what) + " '" + printable(argv[i]) + "'");
    }
    const std::string named = std::string("option '") + option->name + "'";
    if (*option->given != nullptr) return refuse(named + " is given twice");
    if (option->value == nullptr) {
      if (value != nullptr) return refuse(named + " takes no value");
      *option->given = "";
      continue;
    }
    if (value == nullptr) {
      if (i + 1 == argc) return refuse(named + " needs a value, " + option->value);
      value = argv[++i];
    }
    *option->given = value;
  }
  if (alone != nullptr) return refuse(std::string("'") + alone + "' stands alone");
  for (const Option* o = text.options; o != nullptr && o->name != nullptr; ++o) {
    if (*o->given == nullptr || o->needs == nullptr) continue;
    const Option* needed = text.options;
    while (std::strcmp(needed->name, o->needs) != 0) ++needed;
    if (*needed->given == nullptr)
      return refuse(std::string("option '") + o->name + "' is given only with '" + o->needs + "'");
  }
  return -1;
}

int program_main(int argc, const char* const* argv, const ProgramText& text, void (*body)()) {
  const int handled = handle_command_line(argc, argv, text, stdout, stderr);
  if (handled >= 0) return handled;

  int status = 0;
  try {
    prepare_process(text.name);
    stop_on_refusal(body);
  } catch (const Stop& s) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", s.what());
    status = s.status();
  }
  // After a stop its message is the one line on standard error.
  if (status == 0 && output_failed(text, stdout, stderr)) status = kInputStatus;
  return status;
}

} // namespace tamsel
