// SPDX-License-Identifier: BSD-3-Clause
// The one place that decides a transform's steps: which kernels, over which
// values, in which order, from the kernel table's capabilities and the size
// thresholds below.  A plan is made once per (factors, table, shape,
// length, direction) and kept.
#include "fft/plan.h"

#include <mutex>
#include <stdexcept>

#include "fft/engine.h"

namespace tamsel::fft {

namespace detail {
std::atomic<const Plan*> last_plans[kRootSources][kShapes][2][kPlanLevels];
} // namespace detail

namespace {

// Each pass is one sweep over the data, group after group, j after j; the
// twiddle factors of a pass are made once and reused for all its groups.
// An array of more than kPassBlock values runs its passes up to that
// length block by block: a block of 32 KiB stays in the first-level cache
// while its passes run, and the later passes sweep the array once a triple
// or a pair, so that each sweep beyond that cache does as many passes as
// the registers hold.  Where a later pass would go alone, the block's last
// pass joins it, so that no sweep of the whole array does a single pass.
// Pairs go before triples (the AVX registers hold a triple only for a
// single pass and a pair, in the first-level cache).  Lines of up to
// kLongestLine values run side by side, a block at a time (bench/NOTES.md).
constexpr Integer kPassBlock = Integer{1} << 11;
constexpr Integer kPartsLength = 4 * kPassBlock; // longest transform in the parts layout
constexpr Integer kLongestLine = Integer{1} << 13;

// The AVX-512 kernels lose speed on values that do not start on a 64-byte
// boundary, where every other vector straddles two cache lines.  Up to
// kScratchLength values, such a transform runs in an aligned copy on the
// stack (the permutation with the first two passes reads the values into
// it, the last two passes write them back) of 1 KiB up to 64 values and
// 32 KiB at most, so that threads with small stacks can still transform
// small arrays.  Larger ones are transformed where they lie, by the same
// kernels at every offset: neither the AVX kernels nor the passes of a
// block in an aligned copy do better (bench/NOTES.md).
constexpr Integer kScratchLength = Integer{1} << 11;
static_assert(kScratchLength <= kMaxScratch, "the engine's scratch holds the copy");

// Whether the kernel table's reverse_first_two takes count values: at every
// size its orders reach (reversed_order up to kMaxOrder, so 2^20 values).
// Joined to the first two passes, the permutation needs no sweep of the
// array of its own; its tiles' partners lie anywhere in the array, so what
// that gains depends on the second-level cache (bench/NOTES.md).
bool fused_start(Integer count) { return count >= 16 && count <= 16 * kMaxOrder; }

// How a transform's values stand when its passes begin.
enum class Start {
  unpermuted,    // in their own order: the permutation goes with the first two passes
  permuted,      // in bit-reversed order
  first_two_done // permuted and through the first two passes
};

// Writes the steps of one schedule.  `straddle`: the data lie off a 64-byte
// boundary for a table of full-line vectors.
class Maker {
public:
  Maker(const kernels::Table& k, Integer direction, Roots roots, bool straddle, Schedule& out)
      : k_(k), direction_(direction), roots_(roots), straddle_(straddle), out_(out) {}

  const Real* w(Integer m) const {
    return roots_ == Roots::exact ? exact_twiddles(direction_, m) : cached_twiddles(direction_, m);
  }

  PlanStep& add(Op op, Integer n, Integer h = 0) {
    PlanStep& s = out_.add(op, n, h);
    s.in_scratch = in_scratch_;
    return s;
  }

  // The steps that `body` adds, `times` times a stride apart; none where
  // it adds none.
  template <class Body>
  void group(Integer times, Integer stride, const Body& body) {
    const int at = out_.size;
    add(Op::group, 0);
    body();
    const Integer inner = out_.size - at - 1;
    if (inner == 0) {
      out_.size = at;
      return;
    }
    out_.steps[at].inner = inner;
    out_.steps[at].times = times;
    out_.steps[at].stride = stride;
  }

  void pair(Integer n, Integer m) {
    PlanStep& s = add(Op::pass_pair, n, m / 2);
    s.w[0] = w(m);
    s.w[1] = w(2 * m);
  }

