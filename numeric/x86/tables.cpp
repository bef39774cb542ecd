// SPDX-License-Identifier: BSD-3-Clause
// The one place that asks an x86 processor what it runs, and the SSE2, AVX
// and AVX-512 kernel tables: each set's entries of the kernels written over
// W lanes (x86/entries.inc), and the AVX table's parts layout (x86/parts.h).
// Every entry takes every argument its contract allows; the tables are the
// only choice of kernels.
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

// AVX is usable when the processor has it and the system saves the vector
// registers (OSXSAVE, XCR0 bits 1 and 2); AVX-512F when, besides, the system
// saves the mask and upper registers (XCR0 bits 5 to 7).  glibc's record and
// the compilers' __builtin_cpu_supports both check the system's part.  In a
// virtual machine each cpuid is a trip to the hypervisor (microseconds), so
// glibc's record, made by the dynamic loader, is read where there is one.
Kernel detail::detect() {
#ifdef TAMSEL_CPU_RECORD
  if (CPU_FEATURE_ACTIVE(AVX512F)) return Kernel::avx512;
  return CPU_FEATURE_ACTIVE(AVX) ? Kernel::avx : Kernel::sse2;
#else
  __builtin_cpu_init(); // detect() may run before the compiler's own initialiser
  if (__builtin_cpu_supports("avx512f")) return Kernel::avx512;
  return __builtin_cpu_supports("avx") ? Kernel::avx : Kernel::sse2;
#endif
}

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
