// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/kernels.h>

#ifdef TAMSEL_X86_KERNELS
#include <cpuid.h>
// glibc's record of the processor (clang rejects the header's C-only _Bool).
#if __has_include(<sys/platform/x86.h>) && !defined(__clang__)
#include <sys/platform/x86.h>
#define TAMSEL_CPU_RECORD 1
#endif
#endif

namespace tamsel::kernels {

namespace {

#ifdef TAMSEL_X86_KERNELS
// AVX is usable when the processor has it (CPUID leaf 1, ECX bit 28) and
// the system saves the vector registers (OSXSAVE, ECX bit 27, and XCR0
// bits 1 and 2).  Inside a virtual machine every cpuid instruction is a trip
// to the hypervisor (microseconds each), so glibc's record, which the
// dynamic loader has already made, is read where there is one; otherwise
// one cpuid instruction asks.
#ifdef TAMSEL_CPU_RECORD
bool detect_avx() { return CPU_FEATURE_ACTIVE(AVX); }
#else
bool detect_avx() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
  if ((ecx & (kOsxsave | kAvx)) != (kOsxsave | kAvx)) return false;
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  return (xcr0_low & 0x6u) == 0x6u;
}
#endif
#endif

Kernel detect() {
#ifdef TAMSEL_X86_KERNELS
  return detect_avx() ? Kernel::avx : Kernel::sse2;
#else
  return Kernel::portable;
#endif
}

// Made during static initialisation, before main; a routine called before
// then (from another file's static initialiser) finds the zero value,
// the portable kernel, and gives the same bits.
const Kernel kNative = detect();

} // namespace

namespace detail {
std::atomic<Kernel> current{kNative};
} // namespace detail

Kernel native() { return kNative; }

KernelOverride::KernelOverride(Kernel kernel) : saved_(active()) {
  detail::current.store(kernel < kNative ? kernel : kNative, std::memory_order_relaxed);
}

KernelOverride::~KernelOverride() { detail::current.store(saved_, std::memory_order_relaxed); }

} // namespace tamsel::kernels
