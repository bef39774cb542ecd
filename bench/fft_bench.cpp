// SPDX-License-Identifier: BSD-3-Clause
// Times the toolkit's transforms against FFTW on the same data and prints
// one table: routine, size, our time with the widest kernels this processor
// runs, our time with the AVX kernels at most (the processors without
// AVX-512), FFTW's time, and the ratios of ours to FFTW's.
//
// FFTW plans are made with FFTW_MEASURE before any timing.  In-place
// transforms (ours, and FFTW's complex ones) run on a fresh copy of the
// input every time; the time of that copy alone is measured the same way and
// taken off, so that the table shows the transforms themselves.  Each figure
// is the best of 24 batches of at least 4 ms, ours and FFTW's measured in
// turns.  `fft_bench --plan N [sign]` times nothing and prints the steps of
// the plans of four1 and realft for N values (fft::describe_plan), and
// `fft_bench --plan 64x64 [sign]` those of fourn for that shape
// (fft::describe_dimensions).
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>

#include "numeric/fft/plan.h"

#include "numeric/kernels.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

using tamsel::Integer;
using tamsel::Real;

volatile Real sink;

// Seconds per call of f: the best of `batches` batches, each of enough calls
// to last at least min_batch seconds.
double time_call(const std::function<void()>& f, int batches = 2,
                 double min_batch = 0.004) {
  using clock = std::chrono::steady_clock;
  long calls = 1;
  for (;;) {
    const auto t0 = clock::now();
    for (long i = 0; i < calls; ++i) f();
    const double t = std::chrono::duration<double>(clock::now() - t0).count();
    if (t >= min_batch) break;
    calls *= 2;
  }
  double best = 1e300;
  for (int b = 0; b < batches; ++b) {
    const auto t0 = clock::now();
    for (long i = 0; i < calls; ++i) f();
    const double t = std::chrono::duration<double>(clock::now() - t0).count();
    best = std::min(best, t / static_cast<double>(calls));
  }
  return best;
}

std::vector<Real> random_values(std::size_t count, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<Real> dist(-5.0, 5.0);
  std::vector<Real> v(count);
  for (auto& x : v) x = dist(gen);
  return v;
}

// A buffer of Reals on a 64-byte boundary, freed on scope exit.
// fftw_malloc aligns to 32 bytes only: a small buffer then starts on a 64-byte
// boundary or 32 bytes past one as the heap happens to stand, and both
// libraries' times move with it (four1 2^11 took 35% longer 16, 32 or 48
// bytes off the boundary), so that the same build's ratios jumped between
// two values from one run to the next.  Both are timed on the same buffer.
struct FftwBuffer {
  Real* p;
  explicit FftwBuffer(std::size_t reals)
      : p(static_cast<Real*>(std::aligned_alloc(64, (sizeof(Real) * reals + 63) / 64 * 64))) {
    if (p == nullptr) throw std::bad_alloc();
  }
  ~FftwBuffer() { std::free(p); }
  fftw_complex* c() const { return reinterpret_cast<fftw_complex*>(p); }
};

// A call's time, and the part of it that copies the input back in place
// (in_place), taken off only after the best of each over the rounds: the
// best of the differences round by round picked the round whose copy
// happened to be slowest (realft 2n = 2^20, where the copy takes half the
// time, once came out at 0.00).
struct Timed {
  double total;
  double copy = 0.0;
  Timed(double t) : total(t) {}
  Timed(double t, double c) : total(t), copy(c) {}
};
struct Best {
  double total = 1e300;
  double copy = 1e300;
  void keep(const Timed& t) {
    total = std::min(total, t.total);
    copy = std::min(copy, t.copy);
  }
  double time() const { return std::max(total - copy, 0.0); }
};

// Our times (widest kernels, AVX kernels at most) and FFTW's, measured in
// turns (twelve short rounds, the best kept), so that a burst of load from
// elsewhere hits all alike: on a shared machine, fewer and longer rounds
// moved the small sizes' ratios by up to 20% from one run to the next,
// these by up to 10%.
struct Pair {
  double ours;
  double avx;
  double fftw;
};
template <class Ours, class Fftw>
Pair in_turns(Ours ours, Fftw fftw) {
  Best o, a, f;
  for (int round = 0; round < 12; ++round) {
    o.keep(ours());
    {
      const tamsel::kernels::KernelOverride narrow(tamsel::kernels::Kernel::avx);
      a.keep(ours());
    }
    f.keep(fftw());
  }
  return {o.time(), a.time(), f.time()};
}

