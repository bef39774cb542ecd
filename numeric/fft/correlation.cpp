// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/correlation.h>

#include <cstddef>
#include <new>

#include <tamsel/numeric/real_fft.h>

#include "fft/engine.h"
#include "kernels.h"
#include "refusals.h"

namespace tamsel {

namespace {

constexpr Integer kMaxLength = 8192;

// Spectrum of data1 during a call, 2n Reals, on a 64-byte boundary, where
// the widest kernels run fastest: up to kStackLength on the stack (4 KiB),
// beyond it each thread's own, taken from the heap on the thread's first
// call that needs more than it holds and given back when the thread ends.
// A thread that never correlates beyond kStackLength pays nothing but
// these two words of thread-local storage.  The short correlations of a
// run then need no heap, no page of it to map and nothing to free.
constexpr Integer kStackLength = 256;
class Scratch {
public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() { operator delete[](reals_, kAlignment); }
  // Room for at least `count` Reals (count <= 2 * kMaxLength).
  Real* reserve(Integer count) {
    if (count > size_) {
      Real* const bigger = static_cast<Real*>(
          operator new[](sizeof(Real) * static_cast<std::size_t>(count), kAlignment));
      operator delete[](reals_, kAlignment);
      reals_ = bigger;
      size_ = count;
    }
    return reals_;
  }

private:
  static constexpr std::align_val_t kAlignment{64};
  Real* reals_ = nullptr;
  Integer size_ = 0;
};
thread_local Scratch scratch;

// Everything of correl before its inverse transform: leaves the packed
// spectrum C of the correlation in result[0 .. n-1] and returns n/2, n as
// read after twofft.  Not inlined, so that its scratch on the stack is
// given back before the inverse transform takes its own.
[[gnu::noinline]] Integer correlation_spectrum(const Real* data1, const Real* data2,
                             const Integer& n, Real* result) {
  // Positions p counted from 1 are array[p - 1].
  auto res = [result](Integer p) -> Real& { return result[p - 1]; };

  Integer count = n; // read on entry ...
  if (count < 2 || count > kMaxLength || (count & (count - 1)) != 0) {
    detail::refuse_argument("correl: length %d is not a power of two from 2 to %d", count,
                            kMaxLength);
  }

  // twofft's transform into scratch and result, then its separation into
  // F_k, the spectrum of data1, and G_k, that of data2, with the products.
  // Only the first 2n Reals of the scratch take part in this call, and the
  // transform writes all of them before any is read: the results depend on
  // the arguments alone.
  alignas(64) Real on_stack[2 * kStackLength];
  Real* const spectrum = count <= kStackLength ? on_stack : scratch.reserve(2 * count);
  fft::joint_spectrum(data1, data2, spectrum, result, n);
  count = n; // ... and again after the transform

  const Integer half = count / 2;
  const Real divisor =
      static_cast<Real>(static_cast<Integer>(static_cast<Real>(count) * 0.5));
  // The divisor is a power of two, so dividing by it and multiplying by its
  // reciprocal (exact) round the same real number: the same bits, always.
  const Real reciprocal = 1.0 / divisor;

  // F_k and G_k (fft::separate), and C_k = F_k * conj(G_k) / (n/2) for
  // k = 0..n/2 over G_k in result.
  kernels::active().separate_products(spectrum, result, count, reciprocal);

  // Packed spectrum of length n: the real C_{n/2} takes position 2.  The
  // inverse real transform leaves a factor n/2 that, with the division
  // above, gives the 1/n of the inverse transform.
  res(2) = res(count + 1);
  return half;
}

} // namespace

void correl(const Real* data1, const Real* data2, const Integer& n,
            Real* result) {
  const Integer half = correlation_spectrum(data1, data2, n, result);
  realft(result, half, -1);
}

Real correl_zero_lag(const Real* data1, const Real* data2, const Integer& n,
                     Real* work) {
  const Integer half = correlation_spectrum(data1, data2, n, work);
  return fft::realft_inverse_first(work, half);
}

} // namespace tamsel
