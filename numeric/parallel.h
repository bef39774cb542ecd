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
#include <memory>
#include <thread>
#include <vector>

namespace tamsel::detail {

// Chunks per thread: enough that a thread slowed by other work leaves its
// share to the others, few enough that taking one costs nothing.
inline constexpr std::size_t kChunksPerThread = 8;

// The number of threads in_parts asks for: min(threads, count).
inline std::size_t workers_for(std::size_t count, unsigned threads) {
  return std::min<std::size_t>(threads, count);
}

// What the threads of one in_parts share: the chunks, the next one to
// take, how many have ended, and their exceptions.  Held by every thread,
// so that a thread the system starts only after the last chunk has ended
// finds none left and touches nothing else.
struct Chunks {
  std::size_t count = 0, chunks = 0;
  const void* body = nullptr;
  void (*call)(const void* body, std::size_t first, std::size_t last, std::size_t worker) = nullptr;
  std::atomic<std::size_t> next{0}, ended{0};
  std::atomic<bool> failed{false};
  std::vector<std::exception_ptr> errors;

  // Takes chunks until none is left; after an exception the chunks left
  // are taken but not done.
  void work(std::size_t worker) {
    for (std::size_t c; (c = next.fetch_add(1, std::memory_order_relaxed)) < chunks;) {
      if (!failed.load(std::memory_order_relaxed)) {
        try {
          call(body, count * c / chunks, count * (c + 1) / chunks, worker);
        } catch (...) {
          errors[c] = std::current_exception();
          failed.store(true, std::memory_order_relaxed);
        }
      }
      if (ended.fetch_add(1, std::memory_order_acq_rel) + 1 == chunks) ended.notify_all();
    }
  }
};

// body(first, last, worker) over [0, count) in chunks of contiguous items,
// taken in turn by this thread (worker 0) and workers_for(count, threads)
// - 1 threads it starts (workers 1, 2, ...), until none is left; returns
// once every chunk has ended, so that a thread the system runs late, or
// that cannot be started, leaves its share to the others (it then takes
// none, and ends on its own).  An exception of a chunk is rethrown here
// once every chunk has ended, the first in the order of the chunks; no
// chunk starts after one.
template <typename Body>
void in_parts(std::size_t count, unsigned threads, const Body& body) {
  const std::size_t workers = workers_for(count, threads);
  if (workers <= 1) {
    if (count > 0) body(std::size_t{0}, count, std::size_t{0});
    return;
  }
  auto state = std::make_shared<Chunks>();
  state->count = count;
  state->chunks = std::min(count, workers * kChunksPerThread);
  state->body = &body;
  state->call = [](const void* b, std::size_t first, std::size_t last, std::size_t worker) {
    (*static_cast<const Body*>(b))(first, last, worker);
  };
  state->errors.resize(state->chunks);
  for (std::size_t w = 1; w < workers; ++w) {
    try {
      std::thread([state, w] { state->work(w); }).detach();
    } catch (...) {
      break;  // the threads started, and this one, do the work
    }
  }
  state->work(0);
  for (std::size_t e = state->ended.load(std::memory_order_acquire); e < state->chunks;
       e = state->ended.load(std::memory_order_acquire))
    state->ended.wait(e, std::memory_order_acquire);
  for (const std::exception_ptr& e : state->errors)
    if (e) std::rethrow_exception(e);
}

} // namespace tamsel::detail
