// SPDX-License-Identifier: BSD-3-Clause
// The one place that asks an x86 processor what it runs, and the SSE2, AVX
// and AVX-512 kernel tables: the kernels written once over W lanes, as the
// entries of each instruction set (x86/entries.inc), and those written for
// one instruction set (x86/simd.h).  Every entry takes every argument its
// contract allows; the tables are the only choice of kernels.
#include <cpuid.h>

#include "kernels.h"
#include "x86/first_steps.h"
#include "x86/passes.h"
#include "x86/simd.h"
#include "x86/spectra.h"

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

} // namespace

namespace sse2 {
constexpr int W = 2;
#define TAMSEL_ENTRY
#include "x86/entries.inc"
#undef TAMSEL_ENTRY
} // namespace sse2

namespace avx {
constexpr int W = 4;
#define TAMSEL_ENTRY __attribute__((target("avx")))
#include "x86/entries.inc"
#undef TAMSEL_ENTRY
} // namespace avx

namespace avx512 {
constexpr int W = 8;
#define TAMSEL_ENTRY __attribute__((target("avx512f")))
#include "x86/entries.inc"
#undef TAMSEL_ENTRY
} // namespace avx512

namespace {

constinit const Table kSse2{
    .kind = Kernel::sse2,
    .can = {},
    .pass = sse2::pass,
    .pass_pair = sse2::pass_pair,
    .pass_triple = sse2::pass_triple,
    .pass_pair_swap = sse2::pass_pair_swap,
    .first_two_passes = sse2::first_two_passes,
    .reverse_first_two = sse2::reverse_first_two,
    .reverse_first_two_to = sse2::reverse_first_two_to,
    .pass_pair_to = sse2::pass_pair_to,
    .butterflies = sse2::butterflies,
    .rows_pair = sse2::rows_pair,
    .rows_triple = sse2::rows_triple,
    .first_value = sse2::first_value,
    .interleave = sse2::interleave,
    .interleave_first_two = sse2::interleave_first_two,
    .exchange = sse2::exchange,
    .split = sse2::split,
    .pass_split = sse2::pass_split,
    .pass_split_to = sse2::pass_split_to,
    .pass_pair_split = sse2::pass_pair_split,
    .pass_parts = nullptr,
    .pass_pair_parts = nullptr,
    .split_from_parts = nullptr,
    .separate = sse2::separate,
    .separate_products = sse2::separate_products,
    .sums = x86::sums_sse2,
    .evaluate = x86::evaluate_sse2,
    .evaluate_two = x86::evaluate_two_sse2,
    .all_in_range = portable::all_in_range,
    .first_match = x86::first_match_sse2,
};

constinit const Table kAvx{
    .kind = Kernel::avx,
    .can = {.triples = true, .parts_layout = true},
    .pass = avx::pass,
    .pass_pair = avx::pass_pair,
    .pass_triple = avx::pass_triple,
    .pass_pair_swap = avx::pass_pair_swap,
    .first_two_passes = avx::first_two_passes,
    .reverse_first_two = avx::reverse_first_two,
    .reverse_first_two_to = avx::reverse_first_two_to,
    .pass_pair_to = avx::pass_pair_to,
    .butterflies = avx::butterflies,
    .rows_pair = avx::rows_pair,
    .rows_triple = avx::rows_triple,
    .first_value = avx::first_value,
    .interleave = avx::interleave,
    .interleave_first_two = avx::interleave_first_two,
    .exchange = avx::exchange,
    .split = avx::split,
    .pass_split = avx::pass_split,
    .pass_split_to = avx::pass_split_to,
    .pass_pair_split = avx::pass_pair_split,
    .pass_parts = x86::pass_parts_avx,
    .pass_pair_parts = x86::pass_pair_parts_avx,
    .split_from_parts = x86::split_from_parts_avx,
    .separate = avx::separate,
    .separate_products = avx::separate_products,
    .sums = x86::sums_avx,
    .evaluate = x86::evaluate_avx,
    .evaluate_two = x86::evaluate_two_avx,
    .all_in_range = x86::all_in_range_avx,
    .first_match = x86::first_match_avx,
};

constinit const Table kAvx512{
    .kind = Kernel::avx512,
    .can = {.triples = true, .triples_in_registers = true, .full_lines = true},
    .pass = avx512::pass,
    .pass_pair = avx512::pass_pair,
    .pass_triple = avx512::pass_triple,
    .pass_pair_swap = avx512::pass_pair_swap,
    .first_two_passes = avx512::first_two_passes,
    .reverse_first_two = avx512::reverse_first_two,
    .reverse_first_two_to = avx512::reverse_first_two_to,
    .pass_pair_to = avx512::pass_pair_to,
    .butterflies = avx512::butterflies,
    .rows_pair = avx512::rows_pair,
    .rows_triple = avx512::rows_triple,
    .first_value = avx512::first_value,
    .interleave = avx512::interleave,
    .interleave_first_two = avx512::interleave_first_two,
    .exchange = avx512::exchange,
    .split = avx512::split,
    .pass_split = avx512::pass_split,
    .pass_split_to = avx512::pass_split_to,
    .pass_pair_split = avx512::pass_pair_split,
    .pass_parts = nullptr,
    .pass_pair_parts = nullptr,
    .split_from_parts = nullptr,
    .separate = avx512::separate,
    .separate_products = avx512::separate_products,
    .sums = x86::sums_avx,
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
