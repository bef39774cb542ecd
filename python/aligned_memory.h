// SPDX-License-Identifier: BSD-3-Clause
// The memory of the Python module's new arrays: on a boundary of a given
// alignment, released by the capsule that owns it, in huge pages where the
// system gives them.  Internal to the module.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tamsel_python {

// Memory released by a capsule, on a boundary of Alignment bytes.
template <std::size_t Alignment>
inline void release(void* memory) {
  ::operator delete(memory, std::align_val_t{Alignment});
}

// Memory of 4 MiB and more is asked for in huge pages where the system
// gives them on request: the page faults of a fresh result in pages of 4
// KiB can take longer than its transform (bench/NOTES.md).  Advice only:
// nothing changes where it is refused.
inline void huge_pages(void* memory, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kLeast = std::size_t{4} << 20, kPage = 4096;
  if (bytes < kLeast) return;
  const auto start = reinterpret_cast<std::uintptr_t>(memory);
  const std::uintptr_t first = (start + kPage - 1) / kPage * kPage;
  const std::uintptr_t end = (start + bytes) / kPage * kPage;
  madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)memory;
  (void)bytes;
#endif
}

template <std::size_t Alignment>
pybind11::capsule aligned_memory(std::size_t bytes) {
  void* memory = ::operator new(bytes, std::align_val_t{Alignment});
  huge_pages(memory, bytes);
  try {
    return pybind11::capsule(memory, &release<Alignment>);
  } catch (...) {
    release<Alignment>(memory);
    throw;
  }
}

} // namespace tamsel_python
