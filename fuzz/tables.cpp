// SPDX-License-Identifier: BSD-3-Clause
// Fuzzes the table loader: the input, split at "@@@" lines, becomes
// corrspec.in and corrlog.in in a scratch directory.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <fcntl.h>

#include "driver/tables.h"
#include "driver/stop.h"
#include "scratch.h"

namespace {
tamsel::RunState st; // large: static, like the program's own
std::FILE* warnings = nullptr; // the warnings about the tables, discarded
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_scratch_dir();
  warnings = std::fopen("/dev/null", "w");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string parts[2];
  fuzz::split(data, size, parts);
  int free_fd = fuzz::lowest_free_fd();
  fuzz::write_file(tamsel::kSpecFile, parts[0]);
  fuzz::write_file(tamsel::kLogFile, parts[1]);
  std::memset(&st, 0, sizeof st);
  try {
    tamsel::load_tables(st, AT_FDCWD, warnings);
    if (st.npts < 1 || st.npts > tamsel::kMaxRecords + 1 || st.x[st.npts] != 1.0 ||
        st.x[0] != 0.0 || st.s[0] != 0.0 || st.l[0] != 0.0)
      __builtin_trap();
  } catch (const tamsel::Stop&) {
  }
  if (fuzz::lowest_free_fd() != free_fd) __builtin_trap(); // a table file left open
  return 0;
}
