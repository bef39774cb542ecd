// SPDX-License-Identifier: BSD-3-Clause
// The one place that asks an x86 processor what it runs, and the SSE2, AVX
// and AVX-512 kernel tables.  An entry whose instruction set has no kernel
// of its own is made from the narrower kernels, in the portable kernel's
// order.
#include <cpuid.h>

#include "steps.h"
#include "kernels.h"
#include "x86/simd.h"

// glibc's record of the processor (clang rejects the header's C-only _Bool).
#if __has_include(<sys/platform/x86.h>) && !defined(__clang__)
#include <sys/platform/x86.h>
#define TAMSEL_CPU_RECORD 1
#endif

namespace tamsel::kernels {

namespace {

// AVX is usable when the processor has it (CPUID leaf 1, ECX bit 28) and
// the system saves the vector registers (OSXSAVE, ECX bit 27, and XCR0
// bits 1 and 2); AVX-512F when, besides, the processor has it (leaf 7,
// EBX bit 16) and the system saves the mask and upper registers too (XCR0
// bits 5 to 7).  Inside a virtual machine every cpuid instruction is a trip
// to the hypervisor (microseconds each), so glibc's record, which the
// dynamic loader has already made, is read where there is one; otherwise
// the cpuid instructions ask.
#ifdef TAMSEL_CPU_RECORD
Kernel widest() {
  if (CPU_FEATURE_ACTIVE(AVX512F)) return Kernel::avx512;
  return CPU_FEATURE_ACTIVE(AVX) ? Kernel::avx : Kernel::sse2;
}
#else
Kernel widest() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return Kernel::sse2;
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
  if ((ecx & (kOsxsave | kAvx)) != (kOsxsave | kAvx)) return Kernel::sse2;
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  if ((xcr0_low & 0x6u) != 0x6u) return Kernel::sse2;
  constexpr unsigned kAvx512f = 1u << 16;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 && (ebx & kAvx512f) != 0 &&
      (xcr0_low & 0xE0u) == 0xE0u) {
    return Kernel::avx512;
  }
  return Kernel::avx;
}
#endif

// ---- SSE2 entries made from SSE2 kernels.

void pass_pair_sse2(Real* data, Integer n, Integer h, const Real* wa, const Real* wb) {
  x86::pass_sse2(data, n, h, wa, 0, h);
  x86::pass_sse2(data, n, 2 * h, wb, 0, 2 * h);
}

void pass_triple_sse2(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                      const Real* wc) {
  pass_pair_sse2(data, n, h, wa, wb);
  x86::pass_sse2(data, n, 4 * h, wc, 0, 4 * h);
}

void pass_pair_swap_sse2(Real* a, Real* b, Integer n, Integer h, const Real* wa,
                         const Real* wb) {
  pass_pair_sse2(a, n, h, wa, wb);
  pass_pair_sse2(b, n, h, wa, wb);
  x86::exchange_sse2(a, b, Reals{2 * n});
}

void first_two_passes_sse2(Real* data, Integer n, const Real* w2, const Real* w4) {
  x86::pass_sse2(data, n, 1, w2, 0, 1);
  x86::pass_sse2(data, n, 2, w4, 0, 2);
}

void reverse_first_two_sse2(Real* data, Integer n, const Real* w2, const Real* w4,
                            const std::uint16_t*) {
  fft::bit_reverse(data, n);
  first_two_passes_sse2(data, n, w2, w4);
}

void interleave_first_two_sse2(const Real* re, const Real* im, Real* out, Integer n,
                               const Real* w2, const Real* w4, const std::uint16_t* order) {
  x86::interleave_sse2(re, im, out, n, nullptr);
  reverse_first_two_sse2(out, n, w2, w4, order);
}

void rows_pair_sse2(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                    Integer count) {
  x86::butterflies_sse2(a, a + span, fa[0], fa[1], count);
  x86::butterflies_sse2(a + 2 * span, a + 3 * span, fa[0], fa[1], count);
  x86::butterflies_sse2(a, a + 2 * span, f0[0], f0[1], count);
  x86::butterflies_sse2(a + span, a + 3 * span, f1[0], f1[1], count);
}

void rows_triple_sse2(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                      const Real* fc, Integer fc_step, Integer count) {
  rows_pair_sse2(a, span, fa, f0, f1, count);
  rows_pair_sse2(a + 4 * span, span, fa, f0, f1, count);
  for (Integer r = 0; r < 4; ++r) {
    x86::butterflies_sse2(a + r * span, a + (r + 4) * span, fc[r * fc_step], fc[r * fc_step + 1],
                          count);
  }
}

void pass_split_sse2(Real* data, Integer count, const Real* wl, const Real* ws, Real f) {
  x86::pass_sse2(data, count, count / 2, wl, 0, count / 2);
  x86::split_sse2(data, count, ws + 2, 1, count / 2, f);
}