void row(const char* routine, const char* size, const Pair& t) {
  std::printf("%-7s %-14s %10.2f %10.2f %10.2f %7.2f %7.2f\n", routine, size, t.ours * 1e6,
              t.avx * 1e6, t.fftw * 1e6, t.ours / t.fftw, t.avx / t.fftw);
  std::fflush(stdout);
}

// Time of an in-place call on a fresh copy of src, and of the copy itself.
Timed in_place(const std::vector<Real>& src, Real* work, const std::function<void()>& call) {
  const std::size_t bytes = src.size() * sizeof(Real);
  const double with_copy = time_call([&] {
    std::memcpy(work, src.data(), bytes);
    call();
  });
  const double copy = time_call([&] {
    std::memcpy(work, src.data(), bytes);
    sink = work[0];
  });
  return {with_copy, copy};
}

void bench_four1(int log2_max) {
  for (int lg = 7; lg <= log2_max; ++lg) {
    const Integer n = Integer{1} << lg;
    const auto src = random_values(2 * std::size_t(n), lg);
    FftwBuffer work(2 * std::size_t(n));
    fftw_plan plan = fftw_plan_dft_1d(n, work.c(), work.c(), FFTW_BACKWARD,
                                      FFTW_MEASURE);
    const Pair t = in_turns(
        [&] { return in_place(src, work.p, [&] { tamsel::four1(work.p, n, 1); }); },
        [&] { return in_place(src, work.p, [&] { fftw_execute(plan); }); });
    fftw_destroy_plan(plan);
    char size[32];
    std::snprintf(size, sizeof size, "n=2^%d", lg);
    row("four1", size, t);
  }
}

// 2n = 2^8 .. 2^(log2_max + 1) Reals: the n of four1's sizes.
void bench_realft(int log2_max) {
  for (int lg = 8; lg <= log2_max + 1; ++lg) {
    const Integer reals = Integer{1} << lg;
    const Integer n = reals / 2;
    const auto src = random_values(std::size_t(reals), 100 + lg);
    FftwBuffer work{std::size_t(reals)};
    FftwBuffer in{std::size_t(reals)};
    FftwBuffer out{std::size_t(reals) + 2};
    fftw_plan plan = fftw_plan_dft_r2c_1d(reals, in.p, out.c(), FFTW_MEASURE);
    std::memcpy(in.p, src.data(), sizeof(Real) * std::size_t(reals));
    const Pair t = in_turns(
        [&] { return in_place(src, work.p, [&] { tamsel::realft(work.p, n, 1); }); },
        [&] { return time_call([&] { fftw_execute(plan); }); });
    fftw_destroy_plan(plan);
    char size[32];
    std::snprintf(size, sizeof size, "2n=2^%d", lg);
    row("realft", size, t);
  }
}

// FFTW's way to the same correlation: r2c of both, the product with the
// conjugate, c2r.
void bench_correl() {
  for (Integer n : {128, 8192}) {
    const auto a = random_values(std::size_t(n), 7);
    const auto b = random_values(std::size_t(n), 8);
    FftwBuffer in1{std::size_t(n)}, in2{std::size_t(n)}, out{std::size_t(n)};
    FftwBuffer result{2 * std::size_t(n)};
    auto ours_call = [&] {
      return time_call([&] { tamsel::correl(in1.p, in2.p, n, result.p); });
    };

    FftwBuffer s1{std::size_t(n) + 2}, s2{std::size_t(n) + 2};
    fftw_plan p1 = fftw_plan_dft_r2c_1d(n, in1.p, s1.c(), FFTW_MEASURE);
    fftw_plan p2 = fftw_plan_dft_r2c_1d(n, in2.p, s2.c(), FFTW_MEASURE);
    fftw_plan back = fftw_plan_dft_c2r_1d(n, s1.c(), out.p, FFTW_MEASURE);
    std::memcpy(in1.p, a.data(), sizeof(Real) * std::size_t(n));
    std::memcpy(in2.p, b.data(), sizeof(Real) * std::size_t(n));
    auto fftw_call = [&] { return time_call([&] {
      fftw_execute(p1);
      fftw_execute(p2);
      const Real scale = 1.0 / static_cast<Real>(n);
      for (Integer k = 0; k <= n / 2; ++k) {
        const Real fr = s1.p[2 * k], fi = s1.p[2 * k + 1];
        const Real gr = s2.p[2 * k], gi = s2.p[2 * k + 1];
        s1.p[2 * k] = (fr * gr + fi * gi) * scale;
        s1.p[2 * k + 1] = (fi * gr - fr * gi) * scale;
      }
      fftw_execute(back);
    }); };
    const Pair t = in_turns(ours_call, fftw_call);
    fftw_destroy_plan(p1);
    fftw_destroy_plan(p2);
    fftw_destroy_plan(back);
    char size[32];
    std::snprintf(size, sizeof size, "n=%d", n);
    row("correl", size, t);
  }
}

