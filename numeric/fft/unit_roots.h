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
// and any k (taken modulo n).  The angle is reduced by octant symmetry in
// integer arithmetic to (pi/4) p/n with 0 <= p <= n (exactly), split as a
// coarse and a fine angle (p = a w + b, w about sqrt(n)), whose cosines and
// sines come from their Taylor series (16 terms) in double-double
// arithmetic and are joined by the angle-sum formulas (no cancellation:
// both angles lie in [0, pi/4]); each part is then rounded once.  Counting
// the double-double steps (each within 2^-104 relative) bounds the error
// before that rounding by about 2^-98 of the value, so each part is the
// double nearest the true value unless the true value lies within about
// 2^-45 units in the last place of a point halfway between two doubles
// (then it may be the other neighbour: at most 0.5 + 2^-45 ulp off).
// Against 120-bit references, every part of every root tested, n up to
// 2^40, was the nearest double.  Zero parts are +0.
std::complex<double> unit_root(std::uint64_t k, std::uint64_t n);

// unit_root(k, n) for one n and many k, with the same bits and much faster:
// the cosines and sines of the coarse and fine parts of the angles (about
// 2 sqrt(n) of each) are made once, by the constructor.
class UnitRoots {
 public:
  explicit UnitRoots(std::uint64_t n);
  std::complex<double> operator()(std::uint64_t k) const;
  // operator() of k = k0 .. k0 + count - 1 as (re, im) pairs at out, for
  // 8 (k0 + count - 1) < n (angles in the first octant, which need no
  // reduction): the same bits, without a division per root.
  void first_octant(std::uint64_t k0, std::size_t count, double* out) const;

  struct Parts {
    double c[2], s[2];  // cos and sin as double-doubles
  };

 private:
  std::uint64_t n_, width_;
  std::vector<Parts> coarse_, fine_;
};

} // namespace tamsel::fft