  // The passes of lengths m = first .. last over n values (0: the values
  // the plan runs over; wide: more than kPassBlock of them), each group of
  // them one sweep.  Beyond a block, or where every vector straddles two
  // lines, where each sweep saved counts: one pair first of 3k + 2 passes,
  // two of 3k + 4, then triples.  In a block otherwise, where a triple takes
  // as long as a pair pass for pass or longer: pairs, and of an odd number
  // one triple last (bench/NOTES.md).  Without triples: of an odd number,
  // the first alone, while its sweep is the shortest or its data still in
  // cache, then pairs.
  void cached_passes(Integer n, bool wide, Integer first, Integer last) {
    if (first > last) return;
    const int number = std::countr_zero(std::uint32_t(last / first)) + 1;
    Integer m = first;
    const bool throughout = wide || (straddle_ && !in_scratch_);
    if (k_.can.triples && number > 1 && (throughout || number % 2 != 0)) {
      const int pairs = !throughout        ? (number - 3) / 2
                        : number % 3 == 0 ? 0
                        : number % 3 == 2 ? 1
                                          : 2;
      for (int p = pairs; p > 0; --p, m *= 4) pair(n, m);
      for (; m <= last; m *= 8) {
        PlanStep& s = add(Op::pass_triple, n, m / 2);
        s.w[0] = w(m);
        s.w[1] = w(2 * m);
        s.w[2] = w(4 * m);
      }
      return;
    }
    if (number % 2 != 0) {
      PlanStep& s = add(Op::pass, n, m / 2);
      s.w[0] = w(m);
      s.len = m / 2;
      m *= 2;
    }
    for (; m < last; m *= 4) pair(n, m);
  }

  // The passes of a transform of count >= 2 values, m = 2 .. through: the
  // first two (with the permutation where the values are unpermuted), block
  // by block up to kPassBlock (or half of it), then the rest over the whole
  // array as cached_passes groups them, and one at a time, with factors made
  // as they go, beyond the kept tables.
  void passes(Integer count, Integer through, Start start) {
    if (count == 2) {
      PlanStep& s = add(Op::pass, 2, 1);
      s.w[0] = w(2);
      s.len = 1;
      return;
    }
    if (start == Start::unpermuted) reverse_first_two(count);
    if (count <= kPassBlock) {
      if (start == Start::permuted) first_two(count);
      return cached_passes(count, false, 8, through);
    }
    const Integer block = kPassBlock;
    const Integer kept = roots_ == Roots::exact ? kExactLength : kCachedLength;
    const Integer cached = through < kept ? through : kept;
    Integer in_block = through < block ? through : block;
    // A whole-array pass that would go alone takes the blocks' last pass
    // with it: an odd number of them in pairs, or the only one.
    const int later = std::countr_zero(std::uint32_t(cached / block));
    const bool alone = k_.can.triples ? later == 1 : later % 2 != 0;
    if (block < count && in_block == block && alone) in_block /= 2;
    group(count / block, block, [&] {
      if (start == Start::permuted) first_two(block);
      cached_passes(block, false, 8, in_block);
    });
    cached_passes(count, true, 2 * in_block, cached);
    for (Integer m = 2 * cached; m <= through; m *= 2) {
      PlanStep& s = add(Op::uncached_pass, count, m / 2);
      s.j0 = direction_; // its factors' sign
      s.roots = roots_;
    }
  }

  void first_two(Integer n) {
    PlanStep& s = add(Op::first_two_passes, n);
    s.w[0] = w(2);
    s.w[1] = w(4);
  }
  void reverse_first_two(Integer n, Op op = Op::reverse_first_two) {
    PlanStep& s = add(op, n);
    s.w[0] = w(2);
    s.w[1] = w(4);
    s.order = reversed_order(n / 16);
  }

  // The permutation and the passes m = 2 .. through, in place.
  void through(Integer count, Integer last) {
    if (fused_start(count)) return passes(count, last, Start::unpermuted);
    add(Op::bit_reverse, count);
    passes(count, last, Start::permuted);
  }

