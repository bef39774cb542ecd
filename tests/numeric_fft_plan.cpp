// SPDX-License-Identifier: BSD-3-Clause
// Plans and fftn's passes give every line the bits of the one-line
// functions, whatever the layout, the batch and the thread count, and
// write nothing but their output; the layouts they cannot do are refused.
#include <gtest/gtest.h>

#include <complex>
#include <cstring>
#include <random>
#include <span>
#include <stdexcept>
#include <vector>

#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/fft_plan.h>

#include "numeric_support.h"

namespace {

namespace conv = tamsel::conventional;
using conv::Complex;

template <typename T>
bool same_bits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// A buffer of `size` values of T from gen, or (sentinel) all of one NaN.
template <typename T>
std::vector<T> values(std::size_t size, std::mt19937_64& gen, bool sentinel = false) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<T> v(size);
  for (T& x : v) {
    if constexpr (std::is_same_v<T, double>) {
      x = sentinel ? tamsel::test_support::kNaN : uniform(gen);
    } else {
      x = sentinel ? T(tamsel::test_support::kNaN, 1.0) : T(uniform(gen), uniform(gen));
    }
  }
  return v;
}

// A layout for `howmany` lines of `length` values with distinct places:
// lines after one another, interleaved, or both spread out.
conv::Lines layout(std::size_t length, std::size_t howmany, std::mt19937_64& gen) {
  const std::size_t spread = gen() % 3 + 1, gap = gen() % 3;
  switch (gen() % 3) {
    case 0: return {1, length + gap};
    case 1: return {howmany + gap, 1};
    default: return {spread, spread * length + gap};
  }
}

std::size_t end_of(conv::Lines l, std::size_t length, std::size_t howmany) {
  return howmany == 0 ? 0 : (howmany - 1) * l.distance + (length - 1) * l.stride + 1;
}

template <typename T>
std::vector<T> line(const std::vector<T>& v, conv::Lines l, std::size_t index, std::size_t length) {
  std::vector<T> out(length);
  for (std::size_t j = 0; j < length; ++j) out[j] = v[index * l.distance + j * l.stride];
  return out;
}

// One random batch of `kind` through a plan; every output line against the
// one-line function of its input line, every other place untouched.
template <typename In, typename Out>
void check_batch(conv::Transform kind, std::size_t n, std::mt19937_64& gen) {
  const conv::FftPlan plan(kind, n);
  const std::size_t howmany = gen() % 7, m = plan.output_length();
  const unsigned threads = unsigned(gen() % 4 + 1);
  const conv::Lines out_lines = layout(m, howmany, gen);
  constexpr bool complex = std::is_same_v<In, Out>;
  const bool in_place = complex && gen() % 3 == 0;
  const conv::Lines in_lines = in_place ? out_lines : layout(plan.input_length(), howmany, gen);
  const auto input = values<In>(end_of(in_lines, plan.input_length(), howmany) + 1, gen);
  auto output = values<Out>(end_of(out_lines, m, howmany) + 2, gen, true);
  if constexpr (complex) {
    if (in_place) {
      for (std::size_t i = 0; i < output.size() && i < input.size(); ++i) output[i] = input[i];
      plan.execute(output.data(), in_lines, output.data(), out_lines, howmany, threads);
    }
  }
  if (!in_place) plan.execute(input.data(), in_lines, output.data(), out_lines, howmany, threads);
  std::vector<bool> written(output.size(), false);
  for (std::size_t l = 0; l < howmany; ++l) {
    auto x = line(input, in_lines, l, plan.input_length());
    std::vector<Out> want(m);
    if constexpr (complex) {
      want = x;
      kind == conv::Transform::forward ? conv::fft(want) : conv::ifft(want);
    } else if constexpr (std::is_same_v<In, double>) {
      conv::rfft(x, want);
    } else {
      conv::irfft(x, want);
    }
    for (std::size_t j = 0; j < m; ++j) {
      const std::size_t at = l * out_lines.distance + j * out_lines.stride;
      written[at] = true;
      ASSERT_TRUE(same_bits(output[at], want[j]))
          << "n " << n << " line " << l << " value " << j << " threads " << threads;
    }
  }
  const Out sentinel = values<Out>(1, gen, true)[0];
  for (std::size_t i = 0; i < output.size(); ++i)
    if (!written[i] && !in_place) {
      ASSERT_TRUE(same_bits(output[i], sentinel)) << "place " << i;
    }
}

