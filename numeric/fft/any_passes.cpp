// SPDX-License-Identifier: BSD-3-Clause
#include "fft/any_passes.h"

#include <array>
#include <vector>

#include "fft/unit_roots.h"

namespace tamsel::fft::any {

namespace {

// cos(2 pi j/r) and sin(2 pi j/r), j = 0 .. r-1, for the odd radices r,
// and sqrt(1/2) for radix 8.
struct RadixConstants {
  std::array<std::array<double, 13>, 14> cos{}, sin{};
  double half_root = unit_root(1, 8).real();  // sqrt(1/2)
  RadixConstants() {
    for (unsigned r : {3u, 5u, 7u, 11u, 13u})
      for (unsigned j = 0; j < r; ++j) {
        const Complex w = unit_root(j, r);
        cos[r][j] = w.real();
        sin[r][j] = -w.imag();
      }
  }
};

const RadixConstants& radix_constants() {
  static const RadixConstants constants;
  return constants;
}

// The passes of each radix, as `pass` in fft/any_passes.h describes them.
void pass2(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw) {
  // The first butterflies (p = 0) have no twiddle factor.
  const auto butterflies = [&]<bool kTwiddle>(std::size_t p) {
    const Complex w = tw[p];
    for (std::size_t q = 0; q < s; ++q) {
      const Complex a0 = x[q + s * p], a1 = x[q + s * (p + m)];
      Complex* out = y + q + s * 2 * p;
      out[0] = a0 + a1;
      out[s] = !kTwiddle ? a0 - a1 : mul(a0 - a1, w);
    }
  };
  if (m > 0) butterflies.template operator()<false>(0);
  for (std::size_t p = 1; p < m; ++p) butterflies.template operator()<true>(p);
}

void pass4(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw) {
  // The first butterflies (p = 0) have no twiddle factor.
  const auto butterflies = [&]<bool kTwiddle>(std::size_t p) {
    const Complex* w = tw + 3 * p;
    for (std::size_t q = 0; q < s; ++q) {
      const Complex a0 = x[q + s * p], a1 = x[q + s * (p + m)];
      const Complex a2 = x[q + s * (p + 2 * m)], a3 = x[q + s * (p + 3 * m)];
      const Complex t0 = a0 + a2, t1 = a0 - a2, t2 = a1 + a3, t3 = minus_i(a1 - a3);
      Complex* out = y + q + s * 4 * p;
      out[0] = t0 + t2;
      if (!kTwiddle) {
        out[s] = t1 + t3;
        out[2 * s] = t0 - t2;
        out[3 * s] = t1 - t3;
      } else {
        out[s] = mul(t1 + t3, w[0]);
        out[2 * s] = mul(t0 - t2, w[1]);
        out[3 * s] = mul(t1 - t3, w[2]);
      }
    }
  };
  if (m > 0) butterflies.template operator()<false>(0);
  for (std::size_t p = 1; p < m; ++p) butterflies.template operator()<true>(p);
}

// Radix 8 as two radix-4 butterflies (even and odd a_j) joined by
// exp(-2 pi i k/8): b_k, b_(k+4) = E_k +- w8^k O_k, h = sqrt(1/2) rounded.
void pass8(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw, double h) {
  // The first butterflies (p = 0) have no twiddle factor.
  const auto butterflies = [&]<bool kTwiddle>(std::size_t p) {
    const Complex* w = tw + 7 * p;
    for (std::size_t q = 0; q < s; ++q) {
      Complex a[8];
#pragma GCC unroll 8
      for (unsigned j = 0; j < 8; ++j) a[j] = x[q + s * (p + j * m)];
      const Complex e0 = a[0] + a[4], e1 = a[0] - a[4], e2 = a[2] + a[6], e3 = minus_i(a[2] - a[6]);
      const Complex o0 = a[1] + a[5], o1 = a[1] - a[5], o2 = a[3] + a[7], o3 = minus_i(a[3] - a[7]);
      const Complex E[4] = {e0 + e2, e1 + e3, e0 - e2, e1 - e3};
      const Complex O0 = o0 + o2, O1 = o1 + o3, O2 = o0 - o2, O3 = o1 - o3;
      // w8 O1 = h ((re + im) + i (im - re)); w8^3 O3 = h ((im - re) - i (re + im)).
      const Complex O[4] = {O0, Complex((O1.real() + O1.imag()) * h, (O1.imag() - O1.real()) * h),
                            minus_i(O2),
                            Complex((O3.imag() - O3.real()) * h, -(O3.real() + O3.imag()) * h)};
      Complex b[8];
#pragma GCC unroll 4
      for (unsigned k = 0; k < 4; ++k) {
        b[k] = E[k] + O[k];
        b[k + 4] = E[k] - O[k];
      }
      Complex* out = y + q + s * 8 * p;
      out[0] = b[0];
#pragma GCC unroll 8
      for (unsigned k = 1; k < 8; ++k) out[s * k] = !kTwiddle ? b[k] : mul(b[k], w[k - 1]);
    }
  };
  if (m > 0) butterflies.template operator()<false>(0);
  for (std::size_t p = 1; p < m; ++p) butterflies.template operator()<true>(p);
}

// Odd prime radix R: b_0 = a_0 + sum t_j, and for k = 1 .. (R-1)/2
//   b_k, b_(R-k) = A_k -+ i B_k,  A_k = a_0 + sum_j cos(2 pi jk/R) t_j,
//   B_k = sum_j sin(2 pi jk/R) u_j,  t_j, u_j = a_j +- a_(R-j).
template <unsigned R>
void pass_odd(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw) {
  constexpr unsigned H = (R - 1) / 2;
  // cos and sin of 2 pi jk/R at [k-1][j-1], in locals the loops below keep
  // in registers.
  double c[H][H], sn[H][H];
  for (unsigned k = 1; k <= H; ++k)
    for (unsigned j = 1; j <= H; ++j) {
      c[k - 1][j - 1] = radix_constants().cos[R][j * k % R];
      sn[k - 1][j - 1] = radix_constants().sin[R][j * k % R];
    }
  // The first butterflies (p = 0) have no twiddle factor.
  const auto butterflies = [&]<bool kTwiddle>(std::size_t p) {
    const Complex* w = tw + (R - 1) * p;
    for (std::size_t q = 0; q < s; ++q) {
      const Complex a0 = x[q + s * p];
      Complex t[H], u[H], b[R];
      b[0] = a0;
#pragma GCC unroll 8
      for (unsigned j = 1; j <= H; ++j) {
        const Complex aj = x[q + s * (p + j * m)], ar = x[q + s * (p + (R - j) * m)];
        t[j - 1] = aj + ar;
        u[j - 1] = aj - ar;
        b[0] += t[j - 1];
      }
#pragma GCC unroll 8
      for (unsigned k = 1; k <= H; ++k) {
        Complex a = a0, bb = 0.0;
#pragma GCC unroll 8
        for (unsigned j = 1; j <= H; ++j) {
          a += c[k - 1][j - 1] * t[j - 1];
          bb += sn[k - 1][j - 1] * u[j - 1];
        }
        b[k] = a + minus_i(bb);
        b[R - k] = a - minus_i(bb);
      }
      Complex* out = y + q + s * R * p;
      out[0] = b[0];
#pragma GCC unroll 16
      for (unsigned k = 1; k < R; ++k) out[s * k] = !kTwiddle ? b[k] : mul(b[k], w[k - 1]);
    }
  };
  if (m > 0) butterflies.template operator()<false>(0);
  for (std::size_t p = 1; p < m; ++p) butterflies.template operator()<true>(p);
}

// Any odd prime radix R up to kLargestRadix, the same sums as pass_odd
// with the indices jk mod R found as the loops go; c and sn hold
// cos(2 pi j/R) and sin(2 pi j/R), j < R.
void pass_prime(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw,
                unsigned R, const double* c, const double* sn) {
  const unsigned H = (R - 1) / 2;
  std::vector<Complex> t(H), u(H), b(R);
  const auto butterflies = [&]<bool kTwiddle>(std::size_t p) {
    const Complex* w = tw + (R - 1) * p;
    for (std::size_t q = 0; q < s; ++q) {
      const Complex a0 = x[q + s * p];
      b[0] = a0;
      for (unsigned j = 1; j <= H; ++j) {
        const Complex aj = x[q + s * (p + j * m)], ar = x[q + s * (p + (R - j) * m)];
        t[j - 1] = aj + ar;
        u[j - 1] = aj - ar;
        b[0] += t[j - 1];
      }
      for (unsigned k = 1; k <= H; ++k) {
        Complex a = a0, bb = 0.0;
        unsigned jk = 0;
        for (unsigned j = 1; j <= H; ++j) {
          jk += k;
          if (jk >= R) jk -= R;
          a += c[jk] * t[j - 1];
          bb += sn[jk] * u[j - 1];
        }
        b[k] = a + minus_i(bb);
        b[R - k] = a - minus_i(bb);
      }
      Complex* out = y + q + s * R * p;
      out[0] = b[0];
      for (unsigned k = 1; k < R; ++k) out[s * k] = !kTwiddle ? b[k] : mul(b[k], w[k - 1]);
    }
  };
  if (m > 0) butterflies.template operator()<false>(0);
  for (std::size_t p = 1; p < m; ++p) butterflies.template operator()<true>(p);
}

} // namespace

void pass(unsigned radix, const Complex* x, Complex* y, std::size_t m, std::size_t s,
          const Complex* tw, const double* cos, const double* sin) {
  switch (radix) {
    case 2: pass2(x, y, m, s, tw); break;
    case 3: pass_odd<3>(x, y, m, s, tw); break;
    case 4: pass4(x, y, m, s, tw); break;
    case 5: pass_odd<5>(x, y, m, s, tw); break;
    case 7: pass_odd<7>(x, y, m, s, tw); break;
    case 8: pass8(x, y, m, s, tw, radix_constants().half_root); break;
    case 11: pass_odd<11>(x, y, m, s, tw); break;
    case 13: pass_odd<13>(x, y, m, s, tw); break;
    default: pass_prime(x, y, m, s, tw, radix, cos, sin); break;
  }
}

} // namespace tamsel::fft::any
