// SPDX-License-Identifier: BSD-3-Clause
// The FFT engine: the twiddle factors and the tables of them kept for the
// lengths used, and the schedule that runs a transform's passes over the
// data with the kernels of the table in use.
#include "fft/engine.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "kernels.h"
#include "refusals.h"

namespace tamsel::fft {

void check_length(const char* routine, Integer n) {
  if (!is_power_of_two(n)) {
    tamsel::detail::refuse_argument("%s: length %d is not a power of two", routine, n);
  }
  if (n > kMaxLength) {
    tamsel::detail::refuse_argument("%s: length %d is too large (at most %d)", routine, n,
                                    kMaxLength);
  }
}

// ---- The twiddle factors.
namespace {

// The m/2 twiddle factors of sub-transform length m = 2^L for one sign S,
// made on the heap on first use (once, by the guard of the function-local
// static, whichever threads ask) and kept: a program is given, and charged,
// the memory of the tables it uses only.  A table starts on a 64-byte
// boundary, so that no factor vector of the AVX-512 kernels straddles two
// cache lines; one of a page or more at an offset within its page of its
// own, stagger(L, S), 64 bytes from the next level's and clear of a page's
// first 64 bytes, where the allocator's arrays mostly start: the passes
// read two or three tables and the data at like offsets from their starts,
// which at like offsets within a page would meet in one set of the
// first-level cache and in the check of loads against earlier stores by
// their low address bits (bench/NOTES.md).
constexpr std::size_t kPage = 4096;
constexpr int kStaggeredFrom = 9; // 2^9 Reals: a page
constexpr std::size_t stagger(int L, int S) {
  return (S == 1 ? 2624 : 1344) - 64 * std::size_t(L - kStaggeredFrom);
}
static_assert(stagger(kCachedLevels, -1) >= 128 && stagger(kStaggeredFrom, 1) + 64 <= kPage,
              "every offset within a page, clear of its first 64 bytes");

template <int L, int S>
const Real* cached_pass() {
  static const Real* const table = [] {
    constexpr std::size_t kBytes = (std::size_t{1} << L) * sizeof(Real);
    Real* made = nullptr;
    if constexpr (L < kStaggeredFrom) {
      made = static_cast<Real*>(::operator new(kBytes, std::align_val_t{64}));
    } else {
      auto* page = static_cast<unsigned char*>(
          ::operator new(stagger(L, S) + kBytes, std::align_val_t{kPage}));
      made = reinterpret_cast<Real*>(page + stagger(L, S));
    }
    Twiddle twiddle = pass_twiddle(S, Integer{1} << L);
    twiddle.generate(made, (Integer{1} << L) / 2);
    return made;
  }();
  return table;
}

template <std::size_t... I>
const Real* cached_lookup(Integer sign, int level, std::index_sequence<I...>) {
  using Lookup = const Real* (*)();
  static constexpr Lookup plus[] = {&cached_pass<int(I) + 1, 1>...};
  static constexpr Lookup minus[] = {&cached_pass<int(I) + 1, -1>...};
  return sign == 1 ? plus[level - 1]() : minus[level - 1]();
}

} // namespace

void Twiddle::generate(Real* out, Integer count) {
  for (Integer k = 0; k < count; ++k) {
    out[2 * k] = w_re;
    out[2 * k + 1] = w_im;
    advance(w_re, w_im, Step{c_re, c_im});
  }
}

Twiddle pass_twiddle(Integer sign, Integer m) {
  const Step c = angle_step(kFullTurn / static_cast<Real>(std::int64_t{sign} * m));
  return Twiddle{c.c_re, c.c_im};
}

namespace detail {

std::atomic<const Real*> kept_twiddles[2][kCachedLevels + 1];

const Real* make_twiddles(Integer sign, Integer m) {
  const int level = std::countr_zero(std::uint32_t(m));
  const Real* table = cached_lookup(sign, level, std::make_index_sequence<kCachedLevels>{});
  kept_twiddles[sign == 1 ? 0 : 1][level].store(table, std::memory_order_release);
  return table;
}

} // namespace detail

// ---- The schedule.
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
// single pass and a pair, in the first-level cache).  transform_lines runs
// its lines of up to kLongestLine values side by side, a block at a time
// (bench/NOTES.md).
constexpr Integer kPassBlock = Integer{1} << 11;
constexpr Integer kPartsLength = 4 * kPassBlock; // longest transform in the parts layout
constexpr Integer kLongestLine = Integer{1} << 13;

// Whether the values at data lie off a 64-byte boundary for the AVX-512
// kernels, so that every vector of theirs straddles two cache lines.
bool straddling(const kernels::Table& k, const Real* data) {
  return k.can.full_lines && reinterpret_cast<std::uintptr_t>(data) % 64 != 0;
}

// The passes of lengths m = first .. last over count values, each group of
// them one sweep.  Beyond a block, or where every vector straddles two
// lines, where each sweep saved counts: one pair first of 3k + 2 passes,
// two of 3k + 4, then triples.  In a block otherwise, where a triple takes
// as long as a pair pass for pass or longer: pairs, and of an odd number
// one triple last (bench/NOTES.md).  Without triples: of an odd number, the
// first alone, while its sweep is the shortest or its data still in cache,
// then pairs.
void cached_passes(const kernels::Table& k, Real* data, Integer count, Integer direction,
                   Integer first, Integer last) {
  if (first > last) return;
  const int number = std::countr_zero(std::uint32_t(last / first)) + 1;
  Integer m = first;
  auto pair = [&] {
    k.pass_pair(data, count, m / 2, cached_twiddles(direction, m),
                cached_twiddles(direction, 2 * m));
    m *= 4;
  };
  const bool throughout = count > kPassBlock || straddling(k, data);
  if (k.can.triples && number > 1 && (throughout || number % 2 != 0)) {
    const int pairs = !throughout        ? (number - 3) / 2
                      : number % 3 == 0 ? 0
                      : number % 3 == 2 ? 1
                                        : 2;
    for (int p = pairs; p > 0; --p) pair();
    for (; m <= last; m *= 8) {
      k.pass_triple(data, count, m / 2, cached_twiddles(direction, m),
                    cached_twiddles(direction, 2 * m), cached_twiddles(direction, 4 * m));
    }
    return;
  }
  if (number % 2 != 0) {
    k.pass(data, count, m / 2, cached_twiddles(direction, m), 0, m / 2);
    m *= 2;
  }
  while (m < last) pair();
}

// The passes of lengths m = first .. last beyond the kept tables, one at a
// time, with factors made a chunk at a time: the chunk (8 KiB) sits on the
// stack only when such a pass runs, not under every transform's kernels.
[[gnu::noinline]] void uncached_passes(const kernels::Table& k, Real* data, Integer count,
                                       Integer direction, Integer first, Integer last) {
  for (Integer m = first; m <= last; m *= 2) {
    Twiddle twiddle = pass_twiddle(direction, m);
    Real factors[2 * kChunk];
    for (Integer j0 = 0; j0 < m / 2; j0 += kChunk) {
      twiddle.generate(factors, kChunk);
      k.pass(data, count, m / 2, factors, j0, kChunk);
    }
  }
}

// How a transform's values stand when its passes begin.
enum class Start {
  unpermuted,    // in their own order: the permutation goes with the first two passes
  permuted,      // in bit-reversed order
  first_two_done // permuted and through the first two passes
};

// The passes of a transform of count >= 2 values, m = 2 .. through: the
// first two (with the permutation where the values are unpermuted), block
// by block up to kPassBlock (or half of it), then the rest over the whole
// array as cached_passes groups them, and uncached_passes beyond.
void passes(const kernels::Table& k, Real* data, Integer count, Integer direction,
            Integer through, Start start) {
  const Real* w2 = cached_twiddles(direction, 2);
  if (count == 2) {
    k.pass(data, count, 1, w2, 0, 1);
    return;
  }
  const Real* w4 = cached_twiddles(direction, 4);
  if (start == Start::unpermuted) {
    k.reverse_first_two(data, count, w2, w4, reversed_order(count / 16));
  }
  if (count <= kPassBlock) {
    if (start == Start::permuted) k.first_two_passes(data, count, w2, w4);
    return cached_passes(k, data, count, direction, 8, through);
  }
  const Integer block = kPassBlock;
  const Integer cached = through < kCachedLength ? through : kCachedLength;
  Integer in_block = through < block ? through : block;
  // A whole-array pass that would go alone takes the blocks' last pass
  // with it: an odd number of them in pairs, or the only one.
  const int later = std::countr_zero(std::uint32_t(cached / block));
  const bool alone = k.can.triples ? later == 1 : later % 2 != 0;
  if (block < count && in_block == block && alone) in_block /= 2;
  for (Integer first = 0; first < count; first += block) {
    Real* part = data + 2 * first;
    if (start == Start::permuted) k.first_two_passes(part, block, w2, w4);
    cached_passes(k, part, block, direction, 8, in_block);
  }
  cached_passes(k, data, count, direction, 2 * in_block, cached);
  if (2 * cached <= through) uncached_passes(k, data, count, direction, 2 * cached, through);
}

// Whether the kernel table's reverse_first_two takes count values: at every
// size its orders reach (reversed_order up to kMaxOrder, so 2^20 values).
// Joined to the first two passes, the permutation needs no sweep of the
// array of its own; its tiles' partners lie anywhere in the array, so what
// that gains depends on the second-level cache (bench/NOTES.md).
bool fused_start(Integer count) { return count >= 16 && count <= 16 * kMaxOrder; }

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

bool through_scratch(const kernels::Table& k, const Real* data, Integer count) {
  return straddling(k, data) && count >= 16 && count <= kScratchLength;
}

template <Integer kReals, class Work>
[[gnu::noinline]] void in_scratch(const Work& work) {
  alignas(64) Real scratch[kReals];
  work(scratch);
}

// work(scratch) with an aligned scratch of at least 2 * count Reals.
template <class Work>
void with_scratch(Integer count, const Work& work) {
  if (count <= 64) return in_scratch<128>(work);
  if (count <= 256) return in_scratch<512>(work);
  if (count <= 1024) return in_scratch<2048>(work);
  in_scratch<2 * kScratchLength>(work);
}

// The passes m = 2 .. through of the count values at data in the aligned
// copy, which the permutation with the first two passes reads them into;
// then write_back(copy) runs the last passes from the copy into data.
template <class WriteBack>
void in_aligned_copy(const kernels::Table& k, Real* data, Integer count, Integer direction,
                     Integer through, const WriteBack& write_back) {
  with_scratch(count, [&](Real* scratch) {
    k.reverse_first_two_to(data, scratch, count, cached_twiddles(direction, 2),
                           cached_twiddles(direction, 4), reversed_order(count / 16));
    cached_passes(k, scratch, count, direction, 8, through);
    write_back(scratch);
  });
}

// transform's permutation and its passes m = 2 .. through, in place.
void transform_through(const kernels::Table& k, Real* data, Integer count, Integer direction,
                       Integer through) {
  if (fused_start(count)) return passes(k, data, count, direction, through, Start::unpermuted);
  bit_reverse(data, count);
  passes(k, data, count, direction, through, Start::permuted);
}

// The passes m = first .. count of count values in pairs (an even number
// of passes), in the parts layout (kernels::Table::pass_parts): the first
// pair reading the values in their own layout with from_values, the last
// leaving them in it with to_values.
void parts_pairs(const kernels::Table& k, Real* data, Integer count, Integer direction,
                 Integer first, bool from_values, bool to_values) {
  for (Integer m = first; m < count; m *= 4, from_values = false) {
    k.pass_pair_parts(data, count, m / 2, cached_twiddles(direction, m),
                      cached_twiddles(direction, 2 * m), from_values, to_values && 2 * m == count);
  }
}

// The passes m = 8 .. count (count >= 16) of a transform whose first two
// are done, in the parts layout, the first reading the values in their own
// layout and, with to_values, the last leaving them in it: of an odd
// number, the first alone, then pairs.
void parts_passes(const kernels::Table& k, Real* data, Integer count, Integer direction,
                  bool to_values) {
  if (std::countr_zero(std::uint32_t(count)) % 2 == 0) {
    return parts_pairs(k, data, count, direction, 8, true, to_values);
  }
  k.pass_parts(data, count, 4, cached_twiddles(direction, 8));
  parts_pairs(k, data, count, direction, 16, false, to_values);
}

// The passes from the third of a transform of count values (16 to
// kPartsLength) whose permutation and first two passes are done, in the
// parts layout, left in it unless to_values.  Beyond a block, the passes
// up to a block's length (or half of it, so that the rest go in pairs) run
// block by block, then the rest over the whole array in pairs.
void parts_after_first_two(const kernels::Table& k, Real* data, Integer count,
                           Integer direction, bool to_values) {
  if (count <= kPassBlock) return parts_passes(k, data, count, direction, to_values);
  const bool odd = std::countr_zero(std::uint32_t(count / kPassBlock)) % 2 != 0;
  const Integer block = odd ? kPassBlock / 2 : kPassBlock;
  for (Integer first = 0; first < count; first += block) {
    parts_passes(k, data + 2 * first, block, direction, false);
  }
  parts_pairs(k, data, count, direction, 2 * block, false, to_values);
}

// transform's permutation and passes (count from 16 to kPartsLength) with
// those from the third in the parts layout, left in it unless to_values.
void parts_transform(const kernels::Table& k, Real* data, Integer count, Integer direction,
                     bool to_values) {
  // Straight to the kernel, not through passes()'s schedule, whose
  // branches the small transforms feel (bench/NOTES.md).
  k.reverse_first_two(data, count, cached_twiddles(direction, 2), cached_twiddles(direction, 4),
                      reversed_order(count / 16));
  parts_after_first_two(k, data, count, direction, to_values);
}

} // namespace

