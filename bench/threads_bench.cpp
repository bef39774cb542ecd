// SPDX-License-Identifier: BSD-3-Clause
// Times the conventional layer's fftn and plans by one thread and by two
// (wall clock, and the processor time of all threads), fftn and fourn (the
// same bits) by one thread (processor time), and prints the ratios.  Every call runs on
// a fresh copy of the input, whose time alone is taken off; the figures
// are the best of rounds taken in turns, so that load from elsewhere hits
// all alike (on a shared machine, the best rounds are those in which the
// other processors were free).  `threads_bench [THREADS [ROUNDS]]`: 2
// threads and 15 rounds unless told otherwise.
#include <algorithm>
#include <chrono>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/fft_plan.h>
#include <tamsel/numeric/multidim_fft.h>

namespace {

namespace conv = tamsel::conventional;
using conv::Complex;

int rounds = 15;

enum class Clock { wall, thread, process };

// Seconds per call: one batch of calls lasting at least 20 ms, by the wall
// clock, or by the processor time of this thread or of the whole process
// (every thread's), which leave out the time other processes take.
double seconds(const std::function<void()>& f, Clock clock = Clock::wall) {
  const auto now = [clock] {
    using steady = std::chrono::steady_clock;
    if (clock == Clock::wall)
      return std::chrono::duration<double>(steady::now().time_since_epoch()).count();
    timespec t;
    clock_gettime(clock == Clock::thread ? CLOCK_THREAD_CPUTIME_ID : CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
  };
  long calls = 1;
  for (;;) {
    const double t0 = now();
    for (long i = 0; i < calls; ++i) f();
    const double t = now() - t0;
    if (t >= 0.02) return t / double(calls);
    calls *= 2;
  }
}

std::vector<Complex> random_values(std::size_t count) {
  std::mt19937_64 gen(count);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<Complex> v(count);
  for (auto& x : v) x = Complex(dist(gen), dist(gen));
  return v;
}

// The best of `rounds` rounds of each timed function in turn, less the
// best time of the copy.
std::vector<double> in_turns(const std::vector<std::function<void()>>& calls,
                             const std::function<void()>& copy, Clock clock = Clock::wall) {
  std::vector<double> best(calls.size(), 1e300);
  double copy_best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    copy_best = std::min(copy_best, seconds(copy, clock));
    for (std::size_t i = 0; i < calls.size(); ++i)
      best[i] = std::min(best[i], seconds(calls[i], clock));
  }
  for (double& t : best) t = std::max(t - copy_best, 1e-9);
  return best;
}

void fftn_row(const std::vector<std::size_t>& shape, unsigned threads) {
  std::size_t count = 1;
  std::string name;
  for (const std::size_t n : shape) {
    count *= n;
    name += (name.empty() ? "" : "x") + std::to_string(n);
  }
  const auto input = random_values(count);
  std::vector<Complex> work(count);
  std::vector<tamsel::Integer> lengths(shape.rbegin(), shape.rend());
  bool binary = true;
  for (const std::size_t n : shape) binary = binary && (n & (n - 1)) == 0;
  const auto copy = [&] { std::copy(input.begin(), input.end(), work.begin()); };
  std::vector<std::function<void()>> calls = {
      [&] { copy(); conv::fftn(work, shape, 1); },
      [&] { copy(); conv::fftn(work, shape, threads); },
  };
  const auto t = in_turns(calls, copy);
  const auto p = in_turns(calls, copy, Clock::process);
  std::printf("fftn %-12s %9.3f ms %9.3f ms %6.2fx %6.2f", name.c_str(), t[0] * 1e3, t[1] * 1e3,
              t[0] / t[1], p[1] / p[0]);
  if (binary) {
    // One thread against fourn, by processor time.
    const auto c = in_turns({calls[0], [&] {
                               copy();
                               const tamsel::Integer dims = tamsel::Integer(lengths.size());
                               const tamsel::Integer sign = -1;
                               tamsel::fourn(reinterpret_cast<double*>(work.data()),
                                             lengths.data(), dims, sign);
                             }},
                            copy, Clock::thread);
    std::printf("   cpu: fftn %9.3f ms fourn %9.3f ms, fftn/fourn %5.2f", c[0] * 1e3,
                c[1] * 1e3, c[0] / c[1]);
  }
  std::printf("\n");
}

void batch_row(conv::Transform kind, const char* name, std::size_t lines, std::size_t n,
               unsigned threads) {
  const conv::FftPlan plan(kind, n);
  const auto input = random_values(lines * n);
  std::vector<Complex> out(lines * n);
  std::vector<double> reals(lines * n);
  for (std::size_t i = 0; i < reals.size(); ++i) reals[i] = input[i].real();
  const conv::Lines in{1, plan.input_length()}, to{1, plan.output_length()};
  const auto run = [&](unsigned t) {
    if (kind == conv::Transform::real_forward)
      plan.execute(reals.data(), in, out.data(), to, lines, t);
    else if (kind == conv::Transform::real_backward)
      plan.execute(input.data(), in, reals.data(), to, lines, t);
    else
      plan.execute(input.data(), in, out.data(), to, lines, t);
  };
  const auto t = in_turns({[&] { run(1); }, [&] { run(threads); }}, [] {});
  const auto p = in_turns({[&] { run(1); }, [&] { run(threads); }}, [] {}, Clock::process);
  std::printf("%-4s %5zu x %-6zu %9.3f ms %9.3f ms %6.2fx %6.2f\n", name, lines, n, t[0] * 1e3,
              t[1] * 1e3, t[0] / t[1], p[1] / p[0]);
}

} // namespace

int main(int argc, char** argv) {
  const unsigned threads = argc > 1 ? unsigned(std::atoi(argv[1])) : 2;
  if (argc > 2) rounds = std::max(1, std::atoi(argv[2]));
  // ratio: wall-clock time of one thread over that of `threads`; work:
  // processor time of all threads over that of one (1.00 when the split
  // adds no work, whatever the machine's load).
  std::printf("%-17s %12s %12s %7s %6s (threads: %u)\n", "transform", "1 thread", "threads",
              "ratio", "work", threads);
  fftn_row({512, 512}, threads);
  fftn_row({2048, 2048}, threads);
  fftn_row({64, 64, 64}, threads);
  fftn_row({1000, 1000}, threads);
  fftn_row({4, 1024, 1024}, threads);
  batch_row(conv::Transform::forward, "fft", 1000, 1024, threads);
  batch_row(conv::Transform::forward, "fft", 1000, 1000, threads);
  batch_row(conv::Transform::real_forward, "rfft", 1000, 1024, threads);
  batch_row(conv::Transform::real_backward, "irfft", 1000, 1024, threads);
  return 0;
}
