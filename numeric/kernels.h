// SPDX-License-Identifier: BSD-3-Clause
// The kernels the toolkit's routines can run, and the one they use.
//
// Every kernel does the same arithmetic, operation by operation, so the
// choice changes speed and never a result bit.  The choice is made once,
// from the processor, before main runs; afterwards the library only reads
// it, so any number of threads may call the routines.  Tests run the
// narrower kernels through a KernelOverride, and through nothing else.
//
// Internal to the toolkit; not installed.
#pragma once

#include <atomic>

#include <tamsel/numeric/types.h>

// Defined when this build compiles the x86 kernels (numeric/x86_*.cpp): on
// x86-64, and on 32-bit x86 when the compiler may use SSE2.  The only test
// of the target processor in the toolkit; every file that runs an x86
// kernel asks this, and nothing else.
#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#define TAMSEL_X86_KERNELS 1
#endif

namespace tamsel::kernels {

// From narrowest to widest; each needs the instructions of those before it.
enum class Kernel {
  portable, // plain C++ loops, the arithmetic steps one value at a time
  sse2,     // two Reals per vector (every x86-64 processor)
  avx,      // four Reals per vector, where the processor and system allow
};

// Every kernel, narrowest first; this processor and this build run those up
// to native(), the portable one always.
inline constexpr Kernel kAll[] = {Kernel::portable, Kernel::sse2, Kernel::avx};

// The widest kernel this processor and this build can run, found once.
Kernel native();

namespace detail {
extern std::atomic<Kernel> current;
} // namespace detail

// The kernel in use: native() unless a KernelOverride is alive.
inline Kernel active() { return detail::current.load(std::memory_order_relaxed); }

// For tests: runs `kernel` (or native(), if that is narrower) while the
// guard lives, and restores the kernel in use before it when it goes,
// however the scope is left.  Not for use while other threads call the
// toolkit.
class KernelOverride {
public:
  explicit KernelOverride(Kernel kernel);
  ~KernelOverride();
  KernelOverride(const KernelOverride&) = delete;
  KernelOverride& operator=(const KernelOverride&) = delete;

private:
  Kernel saved_;
};

} // namespace tamsel::kernels