TEST(FftPlan, EveryLineHasTheBitsOfItsFunction) {
  std::mt19937_64 gen(2026);
  const std::size_t lengths[] = {1, 2, 3, 5, 8, 12, 16, 17, 60, 64, 97, 128, 1000, 1024};
  for (int trial = 0; trial < 400; ++trial) {
    const std::size_t n = lengths[gen() % std::size(lengths)];
    switch (trial % 4) {
      case 0: check_batch<Complex, Complex>(conv::Transform::forward, n, gen); break;
      case 1: check_batch<Complex, Complex>(conv::Transform::backward, n, gen); break;
      case 2: check_batch<double, Complex>(conv::Transform::real_forward, n, gen); break;
      default: check_batch<Complex, double>(conv::Transform::real_backward, n, gen); break;
    }
    if (HasFatalFailure()) return;
  }
}

// A shape of 1 .. axes lengths drawn from `lengths`, drawn again until its
// values (count) are at most most.
std::vector<std::size_t> random_shape(std::mt19937_64& gen, std::span<const std::size_t> lengths,
                                      std::size_t axes, std::size_t most, std::size_t& count) {
  std::vector<std::size_t> shape(gen() % axes + 1);
  do {
    count = 1;
    for (std::size_t& n : shape) count *= n = lengths[gen() % lengths.size()];
  } while (count > most);
  return shape;
}

// fftn and ifftn by any number of threads and with every kernel table give
// the bits of one thread; fftn those of fft along each axis, the last
// first; ifftn of one axis those of ifft.  Lengths on both sides of the
// engine's strips (up to 512) and rows side by side (below 32).
TEST(FftPlan, FftnBitsWhateverTheThreads) {
  std::mt19937_64 gen(11);
  const std::size_t lengths[] = {1, 2, 3, 4, 6, 8, 16, 5, 32, 12, 64, 512, 1024};
  for (int trial = 0; trial < 80; ++trial) {
    std::size_t count = 0;
    const auto shape = random_shape(gen, lengths, 4, std::size_t{1} << 15, count);
    const auto x = values<Complex>(count, gen);
    auto by_axes = x;
    for (std::size_t axis = shape.size(), stride = 1; axis-- > 0; stride *= shape[axis])
      for (std::size_t start = 0; start < count; ++start) {
        if (start / stride % shape[axis] != 0) continue;
        auto l = line(by_axes, conv::Lines{stride, start}, 1, shape[axis]);
        conv::fft(l);
        for (std::size_t j = 0; j < l.size(); ++j) by_axes[start + j * stride] = l[j];
      }
    auto inverse_one = x;
    conv::ifftn(inverse_one, shape, 1);
    const auto kernels = tamsel::test_support::runnable_kernels();
    // One thread and, trial by trial, 2 to 5: each start of a thread is
    // dear under the sanitizers and the emulator.
    for (const unsigned threads : {1u, 2u + unsigned(trial) % 4u}) {
      const tamsel::kernels::KernelOverride use(kernels[(trial + threads) % kernels.size()]);
      auto z = x;
      conv::fftn(z, shape, threads);
      for (std::size_t i = 0; i < count; ++i)
        ASSERT_TRUE(same_bits(z[i], by_axes[i])) << "fftn trial " << trial << " " << threads;
      z = x;
      conv::ifftn(z, shape, threads);
      for (std::size_t i = 0; i < count; ++i)
        ASSERT_TRUE(same_bits(z[i], inverse_one[i])) << "ifftn trial " << trial << " " << threads;
    }
    if (shape.size() == 1) {
      auto z = x;
      conv::ifft(z);
      for (std::size_t i = 0; i < count; ++i) ASSERT_TRUE(same_bits(z[i], inverse_one[i])) << i;
    }
  }
}

