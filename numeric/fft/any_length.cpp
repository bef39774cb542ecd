// SPDX-License-Identifier: BSD-3-Clause
#include "fft/any_length.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "fft/unit_roots.h"

namespace tamsel::fft::any {

namespace {

// The complex product written out, so that no build calls the run-time
// library's product with its checks for infinities.
inline Complex mul(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

inline Complex minus_i(Complex a) { return {a.imag(), -a.real()}; }

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

// One pass of the self-sorting transform: sub-transforms of length
// n_cur = r m, stride s (s n_cur = n).  For p < m and q < s, the r values
// a_j = x[q + s (p + j m)] give b_k = sum_j a_j exp(-2 pi i j k / r), and
// y[q + s (r p + k)] = b_k w^(p k s), w = exp(-2 pi i / n); tw holds
// w^(p k s) for k = 1 .. r-1 at tw[p (r-1) + k - 1].
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

// The largest prime factor that the passes take; a larger one goes
// through Bluestein's convolution (direct sums cost about R operations a
// value, more than the convolution's transforms from here on).
constexpr unsigned kLargestRadix = 61;

struct Stage {
  unsigned radix;
  std::size_t m, s, twiddles;
  std::vector<double> cos, sin;  // cos and sin of 2 pi j/radix for pass_prime
};

struct Plan {
  std::size_t n = 0;
  // Mixed radix: the passes and their twiddles.
  std::vector<Stage> stages;
  std::vector<Complex> twiddles;
  // Bluestein (m > 0): X_k = c_k sum_j x_j c_j conj(c_(k-j)), c_k =
  // exp(-pi i k^2/n), as a cyclic convolution of length m >= 2n - 1 through
  // the inner plan; kernel is the transform of conj(c) laid out cyclically,
  // divided by m.
  std::size_t m = 0;
  std::shared_ptr<const Plan> inner;
  std::vector<Complex> chirp, kernel;
};

// The real transforms of even length n: the complex plan of n/2 and
// exp(-2 pi i k/n), k = 0 .. n/2 - 1, as cosines and sines apart (with
// pairs, GCC builds each pair through the stack, a stall per value).
struct RealPlan {
  std::shared_ptr<const Plan> half;
  std::vector<double> cos, sin;
};

template <typename T>
std::shared_ptr<const T> cached(std::size_t n, std::shared_ptr<const T> (*make)(std::size_t)) {
  static std::mutex lock;
  static std::map<std::size_t, std::shared_ptr<const T>> plans;
  {
    const std::lock_guard<std::mutex> hold(lock);
    const auto found = plans.find(n);
    if (found != plans.end()) return found->second;
  }
  // Made outside the lock (a plan may need another); a plan made at the
  // same time by another thread has the same contents.
  std::shared_ptr<const T> plan = make(n);
  const std::lock_guard<std::mutex> hold(lock);
  return plans.emplace(n, std::move(plan)).first->second;
}

std::shared_ptr<const Plan> plan_for(std::size_t n);

// The radices of n in pass order (8s, then a 4 or a 2, 3s, 5s, 7s, 11s,
// 13s, then the primes up to kLargestRadix), or none when n has a larger
// prime factor.
std::vector<unsigned> radices(std::size_t n) {
  std::vector<unsigned> out;
  while (n % 8 == 0) {
    out.push_back(8);
    n /= 8;
  }
  for (unsigned r : {4u, 2u, 3u, 5u, 7u, 11u, 13u})
    while (n % r == 0) {
      out.push_back(r);
      n /= r;
    }
  // Odd numbers from 17: only primes divide what is left.
  for (unsigned r = 17; r <= kLargestRadix; r += 2)
    while (n % r == 0) {
      out.push_back(r);
      n /= r;
    }
  if (n != 1) out.clear();
  return out;
}

std::shared_ptr<const Plan> make_plan(std::size_t n) {
  auto plan = std::make_shared<Plan>();
  plan->n = n;
  const std::vector<unsigned> factors = radices(n);
  if (n == 1 || !factors.empty()) {
    const UnitRoots roots(n);
    std::size_t current = n, s = 1;
    for (unsigned r : factors) {
      const std::size_t m = current / r;
      Stage stage{r, m, s, plan->twiddles.size(), {}, {}};
      if (r > 13)
        for (unsigned j = 0; j < r; ++j) {
          const Complex w = unit_root(j, r);
          stage.cos.push_back(w.real());
          stage.sin.push_back(-w.imag());
        }
      plan->stages.push_back(std::move(stage));
      for (std::size_t p = 0; p < m; ++p)
        for (std::size_t k = 1; k < r; ++k) plan->twiddles.push_back(roots(p * k * s));
      s *= r;
      current = m;
    }
    return plan;
  }
  const std::size_t m = fast_length(2 * n - 1);
  plan->m = m;
  plan->inner = plan_for(m);
  const UnitRoots roots(2 * std::uint64_t(n));
  plan->chirp.resize(n);
  std::uint64_t square = 0;  // k^2 mod 2n
  for (std::size_t k = 0; k < n; ++k) {
    plan->chirp[k] = roots(square);
    square = (square + 2 * k + 1) % (2 * std::uint64_t(n));
  }
  std::vector<Complex> kernel(m, Complex(0.0, 0.0));
  for (std::size_t k = 0; k < n; ++k) kernel[k] = std::conj(plan->chirp[k]);
  for (std::size_t k = 1; k < n; ++k) kernel[m - k] = kernel[k];
  forward(kernel);
  const double scale = double(m);
  for (Complex& v : kernel) v = Complex(v.real() / scale, v.imag() / scale);
  plan->kernel = std::move(kernel);
  return plan;
}

std::shared_ptr<const Plan> plan_for(std::size_t n) { return cached<Plan>(n, make_plan); }

std::shared_ptr<const RealPlan> make_real_plan(std::size_t n) {
  auto plan = std::make_shared<RealPlan>();
  plan->half = plan_for(n / 2);
  const UnitRoots roots(n);
  plan->cos.resize(n / 2);
  plan->sin.resize(n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) {
    const Complex w = roots(k);
    plan->cos[k] = w.real();
    plan->sin[k] = w.imag();
  }
  return plan;
}

// Storage for n values, not set (std::complex has implicit lifetime).
struct Scratch {
  Complex* data;
  explicit Scratch(std::size_t n) : data(static_cast<Complex*>(::operator new(n * sizeof(Complex)))) {}
  ~Scratch() { ::operator delete(data); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
};

void execute(const Plan& plan, Complex* data) {
  const std::size_t n = plan.n;
  if (plan.m == 0) {
    if (plan.stages.empty()) return;
    const Scratch work(n);
    Complex* x = data;
    Complex* y = work.data;
    for (const Stage& stage : plan.stages) {
      const Complex* tw = plan.twiddles.data() + stage.twiddles;
      switch (stage.radix) {
        case 2: pass2(x, y, stage.m, stage.s, tw); break;
        case 3: pass_odd<3>(x, y, stage.m, stage.s, tw); break;
        case 4: pass4(x, y, stage.m, stage.s, tw); break;
        case 5: pass_odd<5>(x, y, stage.m, stage.s, tw); break;
        case 7: pass_odd<7>(x, y, stage.m, stage.s, tw); break;
        case 8: pass8(x, y, stage.m, stage.s, tw, radix_constants().half_root); break;
        case 11: pass_odd<11>(x, y, stage.m, stage.s, tw); break;
        case 13: pass_odd<13>(x, y, stage.m, stage.s, tw); break;
        default:
          pass_prime(x, y, stage.m, stage.s, tw, stage.radix, stage.cos.data(), stage.sin.data());
          break;
      }
      std::swap(x, y);
    }
    if (x != data) std::copy(x, x + n, data);
    return;
  }
  const std::size_t m = plan.m;
  std::vector<Complex> a(m, Complex(0.0, 0.0));
  for (std::size_t j = 0; j < n; ++j) a[j] = mul(data[j], plan.chirp[j]);
  execute(*plan.inner, a.data());
  // The inverse transform as the conjugate of the forward one of the
  // conjugate.
  for (std::size_t k = 0; k < m; ++k) a[k] = std::conj(mul(a[k], plan.kernel[k]));
  execute(*plan.inner, a.data());
  for (std::size_t k = 0; k < n; ++k) data[k] = mul(std::conj(a[k]), plan.chirp[k]);
}

} // namespace

void forward(std::span<Complex> data) {
  if (data.empty()) return;
  execute(*plan_for(data.size()), data.data());
}

void backward(std::span<Complex> data) {
  for (Complex& v : data) v = std::conj(v);
  forward(data);
  for (Complex& v : data) v = std::conj(v);
}

void real_forward(std::span<const double> in, std::span<Complex> out) {
  const std::size_t n = in.size();
  if (n % 2 == 1) {
    std::vector<Complex> z(n);
    for (std::size_t j = 0; j < n; ++j) z[j] = Complex(in[j], 0.0);
    forward(z);
    std::copy_n(z.begin(), n / 2 + 1, out.begin());
    out[0] = Complex(out[0].real(), 0.0);
    return;
  }
  const std::size_t h = n / 2;
  const auto plan = cached<RealPlan>(n, make_real_plan);
  const Scratch z(h);
  for (std::size_t j = 0; j < h; ++j) z.data[j] = Complex(in[2 * j], in[2 * j + 1]);
  execute(*plan->half, z.data);
  // Z_k = E_k + i O_k, E and O the spectra of the even and odd terms:
  // X_k = E_k + w^k O_k, w = exp(-2 pi i/n), with
  // E_k = (Z_k + conj Z_(h-k))/2 and O_k = -i (Z_k - conj Z_(h-k))/2.
  // Written on the parts (std::complex temporaries cost GCC a stall on
  // the stack here).
  for (std::size_t k = 0; k < h; ++k) {
    const Complex zk = z.data[k], zc = z.data[k == 0 ? 0 : h - k];
    const double wr = plan->cos[k], wi = plan->sin[k];
    const double er = (zk.real() + zc.real()) * 0.5, ei = (zk.imag() - zc.imag()) * 0.5;
    const double o_r = (zk.imag() + zc.imag()) * 0.5, oi = -(zk.real() - zc.real()) * 0.5;
    out[k] = Complex(er + (o_r * wr - oi * wi), ei + (o_r * wi + oi * wr));
  }
  out[0] = Complex(z.data[0].real() + z.data[0].imag(), 0.0);
  out[h] = Complex(z.data[0].real() - z.data[0].imag(), 0.0);
}

void real_backward(std::span<const Complex> in, std::span<double> out) {
  const std::size_t n = out.size();
  const double scale = double(n);
  if (n % 2 == 1) {
    std::vector<Complex> z(n);
    z[0] = Complex(in[0].real(), 0.0);
    for (std::size_t k = 1; k <= n / 2; ++k) {
      z[k] = in[k];
      z[n - k] = std::conj(in[k]);
    }
    backward(z);
    for (std::size_t j = 0; j < n; ++j) out[j] = z[j].real() / scale;
    return;
  }
  const std::size_t h = n / 2;
  const auto plan = cached<RealPlan>(n, make_real_plan);
  // Twice the Z_k of real_forward, from X_k and conj X_(h-k) (= X_(k+h)).
  const Scratch z(h);
  // Conjugated on the way (the inverse as the conjugate of the forward
  // transform of the conjugate), on the parts.
  for (std::size_t k = 0; k < h; ++k) {
    const Complex xk = k == 0 ? Complex(in[0].real(), 0.0) : in[k];
    const Complex xc = k == 0 ? Complex(in[h].real(), 0.0) : in[h - k];
    const double wr = plan->cos[k], wi = plan->sin[k];
    // d = X_k - conj X_(h-k); o = d conj(w); Z = (X_k + conj X_(h-k)) + i o.
    const double dr = xk.real() - xc.real(), di = xk.imag() + xc.imag();
    const double o_r = dr * wr + di * wi, oi = di * wr - dr * wi;
    z.data[k] = Complex((xk.real() + xc.real()) - oi, -((xk.imag() - xc.imag()) + o_r));
  }
  execute(*plan->half, z.data);
  for (std::size_t j = 0; j < h; ++j) {
    out[2 * j] = z.data[j].real() / scale;
    out[2 * j + 1] = -z.data[j].imag() / scale;
  }
}

std::size_t fast_length(std::size_t target) {
  for (std::size_t n = std::max<std::size_t>(target, 1);; ++n) {
    std::size_t rest = n;
    for (std::size_t r : {2u, 3u, 5u, 7u})
      while (rest % r == 0) rest /= r;
    if (rest == 1) return n;
  }
}

} // namespace tamsel::fft::any
