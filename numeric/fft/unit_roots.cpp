// SPDX-License-Identifier: BSD-3-Clause
#include "fft/unit_roots.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamsel::fft {

namespace {

// ---- Double-double arithmetic: a value hi + lo with |lo| <= ulp(hi)/2.
// Every step is an IEEE operation of double precision in round-to-nearest
// (no fused multiply-add: products are split by Veltkamp's method), so the
// bits are the same wherever the build's floating-point rules hold.  The
// steps are written once for a double and for a vector of doubles (T), on
// which each lane's operations are those of a double.
template <class T>
struct Pair {
  T hi, lo;
};
using DD = Pair<double>;

template <class T>
Pair<T> two_sum(T a, T b) {
  const T s = a + b;
  const T bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// |a| >= |b| or a = 0.
template <class T>
Pair<T> quick_two_sum(T a, T b) {
  const T s = a + b;
  return {s, b - (s - a)};
}

template <class T>
void split(T a, T& hi, T& lo) {
  const T c = 134217729.0 * a;  // 2^27 + 1
  hi = c - (c - a);
  lo = a - hi;
}

template <class T>
Pair<T> two_product(T a, T b) {
  const T p = a * b;
  T ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

template <class T>
Pair<T> add(Pair<T> a, Pair<T> b) {
  const Pair<T> s = two_sum(a.hi, b.hi);
  const Pair<T> t = two_sum(a.lo, b.lo);
  const Pair<T> u = quick_two_sum(s.hi, s.lo + t.hi);
  return quick_two_sum(u.hi, u.lo + t.lo);
}

template <class T>
Pair<T> negate(Pair<T> a) { return {-a.hi, -a.lo}; }

template <class T>
Pair<T> mul(Pair<T> a, Pair<T> b) {
  const Pair<T> p = two_product(a.hi, b.hi);
  return quick_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DD div(DD a, double b) {
  const double q1 = a.hi / b;
  const DD p = two_product(q1, b);
  const DD s = two_sum(a.hi, -p.hi);
  const double q2 = (s.hi + ((s.lo - p.lo) + a.lo)) / b;
  return quick_two_sum(q1, q2);
}

// pi/4 to 106 bits: pi's nearest double and the double nearest the rest,
// both divided by 4 (exactly).
constexpr DD kQuarterPi = {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55};

constexpr int kTerms = 16;  // x^31/31! < 2^-113 for x <= pi/4

// (-1)^j / (2j)! and (-1)^j / (2j+1)!, j = 0 .. kTerms - 1.
struct Series {
  std::array<DD, kTerms> cos, sin;
  Series() {
    DD f = {1.0, 0.0};  // 1/m!
    for (int m = 0; m < 2 * kTerms; ++m) {
      if (m > 0) f = div(f, double(m));
      const DD term = (m / 2) % 2 == 0 ? f : negate(f);
      (m % 2 == 0 ? cos : sin)[std::size_t(m / 2)] = term;
    }
  }
};

const Series& series() {
  static const Series s;
  return s;
}

template <class T = double>
struct CosSin {
  Pair<T> c, s;
};

// cos and sin of (pi/4) p/n for 0 <= p <= n <= 2^40, by their Taylor series.
CosSin<> quarter_turn(std::uint64_t p, std::uint64_t n) {
  const double pd = double(p), nd = double(n);
  // p/n to 106 bits: the remainder of the rounded quotient is exact.
  const double q1 = pd / nd;
  const DD back = two_product(q1, nd);
  const double rest = (pd - back.hi) - back.lo;
  const DD angle = mul(kQuarterPi, quick_two_sum(q1, rest / nd));
  const DD square = mul(angle, angle);
  const Series& t = series();
  DD c = t.cos[kTerms - 1], s = t.sin[kTerms - 1];
  for (int j = kTerms - 2; j >= 0; --j) {
    c = add(mul(c, square), t.cos[std::size_t(j)]);
    s = add(mul(s, square), t.sin[std::size_t(j)]);
  }
  return {c, mul(s, angle)};
}

// The angles (pi/4) p/n, p = a * width + b, as the sum of a coarse angle
// (a * width) and a fine one (b < width); width about sqrt(n).
std::uint64_t split_width(std::uint64_t n) {
  std::uint64_t width = std::uint64_t(std::sqrt(double(n) + 1.0));
  while (width * width < n + 1) ++width;
  return width;
}

// cos and sin of the sum of the angles of a and b (both in [0, pi/4]: no
// cancellation), rounded to doubles, mapped from octant `octant` (the angle
// 2 pi k/n = octant pi/4 + alpha, with p/n = alpha/(pi/4) on even octants
// and 1 - alpha/(pi/4) on odd ones) to exp(-i 2 pi k/n).
template <class T>
struct Rounded {
  T c, s;
};
template <class T>
Rounded<T> angle_sum(const CosSin<T>& a, const CosSin<T>& b) {
  return {add(mul(a.c, b.c), negate(mul(a.s, b.s))).hi, add(mul(a.s, b.c), mul(a.c, b.s)).hi};
}

std::complex<double> finish(const CosSin<>& a, const CosSin<>& b, unsigned octant) {
  const auto [c, s] = angle_sum(a, b);
  double x = 0, y = 0;  // cos and sin of 2 pi k / n
  switch (octant) {
    case 0: x = c; y = s; break;
    case 1: x = s; y = c; break;
    case 2: x = -s; y = c; break;
    case 3: x = -c; y = s; break;
    case 4: x = -c; y = -s; break;
    case 5: x = -s; y = -c; break;
    case 6: x = s; y = -c; break;
    default: x = c; y = -s; break;
  }
  // + 0.0 turns -0 into +0.
  return {x + 0.0, -y + 0.0};
}

// The octant of 2 pi k/n (k < n) and its p.
void reduce(std::uint64_t k, std::uint64_t n, unsigned& octant, std::uint64_t& p) {
  const std::uint64_t eight_k = 8 * k;
  octant = unsigned(eight_k / n);
  const std::uint64_t r = eight_k % n;
  p = octant % 2 == 0 ? r : n - r;
}

void check(std::uint64_t n) {
  if (n < 1 || n > (std::uint64_t{1} << 40))
    throw std::invalid_argument("unit_root: n " + std::to_string(n) + " is not from 1 to 2^40");
}

UnitRoots::Parts pack(const CosSin<>& x) { return {{x.c.hi, x.c.lo}, {x.s.hi, x.s.lo}}; }

CosSin<> unpack(const UnitRoots::Parts& x) { return {{x.c[0], x.c[1]}, {x.s[0], x.s[1]}}; }

} // namespace

std::complex<double> unit_root(std::uint64_t k, std::uint64_t n) {
  check(n);
  unsigned octant;
  std::uint64_t p;
  reduce(k % n, n, octant, p);
  const std::uint64_t width = split_width(n);
  return finish(quarter_turn(p / width * width, n), quarter_turn(p % width, n), octant);
}

UnitRoots::UnitRoots(std::uint64_t n) : n_(n) {
  check(n);
  width_ = split_width(n);
  coarse_.resize(n / width_ + 1);
  fine_.resize(width_);
  for (std::uint64_t a = 0; a < coarse_.size(); ++a) coarse_[a] = pack(quarter_turn(a * width_, n));
  for (std::uint64_t b = 0; b < width_; ++b) fine_[b] = pack(quarter_turn(b, n));
}

std::complex<double> UnitRoots::operator()(std::uint64_t k) const {
  unsigned octant;
  std::uint64_t p;
  reduce(k % n_, n_, octant, p);
  return finish(unpack(coarse_[p / width_]), unpack(fine_[p % width_]), octant);
}

void UnitRoots::first_octant(std::uint64_t k0, std::size_t count, double* out) const {
  if (count == 0) return;
  if (8 * (k0 + count - 1) >= n_) throw std::invalid_argument("unit_root: not the first octant");
  // Octant 0: p = 8k, and finish's mapping is (c, -s); two roots at a
  // time, lane by lane the operations of one.
  using Four = double __attribute__((vector_size(16)));
  std::uint64_t a = 8 * k0 / width_, b = 8 * k0 % width_;
  std::size_t i = 0;
  for (; i + 2 <= count; i += 2) {
    CosSin<Four> x, y;
    for (int lane = 0; lane < 2; ++lane) {
      const Parts& u = coarse_[a];
      const Parts& v = fine_[b];
      x.c.hi[lane] = u.c[0], x.c.lo[lane] = u.c[1], x.s.hi[lane] = u.s[0], x.s.lo[lane] = u.s[1];
      y.c.hi[lane] = v.c[0], y.c.lo[lane] = v.c[1], y.s.hi[lane] = v.s[0], y.s.lo[lane] = v.s[1];
      for (b += 8; b >= width_; b -= width_) ++a;
    }
    const Rounded<Four> r = angle_sum(x, y);
    for (int lane = 0; lane < 2; ++lane) {
      out[2 * (i + lane)] = r.c[lane] + 0.0;
      out[2 * (i + lane) + 1] = -r.s[lane] + 0.0;
    }
  }
  for (; i < count; ++i) {
    const Rounded<double> r = angle_sum(unpack(coarse_[a]), unpack(fine_[b]));
    out[2 * i] = r.c + 0.0;
    out[2 * i + 1] = -r.s + 0.0;
    for (b += 8; b >= width_; b -= width_) ++a;
  }
}

} // namespace tamsel::fft