void pass_pair_split_sse2(Real* data, Integer count, const Real* wa, const Real* wl,
                          const Real* ws, Real f) {
  x86::pass_sse2(data, count, count / 4, wa, 0, count / 4);
  pass_split_sse2(data, count, wl, ws, f);
}

Integer evaluate_two_sse2(Real a, Real b, const Real* c1, const Real* c2, Integer terms,
                          const Real* x, Real* result1, Real* result2, Integer count) {
  const Integer done = x86::evaluate_sse2(a, b, c1, terms, x, result1, count);
  x86::evaluate_sse2(a, b, c2, terms, x, result2, count);
  return done;
}

// ---- AVX entries for the arguments the AVX kernels do not take.

void pass_avx(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count) {
  if (count % 2 == 0) return x86::pass_avx(data, n, h, w, j0, count);
  x86::pass_sse2(data, n, h, w, j0, count);
}

void pass_pair_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb) {
  if (h % 2 == 0) return x86::pass_pair_avx(data, n, h, wa, wb);
  pass_avx(data, n, h, wa, 0, h);
  pass_avx(data, n, 2 * h, wb, 0, 2 * h);
}

void pass_triple_avx(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                     const Real* wc) {
  if (h % 2 == 0) return x86::pass_triple_avx(data, n, h, wa, wb, wc);
  pass_pair_avx(data, n, h, wa, wb);
  pass_avx(data, n, 4 * h, wc, 0, 4 * h);
}

void pass_pair_split_avx(Real* data, Integer count, const Real* wa, const Real* wl,
                         const Real* ws, Real f) {
  if (count >= 32) return x86::pass_pair_split_avx(data, count, wa, wl, ws, f);
  pass_avx(data, count, count / 4, wa, 0, count / 4);
  x86::pass_split_avx(data, count, wl, ws, f);
}

void pass_pair_swap_avx(Real* a, Real* b, Integer n, Integer h, const Real* wa,
                        const Real* wb) {
  if (h % 2 == 0) return x86::pass_pair_swap_avx(a, b, n, h, wa, wb);
  pass_pair_avx(a, n, h, wa, wb);
  pass_pair_avx(b, n, h, wa, wb);
  x86::exchange_avx(a, b, Reals{2 * n});
}

// ---- AVX-512 entries: the AVX-512 kernels where they take the arguments,
// the AVX entries elsewhere.

void pass_avx512(Real* data, Integer n, Integer h, const Real* w, Integer j0, Integer count) {
  if (count % 4 == 0) return x86::pass_avx512(data, n, h, w, j0, count);
  pass_avx(data, n, h, w, j0, count);
}

void pass_pair_avx512(Real* data, Integer n, Integer h, const Real* wa, const Real* wb) {
  if (h % 4 == 0) return x86::pass_pair_avx512(data, n, h, wa, wb);
  pass_pair_avx(data, n, h, wa, wb);
}

void pass_triple_avx512(Real* data, Integer n, Integer h, const Real* wa, const Real* wb,
                        const Real* wc) {
  if (h % 4 == 0) return x86::pass_triple_avx512(data, n, h, wa, wb, wc);
  pass_pair_avx512(data, n, h, wa, wb);
  pass_avx512(data, n, 4 * h, wc, 0, 4 * h);
}

void pass_pair_swap_avx512(Real* a, Real* b, Integer n, Integer h, const Real* wa,
                           const Real* wb) {
  if (h % 4 == 0) return x86::pass_pair_swap_avx512(a, b, n, h, wa, wb);
  pass_pair_swap_avx(a, b, n, h, wa, wb);
}

void pass_pair_split_avx512(Real* data, Integer count, const Real* wa, const Real* wl,
                            const Real* ws, Real f) {
  if (count >= 32) return x86::pass_pair_split_avx512(data, count, wa, wl, ws, f);
  pass_pair_split_avx(data, count, wa, wl, ws, f);
}

void interleave_first_two_avx512(const Real* re, const Real* im, Real* out, Integer n,
                                 const Real* w2, const Real* w4, const std::uint16_t* order) {
  if (n >= 32) return x86::interleave_first_two_avx512(re, im, out, n, w2, w4, order);
  x86::interleave_first_two_avx(re, im, out, n, w2, w4, order);
}

void rows_pair_avx512(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                      Integer count) {
  if (count % 4 == 0) return x86::rows_pair_avx512(a, span, fa, f0, f1, count);
  x86::rows_pair_avx(a, span, fa, f0, f1, count);
}

void rows_triple_avx512(Real* a, Integer span, const Real* fa, const Real* f0, const Real* f1,
                        const Real* fc, Integer fc_step, Integer count) {
  if (count % 4 == 0) return x86::rows_triple_avx512(a, span, fa, f0, f1, fc, fc_step, count);
  x86::rows_triple_avx(a, span, fa, f0, f1, fc, fc_step, count);
}

void sums_avx(const Real* f, Integer n, const Real* term, Real* sum) {
  if (n <= 16) return x86::sums_avx(f, n, term, sum);
  x86::sums_sse2(f, n, term, sum);
}

