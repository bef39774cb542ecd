// SPDX-License-Identifier: BSD-3-Clause
// Times the conventional layer's powers of two (the radix-2 engine with the
// exact factors) against the same steps with the recurrence's factors
// (four1, realft), in one process on the same buffer: the complex transform,
// the real forward transform (realft's split included) and its inverse.
// Each call starts from a fresh copy of the input, whose time alone is
// taken off; each figure is the best of 12 rounds of at least 4 ms, the two
// measured in turns.  Usage: exact_bench [LOG2_MAX]   (default 22)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <vector>

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/real_fft.h>

#include "numeric/fft/exact.h"

namespace {

using tamsel::Integer;
using tamsel::Real;

double seconds(const std::function<void()>& f, long calls) {
  const auto t0 = std::chrono::steady_clock::now();
  for (long i = 0; i < calls; ++i) f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() /
         static_cast<double>(calls);
}

long calls_for(const std::function<void()>& f) {
  long calls = 1;
  while (seconds(f, calls) * static_cast<double>(calls) < 0.004) calls *= 2;
  return calls;
}

} // namespace

int main(int argc, char** argv) {
  const int top = argc > 1 ? std::atoi(argv[1]) : 22;
  std::printf("%-8s %9s %12s %12s %7s\n", "what", "n", "recur. us", "exact us", "ratio");
  for (int lg = 4; lg <= top; ++lg) {
    const Integer n = Integer{1} << lg; // complex values, or 2n reals
    std::mt19937_64 gen{std::uint64_t(lg)};
    std::uniform_real_distribution<Real> dist(-1.0, 1.0);
    std::vector<Real> input(2 * std::size_t(n));
    for (Real& x : input) x = dist(gen);
    auto* data = static_cast<Real*>(std::aligned_alloc(64, sizeof(Real) * input.size()));
    if (data == nullptr) throw std::bad_alloc();
    const auto copy = [&] { std::copy(input.begin(), input.end(), data); };
    struct Row {
      const char* what;
      std::function<void()> recurrence, exact;
    };
    const Row rows[] = {
        {"complex", [&] { copy(); tamsel::four1(data, n, -1); },
         [&] { copy(); tamsel::fft::exact::transform(data, n, -1); }},
        {"real", [&] { copy(); tamsel::realft(data, n, 1); },
         [&] { copy(); tamsel::fft::exact::real_forward(data, n); }},
        {"real inv", [&] { copy(); tamsel::realft(data, n, -1); },
         [&] { copy(); tamsel::fft::exact::real_backward(data, n); }},
    };
    const long copies = calls_for(copy);
    for (const Row& row : rows) {
      const long a = calls_for(row.recurrence), b = calls_for(row.exact);
      double ta = 1e300, tb = 1e300, tc = 1e300;
      for (int round = 0; round < 12; ++round) {
        ta = std::min(ta, seconds(row.recurrence, a));
        tb = std::min(tb, seconds(row.exact, b));
        tc = std::min(tc, seconds(copy, copies));
      }
      ta = std::max(ta - tc, 0.0);
      tb = std::max(tb - tc, 0.0);
      std::printf("%-8s %9lld %12.2f %12.2f %7.2f\n", row.what, static_cast<long long>(n),
                  ta * 1e6, tb * 1e6, tb / ta);
    }
    std::free(data);
  }
}
