// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/chebyshev.h>

#include <cmath>
#include <cstddef>
#include <utility>

#include "kernels.h"
#include "refusals.h"
#include "steps.h"

namespace tamsel {

namespace detail {

namespace {

constexpr Integer kRemembered = 32;
constexpr Real kPi = 3.141592653589793;

// The cosines of one n: node[k - 1] = cos(((k - 0.5) * pi) / n) and
// term[(k - 1) * n + j] = cos(((k - 0.5) / n) * (j * pi)), node by node, so
// that one node's factors for all j lie together.  term is sized for n = 32
// whatever n is, as the kernels' sums read that far.
struct ChebftCosines {
  Real node[kRemembered];
  Real term[kRemembered * kRemembered];
};

void fill(ChebftCosines& table, Integer n) {
  for (Integer k = 1; k <= n; ++k) {
    const Real theta = ((static_cast<Real>(k) - 0.5) * kPi) / static_cast<Real>(n);
    table.node[k - 1] = std::cos(theta);
  }
  const Real fn = static_cast<Real>(n);
  for (Integer j = 0; j < n; ++j) {
    const Real w = static_cast<Real>(j) * kPi;
    for (Integer k = 1; k <= n; ++k) {
      table.term[(k - 1) * n + j] = std::cos(((static_cast<Real>(k) - 0.5) / fn) * w);
    }
  }
}

// The table of n = N, made on the heap on first use and kept for the
// process, shared by all threads: a program that never asks for it is
// neither given nor charged its memory.  The guard of the function-local
// static makes it once even when several threads ask at once, and it is
// only read afterwards.
template <Integer N>
const ChebftCosines& cosines_of() {
  static const ChebftCosines* const table = [] {
    auto* made = new ChebftCosines;
    fill(*made, N);
    return made;
  }();
  return *table;
}

template <std::size_t... I>
const ChebftCosines& cosines_lookup(Integer n, std::index_sequence<I...>) {
  using Lookup = const ChebftCosines& (*)();
  static constexpr Lookup tables[] = {&cosines_of<Integer(I) + 1>...};
  return tables[n - 1]();
}

// The cosines of n, for n from 1 to kRemembered.
const ChebftCosines& cosines(Integer n) {
  return cosines_lookup(n, std::make_index_sequence<kRemembered>{});
}

// cos(((k - 0.5) * pi) / n).
Real node_cosine(Integer n, Integer k) {
  if (n >= 1 && n <= kRemembered && k <= n) return cosines(n).node[k - 1];
  return std::cos(((static_cast<Real>(k) - 0.5) * kPi) / static_cast<Real>(n));
}

// c[j] = fac * sum_{k=1..n} f[k-1] * cos(((k - 0.5) / n) * (j * pi)),
// j = 0..n-1, each sum from 0.0 in node order, for n from 1 to 32 (returns
// true); for any other n returns false and writes nothing.
bool remembered_coefficients(const Real* f, Integer n, Real fac, Real* c) {
  if (n < 1 || n > kRemembered) return false;
  // The kernels' sums read up to term[32 * 32 - 1], inside the table.
  static_assert(kRemembered == 32);
  Real sum[kRemembered];
  kernels::active().sums(f, n, cosines(n).term, sum);
  for (Integer j = 0; j < n; ++j) c[j] = fac * sum[j];
  return true;
}

} // namespace

ChebftNodes chebft_start(const Real& a, const Real& b, Real* f) {
  for (Integer k = 0; k < kChebftScratch; ++k) {
    f[k] = 0.0;
  }
  return ChebftNodes{(b - a) * 0.5, (a + b) * 0.5};
}

void chebft_check_nodes(Integer nodes) {
  if (nodes > kChebftScratch) {
    refuse_argument("chebft: n %d is above the 100 values of the scratch", nodes);
  }
}

Real chebft_node(const ChebftNodes& nodes, Integer n, Integer k) {
  return node_cosine(n, k) * nodes.h + nodes.p;
}

void chebft_finish(const Real* f, Integer nodes, const Integer& n, Real* c) {
  const Integer terms = n;
  if (terms <= 0) {
    return;
  }
  if (terms > nodes) {
    refuse_argument("chebft: n %d after sampling is above the %d nodes sampled", terms, nodes);
  }
  const Real fac = 2.0 / static_cast<Real>(terms);
  if (!remembered_coefficients(f, terms, fac, c)) chebft_plain_coefficients(f, terms, c);
}

void chebft_plain_coefficients(const Real* f, Integer n, Real* c) {
  const Real fn = static_cast<Real>(n);
  const Real fac = 2.0 / fn;
  for (Integer j = 0; j < n; ++j) {
    Real sum = 0.0;
    const Real w = static_cast<Real>(j) * kPi;
    for (Integer k = 1; k <= n; ++k) {
      sum = sum + f[k - 1] * std::cos(((static_cast<Real>(k) - 0.5) / fn) * w);
    }
    c[j] = fac * sum;
  }
}

} // namespace detail

void chint(const Real& a, const Real& b, const Real* c, Real* cint,
           const Integer& n) {
  const Real q = (b - a) * 0.25;
  const Integer terms = n;
  if (terms < 2) {
    detail::refuse_argument("chint: n %d is below 2", terms);
  }
  Real s = 1.0;
  Real sum = 0.0;
  for (Integer j = 2; j <= terms - 1; ++j) {
    cint[j - 1] = ((c[j - 2] - c[j]) * q) / static_cast<Real>(j - 1);
    sum = sum + cint[j - 1] * s;
    s = -s;
  }
  cint[terms - 1] = (q * c[terms - 2]) / static_cast<Real>(terms - 1);
  sum = sum + s * cint[terms - 1];
  cint[0] = sum + sum;
}

Real chebev(const Real& a, const Real& b, const Real* c, const Integer& m,
            const Real& x) {
  const Real xv = x;
  const Real av = a;
  const Real bv = b;
  if ((xv - av) * (xv - bv) > 0.0) {
    detail::refuse_point("ERROR(CHEBEV): x not in range .");
  }
  return series::chebev_value(av, bv, c, m, xv);
}

namespace {

// Index of the first of x[0 .. count-1] that fails chebev's range test, or
// count when none does.
Integer first_out_of_range(Real av, Real bv, const Real* x, Integer count) {
  if (kernels::active().all_in_range(av, bv, x, count)) return count;
  Integer i = 0;
  while (i < count && !((x[i] - av) * (x[i] - bv) > 0.0)) ++i;
  return i;
}

// Refuses as chebev does when a point of x[0 .. count-1] fails its range
// test, once the points before it have their values of series c1
// (and of c2, unless it is null) in result1 (and result2).
void refuse_at_first_outside(Real av, Real bv, const Real* c1, const Real* c2, Integer terms,
                             const Real* x, Real* result1, Real* result2, Integer count) {
  const Integer outside = first_out_of_range(av, bv, x, count);
  if (outside == count) return;
  for (Integer p = 0; p < outside; ++p) {
    result1[p] = chebev(av, bv, c1, terms, x[p]);
    if (c2 != nullptr) result2[p] = chebev(av, bv, c2, terms, x[p]);
  }
  detail::refuse_point("ERROR(CHEBEV): x not in range .");
}

// The values of the series at x[0 .. count-1], all points being in range:
// the kernel in use takes the points it can, chebev the rest.
void evaluate_all(Real av, Real bv, const Real* c, Integer terms, const Real* x,
                  Real* result, Integer count) {
  const Integer done = kernels::active().evaluate(av, bv, c, terms, x, result, count);
  for (Integer i = done; i < count; ++i) {
    result[i] = chebev(av, bv, c, terms, x[i]);
  }
}

} // namespace

void chebev_points(const Real& a, const Real& b, const Real* c,
                   const Integer& m, const Real* x, Real* result,
                   Integer count) {
  const Real av = a;
  const Real bv = b;
  const Integer terms = m;
  refuse_at_first_outside(av, bv, c, nullptr, terms, x, result, nullptr, count);
  evaluate_all(av, bv, c, terms, x, result, count);
}

void chebev_points(const Real& a, const Real& b, const Real* c1, const Real* c2,
                   const Integer& m, const Real* x, Real* result1,
                   Real* result2, Integer count) {
  const Real av = a;
  const Real bv = b;
  const Integer terms = m;
  refuse_at_first_outside(av, bv, c1, c2, terms, x, result1, result2, count);
  const Integer done =
      kernels::active().evaluate_two(av, bv, c1, c2, terms, x, result1, result2, count);
  for (Integer i = done; i < count; ++i) {
    result1[i] = chebev(av, bv, c1, terms, x[i]);
    result2[i] = chebev(av, bv, c2, terms, x[i]);
  }
}

} // namespace tamsel