constinit const Table kSse2{
    .kind = Kernel::sse2,
    .can = {},
    .pass = x86::pass_sse2,
    .pass_pair = pass_pair_sse2,
    .pass_triple = pass_triple_sse2,
    .pass_pair_swap = pass_pair_swap_sse2,
    .first_two_passes = first_two_passes_sse2,
    .reverse_first_two = reverse_first_two_sse2,
    .reverse_first_two_to = portable::reverse_first_two_to,
    .pass_pair_to = portable::pass_pair_to,
    .butterflies = x86::butterflies_sse2,
    .rows_pair = rows_pair_sse2,
    .rows_triple = rows_triple_sse2,
    .first_value = x86::first_value_sse2,
    .interleave = x86::interleave_sse2,
    .interleave_first_two = interleave_first_two_sse2,
    .exchange = x86::exchange_sse2,
    .split = x86::split_sse2,
    .pass_split = pass_split_sse2,
    .pass_split_to = portable::pass_split_to,
    .pass_pair_split = pass_pair_split_sse2,
    .pass_parts = nullptr,
    .pass_pair_parts = nullptr,
    .split_from_parts = nullptr,
    .separate = x86::separate_sse2,
    .separate_products = x86::separate_products_sse2,
    .sums = x86::sums_sse2,
    .evaluate = x86::evaluate_sse2,
    .evaluate_two = evaluate_two_sse2,
    .all_in_range = portable::all_in_range,
    .first_match = x86::first_match_sse2,
};

constinit const Table kAvx{
    .kind = Kernel::avx,
    .can = {.triples = true, .parts_layout = true},
    .pass = pass_avx,
    .pass_pair = pass_pair_avx,
    .pass_triple = pass_triple_avx,
    .pass_pair_swap = pass_pair_swap_avx,
    .first_two_passes = x86::first_two_passes_avx,
    .reverse_first_two = x86::reverse_first_two_avx,
    .reverse_first_two_to = portable::reverse_first_two_to,
    .pass_pair_to = portable::pass_pair_to,
    .butterflies = x86::butterflies_avx,
    .rows_pair = x86::rows_pair_avx,
    .rows_triple = x86::rows_triple_avx,
    .first_value = x86::first_value_avx,
    .interleave = x86::interleave_avx,
    .interleave_first_two = x86::interleave_first_two_avx,
    .exchange = x86::exchange_avx,
    .split = x86::split_avx,
    .pass_split = x86::pass_split_avx,
    .pass_split_to = portable::pass_split_to,
    .pass_pair_split = pass_pair_split_avx,
    .pass_parts = x86::pass_parts_avx,
    .pass_pair_parts = x86::pass_pair_parts_avx,
    .split_from_parts = x86::split_from_parts_avx,
    .separate = x86::separate_avx,
    .separate_products = x86::separate_products_avx,
    .sums = sums_avx,
    .evaluate = x86::evaluate_avx,
    .evaluate_two = x86::evaluate_two_avx,
    .all_in_range = x86::all_in_range_avx,
    .first_match = x86::first_match_avx,
};

constinit const Table kAvx512{
    .kind = Kernel::avx512,
    .can = {.triples = true, .triples_in_registers = true, .full_lines = true},
    .pass = pass_avx512,
    .pass_pair = pass_pair_avx512,
    .pass_triple = pass_triple_avx512,
    .pass_pair_swap = pass_pair_swap_avx512,
    .first_two_passes = x86::first_two_passes_avx,
    .reverse_first_two = x86::reverse_first_two_avx512,
    .reverse_first_two_to = x86::reverse_first_two_to_avx512,
    .pass_pair_to = x86::pass_pair_to_avx512,
    .butterflies = x86::butterflies_avx512,
    .rows_pair = rows_pair_avx512,
    .rows_triple = rows_triple_avx512,
    .first_value = x86::first_value_avx,
    .interleave = x86::interleave_avx512,
    .interleave_first_two = interleave_first_two_avx512,
    .exchange = x86::exchange_avx512,
    .split = x86::split_avx512,
    .pass_split = x86::pass_split_avx512,
    .pass_split_to = x86::pass_split_to_avx512,
    .pass_pair_split = pass_pair_split_avx512,
    .pass_parts = nullptr,
    .pass_pair_parts = nullptr,
    .split_from_parts = nullptr,
    .separate = x86::separate_avx512,
    .separate_products = x86::separate_products_avx512,
    .sums = sums_avx,
    .evaluate = x86::evaluate_avx,
    .evaluate_two = x86::evaluate_two_avx512,
    .all_in_range = x86::all_in_range_avx,
    .first_match = x86::first_match_avx,
};

} // namespace

namespace detail {

Kernel detect() { return widest(); }

const Table& table(Kernel kernel) {
  switch (kernel) {
  case Kernel::avx512: return kAvx512;
  case Kernel::avx: return kAvx;
  case Kernel::sse2: return kSse2;
  case Kernel::portable: break;
  }
  return portable::table;
}

} // namespace detail

} // namespace tamsel::kernels
