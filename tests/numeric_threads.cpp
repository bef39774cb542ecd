// SPDX-License-Identifier: BSD-3-Clause
// The routines called from several threads at once, each thread on arrays
// of its own, give the bits of the same calls made one after another.  The
// threads run first, in a fresh process (each test runs in its own), so
// that they also make the kept twiddle tables and remembered cosines
// together on first use.
#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <latch>
#include <stdexcept>
#include <thread>
#include <vector>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/fft_plan.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/tabulated.h>
#include "numeric/parallel.h"
#include "numeric_support.h"

namespace {

using tamsel::Integer;
using tamsel::Real;
using tamsel::test_support::digest;
using tamsel::test_support::pseudo_random;

// One thread's work: every routine on inputs made from the seed, at lengths
// that change from round to round; the digest of each result.
std::vector<std::uint64_t> work(std::uint64_t seed) {
  std::vector<std::uint64_t> out;
  for (Integer round = 0; round < 600; ++round) {
    const Integer n = Integer{8} << (round % 6 + Integer(seed % 3)); // 8 .. 1024
    const auto a = pseudo_random(std::size_t(n), seed * 100 + std::uint64_t(round));
    const auto b = pseudo_random(std::size_t(n), seed * 100 + 50 + std::uint64_t(round));
    std::vector<Real> r(2 * std::size_t(n)), s(2 * std::size_t(n));
    tamsel::correl(a.data(), b.data(), n, r.data());
    out.push_back(digest(r.data(), std::size_t(n)));
    const Real lag0 = tamsel::correl_zero_lag(a.data(), b.data(), n, s.data());
    out.push_back(digest(&lag0, 1));

    auto z = pseudo_random(2 * std::size_t(n), seed + 7);
    const Integer sign = round % 2 ? 1 : -1;
    tamsel::four1(z.data(), n, sign);
    tamsel::realft(z.data(), n / 2, sign);
    out.push_back(digest(z));
    const Integer lengths[] = {4, n / 4}, dims = 2;
    tamsel::fourn(z.data(), lengths, dims, sign);
    out.push_back(digest(z));

    // The conventional layer's powers of two and other lengths (mixed
    // radix and Bluestein's, whose plan holds another), their plans and
    // exact tables made by the threads together.
    for (const std::size_t m : {std::size_t(round % 7) * 13 + 131 + std::size_t(seed % 3),
                                std::size_t(n)}) { // 131 .. 211 and 8 .. 1024
      const auto parts = pseudo_random(2 * m, seed + 11);
      std::vector<std::complex<Real>> w(m);
      for (std::size_t i = 0; i < m; ++i) w[i] = {parts[2 * i], parts[2 * i + 1]};
      round % 2 ? tamsel::conventional::fft(w) : tamsel::conventional::ifft(w);
      out.push_back(digest(reinterpret_cast<const Real*>(w.data()), 2 * m));
    }

    // A fit of a rising table, with a length that changes every round.
    const auto y = pseudo_random(129, seed + 9);
    std::vector<Real> x(129), c(40), at(128);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = Real(i) / 128.0;
    const Integer last = 128, terms = 5 + 5 * (round % 6) + Integer(seed % 5); // 5 .. 34
    const Real off = 0.0, lo = 0.01, hi = 0.99;
    tamsel::chebft(lo, hi, c.data(), terms, tamsel::favr_ascending, x.data(), y.data(), last,
                   off);
    tamsel::chebev_points(lo, hi, c.data(), terms, x.data() + 2, at.data(), 120);
    out.push_back(digest(at.data(), 120));
  }
  return out;
}

TEST(Threads, ConcurrentCallsGiveSerialBits) {
  constexpr int kThreads = 4;
  std::vector<std::vector<std::uint64_t>> parallel(kThreads);
  {
    std::latch start(kThreads); // all threads begin together
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&parallel, &start, t] {
        start.arrive_and_wait();
        parallel[t] = work(std::uint64_t(t) + 1);
      });
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(parallel[t], work(std::uint64_t(t) + 1)) << "thread " << t;
  }
}

