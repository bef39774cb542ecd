// SPDX-License-Identifier: BSD-3-Clause
// The arithmetic steps of the transforms, one value (or one pair of values)
// at a time, exactly as the algorithm writes them.  Every kernel
// of the toolkit does these operations, in this order, on every value; the
// portable kernels call these functions, the x86 kernels (numeric/x86_*.cpp)
// do the same operations on vectors, and the tests' step-by-step reference
// builds the routines from them.
//
// Internal to the toolkit; not part of its interface.
#pragma once

#include <cmath>

#include <tamsel/numeric/types.h>

namespace tamsel::fft {

// The factor c = (cos(theta) - 1, sin(theta)) of the recurrence
// w <- w + w * c, with cos(theta) - 1 formed as -2 sin^2(theta/2).
struct Step {
  Real c_re;
  Real c_im;
};
inline Step angle_step(Real theta) {
  const Real s = std::sin(0.5 * theta);
  return Step{(s * s) * (-2.0), std::sin(theta)};
}

// w <- w + w * c, both parts from the old w:
//   w_re <- w_re + (w_re * c_re - w_im * c_im),
//   w_im <- w_im + (w_re_old * c_im + w_im * c_re).
inline void advance(Real& w_re, Real& w_im, const Step& c) {
  const Real old_re = w_re;
  w_re = w_re + (w_re * c.c_re - w_im * c.c_im);
  w_im = w_im + (old_re * c.c_im + w_im * c.c_re);
}

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

} // namespace tamsel::fft
