// SPDX-License-Identifier: BSD-3-Clause
// Work split between threads: the items [0, count) in chunks of contiguous
// items that the threads take in turn.  Which thread does an item never
// changes what is computed for it, so the split is free to follow the
// thread count and the system's scheduling.
//
// Internal to the toolkit; not installed.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace tamsel::detail {

// Chunks per thread: enough that a thread slowed by other work leaves its
// share to the others, few enough that taking one costs nothing.
inline constexpr std::size_t kChunksPerThread = 8;

// The number of threads in_parts runs: min(threads, count).
inline std::size_t workers_for(std::size_t count, unsigned threads) {
  return std::min<std::size_t>(threads, count);
}

// body(first, last, worker) over [0, count) in chunks of contiguous items,
// taken in turn by workers_for(count, threads) threads (this one, worker
// 0, and the others it starts) until none is left, so that a thread that the system runs less
// than the others takes fewer; returns once every thread has ended.  An
// exception of a chunk (or of starting a thread) is rethrown here after
// every started thread has ended, the first in the order of the chunks;
// a thread stops at its first exception, and no new chunk starts after
// one.
template <typename Body>
void in_parts(std::size_t count, unsigned threads, const Body& body) {
  const std::size_t workers = workers_for(count, threads);
  if (workers <= 1) {
    if (count > 0) body(std::size_t{0}, count, std::size_t{0});
    return;
  }
  const std::size_t chunks = std::min(count, workers * kChunksPerThread);
  std::vector<std::exception_ptr> errors(chunks);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  const auto work = [&](std::size_t worker) {
    for (std::size_t c; !failed.load(std::memory_order_relaxed) &&
                        (c = next.fetch_add(1, std::memory_order_relaxed)) < chunks;) {
      try {
        body(count * c / chunks, count * (c + 1) / chunks, worker);
      } catch (...) {
        errors[c] = std::current_exception();
        failed.store(true, std::memory_order_relaxed);
      }
    }
  };
  std::vector<std::thread> started;
  std::exception_ptr starting;
  try {
    started.reserve(workers - 1);
    for (std::size_t w = 1; w < workers; ++w) started.emplace_back(work, w);
  } catch (...) {
    starting = std::current_exception();
    failed.store(true, std::memory_order_relaxed);
  }
  work(0);
  for (std::thread& t : started) t.join();
  if (starting) std::rethrow_exception(starting);
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

} // namespace tamsel::detail
