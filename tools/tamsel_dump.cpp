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
//
// tamsel-dump --transforms prints instead, for each of a set of lengths n
// (powers of two and others), n and the FNV-1a digests of the bits of the
// conventional layer's fft, ifft, rfft, irfft and fftn (shape n x 3) of
// fixed pseudo-random values.
#include <bit>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <vector>

#include <tamsel/numeric/conventional.h>

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

using Complex = std::complex<double>;

std::uint64_t digest(const void* data, std::size_t bytes) {
  std::uint64_t h = 14695981039346656037ULL;
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ULL;
  return h;
}

int transforms() {
  namespace conv = tamsel::conventional;
  std::vector<std::size_t> lengths;
  for (std::size_t n = 1; n <= 64; ++n) lengths.push_back(n);
  for (std::size_t n : {100, 131, 197, 240, 243, 262, 320, 1000, 1009, 1024, 4095, 10007})
    lengths.push_back(n);
  std::uint64_t seed = 43;
  const auto next = [&seed] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(seed >> 11) * 0x1p-52 - 1.0;
  };
  for (const std::size_t n : lengths) {
    std::vector<Complex> z(3 * n);
    for (Complex& v : z) {  // the real part drawn first, on every compiler
      const double re = next();
      v = Complex(re, next());
    }
    std::vector<double> x(n), back(n);
    for (double& v : x) v = next();
    std::vector<Complex> forward(z.begin(), z.begin() + std::ptrdiff_t(n)), inverse = forward,
        grid = z, spectrum(n / 2 + 1);
    const std::size_t shape[] = {n, 3};
    conv::fft(forward);
    conv::ifft(inverse);
    conv::rfft(x, spectrum);
    conv::irfft(spectrum, back);
    conv::fftn(grid, shape);
    std::printf("%zu %016llx %016llx %016llx %016llx %016llx\n", n,
                static_cast<unsigned long long>(digest(forward.data(), n * sizeof(Complex))),
                static_cast<unsigned long long>(digest(inverse.data(), n * sizeof(Complex))),
                static_cast<unsigned long long>(digest(spectrum.data(), spectrum.size() * sizeof(Complex))),
                static_cast<unsigned long long>(digest(back.data(), n * sizeof(double))),
                static_cast<unsigned long long>(digest(grid.data(), grid.size() * sizeof(Complex))));
  }
  return std::fflush(stdout) == 0 ? 0 : tamsel::kInputStatus;
}

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--transforms") == 0) return transforms();
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
