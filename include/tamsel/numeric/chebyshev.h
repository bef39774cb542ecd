// SPDX-License-Identifier: BSD-3-Clause
// Truncated Chebyshev series on an interval [a, b]: fit, integral, evaluation.
//
// Series convention shared by the three routines.  A coefficient array holds
// c(1..n) at c[0..n-1]; c(j) is the coefficient of T[j-1], the Chebyshev
// polynomial of the first kind (T[0] = 1, T[1] = u,
// T[k+1] = 2u T[k] - T[k-1]), and the series stands for
//   f(x) = c(1) T[0](u) + c(2) T[1](u) + ... + c(n) T[n-1](u) - c(1)/2,
// so the first coefficient enters with half its weight, with
//   u = (2x - a - b) / (b - a):  a maps to -1 and b to +1.
// b < a is allowed and keeps that mapping; a = b is degenerate.
//
// Threads: the routines may run in several threads at once on separate
// arrays, with the bits of serial calls.  chebft's remembered cosines are
// made once for each n up to 32, on first use, whichever thread comes
// first, kept for the process (on the heap, 8.25 KiB for each n used,
// shared by all threads, no thread-local storage) and only read
// afterwards; chint, chebev and chebev_points keep no state.
//
// Accuracy, measured against the same sums in extended precision: chebft's
// coefficients within 1.5 eps max|f| at n = 15, 5 eps at 50, 9 eps at 100;
// chebev within about 1.5 eps of the sum of |c(j)|.
//
// Floating-point environment: these results need the default one.  A
// program linked with -ffast-math or -Ofast starts with subnormal numbers
// flushed to zero (and read as zero), whatever flags the toolkit was built
// with; then subnormal inputs and results become 0.
#pragma once

#include <type_traits>

#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/types.h>