  // The passes m = 2 .. through in the aligned copy, which the permutation
  // with the first two passes reads the values into; the caller adds the
  // last passes, from the copy into data.
  void into_aligned_copy(Integer count, Integer last) {
    reverse_first_two(count, Op::reverse_first_two_to);
    in_scratch_ = true;
    cached_passes(count, false, 8, last);
  }
  void out_of_copy() { in_scratch_ = false; }

  // The passes m = first .. n in pairs (an even number of passes) in the
  // parts layout (kernels::Table::pass_parts): the first pair reading the
  // values in their own layout with from_values, the last leaving them in
  // it with to_values.
  void parts_pairs(Integer n, Integer first, bool from_values, bool to_values) {
    for (Integer m = first; m < n; m *= 4, from_values = false) {
      PlanStep& s = add(Op::pass_pair_parts, n, m / 2);
      s.w[0] = w(m);
      s.w[1] = w(2 * m);
      s.from_values = from_values;
      s.to_values = to_values && 2 * m == n;
    }
  }

  // The passes m = 8 .. n (n >= 16) after the first two, in the parts
  // layout: of an odd number, the first alone, then pairs.
  void parts_passes(Integer n, bool to_values) {
    if (std::countr_zero(std::uint32_t(n)) % 2 == 0) return parts_pairs(n, 8, true, to_values);
    PlanStep& s = add(Op::pass_parts, n, 4);
    s.w[0] = w(8);
    parts_pairs(n, 16, false, to_values);
  }