void transform(Real* data, Integer count, Integer direction) {
  const kernels::Table& k = kernels::active();
  // With a table that has them, the passes after the first two in the
  // parts layout, where no butterfly needs a shuffle: from 32 values (at
  // 16, a single pair, nothing is saved) to kPartsLength (beyond, the
  // passes in pairs take more sweeps than triples would; bench/NOTES.md).
  if (k.can.parts_layout && count >= 32 && count <= kPartsLength) {
    return parts_transform(k, data, count, direction, true);
  }
  if (!through_scratch(k, data, count)) {
    return transform_through(k, data, count, direction, count);
  }
  in_aligned_copy(k, data, count, direction, count / 4, [&](const Real* copy) {
    k.pass_pair_to(copy, data, count, count / 4, cached_twiddles(direction, count / 2),
                   cached_twiddles(direction, count));
  });
}

bool transform_interleaved(const Real* re, const Real* im, Real* out, Integer count,
                           Integer direction) {
  // Up to 2^13 values the tiles go straight to their places, with no sweep
  // of their own to interleave the values.  Beyond 2^11, the twelve rows a
  // tile reads and writes in re, im and out lie 8 KiB or more apart, all in
  // one set of the first-level cache: one of 12 ways holds them (with the
  // tiles in the order of the kernels' tile_step), one of 8 ways is
  // crowded, and there interleaving first, then permuting in place, would
  // be faster (bench/NOTES.md).
  if (count < 16 || count > 4 * kPassBlock) return false;
  const kernels::Table& k = kernels::active();
  k.interleave_first_two(re, im, out, count, cached_twiddles(direction, 2),
                         cached_twiddles(direction, 4), reversed_order(count / 16));
  // The passes after the first two in the parts layout where the table has
  // it, as transform runs them.
  static_assert(4 * kPassBlock <= kPartsLength);
  if (k.can.parts_layout && count >= 32) {
    parts_after_first_two(k, out, count, direction, true);
  } else {
    passes(k, out, count, direction, count, Start::first_two_done);
  }
  return true;
}