// A program that links the toolkit can start threads with small stacks:
// the toolkit keeps no thread-local storage of any size, so glibc takes
// next to nothing from each thread's stack, and a thread that correlates
// and fits on 64 KiB gets the bits of the main thread.
TEST(Threads, SmallStackThreadStartsAndComputes) {
  struct Job {
    std::vector<Real> a = pseudo_random(128, 1), b = pseudo_random(128, 2);
    Real result[256];
    Real coefficients[15];
    void compute() {
      tamsel::correl(a.data(), b.data(), 128, result);
      std::vector<Real> x(129);
      for (std::size_t i = 0; i < x.size(); ++i) x[i] = Real(i) / 128.0;
      tamsel::chebft(0.0, 0.9, coefficients, 15, tamsel::favr, x.data(), a.data(), 127, 0.05);
    }
  };
  Job in_thread, in_main;
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  // 64 KiB, or the system's least stack where that is larger (128 KiB on
  // aarch64).
  const long least = sysconf(_SC_THREAD_STACK_MIN);
  const std::size_t stack = std::max<std::size_t>(64 * 1024, least > 0 ? std::size_t(least) : 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, stack), 0);
  pthread_t thread;
  const int started = pthread_create(
      &thread, &attributes,
      [](void* job) -> void* {
        static_cast<Job*>(job)->compute();
        return nullptr;
      },
      &in_thread);
  pthread_attr_destroy(&attributes);
  ASSERT_EQ(started, 0) << "a thread with a " << stack / 1024 << " KiB stack did not start";
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  in_main.compute();
  EXPECT_EQ(digest(in_thread.result, 128), digest(in_main.result, 128));
  EXPECT_EQ(digest(in_thread.coefficients, 15), digest(in_main.coefficients, 15));
}

// The threads that plans and fftn start themselves: four at once on one
// batch (the lines of a column layout) and on one array give the bits of
// one thread; an exception of one part reaches the caller once every part
// has ended.
TEST(Threads, SplitWorkGivesTheBitsOfOneThread) {
  namespace conv = tamsel::conventional;
  const auto parts = pseudo_random(2 * 96 * 60, 5);
  std::vector<conv::Complex> x(96 * 60);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = {parts[2 * i], parts[2 * i + 1]};
  const conv::FftPlan plan(conv::Transform::forward, 96);
  std::vector<conv::Complex> one(x.size()), four(x.size());
  plan.execute(x.data(), {60, 1}, one.data(), {60, 1}, 60, 1);
  plan.execute(x.data(), {60, 1}, four.data(), {60, 1}, 60, 4);
  EXPECT_EQ(digest(reinterpret_cast<Real*>(four.data()), 2 * four.size()),
            digest(reinterpret_cast<Real*>(one.data()), 2 * one.size()));
  const std::size_t shape[] = {12, 16, 30};
  auto a = std::vector<conv::Complex>(x.begin(), x.begin() + 12 * 16 * 30), b = a;
  conv::ifftn(a, shape, 1);
  conv::ifftn(b, shape, 4);
  EXPECT_EQ(digest(reinterpret_cast<Real*>(b.data()), 2 * b.size()),
            digest(reinterpret_cast<Real*>(a.data()), 2 * a.size()));

  std::atomic<bool> first_ended{false};
  EXPECT_THROW(tamsel::detail::in_parts(4, 4, [&](std::size_t first, std::size_t, std::size_t) {
                 if (first == 1) throw std::runtime_error("chunk 1");
                 if (first == 0) {
                   std::this_thread::sleep_for(std::chrono::milliseconds(50));
                   first_ended = true;
                 }
               }),
               std::runtime_error);
  EXPECT_TRUE(first_ended);
}

} // namespace
