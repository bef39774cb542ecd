// SPDX-License-Identifier: BSD-3-Clause
#include "fft/any_length.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "fft/any_passes.h"
#include "fft/engine.h"
#include "fft/exact.h"
#include "fft/unit_roots.h"
#include "kernels.h"
#include "steps.h"

namespace tamsel::fft::any {

namespace {

// cos and sin of 2 pi jk/r at [(j-1) H + k-1], j, k = 1 .. H = (r-1)/2
// (the same at [(k-1) H + j-1]), and one value more (0), read by the last
// of pairs of k: the direct sums' tables of a prime r.
struct PrimeTables {
  std::vector<double> cos, sin;
};
PrimeTables prime_tables(std::size_t r) {
  std::vector<Complex> w(r);
  for (std::size_t j = 0; j < r; ++j) w[j] = unit_root(j, r);
  PrimeTables t;
  for (std::size_t j = 1; j <= (r - 1) / 2; ++j)
    for (std::size_t k = 1; k <= (r - 1) / 2; ++k) {
      t.cos.push_back(w[j * k % r].real());
      t.sin.push_back(-w[j * k % r].imag());
    }
  t.cos.push_back(0.0);
  t.sin.push_back(0.0);
  return t;
}

struct Stage {
  unsigned radix;
  std::size_t m, s, twiddles;
  PrimeTables sums;  // pass's tables of the radices above 13
};

struct Plan {
  std::size_t n = 0;
  // Mixed radix: the passes of radices(n) and their twiddles.  The power
  // of two in n goes through the passes of 8, 4 and 2 too: handed to the
  // radix-2 engine, its gathers or strided strips cost more than the
  // engine saved (bench/NOTES.md).
  std::vector<Stage> stages;
  std::vector<Complex> twiddles;
  // Bluestein (m > 0): X_k = c_k sum_j x_j c_j conj(c_(k-j)), c_k =
  // exp(-pi i k^2/n), as a cyclic convolution of length m >= 2n - 1 through
  // the radix-2 engine with exact factors (fft::exact) where m is a power
  // of two, else through the inner plan; kernel is the transform of conj(c)
  // laid out cyclically, divided by m.
  std::size_t m = 0;
  std::shared_ptr<const Plan> inner;
  std::vector<Complex> chirp, kernel;
};

// The real transforms of even length n: the complex plan of n/2 and the
// factors of the recombination, exp(-2 pi i k/n), k = 0 .. n/4, as (re, im)
// pairs (the inverse takes the same: see real_backward).  Of a prime n
// summed directly (real_prime): its tables.
// Other odd lengths have none: they are transformed as complex values.
struct RealPlan {
  std::shared_ptr<const Plan> half;
  std::vector<double> forward;
  PrimeTables sums;
};

// The primes whose real transforms are direct sums of real values: a
// quarter of the complex sums' operations.  Below 17 the complex passes of
// the radix take no longer; up to kLargestRadix the sums are those of the
// complex pass, with its bits; above it, to kLargestRealPrime, they stand
// in for Bluestein's convolution, whose round trip left 1.4 to 1.6 times
// other libraries' error there (bench/NOTES.md).
constexpr std::size_t kLeastRealPrime = 17, kLargestRealPrime = 199;
bool real_prime(std::size_t n) {
  if (n < kLeastRealPrime || n > kLargestRealPrime || n % 2 == 0) return false;
  for (std::size_t d = 3; d * d <= n; d += 2)
    if (n % d == 0) return false;
  return true;
}

// The plans of the kKeptPlans lengths of each kind used last: a process
// that meets many lengths (sliding windows of every size) keeps a bounded
// memory.  A plan evicted while in use lives on in its users' shared_ptr,
// and one made again has the same contents, so the bits never depend on
// what is kept.
constexpr std::size_t kKeptPlans = 32;

template <typename T>
std::shared_ptr<const T> cached(std::size_t n, std::shared_ptr<const T> (*make)(std::size_t)) {
  struct Entry {
    std::size_t n;
    std::shared_ptr<const T> plan;
    std::uint64_t used;
  };
  static std::mutex lock;
  static std::vector<Entry> kept;
  static std::uint64_t clock = 0;
  const auto find = [n]() -> Entry* {
    for (Entry& e : kept)
      if (e.n == n) return &e;
    return nullptr;
  };
  {
    const std::lock_guard<std::mutex> hold(lock);
    if (Entry* e = find()) {
      e->used = ++clock;
      return e->plan;
    }
  }
  // Made outside the lock (a plan may need another); a plan made at the
  // same time by another thread has the same contents.
  std::shared_ptr<const T> plan = make(n);
  const std::lock_guard<std::mutex> hold(lock);
  if (Entry* e = find()) {
    e->used = ++clock;
    return e->plan;
  }
  if (kept.size() < kKeptPlans) {
    kept.push_back({n, plan, ++clock});
  } else {
    Entry& oldest = *std::min_element(kept.begin(), kept.end(),
                                      [](const Entry& a, const Entry& b) { return a.used < b.used; });
    oldest = {n, plan, ++clock};
  }
  return plan;
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

// Bluestein's convolution length for n: the least power of two from
// 2n - 1, through the radix-2 engine, whose vector kernels take a value in
// a third to a fifth of the time of the mixed-radix passes (so that twice
// the length still costs less: bench/NOTES.md); beyond its longest length
// (n above 2^28), the least 2^a 3^b 5^c 7^d from 2n - 1.
std::size_t convolution_length(std::size_t n) {
  const std::size_t least = 2 * n - 1;
  std::size_t m = 1;
  while (m < least) m *= 2;
  return m <= std::size_t(kMaxLength) ? m : fast_length(least);
}

void execute(const Plan& plan, Complex* data);

// The forward transform of Bluestein's convolution length m at data.
void convolution_transform(const Plan& plan, Complex* data) {
  if (plan.inner) return execute(*plan.inner, data);
  exact::transform(reinterpret_cast<double*>(data), Integer(plan.m), -1);
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
      Stage stage{r, m, s, plan->twiddles.size(), {}};
      if (r > 13) stage.sums = prime_tables(r);
      plan->stages.push_back(std::move(stage));
      for (std::size_t p = 0; p < m; ++p)
        for (std::size_t k = 1; k < r; ++k) plan->twiddles.push_back(roots(p * k * s));
      s *= r;
      current = m;
    }
    return plan;
  }
  const std::size_t m = convolution_length(n);
  plan->m = m;
  if ((m & (m - 1)) != 0) plan->inner = plan_for(m);
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
  convolution_transform(*plan, kernel.data());
  const double scale = double(m);
  for (Complex& v : kernel) v = Complex(v.real() / scale, v.imag() / scale);
  plan->kernel = std::move(kernel);
  return plan;
}

std::shared_ptr<const Plan> plan_for(std::size_t n) { return cached<Plan>(n, make_plan); }

std::shared_ptr<const RealPlan> make_real_plan(std::size_t n) {
  auto plan = std::make_shared<RealPlan>();
  if (n % 2 == 1) {
    plan->sums = prime_tables(n);
    return plan;
  }
  plan->half = plan_for(n / 2);
  const UnitRoots roots(n);
  for (std::size_t k = 0; k <= n / 4; ++k) {
    const Complex w = roots(k);
    plan->forward.insert(plan->forward.end(), {w.real(), w.imag()});
  }
  return plan;
}

// Storage for n values, not set (std::complex has implicit lifetime): on
// the stack up to kOnStack values (4 KiB), where an allocation would cost
// a good part of a short transform.
struct Scratch {
  static constexpr std::size_t kOnStack = 256;
  alignas(64) std::byte bytes[kOnStack * sizeof(Complex)];
  Complex* data;
  explicit Scratch(std::size_t n)
      : data(n <= kOnStack ? reinterpret_cast<Complex*>(bytes)
                           : static_cast<Complex*>(::operator new(n * sizeof(Complex)))) {}
  ~Scratch() {
    if (data != reinterpret_cast<Complex*>(bytes)) ::operator delete(data);
  }
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
      pass(stage.radix, x, y, stage.m, stage.s, plan.twiddles.data() + stage.twiddles,
           stage.sums.cos.data(), stage.sums.sin.data());
      std::swap(x, y);
    }
    if (x != data) std::copy(x, x + n, data);
    return;
  }
  const std::size_t m = plan.m;
  std::vector<Complex> a(m, Complex(0.0, 0.0));
  for (std::size_t j = 0; j < n; ++j) a[j] = mul(data[j], plan.chirp[j]);
  convolution_transform(plan, a.data());
  // The inverse transform as the conjugate of the forward one of the
  // conjugate.
  for (std::size_t k = 0; k < m; ++k) a[k] = std::conj(mul(a[k], plan.kernel[k]));
  convolution_transform(plan, a.data());
  for (std::size_t k = 0; k < n; ++k) data[k] = mul(std::conj(a[k]), plan.chirp[k]);
}