// rfftn: rfft of every row, then fftn over the other axes of each of the
// rows' values; irfftn: ifftn over all axes but the last of each value of
// a row, then irfft of every row; the bits of those, whatever the threads.
TEST(FftPlan, RfftnIsRfftThenFftnOverTheOthers) {
  std::mt19937_64 gen(12);
  const std::size_t lengths[] = {1, 2, 3, 4, 5, 6, 8, 16, 64, 512};
  for (int trial = 0; trial < 40; ++trial) {
    std::size_t count = 0;
    const auto shape = random_shape(gen, lengths, 3, std::size_t{1} << 14, count);
    const std::size_t n = shape.back(), m = n / 2 + 1, rows = count / n;
    const std::span<const std::size_t> leading(shape.data(), shape.size() - 1);
    // Each of the rows' m values through f over the leading axes.
    const auto over_leading = [&](std::vector<Complex>& z, auto f) {
      std::vector<Complex> slice(rows);
      for (std::size_t t = 0; t < m; ++t) {
        for (std::size_t r = 0; r < rows; ++r) slice[r] = z[r * m + t];
        if (!leading.empty()) f(slice);
        for (std::size_t r = 0; r < rows; ++r) z[r * m + t] = slice[r];
      }
    };
    const auto x = values<double>(count, gen);
    std::vector<Complex> spectrum(rows * m), got(rows * m);
    for (std::size_t r = 0; r < rows; ++r)
      conv::rfft(std::span(x).subspan(r * n, n), std::span(spectrum).subspan(r * m, m));
    over_leading(spectrum, [&](std::vector<Complex>& v) { conv::fftn(v, leading); });
    auto back_spectrum = spectrum;
    over_leading(back_spectrum, [&](std::vector<Complex>& v) { conv::ifftn(v, leading); });
    std::vector<double> back(count), got_back(count);
    for (std::size_t r = 0; r < rows; ++r)
      conv::irfft(std::span(back_spectrum).subspan(r * m, m), std::span(back).subspan(r * n, n));
    for (const unsigned threads : {1u, 3u}) {
      conv::rfftn(x, got, shape, threads);
      conv::irfftn(spectrum, got_back, shape, threads);
      for (std::size_t i = 0; i < rows * m; ++i)
        ASSERT_TRUE(same_bits(got[i], spectrum[i])) << "rfftn trial " << trial << " " << i;
      for (std::size_t i = 0; i < count; ++i)
        ASSERT_TRUE(same_bits(got_back[i], back[i])) << "irfftn trial " << trial << " " << i;
    }
  }
}

TEST(FftPlan, RefusalsNameTheFault) {
  std::vector<Complex> a(64), b(64);
  std::vector<double> r(64);
  const conv::FftPlan complex(conv::Transform::forward, 8), real(conv::Transform::real_forward, 8);
  const tamsel::test_support::Refusal cases[] = {
      {"length", [] { conv::FftPlan(conv::Transform::backward, 0); }, "length 0 is not from 1"},
      {"kind", [&] { real.execute(a.data(), {1, 8}, b.data(), {1, 8}, 2); }, "a real_forward plan"},
      {"threads", [&] { complex.execute(a.data(), {1, 8}, b.data(), {1, 8}, 2, 0); }, "count"},
      {"shared", [&] { complex.execute(a.data(), {1, 8}, b.data(), {1, 4}, 2); }, "share a place"},
      {"overlap", [&] { complex.execute(a.data(), {1, 8}, a.data() + 4, {1, 8}, 2); }, "overlap"},
      {"real in place", [&] { real.execute(r.data(), {1, 8}, reinterpret_cast<Complex*>(r.data()),
                                           {1, 5}, 2); }, "overlap"},
      {"null", [&] { complex.execute(static_cast<const Complex*>(nullptr), {1, 8}, b.data(),
                                     {1, 8}, 1); }, "null"},
      {"huge", [&] { complex.execute(a.data(), {1, std::size_t(-1) / 2}, b.data(), {1, 8}, 3); },
       "does not fit"},
      {"fftn", [&] { const std::size_t s[] = {8, 8}; conv::fftn(a, s, 0); }, "thread count is 0"},
      {"rfftn", [&] { const std::size_t s[] = {8, 8}; conv::rfftn(r, a, s); },
       "rfftn: the output holds 64 values, not 40"},
      {"irfftn", [&] { const std::size_t s[] = {4, 16}; conv::irfftn(a, r, s); },
       "irfftn: the spectrum holds 64 values, not 36"},
  };
  tamsel::test_support::expect_refusals(cases);
}

} // namespace
