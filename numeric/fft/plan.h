// SPDX-License-Identifier: BSD-3-Clause
// Plans of the FFT engine: the steps of a transform of one length, for one
// direction, one source of twiddle factors (the recurrence's or the exact
// ones, engine.h) and one kernel table, decided once by make_plan (plan.cpp, the
// one place that reads the table's capabilities and the size thresholds)
// and kept; the engine (engine.cpp) only runs them.
//
// Internal to the toolkit; not installed.
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <string>

#include <tamsel/numeric/types.h>

#include "../kernels.h"
#include "engine.h"

namespace tamsel::fft {

// The kernel entry a step calls (numeric/kernels.h names their work), or a
// group of the steps after it.  A step of another radix is another entry
// here, with its factor tables in PlanStep::w.
enum class Op : std::uint8_t {
  group,                // the next `inner` steps, `times` times, a `stride` of values apart
  bit_reverse,          // fft::bit_reverse
  pass,                 // Table::pass, j0 and len its range of factors
  pass_pair,            // Table::pass_pair
  pass_triple,          // Table::pass_triple
  uncached_pass,        // Table::pass, its factors made a chunk at a time
  first_two_passes,     // Table::first_two_passes
  reverse_first_two,    // Table::reverse_first_two
  reverse_first_two_lines, // Table::reverse_first_two on each line of n values
  reverse_first_two_to, // Table::reverse_first_two_to, data into the scratch
  pass_pair_to,         // Table::pass_pair_to, the scratch into data
  interleave_first_two, // Table::interleave_first_two, the two inputs into data
  pass_parts,           // Table::pass_parts
  pass_pair_parts,      // Table::pass_pair_parts
  split_from_parts,     // Table::split_from_parts
  split,                // Table::split, of j0 .. len - 1
  pass_split,           // Table::pass_split
  pass_split_to,        // Table::pass_split_to, the scratch into data
  pass_pair_split,      // Table::pass_pair_split
  interleave,           // Table::interleave, the two inputs into data in `order`
  // The steps of strided lines (fourn): n rows of Operands::lines values,
  // rows Operands::stride values apart, each butterfly of a pass acting on
  // two rows with one factor.
  rows_reverse,         // Table::exchange of rows i and rev(i)
  strip_pass,           // Table::butterflies, a pass of half-span h rows
  strip_pass_pair,      // Table::rows_pair, the passes of half-spans h and 2h
  strip_pass_triple,    // Table::rows_triple, those of h, 2h and 4h
  uncached_strip_pass,  // strip_pass, its factors made a chunk at a time; j0 the sign
};
inline constexpr int kOps = static_cast<int>(Op::uncached_strip_pass) + 1;

// What a schedule's steps work on besides data: the aligned copy, twofft's
// two inputs, realft's factor f, and the rows of strided lines: `lines`
// values in a row, `stride` values from one row to the next.
struct Operands {
  Real* scratch = nullptr;
  const Real* re = nullptr;
  const Real* im = nullptr;
  Real f = 0.0;
  Integer stride = 0;
  Integer lines = 0;
};

// One step: its kernel and what the kernel is given.
struct PlanStep {
  // Calls the step's kernel on the values at data, `extent` of them (a
  // group: its inner steps on each run).
  using Call = void (*)(const PlanStep& step, Real* data, Integer extent, const Operands& o);
  Call call = nullptr;
  // The entry of the plan's table that call runs, stored as a function
  // pointer of this one type and called as its own.
  using Kernel = void (*)();
  Kernel kernel = nullptr;
  Op op = Op::group;
  std::uint8_t radix = 2;      // the radix of each of its passes (2 for every step made now)
  bool from_values = false;    // pass_pair_parts's flags
  bool to_values = false;
  bool in_scratch = false;     // the step works on the scratch, not on data
  Integer n = 0;               // values it sweeps; 0: all the values the plan runs over
  Integer h = 0;               // half-span of its first pass
  Integer j0 = 0, len = 0;     // pass: its factors' range; split: its k range;
                               // uncached_pass: j0 the sign
  Roots roots = Roots::recurrence; // uncached_pass: where its factors come from
  const Real* w[3] = {};       // the factor tables it reads, first pass first
  const std::uint16_t* order = nullptr; // the permutation's tile order
  Integer inner = 0, times = 0, stride = 0; // group
};

// The steps of one case, and whether they run in an aligned copy on the
// stack of at least 2n Reals.
// The steps lie in the plan itself, so that running a plan reads no
// pointer more than the plan's own.  32 is more than the 19 steps of the
// longest schedule (2^29 values, eight of them passes beyond the kept
// tables); make_plan refuses more.
struct Schedule {
  static constexpr int kMaxSteps = 32;
  PlanStep steps[kMaxSteps];
  int size = 0;
  bool scratch = false;
  // A new last step of kind op over n values (or rows), half-span h;
  // refused (std::logic_error) beyond kMaxSteps.
  PlanStep& add(Op op, Integer n, Integer h);
  const PlanStep* begin() const { return steps; }
  const PlanStep* end() const { return steps + size; }
};

// What a plan transforms.
enum class Shape : std::uint8_t {
  complex,        // transform: four1 and the parts of the others that call it
  real_split,     // transform_and_split: realft's forward transform, split included
  interleaved,    // transform_interleaved: twofft's two inputs
  permuted,       // radix2_passes: values already in bit-reversed order
  lines,          // transform_lines: one run of lines side by side
  lines_permuted, // transform_lines_permuted: the passes before the last two
  strided,        // transform_strided: fourn's lines a stride apart
  strided_permuted, // transform_strided of rows already in bit-reversed order
};
inline constexpr int kShapes = 8;

// A plan.  The steps that the AVX-512 kernels take depend on whether the
// data start on a 64-byte boundary (their vectors straddle two cache lines
// otherwise), which only the call knows: the plan holds both schedules and
// the engine picks one by the data's address at each call.  With the other
// tables the two are the same.
struct Plan {
  const kernels::Table* table = nullptr;
  Shape shape = Shape::complex;
  Integer count = 0;
  Integer direction = 1;
  Roots roots = Roots::recurrence;
  // Whether the shape takes this length; where not, the caller transforms
  // the values otherwise, and the schedules are empty.
  bool takes = true;
  Schedule aligned;
  Schedule straddling;
  // 63 with a table of 64-byte vectors, whose data straddle cache lines off
  // a 64-byte boundary; 0 with the others.
  std::uintptr_t straddle_mask = 0;
  Integer run = 1; // lines: lines in one run (the schedules are of one run);
                   // strided: the most lines of a strip, which go through
                   // all passes together
  PlanStep closing;    // lines_permuted: the pair of passes each pair of lines takes last
};

inline const Schedule& schedule_for(const Plan& plan, const void* data) {
  return (reinterpret_cast<std::uintptr_t>(data) & plan.straddle_mask) != 0 ? plan.straddling
                                                                             : plan.aligned;
}

// The longest transform the engine's aligned copy on the stack holds.
inline constexpr Integer kMaxScratch = Integer{1} << 11;

// Lengths up to 2^29: log2 0 .. 29.
inline constexpr int kPlanLevels = 30;

namespace detail {
// The plan last asked for, by factors, shape, direction and log2(count), of
// whichever table: the path of a plan already made is one load at a fixed
// address and a comparison, so that a small transform's kernels get their
// arguments no later than through the tables themselves.
extern std::atomic<const Plan*> last_plans[kRootSources][kShapes][2][kPlanLevels];
const Plan& make_plan(const kernels::Table& k, Shape shape, Integer count, Integer direction,
                      Roots roots);
// Gives each step of a plan just made its call (engine.cpp).
void bind_steps(Plan& plan);
// Writes the steps of a plan of the strided shapes (plan_strided.cpp).
void strided_steps(const kernels::Table& k, Plan& plan, Schedule& out);
} // namespace detail

// The plan of `shape` for count values (a power of two from 1 to 2^29),
// direction +1 or -1 and the factors of `roots` with table k.
inline const Plan& plan_for(const kernels::Table& k, Shape shape, Integer count,
                            Integer direction, Roots roots = Roots::recurrence) {
  const Plan* plan =
      detail::last_plans[static_cast<int>(roots)][static_cast<int>(shape)][direction == 1 ? 0 : 1]
                        [std::countr_zero(std::uint32_t(count))]
                            .load(std::memory_order_acquire);
  if (plan != nullptr && plan->table == &k) [[likely]] return *plan;
  return detail::make_plan(k, shape, count, direction, roots);
}

// For reading and debugging: the steps of the plan of `shape` for count
// values, the direction and the factors of `roots` with the kernel table
// in use, one a line, both schedules where they differ.  count a power of
// two the shape takes.
std::string describe_plan(Integer count, Integer direction, Shape shape = Shape::complex,
                          Roots roots = Roots::recurrence);

// How fourn takes a dimension of length L >= 2 for sign +1 or -1: the data
// are A blocks of L * B values, value i of line e being value i * B + e of
// its block; `next` is the next dimension's length (0 after the last) and
// rows_permuted says that the rows i are already in bit-reversed order.
enum class DimensionStep : std::uint8_t {
  lines,          // B = 1: transform_lines of the A lines
  lines_permuted, // transform_lines_permuted, groups of `next` lines: the
                  // next dimension's rows are left permuted
  planes,         // this dimension and the next together, transform_planes
  strided,        // transform_strided
};
DimensionStep dimension_step(Integer L, Integer B, Integer A, Integer next, bool rows_permuted,
                             Integer direction);

// For reading and debugging: how fourn takes the `count` dimensions of
// these lengths (from the fastest) for the direction, and the steps of
// each dimension's plan with the kernel table in use.  Lengths powers of
// two whose product is at most 2^29.
std::string describe_dimensions(const Integer* lengths, Integer count, Integer direction);

} // namespace tamsel::fft