// realft's recombination of Z_k and Z_(count-k) (fft::split), k = 1 ..
// count/2, with the factors w_k at w[2k]: the kernels' pairs, then the
// last k, its own partner for an even count.
void recombine(double* data, std::size_t count, const double* w, double f) {
  const std::size_t last = count / 2;
  if (last == 0) return;
  kernels::active().split(data, Integer(count), w + 2, 1, Integer(last), f);
  fft::split(data + 2 * last, data + 2 * (count - last), w[2 * last], w[2 * last + 1], f);
}

} // namespace

void forward(std::span<Complex> data) {
  if (data.empty()) return;
  execute(*plan_for(data.size()), data.data());
}

void backward(std::span<Complex> data) {
  conjugate(data);
  forward(data);
  conjugate(data);
}

namespace {

// Two lanes from p (values k and k + 1 of a row of a table).
V pair_at(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// sum_j c_j t_j (from `first`) and sum_j s_j u_j (from 0), j < H, lane by
// lane, c_j's and s_j's two lanes at c + j H and s + j H (running_sums).
std::array<V, 2> real_sums_of(V first, const double* c, const double* s, const double* t,
                              const double* u, std::size_t H) {
  return running_sums(H, {first, splat(0.0)}, [&](std::size_t j, std::size_t l) {
    return l == 0 ? pair_at(c + j * H) * splat(t[j]) : pair_at(s + j * H) * splat(u[j]);
  });
}

// x_0 and the t_j, j < H, summed as the complex pass sums b_0.
double zeroth(double x0, const double* t, std::size_t H) {
  return running_sums(H, {x0}, [&](std::size_t j, std::size_t) { return t[j]; })[0];
}

// rfft of a prime n (real_prime): X_0 = x_0 + sum t_j and X_k = A_k - i B_k,
// A_k = x_0 + sum_j cos(2 pi jk/n) t_j, B_k = sum_j sin(2 pi jk/n) u_j, t_j
// and u_j = x_j +- x_(n-j), two k a vector; the signs of zeros as the
// complex pass leaves them.
void prime_real_forward(const RealPlan& plan, std::span<const double> in,
                        std::span<Complex> out) {
  const std::size_t n = in.size(), H = (n - 1) / 2;
  double t[kLargestRealPrime / 2], u[kLargestRealPrime / 2];
  for (std::size_t j = 1; j <= H; ++j) {
    t[j - 1] = in[j] + in[n - j];
    u[j - 1] = in[j] - in[n - j];
  }
  out[0] = Complex(zeroth(in[0], t, H), 0.0);
  for (std::size_t k = 1; k <= H; k += 2) {
    const auto [a, b] = real_sums_of(splat(in[0]), plan.sums.cos.data() + k - 1,
                                     plan.sums.sin.data() + k - 1, t, u, H);
    out[k] = Complex(a[0] + 0.0, 0.0 - b[0]);
    if (k < H) out[k + 1] = Complex(a[1] + 0.0, 0.0 - b[1]);
  }
}

// irfft of a prime n (real_prime): n x_j = A_j + B_j and n x_(n-j) = A_j -
// B_j, A_j = X_0 + sum_k cos(2 pi jk/n) 2 Re X_k, B_j = sum_k
// sin(2 pi jk/n) (-2 Im X_k), the complex pass's sums on the spectrum
// extended by its conjugates; then the division by n.
void prime_real_backward(const RealPlan& plan, std::span<const Complex> in,
                         std::span<double> out) {
  const std::size_t n = out.size(), H = (n - 1) / 2;
  double t[kLargestRealPrime / 2], u[kLargestRealPrime / 2];
  for (std::size_t k = 1; k <= H; ++k) {
    t[k - 1] = in[k].real() + in[k].real();
    u[k - 1] = -in[k].imag() - in[k].imag();
  }
  out[0] = zeroth(in[0].real(), t, H);
  for (std::size_t j = 1; j <= H; j += 2) {
    const auto [a, b] = real_sums_of(splat(in[0].real()), plan.sums.cos.data() + j - 1,
                                     plan.sums.sin.data() + j - 1, t, u, H);
    out[j] = a[0] + b[0];
    out[n - j] = a[0] - b[0];
    if (j < H) {
      out[j + 1] = a[1] + b[1];
      out[n - j - 1] = a[1] - b[1];
    }
  }
  kernels::active().scale(out.data(), Integer(n), double(n), true);
}

} // namespace

void real_forward(std::span<const double> in, std::span<Complex> out) {
  const std::size_t n = in.size();
  if (real_prime(n))
    return prime_real_forward(*cached<RealPlan>(n, make_real_plan), in, out);
  if (n % 2 == 1) {
    // The complex transform of the n values: its vector passes take less
    // time than the p real sequences of n = p m and their join had
    // (bench/NOTES.md).
    const Scratch z(n);
    for (std::size_t j = 0; j < n; ++j) z.data[j] = Complex(in[j], 0.0);
    forward({z.data, n});
    std::copy_n(z.data, n / 2 + 1, out.begin());
    out[0] = Complex(out[0].real(), 0.0);
    return;
  }
  // The spectrum Z of the n/2 values x[2j] + i x[2j+1], then realft's
  // recombination with the exact factors (the powers of two's steps).
  const std::size_t h = n / 2;
  const auto plan = cached<RealPlan>(n, make_real_plan);
  double* data = reinterpret_cast<double*>(out.data());
  std::copy(in.begin(), in.end(), data);
  execute(*plan->half, out.data());
  recombine(data, h, plan->forward.data(), -0.5);
  fft::join_ends(data, true);
  out[h] = Complex(data[1], 0.0);
  out[0] = Complex(data[0], 0.0);
}

void real_backward(std::span<const Complex> in, std::span<double> out) {
  const std::size_t n = out.size();
  const double scale = double(n);
  if (real_prime(n))
    return prime_real_backward(*cached<RealPlan>(n, make_real_plan), in, out);
  if (n % 2 == 1) {
    // The real parts of backward (conj forward conj) of the spectrum
    // extended by its conjugates: forward of the conjugate extension, whose
    // real parts the last conjugation leaves alone.
    const Scratch scratch(n);
    Complex* z = scratch.data;
    z[0] = Complex(in[0].real(), -0.0);
    for (std::size_t k = 1; k <= n / 2; ++k) {
      z[k] = std::conj(in[k]);
      z[n - k] = in[k];
    }
    forward({z, n});
    for (std::size_t j = 0; j < n; ++j) out[j] = z[j].real();
    kernels::active().scale(out.data(), Integer(n), scale, true);
    return;
  }
  // realft's steps undone: the recombination, then the inverse transform
  // of n/2 values, which leaves n/2 times the sequence.  The inverse is
  // backward's conj forward conj, its first conjugation made with the
  // recombination: that of the conjugates with the factors exp(-2 pi i k/n)
  // and f = -1/2 gives exactly the conjugates of that with their
  // conjugates and 1/2 (every step is odd in the signs it flips), and
  // join_ends' second value is negated.
  const std::size_t h = n / 2;
  const auto plan = cached<RealPlan>(n, make_real_plan);
  double* data = out.data();
  auto* values = reinterpret_cast<Complex*>(data);
  for (std::size_t k = 1; k < h; ++k) store(values + k, conj(load(&in[k])));
  data[0] = in[0].real();
  data[1] = in[h].real();
  recombine(data, h, plan->forward.data(), -0.5);
  fft::join_ends(data, false);
  data[1] = -data[1];
  forward({values, h});
  conjugate({values, h});
  kernels::active().scale(data, Integer(n), double(h), true);
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