void bench_fourn() {
  const std::vector<std::vector<Integer>> shapes = {
      {64, 64}, {512, 512}, {64, 64, 64}};
  for (const auto& shape : shapes) {
    std::size_t values = 1;
    for (Integer l : shape) values *= std::size_t(l);
    const auto src = random_values(2 * values, 300 + unsigned(values));
    FftwBuffer work(2 * values);
    // FFTW counts dimensions from the slowest; fourn from the fastest.
    std::vector<int> dims(shape.rbegin(), shape.rend());
    fftw_plan plan = fftw_plan_dft(int(dims.size()), dims.data(), work.c(),
                                   work.c(), FFTW_BACKWARD, FFTW_MEASURE);
    const Integer dimcount = Integer(shape.size());
    const Pair t = in_turns(
        [&] {
          return in_place(src, work.p,
                          [&] { tamsel::fourn(work.p, shape.data(), dimcount, 1); });
        },
        [&] { return in_place(src, work.p, [&] { fftw_execute(plan); }); });
    fftw_destroy_plan(plan);
    char size[32];
    if (shape.size() == 2)
      std::snprintf(size, sizeof size, "%dx%d", shape[0], shape[1]);
    else
      std::snprintf(size, sizeof size, "%dx%dx%d", shape[0], shape[1],
                    shape[2]);
    row("fourn", size, t);
  }
}

// The processor the figures belong to, and the widest kernels it runs.  The
// same code stands differently against FFTW from one processor to the next:
// where 512-bit operations go through 256-bit units in two halves (AMD's
// family 25), the AVX-512 kernels gain little over the AVX ones and lose at
// some sizes, while with full-width units (family 26) they took up to a
// third less time.
// The conventional layer's lengths other than powers of two, against FFTW's
// plan for each n: fft (in place) of 2^a 3^b 5^c from 2^6 to 2^20, of some
// primes (Bluestein's convolution) and of products of the larger radices;
// rfft (out of place) and irfft (on a fresh copy of the spectrum, which
// FFTW's c2r overwrites) of even and odd n.
void bench_any(std::vector<long> lengths) {
  using tamsel::conventional::Complex;
  if (lengths.empty())
    lengths = {96L, 120L, 240L, 360L, 1000L, 1536L, 3000L, 6144L, 10000L, 15625L, 20480L,
                 49152L, 81000L, 100000L, 196608L, 390625L, 786432L, 1000000L, 97L, 1009L,
                 10007L, 100003L, 1001L, 3003L, 19683L, 78125L};
  for (long n : lengths) {
    const std::size_t count = std::size_t(n);
    const auto src = random_values(2 * count, 500 + unsigned(n % 1000));
    FftwBuffer work(2 * count), out(2 * count + 2), spectrum(2 * count + 2);
    char size[32];
    std::snprintf(size, sizeof size, "n=%ld", n);
    fftw_plan plan = fftw_plan_dft_1d(int(n), work.c(), work.c(), FFTW_FORWARD, FFTW_MEASURE);
    const auto values = std::span<Complex>(reinterpret_cast<Complex*>(work.p), count);
    row("fft", size, in_turns(
        [&] { return in_place(src, work.p, [&] { tamsel::conventional::fft(values); }); },
        [&] { return in_place(src, work.p, [&] { fftw_execute(plan); }); }));
    fftw_destroy_plan(plan);
    const std::vector<Real> real(src.begin(), src.begin() + n);
    const auto half = std::span<Complex>(reinterpret_cast<Complex*>(out.p), count / 2 + 1);
    plan = fftw_plan_dft_r2c_1d(int(n), work.p, out.c(), FFTW_MEASURE);
    std::copy(real.begin(), real.end(), work.p);
    row("rfft", size, in_turns(
        [&] { return Timed(time_call([&] { tamsel::conventional::rfft(real, half); })); },
        [&] { return Timed(time_call([&] { fftw_execute(plan); })); }));
    fftw_destroy_plan(plan);
    const std::vector<Real> coefficients(out.p, out.p + 2 * half.size());
    plan = fftw_plan_dft_c2r_1d(int(n), spectrum.c(), work.p, FFTW_MEASURE);
    const auto back = std::span<Real>(work.p, count);
    const auto in = std::span<const Complex>(reinterpret_cast<Complex*>(spectrum.p), half.size());
    row("irfft", size, in_turns(
        [&] { return in_place(coefficients, spectrum.p, [&] { tamsel::conventional::irfft(in, back); }); },
        [&] { return in_place(coefficients, spectrum.p, [&] { fftw_execute(plan); }); }));
    fftw_destroy_plan(plan);
  }
}

