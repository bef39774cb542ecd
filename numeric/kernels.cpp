// SPDX-License-Identifier: BSD-3-Clause
// The portable kernels, the table in use and the guard of the tests.
#include "kernels.h"

#include <cstring>

#include "steps.h"

namespace tamsel::kernels {

namespace portable {

namespace {

void pass(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count) {
  for (Integer s = 0; s < n; s += 2 * h) {
    Real* a = data + 2 * (s + j0);
    Real* b = a + 2 * h;
    for (Integer j = 0; j < count; ++j) {
      fft::butterfly(a + 2 * j, b + 2 * j, w[2 * j], w[2 * j + 1]);
    }
  }
}

void pass_pair(Real* data, Integer n, Integer h, const Real* wa, const Real* wb) {
  pass(data, n, h, wa, 0, h);
  pass(data, n, 2 * h, wb, 0, 2 * h);
}

void pass_triple(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                 const Real* wc) {
  pass_pair(data, n, h, wa, wb);
  pass(data, n, 4 * h, wc, 0, 4 * h);
}

void first_two_passes(Real* data, Integer n, const Real* w2, const Real* w4) {
  pass(data, n, 1, w2, 0, 1);
  pass(data, n, 2, w4, 0, 2);
}

void reverse_first_two(Real* data, Integer n, const Real* w2, const Real* w4,
                       const std::uint16_t*) {
  fft::bit_reverse(data, n);
  first_two_passes(data, n, w2, w4);
}

void butterflies(Real* a, Real* b, Real w_re, Real w_im, Integer count) {
  for (Integer i = 0; i < count; ++i) {
    fft::butterfly(a + 2 * i, b + 2 * i, w_re, w_im);
  }
}

void rows_pair(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
               Integer count) {
  butterflies(a, a + span, fa[0], fa[1], count);
  butterflies(a + 2 * span, a + 3 * span, fa[0], fa[1], count);
  butterflies(a, a + 2 * span, f0[0], f0[1], count);
  butterflies(a + span, a + 3 * span, f1[0], f1[1], count);
}

void rows_triple(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                 const Real* fc, Integer fc_step, Integer count) {
  rows_pair(a, span, fa, f0, f1, count);
  rows_pair(a + 4 * span, span, fa, f0, f1, count);
  for (Integer r = 0; r < 4; ++r) {
    butterflies(a + r * span, a + (r + 4) * span, fc[r * fc_step], fc[r * fc_step + 1], count);
  }
}

void first_value(Real* data, Integer n) {
  for (Integer half = n / 2; half >= 1; half /= 2) {
    for (Integer q = 0; q < half; ++q) fft::first_value_step(data + 2 * q, data + 2 * (q + half));
  }
}

void interleave(const Real* re, const Real* im, Real* out, Integer n,
                const std::uint16_t* order) {
  for (Integer j = 0; j < n; ++j) {
    const Integer place = order ? Integer{order[j]} : j;
    out[2 * place] = re[j];
    out[2 * place + 1] = im[j];
  }
}

void interleave_first_two(const Real* re, const Real* im, Real* out, Integer n, const Real* w2,
                          const Real* w4, const std::uint16_t* order) {
  interleave(re, im, out, n, nullptr);
  reverse_first_two(out, n, w2, w4, order);
}

void split(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f) {
  for (Integer k = first; k < end; ++k) {
    const Real* wk = w + 2 * (k - first);
    fft::split(data + 2 * k, data + 2 * (count - k), wk[0], wk[1], f);
  }
}

void pass_split(Real* data, Integer count, const Real* wl, const Real* ws, Real f) {
  pass(data, count, count / 2, wl, 0, count / 2);
  split(data, count, ws + 2, 1, count / 2, f);
}

void pass_pair_split(Real* data, Integer count, const Real* wa, const Real* wl, const Real* ws,
                     Real f) {
  pass(data, count, count / 4, wa, 0, count / 4);
  pass_split(data, count, wl, ws, f);
}

void separate(Real* spectrum1, Real* spectrum2, Integer count) {
  for (Integer k = 1; k <= count / 2; ++k) {
    fft::separate(spectrum1, spectrum2, 2 * k, 2 * (count - k));
  }
}

void products(const Real* f, Real* g, Integer half, Real reciprocal) {
  for (Integer k = 0; k <= half; ++k) fft::cross_product(f + 2 * k, g + 2 * k, reciprocal);
}

void separate_products(Real* spectrum1, Real* spectrum2, Integer count, Real reciprocal) {
  separate(spectrum1, spectrum2, count);
  products(spectrum1, spectrum2, count / 2, reciprocal);
}

void sums(const Real* f, Integer n, const Real* term, Real* sum) {
  for (Integer j = 0; j < n; ++j) {
    Real s = 0.0;
    for (Integer k = 1; k <= n; ++k) s = s + f[k - 1] * term[(k - 1) * n + j];
    sum[j] = s;
  }
}

Integer evaluate(Real a, Real b, const Real* c, Integer terms, const Real* x, Real* result,
                 Integer count) {
  for (Integer i = 0; i < count; ++i) result[i] = series::chebev_value(a, b, c, terms, x[i]);
  return count;
}

Integer evaluate_two(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                     const Real* x, Real* result1, Real* result2, Integer count) {
  for (Integer i = 0; i < count; ++i) {
    result1[i] = series::chebev_value(a, b, c1, terms, x[i]);
    result2[i] = series::chebev_value(a, b, c2, terms, x[i]);
  }
  return count;
}

// Open on the left, closed on the right; a NaN fails both tests.
bool first_match(const Real* xtab, Integer last, Real t, Integer& i) {
  for (i = 1; i <= last; ++i) {
    if (xtab[i] >= t && t > xtab[i - 1]) return true;
  }
  return false;
}

// The out-of-place entries: the values copied to out, then the entry in
// place there.
void reverse_first_two_to(const Real* in, Real* out, Integer n, const Real* w2, const Real* w4,
                          const std::uint16_t* order) {
  std::memcpy(out, in, sizeof(Real) * std::size_t(2 * n));
  reverse_first_two(out, n, w2, w4, order);
}

void pass_pair_to(const Real* in, Real* out, Integer n, Integer h, const Real* wa,
                  const Real* wb) {
  std::memcpy(out, in, sizeof(Real) * std::size_t(2 * n));
  pass_pair(out, n, h, wa, wb);
}

void pass_split_to(const Real* in, Real* out, Integer count, const Real* wl, const Real* ws,
                   Real f) {
  std::memcpy(out, in, sizeof(Real) * std::size_t(2 * count));
  pass_split(out, count, wl, ws, f);
}

} // namespace

bool all_in_range(Real a, Real b, const Real* x, Integer count) {
  for (Integer i = 0; i < count; ++i) {
    if ((x[i] - a) * (x[i] - b) > 0.0) return false;
  }
  return true;
}

void exchange(Real* a, Real* b, Reals reals) {
  for (Integer k = 0; k < Integer(reals); k += 4) {
    Real t[4];
    std::memcpy(t, a + k, sizeof t);
    std::memcpy(a + k, b + k, sizeof t);
    std::memcpy(b + k, t, sizeof t);
  }
}

void scale(Real* data, Integer count, Real x, bool divide) {
  for (Integer i = 0; i < count; ++i) data[i] = divide ? data[i] / x : data[i] * x;
}

void pass_pair_swap(Real* a, Real* b, Integer n, Integer h, const Real* wa, const Real* wb) {
  pass_pair(a, n, h, wa, wb);
  pass_pair(b, n, h, wa, wb);
  exchange(a, b, Reals{2 * n});
}

constinit const Table table{
    .kind = Kernel::portable,
    .can = {},
    .pass = pass,
    .pass_pair = pass_pair,
    .pass_triple = pass_triple,
    .pass_pair_swap = pass_pair_swap,
    .first_two_passes = first_two_passes,
    .reverse_first_two = reverse_first_two,
    .reverse_first_two_to = reverse_first_two_to,
    .pass_pair_to = pass_pair_to,
    .butterflies = butterflies,
    .rows_pair = rows_pair,
    .rows_triple = rows_triple,
    .first_value = first_value,
    .interleave = interleave,
    .interleave_first_two = interleave_first_two,
    .exchange = exchange,
    .scale = scale,
    .split = split,
    .pass_split = pass_split,
    .pass_split_to = pass_split_to,
    .pass_pair_split = pass_pair_split,
    .pass_parts = nullptr,
    .pass_pair_parts = nullptr,
    .split_from_parts = nullptr,
    .separate = separate,
    .separate_products = separate_products,
    .sums = sums,
    .evaluate = evaluate,
    .evaluate_two = evaluate_two,
    .all_in_range = all_in_range,
    .first_match = first_match,
};

} // namespace portable

namespace {

// Asked during static initialisation, before main; a routine called before
// then (from another file's static initialiser) finds the portable table
// and gives the same bits.
const Kernel kNative = detail::detect();

} // namespace

namespace detail {
constinit std::atomic<const Table*> current{&portable::table};
namespace {
[[maybe_unused]] const bool installed = (current.store(&table(kNative), std::memory_order_relaxed), true);
} // namespace
} // namespace detail

Kernel native() { return kNative; }

KernelOverride::KernelOverride(Kernel kernel) : saved_(&active()) {
  detail::current.store(&detail::table(kernel < kNative ? kernel : kNative),
                        std::memory_order_relaxed);
}

KernelOverride::~KernelOverride() { detail::current.store(saved_, std::memory_order_relaxed); }

} // namespace tamsel::kernels
