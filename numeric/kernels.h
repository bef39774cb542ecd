// SPDX-License-Identifier: BSD-3-Clause
// The kernels of the toolkit: the inner loops of its routines, gathered in
// one table per instruction set (portable C++, SSE2, AVX, ...).  Every
// routine calls its loops through the table in use and makes no other
// choice of its own.
//
// Every table does the same arithmetic, operation by operation, so the
// table in use changes speed and never a result bit.  The processor is
// asked once, by the one unit that knows the tables of its instruction set
// (x86/tables.cpp on x86, native_plain.cpp elsewhere), before main runs;
// afterwards the library only reads the choice, so any number of threads
// may call the routines.  Tests run the narrower tables through a
// KernelOverride, and through nothing else.
//
// Internal to the toolkit; not installed.
#pragma once

#include <atomic>
#include <cstdint>

#include <tamsel/numeric/types.h>

namespace tamsel::kernels {

// From narrowest to widest; each needs the instructions of those before it.
enum class Kernel {
  portable, // plain C++ loops, the arithmetic steps one value at a time
  sse2,     // two Reals per vector (every x86-64 processor)
  avx,      // four Reals per vector, where the processor and system allow
  avx512,   // eight Reals per vector (AVX-512F), where the processor and system allow
};

// Every kernel, narrowest first; this processor and this build run those up
// to native(), the portable one always.
inline constexpr Kernel kAll[] = {Kernel::portable, Kernel::sse2, Kernel::avx, Kernel::avx512};

// What a table offers beyond the entries every table fills; the engine
// reads these, never whether an entry is null.
struct Capabilities {
  // pass_triple and rows_triple are kernels of their own; elsewhere they
  // are a pair and a pass, and the schedule does better with pairs.
  bool triples = false;
  // The registers hold a triple's values and factors (AVX-512's 32), so
  // that realft beyond the first-level cache groups its later passes in
  // threes; false where they spill (AVX's 16).
  bool triples_in_registers = false;
  // pass_parts, pass_pair_parts and split_from_parts are there (null
  // elsewhere).
  bool parts_layout = false;
  // Vectors of 64 bytes: values off a 64-byte boundary make every vector
  // straddle two cache lines, which the engine avoids where it can.
  bool full_lines = false;
  // any_pass is there (null where 0) and takes strides s that are
  // multiples of this count of values.
  Integer any_pass_values = 0;
};

// A count of Reals, as a type of its own: exchange moves Reals, the entries
// beside it of the same pointers count values, and an entry of one kind
// cannot stand in the place of the other.
enum class Reals : Integer {};

// One instruction set's loops, filled by name.  Each entry does, for every
// value, the operations of the step it names (numeric/steps.h) in the same
// order, and takes every argument its contract allows.  Every table fills
// every entry but those its capabilities leave out.
struct Table {
  Kernel kind;
  Capabilities can;

