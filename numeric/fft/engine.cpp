// SPDX-License-Identifier: BSD-3-Clause
// The FFT engine: the twiddle factors and the tables of them kept for the
// lengths used, and the running of plans (plan.h), whose steps call the
// kernels of the table the plan was made for.
#include "fft/engine.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "fft/plan.h"
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
static_assert(stagger(kExactLevels, -1) >= 128 && stagger(kStaggeredFrom, 1) + 64 <= kPage,
              "every offset within a page, clear of its first 64 bytes");

template <int L, int S>
const Real* cached_pass() {
  static const Real* const table = [] {
    Real* made = detail::table_memory(L, S);
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

Real* table_memory(int L, int S) {
  const std::size_t bytes = (std::size_t{1} << L) * sizeof(Real);
  if (L < kStaggeredFrom) return static_cast<Real*>(::operator new(bytes, std::align_val_t{64}));
  auto* page = static_cast<unsigned char*>(
      ::operator new(stagger(L, S) + bytes, std::align_val_t{kPage}));
  return reinterpret_cast<Real*>(page + stagger(L, S));
}

std::atomic<const Real*> kept_twiddles[2][kCachedLevels + 1];

const Real* make_twiddles(Integer sign, Integer m) {
  const int level = std::countr_zero(std::uint32_t(m));
  const Real* table = cached_lookup(sign, level, std::make_index_sequence<kCachedLevels>{});
  kept_twiddles[sign == 1 ? 0 : 1][level].store(table, std::memory_order_release);
  return table;
}

} // namespace detail

// ---- Running plans.  Every decision is the plan's (plan.cpp); what is
// left here is the data's address, which picks the plan's schedule.
namespace {

// uncached_pass with the exact factors, four runs of them at a time
// (exact_runs), the runs 16 KiB on the stack.
[[gnu::noinline]] void exact_pass(decltype(kernels::Table::pass) pass, Real* data, Integer n,
                                  Integer h, Integer direction) {
  Real runs[8 * kRun];
  for (Integer i0 = 0; i0 < h / 4; i0 += kRun) {
    exact_runs(direction, 2 * h, i0, runs);
    pass(data, n, h, runs, i0, kRun);
    pass(data, n, h, runs + 2 * kRun, h / 2 - i0 - kRun, kRun);
    pass(data, n, h, runs + 4 * kRun, h / 2 + i0, kRun);
    pass(data, n, h, runs + 6 * kRun, h - i0 - kRun, kRun);
  }
}

// A pass of half-span h beyond the kept tables: sweep(factors, j0) for
// each chunk of its factors, j0 the first one's index, made as they go.
// The chunk (8 KiB) sits on the stack only when such a pass runs, not under
// every transform's kernels.
template <class Sweep>
[[gnu::noinline]] void in_chunks(Integer h, Integer direction, const Sweep& sweep) {
  Twiddle twiddle = pass_twiddle(direction, 2 * h);
  Real factors[2 * kChunk];
  for (Integer j0 = 0; j0 < h; j0 += kChunk) {
    twiddle.generate(factors, kChunk);
    sweep(static_cast<const Real*>(factors), j0);
  }
}

// The butterflies of a pass of half-span h rows over n rows of `lines`
// values, `stride` values apart, with the factors w_j at w[2(j - j0)] for j
// = j0 .. j0 + count - 1.
void strip_butterflies(decltype(kernels::Table::butterflies) butterflies, Real* data, Integer n,
                       Integer h, const Real* w, Integer j0, Integer count, Integer stride,
                       Integer lines) {
  for (Integer g = 0; g < n; g += 2 * h) {
    for (Integer j = j0; j < j0 + count; ++j) {
      Real* a = data + 2 * (g + j) * stride;
      butterflies(a, a + 2 * h * stride, w[2 * (j - j0)], w[2 * (j - j0) + 1], lines);
    }
  }
}

// uncached_strip_pass with the exact factors, in runs as exact_pass.
[[gnu::noinline]] void exact_strip_pass(decltype(kernels::Table::butterflies) butterflies,
                                        Real* data, Integer n, Integer h, Integer direction,
                                        Integer stride, Integer lines) {
  Real runs[8 * kRun];
  for (Integer i0 = 0; i0 < h / 4; i0 += kRun) {
    exact_runs(direction, 2 * h, i0, runs);
    const Integer j0[4] = {i0, h / 2 - i0 - kRun, h / 2 + i0, h - i0 - kRun};
    for (int r = 0; r < 4; ++r)
      strip_butterflies(butterflies, data, n, h, runs + 2 * r * kRun, j0[r], kRun, stride, lines);
  }
}

// The table entry each kind of step calls (none for a group and the plain
// permutation).
template <Op kOp>
inline constexpr std::nullptr_t kEntry = nullptr;
using T = kernels::Table;
template <> inline constexpr auto kEntry<Op::pass> = &T::pass;
template <> inline constexpr auto kEntry<Op::pass_pair> = &T::pass_pair;
template <> inline constexpr auto kEntry<Op::pass_triple> = &T::pass_triple;
template <> inline constexpr auto kEntry<Op::uncached_pass> = &T::pass;
template <> inline constexpr auto kEntry<Op::first_two_passes> = &T::first_two_passes;
template <> inline constexpr auto kEntry<Op::reverse_first_two> = &T::reverse_first_two;
template <> inline constexpr auto kEntry<Op::reverse_first_two_lines> = &T::reverse_first_two;
template <> inline constexpr auto kEntry<Op::reverse_first_two_to> = &T::reverse_first_two_to;
template <> inline constexpr auto kEntry<Op::pass_pair_to> = &T::pass_pair_to;
template <> inline constexpr auto kEntry<Op::interleave_first_two> = &T::interleave_first_two;
template <> inline constexpr auto kEntry<Op::pass_parts> = &T::pass_parts;
template <> inline constexpr auto kEntry<Op::pass_pair_parts> = &T::pass_pair_parts;
template <> inline constexpr auto kEntry<Op::split_from_parts> = &T::split_from_parts;
template <> inline constexpr auto kEntry<Op::split> = &T::split;
template <> inline constexpr auto kEntry<Op::pass_split> = &T::pass_split;
template <> inline constexpr auto kEntry<Op::pass_split_to> = &T::pass_split_to;
template <> inline constexpr auto kEntry<Op::pass_pair_split> = &T::pass_pair_split;
template <> inline constexpr auto kEntry<Op::interleave> = &T::interleave;
template <> inline constexpr auto kEntry<Op::rows_reverse> = &T::exchange;
template <> inline constexpr auto kEntry<Op::strip_pass> = &T::butterflies;
template <> inline constexpr auto kEntry<Op::strip_pass_pair> = &T::rows_pair;
template <> inline constexpr auto kEntry<Op::strip_pass_triple> = &T::rows_triple;
template <> inline constexpr auto kEntry<Op::uncached_strip_pass> = &T::butterflies;

// The step's kernel, with its own type again (bind_steps stored it as a
// function pointer of another type, which keeps it unchanged).
template <Op kOp>
auto kernel(const PlanStep& s) {
  using Entry = std::remove_cvref_t<decltype(std::declval<const T&>().*kEntry<kOp>)>;
  return reinterpret_cast<Entry>(s.kernel);
}

// Runs the steps [s, end) on the values at data, `extent` of them: each
// step through the call that bind_steps gave it, a group's inner steps
// through the group's.
inline void run(const PlanStep* s, const PlanStep* end, Real* data, Integer extent,
                const Operands& o) {
  for (; s != end; s += 1 + s->inner) s->call(*s, data, extent, o);
}

// The calls of the steps of strided lines, on the n rows at data.  What
// the loops read is in locals: the kernels they call could, for all the
// compiler knows, write the step and the operands.
template <Op kOp>
void strided_call(const PlanStep& s, Real* data, Integer n, const Operands& o) {
  const auto call = kernel<kOp>(s);
  const Integer h = s.h, stride = o.stride, lines = o.lines;
  [[maybe_unused]] const Integer span = 2 * h * stride; // from a row to the row h below it
  [[maybe_unused]] const Real* const w0 = s.w[0];
  [[maybe_unused]] const Real* const w1 = s.w[1];
  [[maybe_unused]] const Real* const w2 = s.w[2];
  if constexpr (kOp == Op::rows_reverse) {
    // The kernel exchanges multiples of 4 Reals; an odd last line's here.
    const Integer even = 2 * (lines - lines % 2);
    for (Integer i = 0, r = 0; i < n; ++i, r = next_reversed(r, n)) {
      if (r <= i) continue;
      Real* const a = data + 2 * i * stride;
      Real* const b = data + 2 * r * stride;
      if (even != 0) call(a, b, kernels::Reals{even});
      if (even != 2 * lines) {
        std::swap(a[even], b[even]);
        std::swap(a[even + 1], b[even + 1]);
      }
    }
  } else if constexpr (kOp == Op::strip_pass) {
    strip_butterflies(call, data, n, h, w0, 0, h, stride, lines);
  } else if constexpr (kOp == Op::strip_pass_pair) {
    // For each group of 4h rows and j < h: rows g+j + r*h, r = 0..3.
    for (Integer g = 0; g < n; g += 4 * h) {
      for (Integer j = 0; j < h; ++j) {
        call(data + 2 * (g + j) * stride, span, w0 + 2 * j, w1 + 2 * j, w1 + 2 * (j + h), lines);
      }
    }
  } else if constexpr (kOp == Op::strip_pass_triple) {
    // For each group of 8h rows and j < h: rows g+j + r*h, r = 0..7.
    for (Integer g = 0; g < n; g += 8 * h) {
      for (Integer j = 0; j < h; ++j) {
        call(data + 2 * (g + j) * stride, span, w0 + 2 * j, w1 + 2 * j, w1 + 2 * (j + h),
             w2 + 2 * j, 2 * h, lines);
      }
    }
  } else {
    static_assert(kOp == Op::uncached_strip_pass);
    if (s.roots == Roots::exact) return exact_strip_pass(call, data, n, h, s.j0, stride, lines);
    in_chunks(h, s.j0, [&](const Real* w, Integer j0) {
      strip_butterflies(call, data, n, h, w, j0, kChunk, stride, lines);
    });
  }
}

// The call of each kind of step: the kernel of the plan's table, given the
// step's parameters.
template <Op kOp>
void call(const PlanStep& s, Real* data, Integer extent, const Operands& o) {
  Real* const at = s.in_scratch ? o.scratch : data;
  const Integer n = s.n != 0 ? s.n : extent;
  if constexpr (kOp == Op::group) {
    const Integer times = s.times;
    const PlanStep& only = *(&s + 1);
    if (s.inner == 1) { // a kernel on each line
      for (Integer i = 0; i < times; ++i) only.call(only, data + 2 * i * s.stride, s.stride, o);
      return;
    }
    for (Integer i = 0; i < times; ++i) {
      run(&s + 1, &s + 1 + s.inner, data + 2 * i * s.stride, s.stride, o);
    }
  } else if constexpr (kOp == Op::bit_reverse) {
    bit_reverse(at, n);
  } else if constexpr (kOp == Op::pass) {
    kernel<kOp>(s)(at, n, s.h, s.w[0], s.j0, s.len);
  } else if constexpr (kOp == Op::pass_pair) {
    kernel<kOp>(s)(at, n, s.h, s.w[0], s.w[1]);
  } else if constexpr (kOp == Op::pass_triple) {
    kernel<kOp>(s)(at, n, s.h, s.w[0], s.w[1], s.w[2]);
  } else if constexpr (kOp == Op::uncached_pass) {
    if (s.roots == Roots::exact) {
      exact_pass(kernel<kOp>(s), at, n, s.h, s.j0);
    } else {
      in_chunks(s.h, s.j0, [&](const Real* w, Integer j0) {
        kernel<kOp>(s)(at, n, s.h, w, j0, kChunk);
      });
    }
  } else if constexpr (kOp == Op::first_two_passes) {
    kernel<kOp>(s)(at, n, s.w[0], s.w[1]);
  } else if constexpr (kOp == Op::reverse_first_two) {
    kernel<kOp>(s)(at, n, s.w[0], s.w[1], s.order);
  } else if constexpr (kOp == Op::reverse_first_two_lines) {
    for (Integer i = 0; i < extent; i += n) {
      kernel<kOp>(s)(at + 2 * i, n, s.w[0], s.w[1], s.order);
    }
  } else if constexpr (kOp == Op::reverse_first_two_to) {
    kernel<kOp>(s)(data, o.scratch, n, s.w[0], s.w[1], s.order);
  } else if constexpr (kOp == Op::pass_pair_to) {
    kernel<kOp>(s)(o.scratch, data, n, s.h, s.w[0], s.w[1]);
  } else if constexpr (kOp == Op::interleave_first_two) {
    kernel<kOp>(s)(o.re, o.im, data, n, s.w[0], s.w[1], s.order);
  } else if constexpr (kOp == Op::pass_parts) {
    kernel<kOp>(s)(at, n, s.h, s.w[0]);
  } else if constexpr (kOp == Op::pass_pair_parts) {
    kernel<kOp>(s)(at, n, s.h, s.w[0], s.w[1], s.from_values, s.to_values);
  } else if constexpr (kOp == Op::split_from_parts) {
    kernel<kOp>(s)(at, n, s.w[0], o.f);
  } else if constexpr (kOp == Op::split) {
    kernel<kOp>(s)(at, n, s.w[0], s.j0, s.len, o.f);
  } else if constexpr (kOp == Op::pass_split) {
    kernel<kOp>(s)(at, n, s.w[0], s.w[1], o.f);
  } else if constexpr (kOp == Op::pass_split_to) {
    kernel<kOp>(s)(o.scratch, data, n, s.w[0], s.w[1], o.f);
  } else if constexpr (kOp == Op::pass_pair_split) {
    kernel<kOp>(s)(at, n, s.w[0], s.w[1], s.w[2], o.f);
  } else if constexpr (kOp == Op::interleave) {
    kernel<kOp>(s)(o.re, o.im, data, n, s.order);
  } else {
    strided_call<kOp>(s, at, n, o);
  }
}

// Gives a step of kind kOp its call and its kernel in table k.
template <Op kOp>
void bind(PlanStep& s, const kernels::Table& k) {
  s.call = &call<kOp>;
  if constexpr (!std::is_same_v<decltype(kEntry<kOp>), const std::nullptr_t>) {
    s.kernel = reinterpret_cast<PlanStep::Kernel>(k.*kEntry<kOp>);
  }
}
using Bind = void (*)(PlanStep&, const kernels::Table&);
template <std::size_t... I>
constexpr std::array<Bind, sizeof...(I)> binds(std::index_sequence<I...>) {
  return {&bind<static_cast<Op>(I)>...};
}

template <Integer kReals>
[[gnu::noinline]] void in_scratch(const Schedule& schedule, Real* data,
                                  Integer extent, Operands o) {
  alignas(64) Real scratch[kReals];
  o.scratch = scratch;
  run(schedule.begin(), schedule.end(), data, extent, o);
}

// The schedule in an aligned copy on the stack of at least 2 * count Reals:
// 1 KiB up to 64 values, and 32 KiB at most, so that threads with small
// stacks can still transform small arrays.
[[gnu::noinline]] void with_scratch(const Plan& plan, const Schedule& schedule, Real* data,
                                    Integer extent, const Operands& o) {
  if (plan.count <= 64) return in_scratch<128>(schedule, data, extent, o);
  if (plan.count <= 256) return in_scratch<512>(schedule, data, extent, o);
  if (plan.count <= 1024) return in_scratch<2048>(schedule, data, extent, o);
  in_scratch<2 * kMaxScratch>(schedule, data, extent, o);
}

// Runs the plan's schedule for the values at data (the output of twofft's
// interleaving), `extent` of them.
inline void execute(const Plan& plan, Real* data, Integer extent, const Operands& o) {
  const Schedule& schedule = schedule_for(plan, data);
  if (schedule.scratch) return with_scratch(plan, schedule, data, extent, o);
  run(schedule.begin(), schedule.end(), data, extent, o);
}

// The plan of lines (a run of them side by side at a time) on `lines` lines
// of count values at data.
void execute_lines(const Plan& plan, Real* data, Integer lines) {
  const Integer count = plan.count;
  for (Integer first = 0; first < lines; first += plan.run) {
    const Integer taken = lines - first < plan.run ? lines - first : plan.run;
    execute(plan, data + 2 * first * count, taken * count, Operands{});
  }
}

} // namespace

namespace detail {
void bind_steps(Plan& plan) {
  static constexpr auto kBinds =
      binds(std::make_index_sequence<std::size_t(kOps)>{});
  for (Schedule* schedule : {&plan.aligned, &plan.straddling}) {
    for (int i = 0; i < schedule->size; ++i) {
      PlanStep& step = schedule->steps[i];
      kBinds[static_cast<int>(step.op)](step, *plan.table);
    }
  }
}
} // namespace detail

void transform(Real* data, Integer count, Integer direction, Roots roots) {
  const kernels::Table& k = kernels::active();
  execute(plan_for(k, Shape::complex, count, direction, roots), data, count, Operands{});
}

void transform_interleaved(const Real* re, const Real* im, Real* out, Integer count,
                           Integer direction) {
  const Plan& plan = plan_for(kernels::active(), Shape::interleaved, count, direction);
  Operands o;
  o.re = re;
  o.im = im;
  execute(plan, out, count, o);
}

void transform_lines(Real* data, Integer count, Integer lines, Integer direction,
                     Roots roots) {
  const kernels::Table& k = kernels::active();
  const Plan& plan = plan_for(k, Shape::lines, count, direction, roots);
  if (plan.takes) return execute_lines(plan, data, lines);
  const Plan& single = plan_for(k, Shape::complex, count, direction, roots);
  for (Integer line = 0; line < lines; ++line) {
    execute(single, data + 2 * line * count, count, Operands{});
  }
}

bool transform_lines_permuted(Real* data, Integer count, Integer lines, Integer group,
                              Integer direction) {
  const kernels::Table& k = kernels::active();
  const Plan& plan = plan_for(k, Shape::lines_permuted, count, direction);
  if (!plan.takes) return false;
  // All but the last two passes as transform_lines does them, then those
  // two line by line, each pair of lines r and rev(r) read together and
  // stored in each other's place: the lines are exchanged without a sweep
  // of their own.
  execute_lines(plan, data, lines);
  const PlanStep& last = plan.closing;
  for (Integer g = 0; g < lines; g += group) {
    Real* const block = data + 2 * g * count;
    for (Integer i = 0, r = 0; i < group; ++i, r = next_reversed(r, group)) {
      Real* const line = block + 2 * i * count;
      if (r == i) k.pass_pair(line, last.n, last.h, last.w[0], last.w[1]);
      if (r > i) k.pass_pair_swap(line, block + 2 * r * count, last.n, last.h, last.w[0], last.w[1]);
    }
  }
  return true;
}

namespace {

// The `lines` adjacent lines at data, rows `stride` values apart, in strips
// of plan.run lines through all steps (of the first schedule: strided
// kernels take rows at any offset, so the two are the same).
void run_strips(const Plan& plan, Real* data, Integer stride, Integer lines) {
  Operands o;
  o.stride = stride;
  o.lines = plan.run < lines ? plan.run : lines;
  for (Integer e = 0; e < lines; e += o.lines) {
    if (lines - e < o.lines) o.lines = lines - e;
    run(plan.aligned.begin(), plan.aligned.end(), data + 2 * e, plan.count, o);
  }
}

} // namespace

void transform_strided(Real* data, Integer L, Integer B, Integer A, Integer direction,
                       bool rows_permuted) {
  const Shape shape = rows_permuted ? Shape::strided_permuted : Shape::strided;
  const Plan& plan = plan_for(kernels::active(), shape, L, direction);
  for (Integer a = 0; a < A; ++a) run_strips(plan, data + 2 * a * L * B, B, B);
}

void transform_strips(Real* data, Integer L, Integer stride, Integer lines, Integer direction,
                      Roots roots) {
  run_strips(plan_for(kernels::active(), Shape::strided, L, direction, roots), data, stride,
             lines);
}

void transform_planes(Real* data, Integer L, Integer next, Integer planes, Integer direction) {
  for (Integer p = 0; p < planes; ++p) {
    Real* const plane = data + 2 * p * (L * next);
    const bool join = transform_lines_permuted(plane, L, next, next, direction);
    if (!join) transform_lines(plane, L, next, direction);
    transform_strided(plane, next, L, 1, direction, join);
  }
}

bool transform_and_split(Real* data, Integer count, Real f) {
  return transform_and_split(data, count, f, 1, Roots::recurrence);
}

bool transform_and_split(Real* data, Integer count, Real f, Integer direction, Roots roots) {
  const Plan& plan = plan_for(kernels::active(), Shape::real_split, count, direction, roots);
  if (!plan.takes) return false;
  Operands o;
  o.f = f;
  execute(plan, data, count, o);
  return true;
}

void radix2_passes(Real* data, Integer count, Integer direction) {
  execute(plan_for(kernels::active(), Shape::permuted, count, direction), data, count,
          Operands{});
}

} // namespace tamsel::fft