namespace {

// The passes of lengths up to `through` of `lines` lines of count values
// side by side, 16 <= count <= kLongestLine: such lines make one array whose
// passes of lengths up to count are those of each line, so the permutation
// and the first two passes go line by line, then each later pass over a
// run of lines of kPassBlock values as one sweep, a run that stays in the
// first-level cache as a block does (bench/NOTES.md).  A line longer than a
// block goes alone, through the blocks of passes().
void lines_through(const kernels::Table& k, Real* data, Integer count, Integer lines,
                   Integer direction, Integer through) {
  if (count > kPassBlock) {
    for (Integer line = 0; line < lines; ++line) {
      passes(k, data + 2 * line * count, count, direction, through, Start::unpermuted);
    }
    return;
  }
  const Integer run = kPassBlock / count;
  const Real* w2 = cached_twiddles(direction, 2);
  const Real* w4 = cached_twiddles(direction, 4);
  const std::uint16_t* order = reversed_order(count / 16);
  for (Integer first = 0; first < lines; first += run) {
    const Integer taken = lines - first < run ? lines - first : run;
    Real* part = data + 2 * first * count;
    for (Integer line = 0; line < taken; ++line) {
      k.reverse_first_two(part + 2 * line * count, count, w2, w4, order);
    }
    cached_passes(k, part, taken * count, direction, 8, through);
  }
}

} // namespace

