// SPDX-License-Identifier: BSD-3-Clause
// The passes of the any-length engine's self-sorting mixed-radix transform
// (fft/any_length.h), and the arithmetic they share with it.
//
// Internal to the toolkit; not installed.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstring>
#include <span>

namespace tamsel::fft::any {

using Complex = std::complex<double>;

// The complex product written out, so that no build calls the run-time
// library's product with its checks for infinities.
inline Complex mul(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// -i a, exactly.
inline Complex minus_i(Complex a) { return {a.imag(), -a.real()}; }

// A complex value as a vector of two doubles (re, im).  The operations on
// it are lane by lane, as mul, minus_i and std::complex's sums and real
// multiples do them, each value's in the same order: every build (SSE2,
// AVX, a scalar lowering, NEON) gives the same bits.
using V = double __attribute__((vector_size(16)));

inline V load(const Complex* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store(Complex* p, V v) { std::memcpy(static_cast<void*>(p), &v, sizeof v); }
inline V splat(double x) { return V{x, x}; }
inline V swap(V a) { return __builtin_shufflevector(a, a, 1, 0); }
// (a.im, -a.re): minus_i.
inline V neg_i(V a) { return __builtin_shufflevector(a, -a, 1, 2); }

// std::conj: the imaginary part's sign flipped, as negation does.
inline V conj(V a) { return __builtin_shufflevector(a, -a, 0, 3); }

// std::conj of every value as a vector (the scalar loop costs GCC a stall
// on the stack per value).
inline void conjugate(std::span<Complex> data) {
  for (Complex& value : data) store(&value, conj(load(&value)));
}

// N sums of H terms each, term(i, l) the i-th of sum l, each in four
// running sums of every fourth term (term i into running sum i mod 4, the
// first from first[l], the others from +0), added as (s0 + s1) + (s2 + s3)
// at the end: the order of the direct sums of the primes' passes, which
// every way of taking them (complex or real values, one or two outputs a
// vector) keeps.  One running sum over j had left the larger primes less
// accurate than other libraries' (bench/NOTES.md); the N sums' chains
// advance together, which the processor overlaps.
template <std::size_t N, typename T, typename Term>
[[gnu::always_inline]] inline std::array<T, N> running_sums(std::size_t H, const T (&first)[N],
                                                            const Term& term) {
  T s[N][4];
  for (std::size_t l = 0; l < N; ++l) s[l][0] = first[l], s[l][1] = s[l][2] = s[l][3] = T{};
  std::size_t i = 0;
  for (; i + 4 <= H; i += 4) {
#pragma GCC unroll 4
    for (std::size_t q = 0; q < 4; ++q)
#pragma GCC unroll 2
      for (std::size_t l = 0; l < N; ++l) s[l][q] += term(i + q, l);
  }
#pragma GCC unroll 3
  for (std::size_t q = 0; q < 3; ++q)
    if (i + q < H)
#pragma GCC unroll 2
      for (std::size_t l = 0; l < N; ++l) s[l][q] += term(i + q, l);
  std::array<T, N> out;
  for (std::size_t l = 0; l < N; ++l) out[l] = (s[l][0] + s[l][1]) + (s[l][2] + s[l][3]);
  return out;
}

// A twiddle factor w as the two vectors of mul(b, w):
// (b.re w.re, b.im w.re) + (b.im (-w.im), b.re w.im), the sums of mul
// with its second terms' signs in the products (exact).
struct Factor {
  V re, im;
  Factor(double w_re, double w_im) : re(V{w_re, w_re}), im(V{-w_im, w_im}) {}
  explicit Factor(const Complex* w) {
    const V v = load(w);
    re = __builtin_shufflevector(v, v, 0, 0);
    im = __builtin_shufflevector(-v, v, 1, 3);
  }
  V times(V b) const { return b * re + swap(b) * im; }
};

// The largest prime radix; a length with a larger prime factor goes through
// Bluestein's convolution.  Direct sums cost about R operations a value:
// up to here they take at most 1.7 times the convolution's time, and leave
// half its error or less where it leaves more than other libraries' direct
// sums (bench/NOTES.md).
inline constexpr unsigned kLargestRadix = 131;

// One pass of radix r (2, 3, 4, 5, 7, 8, 11, 13, or an odd prime up to
// kLargestRadix) over sub-transforms of length r m at stride s (n = s r m),
// from x into y (distinct): for p < m and q < s, the r values
// a_j = x[q + s (p + j m)] give b_k = sum_j a_j exp(-2 pi i j k / r), and
// y[q + s (r p + k)] = b_k w^(p k s), w = exp(-2 pi i / n), where tw holds
// w^(p k s) for k = 1 .. r-1 at tw[p (r-1) + k - 1] (not used for p = 0,
// whose factors are 1).  For the primes above 13, cos and sin hold
// cos(2 pi jk/r) and sin(2 pi jk/r) at [(k-1) H + j-1], j, k = 1 .. H =
// (r-1)/2; otherwise they are not read.
void pass(unsigned radix, const Complex* x, Complex* y, std::size_t m, std::size_t s,
          const Complex* tw, const double* cos, const double* sin);

} // namespace tamsel::fft::any