  // ---- Complex passes (numeric/steps.h names the steps).
  // One radix-2 pass of half-span h values over n contiguous values: for
  // every group start s = 0, 2h, 4h, ... below n and j = j0 .. j0+count-1,
  // fft::butterfly of values a = s + j and b = a + h with the factor
  // (w[2(j - j0)], w[2(j - j0) + 1]).
  void (*pass)(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count) = nullptr;
  // The passes of half-spans h and 2h over n values with the h factors wa
  // and the 2h factors wb: pass(data, n, h, wa, 0, h) then pass(data, n,
  // 2h, wb, 0, 2h), done together on each group of 4h values; n a
  // multiple of 4h.
  void (*pass_pair)(Real* data, Integer n, Integer h, const Real* wa, const Real* wb) = nullptr;
  // The passes of half-spans h, 2h and 4h with the h factors wa, the 2h
  // factors wb and the 4h factors wc: pass_pair(data, n, h, wa, wb) then
  // pass(data, n, 4h, wc, 0, 4h), done together on each group of 8h values;
  // n a multiple of 8h.
  void (*pass_triple)(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                      const Real* wc) = nullptr;
  // pass_pair over the n values at a and over the n values at b, two runs
  // that do not overlap, with the results trading places: a's stored at b,
  // b's at a.
  void (*pass_pair_swap)(Real* a, Real* b, Integer n, Integer h, const Real* wa, const Real* wb) = nullptr;
  // The first two passes (half-spans 1 and 2, with w2 the factor of m = 2
  // and w4 the two of m = 4) over n >= 4 values.
  void (*first_two_passes)(Real* data, Integer n, const Real* w2, const Real* w4) = nullptr;
  // fft::bit_reverse then first_two_passes, n from 16 to 2^20, with
  // order[t] the bit reversal of t < n/16 over log2(n) - 4 bits.
  void (*reverse_first_two)(Real* data, Integer n, const Real* w2, const Real* w4,
                            const std::uint16_t* order) = nullptr;
  // reverse_first_two and pass_pair on the values at in, stored at out;
  // in and out do not overlap.
  void (*reverse_first_two_to)(const Real* in, Real* out, Integer n, const Real* w2,
                               const Real* w4, const std::uint16_t* order) = nullptr;
  void (*pass_pair_to)(const Real* in, Real* out, Integer n, Integer h, const Real* wa,
                       const Real* wb) = nullptr;
  // count butterflies with one factor w: a = data_a[2i], b = data_b[2i].
  void (*butterflies)(Real* a, Real* b, Real w_re, Real w_im, Integer count) = nullptr;
  // Two passes over four rows of count values each, rows r = 0..3 at
  // a + r * span: butterflies of rows (0, 1) and (2, 3) with factor fa,
  // then of rows (0, 2) with f0 and (1, 3) with f1; each factor a (re, im)
  // pair.
  void (*rows_pair)(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                    Integer count) = nullptr;
  // Three passes over eight rows of count values each, rows r = 0..7 at
  // a + r * span: rows_pair on rows 0..3 and on rows 4..7, then the
  // butterflies of rows (r, r + 4) with the factor at fc + r * fc_step, r =
  // 0..3.
  void (*rows_triple)(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                      const Real* fc, Integer fc_step, Integer count) = nullptr;
  // Value 0 of the transform alone (fft::first_value_step).
  void (*first_value)(Real* data, Integer n) = nullptr;
  // out[2 place(j)] = re[j], out[2 place(j) + 1] = im[j], j = 0..n-1, with
  // place(j) = order[j], or j when order is null.
  void (*interleave)(const Real* re, const Real* im, Real* out, Integer n,
                     const std::uint16_t* order) = nullptr;
  // interleave(re, im, out, n, null) then reverse_first_two(out, n, w2, w4,
  // order), n from 16 to 2^16; re and im overlap no value of out.
  void (*interleave_first_two)(const Real* re, const Real* im, Real* out, Integer n,
                               const Real* w2, const Real* w4, const std::uint16_t* order) = nullptr;
  // Exchanges a[0 .. reals-1] with b[0 .. reals-1], two runs that do not
  // overlap; reals a multiple of 4.
  void (*exchange)(Real* a, Real* b, Reals reals) = nullptr;
  // data[i] * x, or data[i] / x with `divide`, for i < count.
  void (*scale)(Real* data, Integer count, Real x, bool divide) = nullptr;

  // One pass of the any-length engine (fft/any_passes.h's pass) of radix 2,
  // 3, 4, 5, 7, 8, 11 or 13 whose stride s is a multiple of
  // can.any_pass_values, on values and factors as (re, im) pairs of Reals.
  // constants holds, for the odd radices, the cosines then the sines of 2
  // pi jk/radix at [(k-1) h + j-1], j, k = 1 .. h = (radix-1)/2, and for
  // radix 8 sqrt(1/2).
  void (*any_pass)(unsigned radix, const Real* x, Real* y, Integer m, Integer s, const Real* tw,
                   const Real* constants) = nullptr;