void transform_lines(Real* data, Integer count, Integer lines, Integer direction) {
  if (count < 16 || count > kLongestLine) {
    for (Integer line = 0; line < lines; ++line) {
      transform(data + 2 * line * count, count, direction);
    }
    return;
  }
  lines_through(kernels::active(), data, count, lines, direction, count);
}

bool transform_lines_permuted(Real* data, Integer count, Integer lines, Integer group,
                              Integer direction) {
  if (count < 16 || count > kLongestLine) return false;
  // All but the last two passes as transform_lines does them, then those
  // two line by line, each pair of lines r and rev(r) read together and
  // stored in each other's place: the lines are exchanged without a sweep
  // of their own.
  const kernels::Table& k = kernels::active();
  lines_through(k, data, count, lines, direction, count / 4);
  const Real* wa = cached_twiddles(direction, count / 2);
  const Real* wb = cached_twiddles(direction, count);
  for (Integer g = 0; g < lines; g += group) {
    Real* const block = data + 2 * g * count;
    for (Integer i = 0, r = 0; i < group; ++i, r = next_reversed(r, group)) {
      Real* const line = block + 2 * i * count;
      if (r == i) k.pass_pair(line, count, count / 4, wa, wb);
      if (r > i) k.pass_pair_swap(line, block + 2 * r * count, count, count / 4, wa, wb);
    }
  }
  return true;
}

