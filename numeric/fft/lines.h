// SPDX-License-Identifier: BSD-3-Clause
// Lines of the conventional layer's transforms done in batches: gathered
// from their strided places into contiguous scratch, a few at a time so
// that each cache line read serves several of them, transformed there by
// the layer's one-line functions, and scattered back.  The plans of
// <tamsel/numeric/fft_plan.h> and fftn's axes both run here.
//
// Internal to the toolkit; not installed.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <span>

#include <tamsel/numeric/fft_plan.h>

namespace tamsel::conventional::batch {

// ifft's transform before its division by n: the unscaled inverse
// (conventional.cpp; ifft is this and divide).
void backward_unscaled(std::span<Complex> data);

// values[i] / divisor for each i < count, a correctly rounded quotient of
// each part (by a power of two, the product with its exact reciprocal,
// which is the same); divide_parts likewise for count doubles.
void divide(Complex* values, std::size_t count, double divisor);
void divide_parts(double* parts, std::size_t count, double divisor);

// A transform of one contiguous line in place.
using LineStep = void (*)(std::span<Complex>);

// Scratch of a thread, on 64-byte boundaries, grown as asked.
class Scratch {
 public:
  Complex* complex_values(std::size_t count) { return grow(complexes_, complex_size_, count); }
  double* reals(std::size_t count) { return grow(reals_, real_size_, count); }

 private:
  struct Release {
    void operator()(void* p) const { ::operator delete(p, std::align_val_t{64}); }
  };
  template <typename T>
  T* grow(std::unique_ptr<T, Release>& values, std::size_t& size, std::size_t count) {
    if (count > size) {
      values.reset();
      values.reset(static_cast<T*>(::operator new(count * sizeof(T), std::align_val_t{64})));
      size = count;
    }
    return values.get();
  }
  std::unique_ptr<Complex, Release> complexes_;
  std::unique_ptr<double, Release> reals_;
  std::size_t complex_size_ = 0, real_size_ = 0;
};

// count contiguous rows of n values at rows (n a power of two from 2), each
// through fft or the unscaled inverse with their bits, then, unless divisor
// is 0, every value divided by divisor: short rows side by side through
// the engine, longer ones one at a time.
void binary_rows(Complex* rows, std::size_t n, std::size_t count, bool inverse, double divisor);

// Lines [first, last) of a batch of lines of `length` values from in (its
// layout in_lines) to out (out_lines): each through `step`, then, unless
// divisor is 0, every value divided by divisor.  In place when in == out
// with the same layout; otherwise the two must not overlap.
void complex_lines(const Complex* in, Lines in_lines, Complex* out, Lines out_lines,
                   std::size_t length, std::size_t first, std::size_t last, LineStep step,
                   double divisor, Scratch& scratch);

// Every axis of a C-order array of this shape whose elements are `tail`
// values each (lengths checked, their product times tail data.size()), the
// last first: forward (fft) or the unscaled inverse along each, for each
// of an element's values, then, for the inverse, every value divided by
// the number of elements.  The lines of each axis are split between
// `threads` threads (at least 1); the bits are those of one thread.
void transform_axes(std::span<Complex> data, std::span<const std::size_t> shape, bool inverse,
                    unsigned threads, std::size_t tail = 1);

} // namespace tamsel::conventional::batch
