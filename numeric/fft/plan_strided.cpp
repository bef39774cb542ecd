// SPDX-License-Identifier: BSD-3-Clause
// The plans of fourn's dimensions: how each dimension is taken, and the
// steps of lines that lie a stride apart, decided from the kernel table's
// capabilities and the size thresholds below.  Made once per (table, shape,
// length, direction) and kept, as every plan (plan.cpp).
#include "fft/engine.h"
#include "fft/plan.h"

namespace tamsel::fft {

namespace {

// Lines a stride apart go through their passes a strip at a time: each
// butterfly of a pass acts on the same two rows of a run of adjacent
// lines with one factor, and a strip of up to kStripValues values (4 lines
// at least) stays in cache through all passes, taken two or three at a
// time.  The lines of a dimension and the next one go plane by plane where
// a plane of kPlaneValues values or fewer stays in the second-level cache
// through both: one sweep of the array from memory for the two
// (bench/NOTES.md).
constexpr Integer kStripValues = Integer{1} << 14;
constexpr Integer kPlaneValues = Integer{1} << 15;
constexpr Integer kLeastStrip = 4;

} // namespace

namespace detail {

// The permutation of the rows (unless they come permuted), then the passes
// of lengths M = 2 .. L with the factors of the plan's roots: those with
// kept factors two at a time, or, with a table that has triples, three at
// a time after at most two pairs, the last alone when one is left; beyond
// the kept tables one at a time, their factors made as they go.
void strided_steps(const kernels::Table& k, Plan& plan, Schedule& out) {
  const Integer L = plan.count;
  const Integer sign = plan.direction;
  const bool exact = plan.roots == Roots::exact;
  const Integer kept = exact ? kExactLength : kCachedLength;
  const auto w = [&](Integer m) {
    return exact ? exact_twiddles(sign, m) : cached_twiddles(sign, m);
  };
  plan.run = L > kept                      ? kMaxLength
             : kStripValues / L < kLeastStrip ? kLeastStrip
                                           : kStripValues / L;
  if (plan.shape == Shape::strided) out.add(Op::rows_reverse, L, 0);
  const Integer cached = L < kept ? L : kept;
  for (Integer M = 2; M <= L; M *= 2) {
    const int left = M > cached ? 0 : std::countr_zero(std::uint32_t(cached / M)) + 1;
    if (k.can.triples && left % 3 == 0 && left > 0) {
      PlanStep& s = out.add(Op::strip_pass_triple, L, M / 2);
      s.w[0] = w(M);
      s.w[1] = w(2 * M);
      s.w[2] = w(4 * M);
      M *= 4;
    } else if (left >= 2) {
      PlanStep& s = out.add(Op::strip_pass_pair, L, M / 2);
      s.w[0] = w(M);
      s.w[1] = w(2 * M);
      M *= 2;
    } else if (left == 1) {
      out.add(Op::strip_pass, L, M / 2).w[0] = w(M);
    } else {
      PlanStep& s = out.add(Op::uncached_strip_pass, L, M / 2);
      s.j0 = sign;
      s.roots = plan.roots;
    }
  }
}

} // namespace detail

DimensionStep dimension_step(Integer L, Integer B, Integer A, Integer next, bool rows_permuted,
                             Integer direction) {
  if (B != 1) return DimensionStep::strided;
  // The contiguous lines of the first dimension taken are the rows of the
  // next one: their permutation joins the last passes, whole planes at a
  // time where they fit.
  if (rows_permuted || next < 2) return DimensionStep::lines;
  if (A / next > 1 && L * next <= kPlaneValues) return DimensionStep::planes;
  const bool joins = A % next == 0 &&
                     plan_for(kernels::active(), Shape::lines_permuted, L, direction).takes;
  return joins ? DimensionStep::lines_permuted : DimensionStep::lines;
}

} // namespace tamsel::fft
