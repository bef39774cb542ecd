// SPDX-License-Identifier: BSD-3-Clause
// The arithmetic of one value of each routine, and the bit-reversal
// permutation: what every kernel does, value by value and in this order.
// Below both the kernels (numeric/kernels.h) and the FFT engine
// (fft/engine.h), which include this header; it includes neither.
//
// Internal to the toolkit; not installed.
#pragma once

#include <cstdint>

#include <tamsel/numeric/types.h>

namespace tamsel::fft {

// ---- The arithmetic of one value.  The portable kernels call these
// functions; every other kernel does the same operations in this order.
// The radix-2 butterfly of values a and b, (re, im) pairs, with factor w:
//   t = (b_re*w_re - b_im*w_im, b_im*w_re + b_re*w_im),  b = a - t,  a = a + t.
inline void butterfly(Real* a, Real* b, Real w_re, Real w_im) {
  const Real t_re = b[0] * w_re - b[1] * w_im;
  const Real t_im = b[1] * w_re + b[0] * w_im;
  b[0] = a[0] - t_re;
  b[1] = a[1] - t_im;
  a[0] = a[0] + t_re;
  a[1] = a[1] + t_im;
}

// realft's recombination of Z_k = (b_re, b_im) at b and Z_{n-k} = (a_re,
// a_im) at a, with twiddle factor w and f = -1/2 (forward) or 1/2 (inverse):
//   u = ((b_re + a_re) * 0.5, (b_im - a_im) * 0.5),
//   v = (-((b_im + a_im) * f), (b_re - a_re) * f),
//   b <- ((w_re*v_re + u_re) - w_im*v_im, (u_im + v_im*w_re) + v_re*w_im),
//   a <- ((u_re - w_re*v_re) + w_im*v_im, v_re*w_im + (v_im*w_re - u_im)).
// With a == b (k = n/2) every value is read first and the writes of a stand.
inline void split(Real* b, Real* a, Real w_re, Real w_im, Real f) {
  const Real u_re = (b[0] + a[0]) * 0.5;
  const Real u_im = (b[1] - a[1]) * 0.5;
  const Real v_re = -((b[1] + a[1]) * f);
  const Real v_im = (b[0] - a[0]) * f;
  b[0] = (w_re * v_re + u_re) - w_im * v_im;
  b[1] = (u_im + v_im * w_re) + v_re * w_im;
  a[1] = v_re * w_im + (v_im * w_re - u_im);
  a[0] = (u_re - w_re * v_re) + w_im * v_im;
}

// realft's last step on X_0 = (y1, y2) = (data[0], data[1]): forward,
// data[0] = y1 + y2 and data[1] = y1 - y2 (X_0 and X_n); inverse,
// data[1] = (y1 - y2) * 0.5 and then data[0] = (y1 + y2) * 0.5.
inline void join_ends(Real* data, bool forward) {
  const Real y1 = data[0];
  const Real y2 = data[1];
  if (forward) {
    data[0] = y1 + y2;
    data[1] = y1 - y2;
  } else {
    data[1] = (y1 - y2) * 0.5;
    data[0] = (y1 + y2) * 0.5;
  }
}

// twofft's separation of Z_k = (b_re, b_im) at offset b and Z_{n-k} =
// (a_re, a_im) at offset a of spectrum1 into F_k = (Z_k + conj Z_{n-k}) / 2
// and G_k = (Z_k - conj Z_{n-k}) / (2i), and the mirrored values into their
// conjugates:
//   F_k = (0.5 * (b_re + a_re), 0.5 * (b_im - a_im)),
//   F_{n-k} = (0.5 * (b_re + a_re), -0.5 * (b_im - a_im)),
//   G_k = (0.5 * (b_im + a_im), -0.5 * (b_re - a_re)),
//   G_{n-k} = (0.5 * (b_im + a_im), 0.5 * (b_re - a_re)),
// F in spectrum1 and G in spectrum2.  With a == b (k = n/2) the values of
// n-k stand.
inline void separate(Real* spectrum1, Real* spectrum2, Integer b, Integer a) {
  const Real b_re = spectrum1[b];
  const Real b_im = spectrum1[b + 1];
  const Real a_im = spectrum1[a + 1];
  const Real a_re = spectrum1[a];
  spectrum1[b] = 0.5 * (b_re + a_re);
  spectrum1[b + 1] = 0.5 * (b_im - a_im);
  spectrum1[a] = 0.5 * (b_re + a_re);
  spectrum1[a + 1] = -0.5 * (b_im - a_im);
  spectrum2[b] = 0.5 * (b_im + a_im);
  spectrum2[b + 1] = -0.5 * (b_re - a_re);
  spectrum2[a] = 0.5 * (b_im + a_im);
  spectrum2[a + 1] = 0.5 * (b_re - a_re);
}

// correl's product C_k = F_k * conj(G_k) / (n/2) of F_k at f and G_k at g,
// into g, with the division done as the product with its exact reciprocal:
//   (f_re*g_re + f_im*g_im, f_im*g_re - f_re*g_im) * reciprocal.
inline void cross_product(const Real* f, Real* g, Real reciprocal) {
  const Real prod_re = f[0] * g[0] + f[1] * g[1];
  const Real prod_im = f[1] * g[0] - f[0] * g[1];
  g[0] = prod_re * reciprocal;
  g[1] = prod_im * reciprocal;
}

// Value 0 of the transform four1(data, n, +1 or -1) would leave, formed
// without the other values: every pass gives value 0 its butterfly with the
// factor 1 + 0i, so, in terms of the values as given (before the bit
// reversal), the pass of half-span h adds value q + n/(2h) into value q,
// q < n/(2h), as a = a + t with t = (b_re*1.0 - b_im*0.0, b_im*1.0 +
// b_re*0.0).  The kernel table's first_value does this for n a power of
// two, writing data[0], data[1] and leaving the rest of data[0 .. 2n-1] in
// no useful state.
inline void first_value_step(Real* a, const Real* b) {
  const Real t_re = b[0] * 1.0 - b[1] * 0.0;
  const Real t_im = b[1] * 1.0 + b[0] * 0.0;
  a[0] = a[0] + t_re;
  a[1] = a[1] + t_im;
}

// ---- The permutation.

// rev(i + 1) from r = rev(i), both over log2(n) bits, n a power of two:
// the carry of the increment runs from the top bit downwards.
inline Integer next_reversed(Integer r, Integer n) {
  Integer bit = n >> 1;
  while ((r & bit) != 0) {
    r ^= bit;
    bit >>= 1;
  }
  return r | bit;
}

// Exchanges complex value p (at data[2p], data[2p+1]) with value rev(p), the
// index p with its log2(n) bits reversed, for p = 0..n-1.  n a power of two.
void bit_reverse(Real* data, Integer n);

// rev(j) over log2(n) bits for j = 0..n-1, at the result's [j]; n a power
// of two from 1 to kMaxOrder (those above kMaxInterleaved made on first
// use and kept).
inline constexpr Integer kMaxInterleaved = Integer{1} << 11;
inline constexpr Integer kMaxOrder = Integer{1} << 16;
const std::uint16_t* reversed_order(Integer n);

} // namespace tamsel::fft

namespace tamsel::series {

// The value at x of the Chebyshev series c[0 .. terms-1] on [a, b], x in
// range: chebev's recurrence, from the end of the series.  chebev and the
// portable kernels both use it.
inline Real chebev_value(Real a, Real b, const Real* c, Integer terms, Real x) {
  const Real y = (((x + x) - a) - b) / (b - a);
  const Real y2 = y + y;
  Real d = 0.0;
  Real e = 0.0;
  for (Integer j = terms; j >= 2; --j) {
    const Real previous = d;
    d = ((y2 * d) - e) + c[j - 1];
    e = previous;
  }
  return ((y * d) - e) + (0.5 * c[0]);
}

} // namespace tamsel::series