  // The passes from the third of count values (16 to kPartsLength) in the
  // parts layout, left in it unless to_values.  Beyond a block, the passes
  // up to a block's length (or half of it, so that the rest go in pairs)
  // run block by block, then the rest over the whole array in pairs.
  void parts_after_first_two(Integer count, bool to_values) {
    if (count <= kPassBlock) return parts_passes(count, to_values);
    const bool odd = std::countr_zero(std::uint32_t(count / kPassBlock)) % 2 != 0;
    const Integer block = odd ? kPassBlock / 2 : kPassBlock;
    group(count / block, block, [&] { parts_passes(block, false); });
    parts_pairs(count, 2 * block, false, to_values);
  }

private:
  const kernels::Table& k_;
  Integer direction_;
  Roots roots_;
  bool straddle_;
  bool in_scratch_ = false;
  Schedule& out_;
};

// transform (four1): with a table that has them, the passes after the first
// two in the parts layout, where no butterfly needs a shuffle, from 32
// values (at 16, a single pair, nothing is saved) to kPartsLength (beyond,
// the passes in pairs take more sweeps than triples would); else in an
// aligned copy or in place.
void complex_steps(const kernels::Table& k, Maker& make, Schedule& out, Integer count,
                   bool straddle) {
  if (k.can.parts_layout && count >= 32 && count <= kPartsLength) {
    make.reverse_first_two(count);
    return make.parts_after_first_two(count, true);
  }
  if (straddle && count >= 16 && count <= kScratchLength) {
    out.scratch = true;
    make.into_aligned_copy(count, count / 4);
    make.out_of_copy();
    PlanStep& s = make.add(Op::pass_pair_to, count, count / 4);
    s.w[0] = make.w(count / 2);
    s.w[1] = make.w(count);
    return;
  }
  make.through(count, count);
}

// transform_and_split (realft's forward transform, 16 to kCachedLength / 2
// values, sign +1; with the exact factors up to kExactLength / 2, either
// sign).
void real_split_steps(const kernels::Table& k, Maker& make, Schedule& out, Integer count,
                      bool straddle) {
  const Real* ws = make.w(2 * count);
  const Real* wl = make.w(count);
  auto split_step = [&](Op op, Integer h) -> PlanStep& {
    PlanStep& s = make.add(op, count, h);
    s.w[0] = wl;
    s.w[1] = ws;
    return s;
  };
  // With a table that has them, the passes after the first two and the
  // splits in the parts layout, where no butterfly needs a shuffle; of an
  // odd number of passes the first goes alone, not the last
  // (bench/NOTES.md).
  if (k.can.parts_layout && count <= kPartsLength) {
    make.reverse_first_two(count);
    make.parts_after_first_two(count, false);
    make.add(Op::split_from_parts, count).w[0] = ws;
    return;
  }
  if (straddle && count <= kScratchLength) {
    out.scratch = true;
    make.into_aligned_copy(count, count / 2);
    make.out_of_copy();
    split_step(Op::pass_split_to, count / 2);
    return;
  }
  // Beyond a block the pass before the last may go with it, where that
  // saves a sweep of the whole array.  With triples throughout (AVX-512),
  // where the passes between the blocks and the last two are a multiple of
  // three in number.  With pairs, at even powers of two, where the passes
  // in the blocks then go in pairs from the first, with no pass of their
  // own.  Not within a block, where the two passes and the splits crowd the
  // registers (bench/NOTES.md).
  const int power = std::countr_zero(std::uint32_t(count));
  const int later = power - 2 - std::countr_zero(std::uint32_t(kPassBlock));
  const bool fuse_two = k.can.triples_in_registers ? later >= 0 && later % 3 == 0
                                               : count > kPassBlock && power % 2 == 0;
  if (fuse_two) {
    make.through(count, count / 4);
    PlanStep& s = make.add(Op::pass_pair_split, count, count / 4);
    s.w[0] = make.w(count / 2);
    s.w[1] = wl;
    s.w[2] = ws;
    return;
  }
  // In the first-level cache, with a table that has triples, the last pass
  // joins the passes before it and the splits sweep alone: fused with the
  // splits, the pass costs more than it does in a triple (bench/NOTES.md).
  if (k.can.triples && count <= kPassBlock) {
    make.through(count, count);
    PlanStep& s = make.add(Op::split, count);
    s.w[0] = ws + 2;
    s.j0 = 1;
    s.len = count / 2;
    return;
  }
  make.through(count, count / 2);
  split_step(Op::pass_split, count / 2);
}

// The passes of lengths up to `last` of lines of count values side by side,
// 16 <= count <= kLongestLine: such lines make one array whose passes of
// lengths up to count are those of each line, so the permutation and the
// first two passes go line by line, then each later pass over a run of
// lines of kPassBlock values as one sweep, a run that stays in the
// first-level cache as a block does (bench/NOTES.md).  A line longer than a
// block goes alone, through the blocks of passes().  The steps are those
// of one run (or line) of plan.run lines.
void lines_steps(Maker& make, Plan& plan, Integer count, Integer last) {
  if (count > kPassBlock) return make.passes(count, last, Start::unpermuted);
  plan.run = kPassBlock / count;
  make.reverse_first_two(count, Op::reverse_first_two_lines);
  make.cached_passes(0, false, 8, last);
}

// transform_interleaved of fewer than 16 values, or of more than the tiles
// of interleave_first_two take at their speed: the values interleaved in a
// step of their own, then the steps of transform.  Below 16, straight into
// the order the permutation puts them in, then the passes as radix2_passes
// runs them.
void interleaved_apart(const kernels::Table& k, Maker& make, Schedule& out, Integer count,
                       bool straddle) {
  PlanStep& s = make.add(Op::interleave, count);
  if (count >= 16) return complex_steps(k, make, out, count, straddle);
  s.order = reversed_order(count);
  if (count >= 2) make.passes(count, count, Start::permuted);
}

void fill(const kernels::Table& k, Plan& plan, bool straddle) {
  Schedule& out = straddle ? plan.straddling : plan.aligned;
  Maker make(k, plan.direction, plan.roots, straddle, out);
  const Integer count = plan.count;
  switch (plan.shape) {
  case Shape::complex:
    return complex_steps(k, make, out, count, straddle);
  case Shape::real_split:
    return real_split_steps(k, make, out, count, straddle);
  case Shape::interleaved:
    static_assert(4 * kPassBlock <= kPartsLength);
    if (count < 16 || count > 4 * kPassBlock) {
      return interleaved_apart(k, make, out, count, straddle);
    }
    // Up to 2^13 values the tiles go straight to their places, with no
    // sweep of their own to interleave the values.  Beyond 2^11, the twelve
    // rows a tile reads and writes in re, im and out lie 8 KiB or more
    // apart, all in one set of the first-level cache: one of 12 ways holds
    // them (with the tiles in the order of the kernels' tile_step), one of
    // 8 ways is crowded, and there interleaving first, then permuting in
    // place, would be faster (bench/NOTES.md).  The passes after the first
    // two as transform runs them.
    make.reverse_first_two(count, Op::interleave_first_two);
    if (k.can.parts_layout && count >= 32) return make.parts_after_first_two(count, true);
    return make.passes(count, count, Start::first_two_done);
  case Shape::permuted:
    return make.passes(count, count, Start::permuted);
  case Shape::lines:
    return lines_steps(make, plan, count, count);
  case Shape::lines_permuted:
    // All but the last two passes as transform_lines does them, then those
    // two line by line (the engine pairs the lines).
    lines_steps(make, plan, count, count / 4);
    plan.closing.op = Op::pass_pair;
    plan.closing.n = count;
    plan.closing.h = count / 4;
    plan.closing.w[0] = make.w(count / 2);
    plan.closing.w[1] = make.w(count);
    return;
  case Shape::strided:
  case Shape::strided_permuted:
    return detail::strided_steps(k, plan, out);
  }
}

bool takes(Shape shape, Integer count, Roots roots) {
  switch (shape) {
  case Shape::complex:
  case Shape::permuted:
    return count >= 2;
  case Shape::real_split:
    return count >= 16 && count <= (roots == Roots::exact ? kExactLength : kCachedLength) / 2;
  case Shape::interleaved:
    return true;
  case Shape::lines:
  case Shape::lines_permuted:
    return count >= 16 && count <= kLongestLine;
  case Shape::strided:
  case Shape::strided_permuted:
    return count >= 2;
  }
  return false;
}

std::mutex making;

} // namespace

PlanStep& Schedule::add(Op op, Integer n, Integer h) {
  if (size == kMaxSteps) throw std::logic_error("fft: a plan of more steps than a schedule holds");
  PlanStep& s = steps[size++];
  s.op = op;
  s.n = n;
  s.h = h;
  return s;
}

namespace {

// The kept plans, by factors, kernel table, shape, direction (+1 first)
// and log2(count), each made on the heap on first use and never freed; the
// array of them on the heap too (30 KiB read only where a plan is made), so
// that the toolkit's static storage stays small.
struct KeptPlans {
  std::atomic<const Plan*> at[kRootSources][4][kShapes][2][kPlanLevels];
};
KeptPlans& kept_plans() {
  static KeptPlans* const kept = new KeptPlans();
  return *kept;
}

} // namespace

namespace detail {

const Plan& make_plan(const kernels::Table& k, Shape shape, Integer count, Integer direction,
                      Roots roots) {
  const int level = std::countr_zero(std::uint32_t(count));
  if (level >= kPlanLevels) throw std::logic_error("fft: a plan of no power of two up to 2^29");
  const int sign = direction == 1 ? 0 : 1;
  const int source = static_cast<int>(roots);
  std::atomic<const Plan*>& kept =
      kept_plans().at[source][static_cast<int>(k.kind)][static_cast<int>(shape)][sign][level];
  std::atomic<const Plan*>& last = last_plans[source][static_cast<int>(shape)][sign][level];
  if (const Plan* made = kept.load(std::memory_order_acquire)) {
    last.store(made, std::memory_order_release);
    return *made;
  }
  const std::lock_guard<std::mutex> hold(making);
  if (const Plan* made = kept.load(std::memory_order_acquire)) return *made;
  auto* plan = new Plan;
  plan->table = &k;
  plan->shape = shape;
  plan->count = count;
  plan->direction = direction;
  plan->roots = roots;
  plan->takes = takes(shape, count, roots);
  if (plan->takes) {
    fill(k, *plan, false);
    if (k.can.full_lines) {
      fill(k, *plan, true);
      plan->straddle_mask = 63;
    }
  }
  bind_steps(*plan);
  kept.store(plan, std::memory_order_release);
  last.store(plan, std::memory_order_release);
  return *plan;
}

} // namespace detail

} // namespace tamsel::fft
