// SPDX-License-Identifier: BSD-3-Clause
// tamsel-dump: runs tamsel's sample phase and correlation in the working
// directory, writes no report, and prints every number the run computes for
// a sample as the bit pattern of the double, so that two builds can be
// compared exactly.  One line per sample, fields separated by single blanks:
// the name, npts in decimal, then fmin, fmax, spec mean, log mean, cc(k, k),
// the 128 spec curve values and the 128 log curve values, each as 16
// lower-case hexadecimal digits (the lines stored dumps hold, unchanged).
// What the next sample overwrites comes from the sample phase's own copy.  A
// stop prints its message on standard error and exits with its status, as
// tamsel does.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>

#include "driver/report.h"
#include "driver/run.h"
#include "driver/status.h"

namespace {

using tamsel::Integer;
using tamsel::Real;

tamsel::KeptSample kept[tamsel::kMaxSamples];

void put(Real value) {
  std::printf(" %016llx", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
}

} // namespace

int main() {
  tamsel::RunState& st = tamsel::run_state();
  try {
    tamsel::stop_on_refusal([&] { tamsel::sample_phase(st, AT_FDCWD, nullptr, nullptr, kept); });
  } catch (const tamsel::Stop& s) {
    std::fprintf(stderr, "%s\n", s.what());
    return s.status();
  }
  for (Integer k = 1; k <= st.sample_count; ++k) {
    const tamsel::KeptSample& s = kept[k - 1];
    std::fwrite(st.sample_names[k - 1], 1, std::size_t(st.name_lengths[k - 1]), stdout);
    std::printf(" %d", int(s.npts));
    put(tamsel::matrix_at(st.agem, k, 0));
    put(tamsel::matrix_at(st.xlgrm, k, 0));
    put(s.spec_mean);
    put(s.log_mean);
    put(tamsel::cc_diagonal(st, k));
    for (Integer j = 1; j <= tamsel::kCurvePoints; ++j) put(tamsel::matrix_at(st.agem, k, j));
    for (Integer j = 1; j <= tamsel::kCurvePoints; ++j) put(tamsel::matrix_at(st.xlgrm, k, j));
    std::putchar('\n');
  }
  return std::fflush(stdout) == 0 ? 0 : tamsel::kInputStatus;
}
