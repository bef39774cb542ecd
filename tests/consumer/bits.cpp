// SPDX-License-Identifier: BSD-3-Clause
// Prints the bit pattern of every result of every toolkit routine on inputs
// with many significant bits, one value per line after the routine's name.
// The inputs are made from integers and bit patterns alone, so that this
// program does no floating-point arithmetic of its own: whatever flags it
// is compiled with, its output is the toolkit's bits.  The test suite builds
// it with the project's flags, and the install test compares that output
// with the same program built against an installed copy with hostile flags.
#include <tamsel/numeric.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using tamsel::Integer;
using tamsel::Real;

// splitmix64.
std::uint64_t next(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// A value of either sign in [0.125, 8) with all 52 fraction bits random.
Real value(std::uint64_t& state) {
  const std::uint64_t r = next(state);
  const std::uint64_t exponent = 1020 + (r >> 61) % 6;
  return std::bit_cast<Real>((r & 0x8000000000000000u) | (exponent << 52) |
                             (next(state) & 0x000FFFFFFFFFFFFFu));
}

std::vector<Real> values(std::size_t count, std::uint64_t seed) {
  std::vector<Real> v(count);
  for (Real& x : v) x = value(seed);
  return v;
}

// Positive ascending abscissae: the bit patterns of positive doubles order
// as the integers do.
std::vector<Real> ascending(std::size_t count, std::uint64_t seed) {
  std::vector<Real> v(count);
  std::uint64_t bits = 0x3F80000000000000u; // 2^-7
  for (Real& x : v) {
    bits += 1 + (next(seed) >> 13);
    x = std::bit_cast<Real>(bits);
  }
  return v;
}

void print(const char* name, const Real* v, std::size_t count) {
  std::printf("%s\n", name);
  for (std::size_t i = 0; i < count; ++i)
    std::printf("%016llx\n", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(v[i])));
}

} // namespace

int main() {
  // Tabulated function: a rising table and a scrambled one.
  const Integer last = 99;
  const auto xtab = ascending(100, 1), ytab = values(100, 2), xmixed = values(100, 3);
  const Real off = std::bit_cast<Real>(0x3F1A36E2EB1C432Du), lo = xtab[3], hi = xtab[96];
  std::vector<Real> tab;
  for (std::size_t i = 0; i + 1 < xtab.size(); ++i) {
    for (Real t : {xtab[i], xtab[i + 1], xmixed[i]}) {
      tab.push_back(tamsel::favr(xtab.data(), ytab.data(), last, off, t));
      tab.push_back(tamsel::favr_ascending(xtab.data(), ytab.data(), last, off, t));
      tab.push_back(tamsel::favr(xmixed.data(), ytab.data(), last, off, t));
    }
  }
  print("favr", tab.data(), tab.size());

  // Chebyshev series: fits of the table of several lengths, the integral,
  // and evaluation one point and many points at a time.
  const auto points = ascending(70, 4);
  for (Integer n : {1, 7, 15, 16, 32, 33, 60}) {
    std::vector<Real> c(60), cint(60), at(70), at2(70), one(70);
    tamsel::chebft(lo, hi, c.data(), n, tamsel::favr, xtab.data(), ytab.data(), last, off);
    print("chebft", c.data(), std::size_t(n));
    if (n >= 2) {
      tamsel::chint(lo, hi, c.data(), cint.data(), n);
      print("chint", cint.data(), std::size_t(n));
    }
    std::vector<Real> inside;
    for (Real x : points)
      if (x >= lo && x <= hi) inside.push_back(x);
    const Integer count = Integer(inside.size());
    tamsel::chebev_points(lo, hi, c.data(), n, inside.data(), at.data(), count);
    tamsel::chebev_points(lo, hi, c.data(), cint.data(), n, inside.data(), at2.data(), one.data(),
                          count);
    print("chebev_points", at.data(), inside.size());
    print("chebev_points2", one.data(), inside.size());
    for (Integer i = 0; i < count; ++i) one[std::size_t(i)] = tamsel::chebev(lo, hi, c.data(), n, inside[std::size_t(i)]);
    print("chebev", one.data(), inside.size());
  }

  // Transforms, both directions, and the correlation.
  for (Integer n : {1, 2, 8, 64, 256, 4096}) {
    auto data = values(std::size_t(2 * n), 10 + std::uint64_t(n));
    const Integer plus = 1, minus = -1;
    tamsel::four1(data.data(), n, plus);
    print("four1", data.data(), data.size());
    tamsel::four1(data.data(), n, minus);
    print("four1 inverse", data.data(), data.size());
    tamsel::realft(data.data(), n, plus);
    print("realft", data.data(), data.size());
    tamsel::realft(data.data(), n, minus);
    print("realft inverse", data.data(), data.size());
    const auto d1 = values(std::size_t(n), 20 + std::uint64_t(n));
    const auto d2 = values(std::size_t(n), 30 + std::uint64_t(n));
    std::vector<Real> s1(std::size_t(2 * n)), s2(std::size_t(2 * n));
    tamsel::twofft(d1.data(), d2.data(), s1.data(), s2.data(), n);
    print("twofft", s1.data(), s1.size());
    print("twofft 2", s2.data(), s2.size());
    if (n >= 2) {
      tamsel::correl(d1.data(), d2.data(), n, s1.data());
      print("correl", s1.data(), std::size_t(n));
      const Real zero_lag = tamsel::correl_zero_lag(d1.data(), d2.data(), n, s2.data());
      print("correl_zero_lag", &zero_lag, 1);
    }
  }
  const Integer lengths[] = {8, 4, 1, 16}, dims = 4, sign = -1;
  auto grid = values(2 * 8 * 4 * 16, 40);
  tamsel::fourn(grid.data(), lengths, dims, sign);
  print("fourn", grid.data(), grid.size());
  return 0;
}
