// SPDX-License-Identifier: BSD-3-Clause
// Work split between threads: the items [0, count) in contiguous parts, one
// thread each (the calling thread takes the first).  Which thread does an
// item never changes what is computed for it, so the split is free to
// follow the thread count.
//
// Internal to the toolkit; not installed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace tamsel::detail {

// body(first, last) over [0, count) split into min(threads, count) parts,
// each in a thread of its own, the first in this one; returns once every
// part has ended.  An exception of a part (or of starting a thread) is
// rethrown here, the first by part, after every started thread has ended.
template <typename Body>
void in_parts(std::size_t count, unsigned threads, const Body& body) {
  const std::size_t parts = std::min<std::size_t>(threads, count);
  if (parts <= 1) {
    if (count > 0) body(std::size_t{0}, count);
    return;
  }
  std::vector<std::exception_ptr> errors(parts);
  const auto part = [&](std::size_t p) {
    try {
      body(count * p / parts, count * (p + 1) / parts);
    } catch (...) {
      errors[p] = std::current_exception();
    }
  };
  std::vector<std::thread> started;
  std::exception_ptr starting;
  try {
    started.reserve(parts - 1);
    for (std::size_t p = 1; p < parts; ++p) started.emplace_back(part, p);
  } catch (...) {
    starting = std::current_exception();
  }
  if (!starting) part(0);
  for (std::thread& t : started) t.join();
  if (starting) std::rethrow_exception(starting);
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

} // namespace tamsel::detail