namespace tamsel {

// chebft: fits func on [a, b] with n Chebyshev coefficients.
//
// Samples func at the n zeros of T[n] mapped onto [a, b], node k = 1..n in
// order (from the end near b to the end near a):
//   theta_k = ((k - 0.5) * pi) / n,   y_k = cos(theta_k) * h + p,
// with h = (b - a) * 0.5, p = (a + b) * 0.5, pi = 3.141592653589793, and
// f_k = func(pass1, pass2, pass3, pass4, y_k), y_k being a Real owned by
// chebft.  Then, for j = 0..n-1,
//   c(j+1) = (2.0 / n) * sum_{k=1..n} f_k * cos(((k - 0.5) / n) * (j * pi)),
// summed in node order.  Every cosine is the value cos gives for that
// argument; those of an n up to 32 are remembered between calls.  The series through
// c(1..n) passes through the sampled values at the nodes, up to rounding.
//
// n is read at entry (the number of nodes sampled, and of func calls), again
// at every node (the divisor of that node's angle) and once more after the
// sampling (the number of coefficients and their divisor); func may change it
// through a pass-through reference.  The function values go to a scratch of
// 100 Reals local to the call, cleared at its start.
//   - n <= 0 at entry: returns at once; func is not called, c is untouched.
//   - n > 100 at entry: refused before func is called, with
//     tamsel::InvalidArgument (<tamsel/numeric/errors.h>, a
//     std::invalid_argument), "chebft: n N is above the 100 values of the
//     scratch".
//   - n <= 0 after sampling: returns with c untouched.
//   - n after sampling above the number of nodes sampled: refused with c
//     untouched, as c is only known to hold that many positions:
//     tamsel::InvalidArgument, "chebft: n N after sampling is above the K
//     nodes sampled".
// (N and K written in decimal.)
// Otherwise writes c[0..n-1], n as read after sampling; positions beyond
// are left as they were.  The pass-through arguments are handed to func
// unchanged, with their exact types, and never used by chebft.
namespace detail {

// The steps of chebft that are not calls of func, compiled into the library
// so that its results do not depend on the flags of the caller's build.
//
// chebft_start clears the scratch f[0..99] and returns h and p, formed from
// a and b as read now.  chebft_check_nodes refuses a number of nodes above
// 100, as chebft does.  chebft_node(nodes, n, k) = cos(((k - 0.5) * pi) / n) * h + p,
// with n as given; the cosines of an n up to 32 are remembered for the
// process (they depend on n and k alone, so a remembered value is the one a fresh
// call gives).  chebft_finish reads n once, refuses it or returns as chebft
// describes, and otherwise writes c[0..n-1] from f.
inline constexpr Integer kChebftScratch = 100;
struct ChebftNodes {
  Real h;
  Real p;
};
ChebftNodes chebft_start(const Real& a, const Real& b, Real* f);
void chebft_check_nodes(Integer nodes);
Real chebft_node(const ChebftNodes& nodes, Integer n, Integer k);
void chebft_finish(const Real* f, Integer nodes, const Integer& n, Real* c);
// c[j] = (2/n) * sum_{k=1..n} f[k-1] * cos(((k - 0.5) / n) * (j * pi)),
// j = 0..n-1, each sum from 0.0 in node order and every cosine computed
// afresh: chebft_finish's coefficients for every n, whatever it remembers,
// and what it computes for an n above 32.
void chebft_plain_coefficients(const Real* f, Integer n, Real* c);

} // namespace detail

// Every floating-point operation of chebft happens in the library; this
// template only calls func at the nodes and keeps its values.
template <class P1, class P2, class P3, class P4>
void chebft(const Real& a, const Real& b, Real* c, const Integer& n,
            Real (*func)(P1, P2, P3, P4, const Real&),
            std::type_identity_t<P1> pass1, std::type_identity_t<P2> pass2,
            std::type_identity_t<P3> pass3, std::type_identity_t<P4> pass4) {
  Real f[detail::kChebftScratch];
  const detail::ChebftNodes mapping = detail::chebft_start(a, b, f);

  const Integer nodes = n;
  if (nodes <= 0) {
    return;
  }
  detail::chebft_check_nodes(nodes);

  for (Integer k = 1; k <= nodes; ++k) {
    // The node's angle divides by n as read at this node.
    f[k - 1] = func(pass1, pass2, pass3, pass4, detail::chebft_node(mapping, n, k));
  }

  detail::chebft_finish(f, nodes, n, c);
}

// chint: the series of the integral from a of the series c(1..n).
//
// With q = (b - a) * 0.25, writes, in this order,
//   cint(j) = ((c(j-1) - c(j+1)) * q) / (j - 1)   for j = 2..n-1,
//   cint(n) = (q * c(n-1)) / (n - 1),
//   cint(1) = 2 * (cint(2) - cint(3) + cint(4) - ... +- cint(n)),
// the alternating sum accumulated in order j = 2..n and then doubled, so that
// the integral's series is zero at x = a.  The term of degree n, which would
// come from c(n), is dropped.  Reads c[0..n-1], writes cint[0..n-1] and
// nothing else; cint must not share storage with c.  n is read once; n < 2
// is refused before anything is written: tamsel::InvalidArgument
// (<tamsel/numeric/errors.h>, a std::invalid_argument), "chint: n N is
// below 2", N written in decimal.
void chint(const Real& a, const Real& b, const Real* c, Real* cint,
           const Integer& n);

// chebev: the series c(1..m) at the point x of [a, b].
//
// First the range test: when (x - a) * (x - b) > 0.0, x is refused with
// tamsel::DomainError (<tamsel/numeric/errors.h>, a std::domain_error),
// "ERROR(CHEBEV): x not in range .".  Both ends pass, and a NaN x, a or b
// passes and gives NaN.  Then with
// y = (((x + x) - a) - b) / (b - a) and y2 = y + y, the backward recurrence
//   d_j = ((y2 * d_{j+1}) - d_{j+2}) + c(j)   for j = m, m-1, ..., 2
// (starting from zeros) gives the result ((y * d_2) - d_3) + (0.5 * c(1)).
// m is read once, after the range test; for m <= 1 the result is
// (y * 0.0 - 0.0) + 0.5 * c(1).  Reads c[0..max(m,1)-1]; the caller keeps
// m within the coefficients it holds.
Real chebev(const Real& a, const Real& b, const Real* c, const Integer& m,
            const Real& x);

// chebev_points: result[i] = chebev(a, b, c, m, x[i]) for i = 0..count-1,
// the same values bit for bit, computed several points at a time.  The
// points are range-tested first, in order: at the first point out of range
// the results of the points before it are written and the point is refused
// as chebev refuses it.  a, b and m are read once; count <= 0 does
// nothing.  result must not overlap x, c, a, b or m.
void chebev_points(const Real& a, const Real& b, const Real* c,
                   const Integer& m, const Real* x, Real* result,
                   Integer count);

// chebev_points for two series at the same points: result1[i] =
// chebev(a, b, c1, m, x[i]) and result2[i] = chebev(a, b, c2, m, x[i]) for
// i = 0..count-1, the same values bit for bit; each point's mapping onto
// [-1, 1] is formed once for both.  The range test comes first, as above: at
// the first point out of range the results of both series for the points
// before it are written and the point is refused as chebev refuses it.
// The results must overlap neither each other nor x, c1, c2, a, b or m.
void chebev_points(const Real& a, const Real& b, const Real* c1, const Real* c2,
                   const Integer& m, const Real* x, Real* result1,
                   Real* result2, Integer count);

} // namespace tamsel