  // ---- Real transforms and the correlation.
  // fft::split of Z_k at data[2k] and Z_{count-k} at data[2(count-k)] for
  // k = first .. end-1 (end <= count/2), with the factor w_k at
  // w[2(k - first)].
  void (*split)(Real* data, Integer count, const Real* w, Integer first, Integer end, Real f) = nullptr;
  // The last pass of a transform of count >= 16 values (half-span count/2,
  // factors wl) and then split of k = 1 .. count/2 - 1 with the factor w_k
  // at ws[2k].
  void (*pass_split)(Real* data, Integer count, const Real* wl, const Real* ws, Real f) = nullptr;
  // pass_split on the values at in, stored at out; in and out do not
  // overlap.
  void (*pass_split_to)(const Real* in, Real* out, Integer count, const Real* wl, const Real* ws,
                        Real f) = nullptr;
  // The pass of half-span count/4 (factors wa) over count >= 16 values, then
  // pass_split(data, count, wl, ws, f).
  void (*pass_pair_split)(Real* data, Integer count, const Real* wa, const Real* wl,
                          const Real* ws, Real f) = nullptr;
  // The passes in the parts layout and realft's splits from it, null in the
  // tables without them (can.parts_layout false).  In that layout the values 4q .. 4q+3 of an
  // array, at Reals 8q .. 8q+7, are stored as their real parts in the order
  // 4q, 4q+2, 4q+1, 4q+3, then their imaginary parts in that order.
  // pass_pair_parts is pass_pair on values in that layout, h a multiple of
  // 4; with from_values the values are read in their own layout, with
  // to_values they are left in it.  pass_parts is pass(data, n, h, w, 0, h)
  // on values read in their own layout and left in the parts layout.
  void (*pass_parts)(Real* data, Integer n, Integer h, const Real* w) = nullptr;
  void (*pass_pair_parts)(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                          bool from_values, bool to_values) = nullptr;
  // split of k = 1 .. count/2 - 1 with the factor w_k at ws[2k] on count >=
  // 8 values in the parts layout, which it leaves in their own layout (Z_0
  // and Z_count/2 as they were).
  void (*split_from_parts)(Real* data, Integer count, const Real* ws, Real f) = nullptr;
  // fft::separate of Z_k and Z_{count-k} for k = 1 .. count/2.
  void (*separate)(Real* spectrum1, Real* spectrum2, Integer count) = nullptr;
  // separate(spectrum1, spectrum2, count), then fft::cross_product of F_k
  // at spectrum1[2k] into G_k at spectrum2[2k] for k = 0 .. count/2, with
  // the reciprocal; spectrum1 is left in no useful state.
  void (*separate_products)(Real* spectrum1, Real* spectrum2, Integer count, Real reciprocal) = nullptr;

  // ---- Chebyshev series and tables.
  // chebft's sums: sum[j] = sum over k = 1..n, from 0.0 in node order, of
  // f[k-1] * term[(k-1) n + j], j = 0..n-1, n from 1 to 32, with term
  // holding 32 * 32 Reals.
  void (*sums)(const Real* f, Integer n, const Real* term, Real* sum) = nullptr;
  // chebev's recurrence on the first points of x[0 .. count-1], all in
  // range; returns how many were done (the caller does the rest).
  Integer (*evaluate)(Real a, Real b, const Real* c, Integer terms, const Real* x,
                      Real* result, Integer count) = nullptr;
  // The same for two series at the same points.
  Integer (*evaluate_two)(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                          const Real* x, Real* result1, Real* result2, Integer count) = nullptr;
  // Whether every point of x[0 .. count-1] passes chebev's range test.
  bool (*all_in_range)(Real a, Real b, const Real* x, Integer count) = nullptr;
  // favr's scan over the first intervals of xtab[0 .. last]: sets i to the
  // first matching interval and returns true, or sets i to the first
  // interval not yet tested and returns false.
  bool (*first_match)(const Real* xtab, Integer last, Real t, Integer& i) = nullptr;
};

namespace detail {
extern std::atomic<const Table*> current;
} // namespace detail

// The table in use: the native one unless a KernelOverride is alive.
inline const Table& active() { return *detail::current.load(std::memory_order_relaxed); }

// The widest kernel this processor and this build can run.
Kernel native();

// For tests and benchmarks: runs `kernel` (or native(), if that is
// narrower) while the guard lives, and restores the table in use before it
// when it goes, however the scope is left.  Not for use while other
// threads call the toolkit.
class KernelOverride {
public:
  explicit KernelOverride(Kernel kernel);
  ~KernelOverride();
  KernelOverride(const KernelOverride&) = delete;
  KernelOverride& operator=(const KernelOverride&) = delete;

private:
  const Table* saved_;
};

// The portable loops, one per entry of the table; the SSE2 table uses
// all_in_range, where its instruction set has nothing faster.
namespace portable {
extern const Table table;
bool all_in_range(Real a, Real b, const Real* x, Integer count);
} // namespace portable

// The unit that knows this processor's instruction sets: asks the
// processor (once, before main) and hands out their tables.
namespace detail {
Kernel detect();                  // the widest kernel this processor runs
const Table& table(Kernel kernel); // kernel no wider than detect()
} // namespace detail

} // namespace tamsel::kernels
