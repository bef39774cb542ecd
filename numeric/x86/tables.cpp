// SPDX-License-Identifier: BSD-3-Clause
// The one place that asks an x86 processor what it runs, and the SSE2, AVX
// and AVX-512 kernel tables: each set's entries of the kernels written over
// W lanes (x86/entries.inc), and the AVX table's parts layout (x86/parts.h).
// Every entry takes every argument its contract allows; the tables are the
// only choice of kernels.
#include <cpuid.h>

#include "kernels.h"
#include "x86/any_passes.h"
#include "x86/first_steps.h"
#include "x86/parts.h"
#include "x86/series.h"

// glibc's record of the processor (clang rejects the header's C-only _Bool).
#if __has_include(<sys/platform/x86.h>) && !defined(__clang__)
#include <sys/platform/x86.h>
#define TAMSEL_CPU_RECORD 1
#endif

namespace tamsel::kernels {

// AVX is usable when the processor has it (CPUID leaf 1, ECX bit 28) and
// the system saves the vector registers (OSXSAVE, ECX bit 27, and XCR0
// bits 1 and 2); AVX-512F when, besides, the processor has it (leaf 7,
// EBX bit 16) and the system saves the mask and upper registers (XCR0 bits
// 5 to 7).  In a virtual machine each cpuid is a trip to the hypervisor
// (microseconds), so glibc's record, made by the dynamic loader, is read
// where there is one.
#ifdef TAMSEL_CPU_RECORD
Kernel detail::detect() {
  if (CPU_FEATURE_ACTIVE(AVX512F)) return Kernel::avx512;
  return CPU_FEATURE_ACTIVE(AVX) ? Kernel::avx : Kernel::sse2;
}
#else
Kernel detail::detect() {
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

namespace sse2 {
constexpr int W = 2;
#define TAMSEL_ENTRY
#include "x86/entries.inc"
} // namespace sse2

namespace avx {
constexpr int W = 4;
#define TAMSEL_ENTRY __attribute__((target("avx")))
#include "x86/entries.inc"
} // namespace avx

namespace avx512 {
constexpr int W = 8;
#define TAMSEL_ENTRY __attribute__((target("avx512f")))
#include "x86/entries.inc"
} // namespace avx512

namespace {
constinit const Table kSse2 = sse2::with_entries({.kind = Kernel::sse2, .can = {}});
constinit const Table kAvx = avx::with_entries({
    .kind = Kernel::avx,
    .can = {.triples = true, .parts_layout = true},
    .pass_parts = x86::pass_parts_avx,
    .pass_pair_parts = x86::pass_pair_parts_avx,
    .split_from_parts = x86::split_from_parts_avx,
});
constinit const Table kAvx512 = avx512::with_entries({
    .kind = Kernel::avx512,
    .can = {.triples = true, .triples_in_registers = true, .full_lines = true},
});
} // namespace

namespace detail {

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
