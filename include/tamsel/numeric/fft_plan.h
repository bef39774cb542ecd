// SPDX-License-Identifier: BSD-3-Clause
// Plans of the conventional layer (<tamsel/numeric/conventional.h>): one
// transform of length n, made once and executed on batches of lines laid
// out with strides, by one thread or several.
//
// Each line of a batch gets exactly the bits of the conventional layer's
// function of that line, whatever the strides, the number of lines, the
// thread count and the memory alignment:
//
//   forward        fft:   n complex values in, n out,
//                         X[k] = sum_j x[j] exp(-2 pi i j k / n)
//   backward       ifft:  n complex values in, n out, scaled by 1/n,
//                         x[j] = 1/n sum_k X[k] exp(+2 pi i j k / n)
//   real_forward   rfft:  n reals in, n/2 + 1 complex values out
//   real_backward  irfft: n/2 + 1 complex values in, n reals out (scaled
//                         by 1/n; the imaginary parts of X[0] and, for even
//                         n, X[n/2] are not used)
//
// Layout: value j of line l of a batch lies at base[l * distance + j *
// stride], counted in elements of the array (double or Complex); the input
// and the output have layouts of their own.
//
// Refused with std::invalid_argument, before any value is read or written:
// a length that is 0 or above 2^29; an execute whose element types do not
// fit the plan's transform; a thread count of 0; a null array when lines
// are to be done; an output layout in which two values of the batch share
// a place; input and output whose spans of memory (from the first value
// to the last) overlap, unless the transform is complex and both are the
// same array with the same layout (in place); a batch whose last index
// does not fit a std::size_t.  An input layout may repeat
// places (the values are only read).
//
// Threads: execute splits the lines between up to `threads` threads: the
// calling one and threads - 1 that it starts, which take chunks of lines
// in turn; it returns once every line is done (a thread that the system
// has not run by then, or that could not be started, takes none and ends
// on its own).  An exception of any line is thrown from execute once all
// lines have ended, leaving the output in no useful state.  A plan is
// immutable: any number of threads may execute it at once on batches that
// no other thread writes.
#pragma once

#include <cstddef>

#include <tamsel/numeric/conventional.h>

namespace tamsel::conventional {

enum class Transform { forward, backward, real_forward, real_backward };

// Where the lines of a batch lie (see the layout above).
struct Lines {
  std::size_t stride = 1;
  std::size_t distance = 0;
};

class FftPlan {
 public:
  // The transform `kind` of n values per line, n from 1 to 2^29.
  FftPlan(Transform kind, std::size_t n);

  Transform kind() const noexcept { return kind_; }
  std::size_t length() const noexcept { return n_; }
  // Values per line of the input and of the output: n, or n/2 + 1 on the
  // complex side of a real transform.
  std::size_t input_length() const noexcept;
  std::size_t output_length() const noexcept;

  // howmany lines of in into out; forward and backward.
  void execute(const Complex* in, Lines in_lines, Complex* out, Lines out_lines,
               std::size_t howmany, unsigned threads = 1) const;
  // real_forward.
  void execute(const double* in, Lines in_lines, Complex* out, Lines out_lines,
               std::size_t howmany, unsigned threads = 1) const;
  // real_backward.
  void execute(const Complex* in, Lines in_lines, double* out, Lines out_lines,
               std::size_t howmany, unsigned threads = 1) const;

 private:
  Transform kind_;
  std::size_t n_;
};

} // namespace tamsel::conventional
