// SPDX-License-Identifier: BSD-3-Clause
// The C++ side of bench/python_overhead.py: the time of one call of the
// conventional layer's fft, ifft, rfft and irfft of n values as a caller
// of the library makes it when it keeps its input: fft and ifft on a copy
// of the input, rfft and irfft into an array of the result, each made
// once and starting on a page, as the out= arrays of the Python side (a
// transform's time depends on where in a page its data start, by up to a
// quarter), so that the time holds no allocation.  `call_bench SECONDS LOG2N...`
// prints one line per transform and length, "name n microseconds", each
// the best of batches of calls run for about SECONDS in all, timed by the
// processor time of the process (as the Python side's), which leaves out
// the time that other processes take on a shared machine.
#include <algorithm>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <span>
#include <vector>

#include <tamsel/numeric/conventional.h>

namespace {

namespace conv = tamsel::conventional;
using conv::Complex;

double now() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Seconds per call: the best of batches of at least 2 ms each, for
// `budget` seconds in all.
double best(const std::function<void()>& f, double budget) {
  long calls = 1;
  for (;;) {
    const double t0 = now();
    for (long i = 0; i < calls; ++i) f();
    if (now() - t0 >= 0.002) break;
    calls *= 2;
  }
  double least = 1e300;
  const double end = now() + budget;
  do {
    const double t0 = now();
    for (long i = 0; i < calls; ++i) f();
    least = std::min(least, (now() - t0) / double(calls));
  } while (now() < end);
  return least;
}

constexpr std::align_val_t kAlignment{4096};

struct Release {
  void operator()(void* memory) const { ::operator delete(memory, kAlignment); }
};

// n values of T, not set, starting on a page.
template <typename T>
std::unique_ptr<T[], Release> aligned(std::size_t n) {
  return std::unique_ptr<T[], Release>(static_cast<T*>(::operator new(n * sizeof(T), kAlignment)));
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: call_bench SECONDS LOG2N...\n");
    return 2;
  }
  const double budget = std::atof(argv[1]) / 4 / (argc - 2);
  for (int a = 2; a < argc; ++a) {
    const std::size_t n = std::size_t{1} << std::atoi(argv[a]);
    std::mt19937_64 gen(n);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<Complex> z(n);
    std::vector<double> x(n);
    for (auto& v : z) v = Complex(dist(gen), dist(gen));
    for (auto& v : x) v = dist(gen);
    const std::vector<Complex> half(z.begin(), z.begin() + std::ptrdiff_t(n / 2 + 1));
    const auto complex_result = aligned<Complex>(n);
    const auto real_result = aligned<double>(n);
    const std::span<Complex> y(complex_result.get(), n);
    const auto fft = [&] {
      std::copy(z.begin(), z.end(), y.begin());
      conv::fft(y);
    };
    const auto ifft = [&] {
      std::copy(z.begin(), z.end(), y.begin());
      conv::ifft(y);
    };
    const auto rfft = [&] { conv::rfft(x, y.first(n / 2 + 1)); };
    const auto irfft = [&] { conv::irfft(half, {real_result.get(), n}); };
    std::printf("fft %zu %.3f\n", n, 1e6 * best(fft, budget));
    std::printf("ifft %zu %.3f\n", n, 1e6 * best(ifft, budget));
    std::printf("rfft %zu %.3f\n", n, 1e6 * best(rfft, budget));
    std::printf("irfft %zu %.3f\n", n, 1e6 * best(irfft, budget));
  }
}
