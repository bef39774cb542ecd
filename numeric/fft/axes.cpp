// SPDX-License-Identifier: BSD-3-Clause
// fftn and ifftn as passes along one axis at a time.  The transform of an
// array over its axes k .. D-1 is, for every index of axis k, that of the
// sub-array over axes k+1 .. D-1, then the lines of axis k: every line of
// every axis receives the same values as in passes over the whole array,
// the last axis first, so the bits are the same; and a sub-array that fits
// in a cache is done there whole, rows and columns, before the next one.
#include "lines.h"

#include <algorithm>
#include <vector>

#include <tamsel/numeric/types.h>

#include "../parallel.h"
#include "engine.h"

namespace tamsel::conventional::batch {

namespace {

// Strided lines of up to this many values go through the engine in strips
// of adjacent lines where they lie; longer ones are gathered a few at a
// time into scratch: a strip's rows, a power of two of bytes apart, crowd
// a few sets of the caches, which costs more there than the passes in
// strips save (bench/NOTES.md).
constexpr std::size_t kLongestStrip = 512;

// The lines of one axis: `blocks` blocks of `length` rows of `inner`
// values each, line e of a block taking value e of every row; each through
// fft or the unscaled inverse, then divided by divisor unless it is 0.
// The work comes in items (lines), any range of which may be done by any
// thread.
struct AxisPass {
  Complex* data;
  std::size_t length, inner, blocks;
  bool inverse;
  double divisor;

  AxisPass(Complex* values, std::size_t l, std::size_t b, std::size_t a, bool back, double d)
      : data(values), length(l), inner(b), blocks(a), inverse(back), divisor(d) {}

  std::size_t items() const { return blocks * inner; }

  void run(std::size_t first, std::size_t last, Scratch& scratch) const {
    const bool binary = (length & (length - 1)) == 0;
    if (binary && (inner == 1 || length <= kLongestStrip)) return run_binary(first, last);
    const LineStep step = inverse ? backward_unscaled : fft;
    const Lines layout{inner, 1};
    for (std::size_t t = first; t < last;) {
      Complex* block = data + t / inner * length * inner;
      const std::size_t e = t % inner, end = std::min(inner, e + (last - t));
      complex_lines(block, layout, block, layout, length, e, end, step, divisor, scratch);
      t += end - e;
    }
  }

  // A power of two: the steps of fft (or of the unscaled inverse) with the
  // exact factors, for many lines at once where they lie: short contiguous
  // rows side by side, strided lines in strips of adjacent ones.  Every
  // butterfly computes what it does in fft's own schedule, so the bits are
  // fft's.
  void run_binary(std::size_t first, std::size_t last) const {
    if (inner == 1)
      return binary_rows(data + first * length, length, last - first, inverse, divisor);
    const Integer sign = inverse ? 1 : -1;
    const auto n = static_cast<Integer>(length);
    auto* reals = reinterpret_cast<Real*>(data);
    for (std::size_t t = first; t < last;) {
      const std::size_t start = t / inner * length * inner, e = t % inner;
      const std::size_t end = std::min(inner, e + (last - t));
      fft::transform_strips(reals + 2 * (start + e), n, static_cast<Integer>(inner),
                            static_cast<Integer>(end - e), sign, fft::Roots::exact);
      if (divisor != 0.0)
        for (std::size_t i = 0; i < length; ++i)
          divide(data + start + i * inner + e, end - e, divisor);
      t += end - e;
    }
  }
};

// Every axis of a C-order block of the given lengths (each at least 2)
// whose elements are `tail` values each (the same lines for each of them),
// by one thread, every value divided by divisor at the end unless it is 0.
void all_axes(Complex* data, const std::size_t* shape, std::size_t axes, std::size_t tail,
              bool inverse, double divisor, Scratch& scratch) {
  std::size_t inner = tail;
  for (std::size_t d = 1; d < axes; ++d) inner *= shape[d];
  const AxisPass pass(data, shape[0], inner, 1, inverse, divisor);
  if (axes == 2) {
    const AxisPass rows(data, shape[1], tail, shape[0], inverse, 0.0);
    rows.run(0, rows.items(), scratch);
  } else if (axes > 2) {
    for (std::size_t i = 0; i < shape[0]; ++i)
      all_axes(data + i * inner, shape + 1, axes - 1, tail, inverse, 0.0, scratch);
  }
  pass.run(0, pass.items(), scratch);
}

// all_axes with the work of each pass split between threads, and every
// value divided by divisor at the end unless it is 0.
void all_axes(Complex* data, const std::size_t* shape, std::size_t axes, std::size_t tail,
              bool inverse, double divisor, unsigned threads) {
  if (threads == 1) {
    Scratch scratch;
    return all_axes(data, shape, axes, tail, inverse, divisor, scratch);
  }
  std::size_t inner = tail;
  for (std::size_t d = 1; d < axes; ++d) inner *= shape[d];
  const std::size_t length = shape[0];
  if (axes == 2) {
    const AxisPass rows(data, shape[1], tail, length, inverse, 0.0);
    std::vector<Scratch> scratch(tamsel::detail::workers_for(rows.items(), threads));
    tamsel::detail::in_parts(rows.items(), threads, [&](std::size_t first, std::size_t last,
                                                        std::size_t w) {
      rows.run(first, last, scratch[w]);
    });
  } else if (axes > 2 && (length % threads == 0 || length >= 8 * std::size_t{threads})) {
    // Whole sub-arrays to each thread, the parts within one of equal size.
    std::vector<Scratch> scratch(tamsel::detail::workers_for(length, threads));
    tamsel::detail::in_parts(length, threads, [&](std::size_t first, std::size_t last,
                                                  std::size_t w) {
      for (std::size_t i = first; i < last; ++i)
        all_axes(data + i * inner, shape + 1, axes - 1, tail, inverse, 0.0, scratch[w]);
    });
  } else if (axes > 2) {
    for (std::size_t i = 0; i < length; ++i)
      all_axes(data + i * inner, shape + 1, axes - 1, tail, inverse, 0.0, threads);
  }
  const AxisPass pass(data, length, inner, 1, inverse, divisor);
  std::vector<Scratch> scratch(tamsel::detail::workers_for(pass.items(), threads));
  tamsel::detail::in_parts(pass.items(), threads, [&](std::size_t first, std::size_t last,
                                                      std::size_t w) {
    pass.run(first, last, scratch[w]);
  });
}

} // namespace

void transform_axes(std::span<Complex> data, std::span<const std::size_t> shape, bool inverse,
                    unsigned threads, std::size_t tail) {
  // Axes of length 1 change no value and no place.
  std::vector<std::size_t> lengths;
  for (const std::size_t n : shape)
    if (n > 1) lengths.push_back(n);
  const double divisor = inverse ? static_cast<double>(data.size() / tail) : 0.0;
  if (lengths.empty()) {
    if (inverse) divide(data.data(), data.size(), divisor);
    return;
  }
  all_axes(data.data(), lengths.data(), lengths.size(), tail, inverse, divisor, threads);
}

} // namespace tamsel::conventional::batch
