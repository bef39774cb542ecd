// SPDX-License-Identifier: BSD-3-Clause
// Fuzzes a whole run in-process: the input, split at "@@@" lines, becomes
// samples.lst, corrspec.in and corrlog.in in a scratch directory, where the
// run also writes its report files.  Slashes in the sample list become
// underscores so that no report name leaves the scratch directory.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/run.h"
#include "driver/samples.h"
#include "driver/tables.h"
#include "driver/stop.h"
#include "scratch.h"

namespace {
std::FILE* console = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_scratch_dir();
  console = std::fopen("/dev/null", "w");
  if (console == nullptr) __builtin_trap();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string parts[3];
  fuzz::split(data, size, parts);
  int free_fd = fuzz::lowest_free_fd();
  std::replace(parts[0].begin(), parts[0].end(), '/', '_');
  fuzz::empty_scratch_dir();
  fuzz::write_file(tamsel::kSampleFile, parts[0]);
  fuzz::write_file(tamsel::kSpecFile, parts[1]);
  fuzz::write_file(tamsel::kLogFile, parts[2]);
  try {
    // the run state is static: ~390 KB
    tamsel::stop_on_refusal([] { tamsel::run(tamsel::run_state(), AT_FDCWD, console, console); });
  } catch (const tamsel::Stop&) {
  }
  if (fuzz::lowest_free_fd() != free_fd) __builtin_trap(); // a file left open
  return 0;
}