void print_machine() {
  std::string name = "processor not identified";
  int family = -1;
  int model = -1;
#if defined(__x86_64__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(0x80000000, &a, &b, &c, &d) != 0 && a >= 0x80000004) {
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
      __get_cpuid(0x80000002 + leaf, &a, &b, &c, &d);
      const unsigned regs[4] = {a, b, c, d};
      std::memcpy(brand + 16 * leaf, regs, sizeof regs);
    }
    name = brand;
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
  }
  if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
    const int base_family = int((a >> 8) & 0xF);
    family = base_family + (base_family == 0xF ? int((a >> 20) & 0xFF) : 0);
    model = int((a >> 4) & 0xF);
    if (base_family == 0xF || base_family == 6) model |= int((a >> 12) & 0xF0);
  }
#endif
  const char* widest = "portable";
  switch (tamsel::kernels::native()) {
  case tamsel::kernels::Kernel::portable: break;
  case tamsel::kernels::Kernel::sse2: widest = "SSE2"; break;
  case tamsel::kernels::Kernel::avx: widest = "AVX"; break;
  case tamsel::kernels::Kernel::avx512: widest = "AVX-512"; break;
  }
  std::printf("# %s (family %d, model %d); widest kernels: %s\n", name.c_str(), family, model,
              widest);
}

// The lengths of "N1xN2x...", each a power of two, their product at most
// 2^29; none where the text is not that.
std::vector<Integer> parse_shape(const char* text) {
  std::vector<Integer> shape;
  long values = 1;
  char* end = nullptr;
  for (const char* at = text;; at = end + 1) { // past the 'x'
    const long length = std::strtol(at, &end, 10);
    if (end == at || length < 1 || length > (1 << 29) || (length & (length - 1)) != 0) return {};
    values *= length;
    if (values > (1 << 29)) return {};
    shape.push_back(Integer(length));
    if (*end == '\0') return shape;
    if (*end != 'x') return {};
  }
}

} // namespace

int main(int argc, char** argv) {
  // --plan N [sign]: prints the steps of the plans of four1 and realft of
  // N values (a power of two) with the widest kernels, and times nothing;
  // --plan N1xN2[x...] [sign], those of fourn for that shape (N1 the
  // fastest dimension).
  if (argc > 2 && std::strcmp(argv[1], "--plan") == 0) {
    const std::vector<Integer> shape = parse_shape(argv[2]);
    const int sign = argc > 3 && std::atoi(argv[3]) == -1 ? -1 : 1;
    if (shape.empty() || (shape.size() == 1 && shape[0] < 2)) {
      std::fprintf(stderr, "fft_bench --plan: N, or each of N1xN2..., must be a power of two, "
                           "N from 2 and their product at most 2^29\n");
      return 2;
    }
    if (shape.size() > 1) {
      const Integer dimensions = Integer(shape.size());
      std::fputs(tamsel::fft::describe_dimensions(shape.data(), dimensions, sign).c_str(), stdout);
      return 0;
    }
    const Integer n = shape[0];
    std::fputs(tamsel::fft::describe_plan(n, sign).c_str(), stdout);
    if (sign == 1) {
      std::fputs(tamsel::fft::describe_plan(n, 1, tamsel::fft::Shape::real_split).c_str(), stdout);
    }
    return 0;
  }
  // Optional arguments: four1's largest n as log2 (default 20; realft's
  // 2n goes one further), and the one routine to time (default all).
  int log2_max = 20;
  if (argc > 1) log2_max = std::clamp(std::atoi(argv[1]), 8, 20);
  const std::string only = argc > 2 ? argv[2] : "";
  auto wanted = [&](const char* routine) { return only.empty() || only == routine; };
  print_machine();
  std::printf("%-7s %-14s %10s %10s %10s %7s %7s\n", "routine", "size", "ours [us]",
              "AVX [us]", "FFTW [us]", "ratio", "AVX");
  if (wanted("four1")) bench_four1(log2_max);
  if (wanted("realft")) bench_realft(log2_max);
  if (wanted("correl")) bench_correl();
  if (wanted("fourn")) bench_fourn();
  // fft_bench 20 any N...: those lengths alone.
  std::vector<long> lengths;
  for (int i = 3; i < argc; ++i) lengths.push_back(std::atol(argv[i]));
  if (wanted("any")) bench_any(lengths);
  return 0;
}
