// SPDX-License-Identifier: BSD-3-Clause
// The roots of unity of the conventional layer's transforms, computed by
// the toolkit's own arithmetic (never the C library's sin and cos), so that
// their bits are the same on every build, processor and C library.
//
// Internal to the toolkit; not installed.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tamsel::fft {

// exp(-2 pi i k / n) = cos(2 pi k / n) - i sin(2 pi k / n), for 1 <= n <= 2^40
// and any k (taken modulo n).  Each part is the double nearest the true
// value, or next to it only where the true value lies within 2^-44 units in
// the last place of a point halfway between two doubles: the angle is
// reduced by octant symmetry in integer arithmetic to (pi/4) p/n with
// 0 <= p <= n, whose cosine and sine are formed in double-double arithmetic
// (relative error below 2^-98) and rounded once.  Zero parts are +0.
std::complex<double> unit_root(std::uint64_t k, std::uint64_t n);

// unit_root(k, n) for one n and many k, with the same bits and much faster:
// the cosines and sines of the coarse and fine parts of the angles (about
// 2 sqrt(n) of each) are made once, by the constructor.
class UnitRoots {
 public:
  explicit UnitRoots(std::uint64_t n);
  std::complex<double> operator()(std::uint64_t k) const;

  struct Parts {
    double c[2], s[2];  // cos and sin as double-doubles
  };

 private:
  std::uint64_t n_, width_;
  std::vector<Parts> coarse_, fine_;
};

} // namespace tamsel::fft
