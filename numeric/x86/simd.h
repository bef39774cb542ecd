// SPDX-License-Identifier: BSD-3-Clause
// The x86 kernels written for one instruction set each: the parts layout,
// the Chebyshev series and favr's scan.  Each does, for every value,
// the very operations of the portable kernel it stands for
// (numeric/kernels.cpp, whose steps are in numeric/steps.h), in the same
// order and with the same operands: only the loops are arranged to do two,
// four or eight Reals per instruction.  Multiplications and additions stay
// separate instructions (the build forbids FMA).  The AVX and AVX-512
// kernels carry the "avx" or "avx512f" target attribute and are reached
// only through the AVX and AVX-512 tables (x86/tables.cpp).
//
// Internal to the toolkit; not installed.
#pragma once

#include <tamsel/numeric/types.h>

namespace tamsel::x86 {

// Each kernel below is the entry of kernels::Table of its name, with the
// exceptions said beside it; x86/tables.cpp fills the tables with them and
// with the kernels written once over W lanes (x86/entries.inc).

// ---- The passes and realft's splits in the parts layout (x86/parts.cpp).
void pass_parts_avx(Real* data, Integer n, Integer h, const Real* w);
void pass_pair_parts_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                         bool from_values, bool to_values);
void split_from_parts_avx(Real* data, Integer count, const Real* ws, Real f);

// ---- Chebyshev series and tables (x86/series.cpp).
void sums_sse2(const Real* f, Integer n, const Real* term, Real* sum);
void sums_avx(const Real* f, Integer n, const Real* term, Real* sum);
// These do the first whole batches of 32 points, or runs of 16.
Integer evaluate_sse2(Real a, Real b, const Real* c, Integer terms, const Real* x,
                      Real* result, Integer count);
Integer evaluate_avx(Real a, Real b, const Real* c, Integer terms, const Real* x,
                     Real* result, Integer count);
Integer evaluate_two_sse2(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                          const Real* x, Real* result1, Real* result2, Integer count);
Integer evaluate_two_avx(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                         const Real* x, Real* result1, Real* result2, Integer count);
Integer evaluate_two_avx512(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                            const Real* x, Real* result1, Real* result2, Integer count);
bool all_in_range_avx(Real a, Real b, const Real* x, Integer count);
// These scan whole runs of four intervals, or of sixteen then four.
bool first_match_sse2(const Real* xtab, Integer last, Real t, Integer& i);
bool first_match_avx(const Real* xtab, Integer last, Real t, Integer& i);

} // namespace tamsel::x86