bool transform_and_split(Real* data, Integer count, Real f) {
  if (count < 16 || count > kCachedLength / 2) return false;
  const kernels::Table& k = kernels::active();
  const Real* ws = cached_twiddles(1, 2 * count);
  // With a table that has them, the passes after the first two and the
  // splits in the parts layout, where no butterfly needs a shuffle; of an
  // odd number of passes the first goes alone, not the last
  // (bench/NOTES.md).
  if (k.can.parts_layout && count <= kPartsLength) {
    parts_transform(k, data, count, 1, false);
    k.split_from_parts(data, count, ws, f);
    return true;
  }
  const Real* wl = cached_twiddles(1, count);
  if (through_scratch(k, data, count)) {
    in_aligned_copy(k, data, count, 1, count / 2,
                    [&](const Real* copy) { k.pass_split_to(copy, data, count, wl, ws, f); });
    return true;
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
    transform_through(k, data, count, 1, count / 4);
    k.pass_pair_split(data, count, cached_twiddles(1, count / 2), wl, ws, f);
    return true;
  }
  // In the first-level cache, with a table that has triples, the last pass
  // joins the passes before it and the splits sweep alone: fused with the
  // splits, the pass costs more than it does in a triple (bench/NOTES.md).
  if (k.can.triples && count <= kPassBlock) {
    transform_through(k, data, count, 1, count);
    k.split(data, count, ws + 2, 1, count / 2, f);
    return true;
  }
  transform_through(k, data, count, 1, count / 2);
  k.pass_split(data, count, wl, ws, f);
  return true;
}

void radix2_passes(Real* data, Integer count, Integer direction) {
  passes(kernels::active(), data, count, direction, count, Start::permuted);
}

} // namespace tamsel::fft
