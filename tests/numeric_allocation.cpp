// SPDX-License-Identifier: BSD-3-Clause
// The toolkit takes from the heap only what it keeps: the tables it makes
// on first use (the transforms' twiddle factors and bit-reversal orders,
// chebft's cosines), once per process, and correl's per-thread scratch
// beyond 256 values, once on the thread's first call at the largest
// length.  Once those are made, every routine called here, on its fast and
// its plain paths, leaves the counts of operator new and malloc calls
// unchanged.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/tabulated.h>

namespace {
std::atomic<long> allocations{0};
} // namespace

// Every allocation of the test program goes through these.
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  ++allocations;
  const std::size_t a = static_cast<std::size_t>(alignment);
  if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}
// GCC sees free() meet a pointer from operator new once these are inlined
// into each other; here that pairing is the point.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }

// The C allocator is counted too, except under the sanitizers, which own it.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TAMSEL_SANITIZED_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAMSEL_SANITIZED_HEAP 1
#endif

#if defined(__GLIBC__) && !defined(TAMSEL_SANITIZED_HEAP)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t size) {
  ++allocations;
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  ++allocations;
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
  ++allocations;
  return __libc_realloc(p, size);
}
}
#endif

namespace {

using tamsel::Integer;
using tamsel::Real;

Real line(const Real* slope, const Real* offset, const Integer&, const Real&,
          const Real& x) {
  return *slope * x + *offset;
}

TEST(NoHeap, ToolkitRoutinesAllocateOnlyWhatTheyKeep) {
  // Buffers first: their allocations are not the toolkit's.
  std::vector<Real> data(2 * (std::size_t{1} << 18) + 8, 0.0);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = Real(i % 97) * 0.0371 - 1.5;
  std::vector<Real> second(data), result(data.size()), spectrum(data.size());
  std::vector<Real> coefficients(100), points(40);
  for (std::size_t i = 0; i < points.size(); ++i) points[i] = Real(i) * 0.05;
  const Real slope = 1.75, offset = -0.25;
  const Integer shape2[] = {64, 32}, shape3[] = {8, 16, 4}, line_shape[] = {2048};
  // Every routine, twice: the first round makes the kept tables (and
  // correl's scratch for this thread, at its largest), the second must
  // take nothing.
  auto every_routine = [&] {
    for (Integer n : {1, 2, 4, 64, 1024, 1 << 17, 1 << 18}) {
      tamsel::four1(data.data(), n, 1);
      tamsel::four1(data.data(), n, -1);
    }
    tamsel::four1(data.data(), 256, 3); // a sign with the plain passes
    for (Integer n : {1, 2, 64, 1 << 16, 1 << 17}) {
      tamsel::realft(data.data(), n, 1);
      tamsel::realft(data.data(), n, -1);
      tamsel::twofft(data.data(), second.data(), result.data(), spectrum.data(), n);
    }
    for (Integer n : {2, 128, 8192}) {
      tamsel::correl(data.data(), second.data(), n, result.data());
      tamsel::correl_zero_lag(data.data(), second.data(), n, result.data());
    }
    tamsel::fourn(data.data(), shape2, 2, 1);
    tamsel::fourn(data.data(), shape3, 3, -1);
    tamsel::fourn(data.data(), line_shape, 1, 1);
    tamsel::fourn(data.data(), shape3, 3, 2);
    for (Integer n : {15, 40, 15}) {
      tamsel::chebft(0.0, 2.0, coefficients.data(), n, line, &slope, &offset, 0, 0.0);
    }
    tamsel::chebev_points(0.0, 2.0, coefficients.data(), 15, points.data(), result.data(), 40);
    tamsel::chebev_points(0.0, 2.0, coefficients.data(), coefficients.data() + 20, 15, points.data(),
                          result.data(), spectrum.data(), 40);
    // Kept where the optimiser cannot drop the calls that make it.
    volatile Real value = tamsel::favr(points.data(), second.data(), 30, 0.0, 0.33) +
                          tamsel::favr_ascending(points.data(), second.data(), 30, 0.0, 0.33);
    static_cast<void>(value);
  };
  every_routine();
  const long before = allocations.load();
  every_routine();

  EXPECT_EQ(allocations.load() - before, 0);
}

// Correlations of up to 256 values keep their scratch on the stack: once
// the process has made the kept tables they read, a thread's first calls
// take nothing from the heap, at every length.
TEST(NoHeap, ShortCorrelationsTakeNoScratch) {
  std::vector<Real> a(256), b(256), work(512);
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = Real(i % 13) * 0.385 - 2.1;
    b[i] = Real(i % 7) * -0.61 + 1.3;
  }
  for (Integer n = 2; n <= 256; n *= 2) tamsel::correl(a.data(), b.data(), n, work.data());
  long taken = -1;
  std::thread thread([&] {
    const long before = allocations.load();
    for (Integer n = 2; n <= 256; n *= 2) {
      tamsel::correl(a.data(), b.data(), n, work.data());
      tamsel::correl_zero_lag(a.data(), b.data(), n, work.data());
    }
    taken = allocations.load() - before;
  });
  thread.join();
  EXPECT_EQ(taken, 0);
}

// The counting itself works: a vector's buffer is seen.
TEST(NoHeap, CountingSeesAllocations) {
  const long before = allocations.load();
  std::vector<Real> v(1000);
  EXPECT_GT(allocations.load() - before, 0);
  EXPECT_EQ(v.size(), 1000u);
}

} // namespace
