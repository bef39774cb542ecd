// SPDX-License-Identifier: BSD-3-Clause
// The passes hold each complex value in a vector of two doubles
// (fft/any_passes.h's V).
#include "fft/any_passes.h"

#include <array>
#include <vector>

#include "fft/unit_roots.h"
#include "kernels.h"

namespace tamsel::fft::any {

namespace {

// cos(2 pi j/r) and sin(2 pi j/r), j = 0 .. r-1, for the odd radices r,
// and sqrt(1/2) for radix 8.
// For the kernel tables' any_pass (odd[r]), the cosines then the sines of
// 2 pi jk/r at [(k-1) h + j-1], j, k = 1 .. h = (r-1)/2, r = 3 .. 13.
struct RadixConstants {
  std::array<std::array<double, 13>, 14> cos{}, sin{};
  double half_root = unit_root(1, 8).real();  // sqrt(1/2)
  std::array<std::vector<double>, 14> odd;
  RadixConstants() {
    for (unsigned r : {3u, 5u, 7u, 11u, 13u}) {
      for (unsigned j = 0; j < r; ++j) {
        const Complex w = unit_root(j, r);
        cos[r][j] = w.real();
        sin[r][j] = -w.imag();
      }
      const unsigned h = (r - 1) / 2;
      odd[r].resize(2 * h * h);
      for (unsigned k = 1; k <= h; ++k)
        for (unsigned j = 1; j <= h; ++j) {
          odd[r][(k - 1) * h + j - 1] = cos[r][j * k % r];
          odd[r][h * h + (k - 1) * h + j - 1] = sin[r][j * k % r];
        }
    }
  }
};

const RadixConstants& radix_constants() {
  static const RadixConstants constants;
  return constants;
}

// The butterflies of each p, the first (p = 0) without twiddle factors.
template <typename Butterflies>
void for_each_p(std::size_t m, const Butterflies& butterflies) {
  if (m > 0) butterflies.template operator()<false>(0);
  for (std::size_t p = 1; p < m; ++p) butterflies.template operator()<true>(p);
}

// The passes of each radix, as `pass` in fft/any_passes.h describes them.
void pass2(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw) {
  for_each_p(m, [&]<bool kTwiddle>(std::size_t p) {
    const Factor w(tw + (kTwiddle ? p : 0));
    const Complex* in = x + s * p;
    Complex* out = y + s * 2 * p;
    for (std::size_t q = 0; q < s; ++q) {
      const V a0 = load(in + q), a1 = load(in + q + s * m);
      store(out + q, a0 + a1);
      store(out + q + s, !kTwiddle ? a0 - a1 : w.times(a0 - a1));
    }
  });
}

void pass4(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw) {
  for_each_p(m, [&]<bool kTwiddle>(std::size_t p) {
    const Complex* f = tw + (kTwiddle ? 3 * p : 0);
    const Factor w1(f), w2(f + 1), w3(f + 2);
    const Complex* in = x + s * p;
    Complex* out = y + s * 4 * p;
    for (std::size_t q = 0; q < s; ++q) {
      const V a0 = load(in + q), a1 = load(in + q + s * m);
      const V a2 = load(in + q + 2 * s * m), a3 = load(in + q + 3 * s * m);
      const V t0 = a0 + a2, t1 = a0 - a2, t2 = a1 + a3, t3 = neg_i(a1 - a3);
      store(out + q, t0 + t2);
      if (!kTwiddle) {
        store(out + q + s, t1 + t3);
        store(out + q + 2 * s, t0 - t2);
        store(out + q + 3 * s, t1 - t3);
      } else {
        store(out + q + s, w1.times(t1 + t3));
        store(out + q + 2 * s, w2.times(t0 - t2));
        store(out + q + 3 * s, w3.times(t1 - t3));
      }
    }
  });
}

// Radix 8 as two radix-4 butterflies (even and odd a_j) joined by
// exp(-2 pi i k/8): b_k, b_(k+4) = E_k +- w8^k O_k, h = sqrt(1/2) rounded,
// w8 O = h ((re + im) + i (im - re)) and w8^3 O = h ((im - re) - i (re + im)).
void pass8(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw, double h) {
  const V hh = splat(h);
  for_each_p(m, [&]<bool kTwiddle>(std::size_t p) {
    const Complex* f = tw + (kTwiddle ? 7 * p : 0);
    const Factor w[7] = {Factor(f), Factor(f + 1), Factor(f + 2), Factor(f + 3),
                         Factor(f + 4), Factor(f + 5), Factor(f + 6)};
    const Complex* in = x + s * p;
    Complex* out = y + s * 8 * p;
    for (std::size_t q = 0; q < s; ++q) {
      V a[8];
#pragma GCC unroll 8
      for (unsigned j = 0; j < 8; ++j) a[j] = load(in + q + s * j * m);
      const V e0 = a[0] + a[4], e1 = a[0] - a[4], e2 = a[2] + a[6], e3 = neg_i(a[2] - a[6]);
      const V o0 = a[1] + a[5], o1 = a[1] - a[5], o2 = a[3] + a[7], o3 = neg_i(a[3] - a[7]);
      const V E[4] = {e0 + e2, e1 + e3, e0 - e2, e1 - e3};
      const V O1 = o1 + o3, O3 = o1 - o3, S1 = swap(O1), S3 = swap(O3);
      const V O[4] = {o0 + o2, __builtin_shufflevector(O1 + S1, O1 - S1, 0, 3) * hh, neg_i(o0 - o2),
                      __builtin_shufflevector(S3 - O3, -(O3 + S3), 0, 3) * hh};
      V b[8];
#pragma GCC unroll 4
      for (unsigned k = 0; k < 4; ++k) {
        b[k] = E[k] + O[k];
        b[k + 4] = E[k] - O[k];
      }
      Complex* o = out + q;
      store(o, b[0]);
#pragma GCC unroll 8
      for (unsigned k = 1; k < 8; ++k) store(o + s * k, !kTwiddle ? b[k] : w[k - 1].times(b[k]));
    }
  });
}

// pass_odd's sums for a radix r above 13 (running_sums): b_0 and b_k,
// b_(r-k) from a_0, t_j and u_j (at t[j-1], u[j-1]), with the cosines and
// sines of 2 pi jk/r at c and sn [(k-1) H + j-1], H = (r-1)/2.
[[gnu::always_inline]] inline void prime_sums(unsigned r, V a0, const V* t, const V* u,
                                              const double* c, const double* sn, V* b) {
  const unsigned H = (r - 1) / 2;
  b[0] = running_sums(H, {a0}, [&](std::size_t j, std::size_t) { return t[j]; })[0];
  for (unsigned k = 1; k <= H; ++k) {
    const double* ck = c + (k - 1) * H;
    const double* sk = sn + (k - 1) * H;
    const auto [ak, bk] = running_sums(H, {a0, splat(0.0)}, [&](std::size_t j, std::size_t l) {
      return l == 0 ? splat(ck[j]) * t[j] : splat(sk[j]) * u[j];
    });
    b[k] = ak + neg_i(bk);
    b[r - k] = ak - neg_i(bk);
  }
}

// Odd prime radix R: b_0 = a_0 + sum t_j, and for k = 1 .. (R-1)/2
//   b_k, b_(R-k) = A_k -+ i B_k,  A_k = a_0 + sum_j cos(2 pi jk/R) t_j,
//   B_k = 0 + sum_j sin(2 pi jk/R) u_j,  t_j, u_j = a_j +- a_(R-j),
// the sums in j order (for R = 0 in four: prime_sums).  With R = 0, the
// radix is r and cos(2 pi jk/r) and sin(2 pi jk/r) are at cos and sin
// [(k-1) H + j-1], H = (r-1)/2.
template <unsigned R>
void pass_odd(const Complex* x, Complex* y, std::size_t m, std::size_t s, const Complex* tw,
              unsigned r, const double* cos, const double* sin) {
  if constexpr (R != 0) r = R;
  const unsigned H = (r - 1) / 2;
  constexpr unsigned kH = R == 0 ? 1 : (R - 1) / 2;
  // cos and sin of 2 pi jk/R at [k-1][j-1] as vectors.
  std::array<std::array<V, kH>, kH> fixed_c, fixed_s;
  if constexpr (R != 0) {
    for (unsigned k = 1; k <= H; ++k)
      for (unsigned j = 1; j <= H; ++j) {
        fixed_c[k - 1][j - 1] = splat(radix_constants().cos[R][j * k % R]);
        fixed_s[k - 1][j - 1] = splat(radix_constants().sin[R][j * k % R]);
      }
  }
  constexpr unsigned kMost = R == 0 ? kLargestRadix : R;
  constexpr unsigned kMostH = (kMost - 1) / 2;
  for_each_p(m, [&]<bool kTwiddle>(std::size_t p) {
    const Complex* f = tw + (kTwiddle ? (r - 1) * p : 0);
    const Complex* in = x + s * p;
    Complex* out = y + s * r * p;
    for (std::size_t q = 0; q < s; ++q) {
      const V a0 = load(in + q);
      V t[kMostH], u[kMostH], b[kMost];
      b[0] = a0;
#pragma GCC unroll 8
      for (unsigned j = 1; j <= H; ++j) {
        const V aj = load(in + q + s * j * m), ar = load(in + q + s * (r - j) * m);
        t[j - 1] = aj + ar;
        u[j - 1] = aj - ar;
        if constexpr (R != 0) b[0] += t[j - 1];  // prime_sums makes its own
      }
      if constexpr (R == 0) {
        prime_sums(r, a0, t, u, cos, sin, b);
      } else {
#pragma GCC unroll 8
        for (unsigned k = 1; k <= H; ++k) {
          V a = a0, bb = splat(0.0);
#pragma GCC unroll 8
          for (unsigned j = 1; j <= H; ++j) {
            a += fixed_c[k - 1][j - 1] * t[j - 1];
            bb += fixed_s[k - 1][j - 1] * u[j - 1];
          }
          b[k] = a + neg_i(bb);
          b[r - k] = a - neg_i(bb);
        }
      }
      Complex* o = out + q;
      store(o, b[0]);
#pragma GCC unroll 16
      for (unsigned k = 1; k < r; ++k)
        store(o + s * k, !kTwiddle ? b[k] : Factor(f + k - 1).times(b[k]));
    }
  });
}

} // namespace

void pass(unsigned radix, const Complex* x, Complex* y, std::size_t m, std::size_t s,
          const Complex* tw, const double* cos, const double* sin) {
  // The table's wider vectors where it has the radix and s fits them.
  const kernels::Table& table = kernels::active();
  const auto lanes = std::size_t(table.can.any_pass_values);
  if (lanes != 0 && s % lanes == 0 && radix <= 13) {
    const RadixConstants& k = radix_constants();
    const double* constants = radix % 2 == 1 ? k.odd[radix].data() : &k.half_root;
    table.any_pass(radix, reinterpret_cast<const double*>(x), reinterpret_cast<double*>(y),
                   Integer(m), Integer(s), reinterpret_cast<const double*>(tw), constants);
    return;
  }
  switch (radix) {
    case 2: pass2(x, y, m, s, tw); break;
    case 3: pass_odd<3>(x, y, m, s, tw, 3, nullptr, nullptr); break;
    case 4: pass4(x, y, m, s, tw); break;
    case 5: pass_odd<5>(x, y, m, s, tw, 5, nullptr, nullptr); break;
    case 7: pass_odd<7>(x, y, m, s, tw, 7, nullptr, nullptr); break;
    case 8: pass8(x, y, m, s, tw, radix_constants().half_root); break;
    case 11: pass_odd<11>(x, y, m, s, tw, 11, nullptr, nullptr); break;
    case 13: pass_odd<13>(x, y, m, s, tw, 13, nullptr, nullptr); break;
    default: pass_odd<0>(x, y, m, s, tw, radix, cos, sin); break;
  }
}

} // namespace tamsel::fft::any
