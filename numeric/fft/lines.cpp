// SPDX-License-Identifier: BSD-3-Clause
#include "lines.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "../parallel.h"
#include "engine.h"
#include "kernels.h"

namespace tamsel::conventional {

namespace batch {

namespace {

// Lines gathered at a time: at most kGroupLines, and together at most
// kGroupValues values (256 KiB of complex values), which stay in the
// second-level cache while they are transformed.
constexpr std::size_t kGroupLines = 16;
constexpr std::size_t kGroupValues = std::size_t{1} << 14;

std::size_t group_size(std::size_t length) {
  return std::clamp<std::size_t>(kGroupValues / length, 1, kGroupLines);
}

// The distance between lines of T in scratch: whole cache lines, and not
// a multiple of 1 KiB, so that the lines of a group do not all fall into
// the same sets of the first-level cache.
template <typename T>
std::size_t pitch(std::size_t length) {
  constexpr std::size_t unit = 64 / sizeof(T);
  std::size_t p = (length + unit - 1) / unit * unit;
  if (p * sizeof(T) % 1024 == 0) p += unit;
  return p;
}

// f(c, j, place) for value j of each line first + c, c < count, of the
// lines at `base` (their layout): along the layout's shorter step
// innermost.
template <typename T, typename F>
void each_place(T* base, Lines layout, std::size_t first, std::size_t count, std::size_t length,
                F f) {
  T* const lines = base + first * layout.distance;
  if (layout.distance < layout.stride) {
    for (std::size_t j = 0; j < length; ++j)
      for (std::size_t c = 0; c < count; ++c)
        f(c, j, lines[c * layout.distance + j * layout.stride]);
  } else {
    for (std::size_t c = 0; c < count; ++c)
      for (std::size_t j = 0; j < length; ++j)
        f(c, j, lines[c * layout.distance + j * layout.stride]);
  }
}

// Value j of lines first .. first + count - 1 (layout from) to dst + c *
// dst_distance + j for line first + c.
template <typename T>
void gather(const T* from, Lines layout, std::size_t first, std::size_t count,
            std::size_t length, T* dst, std::size_t dst_distance) {
  if (layout.stride == 1) {
    for (std::size_t c = 0; c < count; ++c)
      std::copy_n(from + (first + c) * layout.distance, length, dst + c * dst_distance);
    return;
  }
  each_place(from, layout, first, count, length, [&](std::size_t c, std::size_t j, const T& v) {
    dst[c * dst_distance + j] = v;
  });
}

// The reverse of gather.
template <typename T>
void scatter(const T* src, std::size_t src_distance, T* to, Lines layout, std::size_t first,
             std::size_t count, std::size_t length) {
  if (layout.stride == 1) {
    for (std::size_t c = 0; c < count; ++c)
      std::copy_n(src + c * src_distance, length, to + (first + c) * layout.distance);
    return;
  }
  each_place(to, layout, first, count, length, [&](std::size_t c, std::size_t j, T& v) {
    v = src[c * src_distance + j];
  });
}

bool same_layout(Lines a, Lines b) { return a.stride == b.stride && a.distance == b.distance; }

// Lines [first, last) of a real transform: `lines_in` values per line of
// In, `lines_out` of Out, each line through step(in line, out line).
template <typename In, typename Out, typename Step>
void real_lines(const In* in, Lines in_lines, std::size_t length_in, Out* out, Lines out_lines,
                std::size_t length_out, std::size_t first, std::size_t last, Scratch& scratch,
                Step step) {
  const bool direct = in_lines.stride == 1 && out_lines.stride == 1;
  const std::size_t group = direct ? 1 : group_size(std::max(length_in, length_out));
  const std::size_t in_pitch = pitch<In>(length_in), out_pitch = pitch<Out>(length_out);
  for (std::size_t l = first; l < last; l += group) {
    const std::size_t count = std::min(group, last - l);
    const In* src = in + l * in_lines.distance;
    std::size_t src_distance = in_lines.distance;
    if (in_lines.stride != 1) {
      In* buffer;
      if constexpr (sizeof(In) == sizeof(double)) {
        buffer = scratch.reals(group * in_pitch);
      } else {
        buffer = scratch.complex_values(group * in_pitch);
      }
      gather(in, in_lines, l, count, length_in, buffer, in_pitch);
      src = buffer;
      src_distance = in_pitch;
    }
    Out* dst = out + l * out_lines.distance;
    std::size_t dst_distance = out_lines.distance;
    if (out_lines.stride != 1) {
      if constexpr (sizeof(Out) == sizeof(double)) {
        dst = scratch.reals(group * out_pitch);
      } else {
        dst = scratch.complex_values(group * out_pitch);
      }
      dst_distance = out_pitch;
    }
    for (std::size_t c = 0; c < count; ++c)
      step(std::span<const In>(src + c * src_distance, length_in),
           std::span<Out>(dst + c * dst_distance, length_out));
    if (out_lines.stride != 1) scatter(dst, dst_distance, out, out_lines, l, count, length_out);
  }
}

} // namespace

void divide_parts(double* parts, std::size_t count, double divisor) {
  // A power of two from 1 to 2^1023 (all mantissa bits 0) has a reciprocal
  // that is a normal double, so every product rounds as the quotient does.
  const auto bits = std::bit_cast<std::uint64_t>(divisor);
  if (divisor >= 1.0 && divisor < 0x1p1023 && (bits & 0xFFFFFFFFFFFFFull) == 0)
    return kernels::active().scale(parts, Integer(count), 1.0 / divisor, false);
  kernels::active().scale(parts, Integer(count), divisor, true);
}

void divide(Complex* values, std::size_t count, double divisor) {
  divide_parts(reinterpret_cast<double*>(values), 2 * count, divisor);
}

void binary_rows(Complex* rows, std::size_t n, std::size_t count, bool inverse, double divisor) {
  // Rows shorter than this go through the engine side by side; from it,
  // one at a time, whose plan then keeps the values in the layout of parts
  // where the kernel table has it (bench/NOTES.md).
  constexpr std::size_t kLinesBelow = 32;
  const Integer sign = inverse ? 1 : -1;
  auto* reals = reinterpret_cast<Real*>(rows);
  if (n < kLinesBelow) {
    fft::transform_lines(reals, Integer(n), Integer(count), sign, fft::Roots::exact);
  } else {
    for (std::size_t r = 0; r < count; ++r)
      fft::transform(reals + 2 * r * n, Integer(n), sign, fft::Roots::exact);
  }
  if (divisor != 0.0) divide(rows, count * n, divisor);
}

void complex_lines(const Complex* in, Lines in_lines, Complex* out, Lines out_lines,
                   std::size_t length, std::size_t first, std::size_t last, LineStep step,
                   double divisor, Scratch& scratch) {
  const bool in_place = in == out && same_layout(in_lines, out_lines);
  const bool direct = out_lines.stride == 1 && (in_lines.stride == 1 || in_place);
  const std::size_t group = direct ? 1 : group_size(length);
  const std::size_t scratch_pitch = pitch<Complex>(length);
  for (std::size_t l = first; l < last; l += group) {
    const std::size_t count = std::min(group, last - l);
    // The lines are transformed where they are to end, if that is
    // contiguous, else in scratch.
    Complex* work = out + l * out_lines.distance;
    std::size_t work_distance = out_lines.distance;
    if (out_lines.stride != 1) {
      work = scratch.complex_values(group * scratch_pitch);
      work_distance = scratch_pitch;
    }
    if (!(in_place && out_lines.stride == 1))
      gather(in, in_lines, l, count, length, work, work_distance);
    for (std::size_t c = 0; c < count; ++c) {
      const std::span<Complex> line(work + c * work_distance, length);
      step(line);
      if (divisor != 0.0) divide(line.data(), line.size(), divisor);
    }
    if (out_lines.stride != 1) scatter(work, work_distance, out, out_lines, l, count, length);
  }
}

} // namespace batch

namespace {

constexpr std::size_t kLargestLength = std::size_t{1} << 29;

[[noreturn]] void refuse(const std::string& what) {
  throw std::invalid_argument("FftPlan: " + what);
}

const char* name(Transform kind) {
  switch (kind) {
    case Transform::forward: return "forward";
    case Transform::backward: return "backward";
    case Transform::real_forward: return "real_forward";
    case Transform::real_backward: return "real_backward";
  }
  return "unknown";
}

// The index one past the last value of a batch, refused if it does not
// fit a std::size_t.
std::size_t extent(const char* what, Lines layout, std::size_t length, std::size_t howmany) {
  constexpr std::size_t most = std::numeric_limits<std::size_t>::max();
  const std::size_t lines = howmany - 1, values = length - 1;
  if ((layout.distance != 0 && lines > most / layout.distance) ||
      (layout.stride != 0 && values > most / layout.stride) ||
      lines * layout.distance > most - 1 - values * layout.stride)
    refuse(std::string("the ") + what + "'s last index does not fit a std::size_t");
  return lines * layout.distance + values * layout.stride + 1;
}

// Whether two values of the batch share a place: l d + j s = l' d + j' s
// for (l, j) != (l', j'), l, l' < howmany, j, j' < length; with g =
// gcd(d, s), the smallest solution has |l - l'| = s / g, |j - j'| = d / g.
bool places_shared(Lines layout, std::size_t length, std::size_t howmany) {
  const std::size_t d = layout.distance, s = layout.stride;
  if (howmany == 1) return length > 1 && s == 0;
  if (length == 1) return d == 0;
  if (d == 0 || s == 0) return true;
  const std::size_t g = std::gcd(d, s);
  return s / g < howmany && d / g < length;
}

// The checks common to every execute: the plan's transform, the thread
// count, the arrays and their layouts.  True when there are lines to do.
template <typename In, typename Out>
bool check_batch(const FftPlan& plan, Transform wanted, const In* in, Lines in_lines,
                 const Out* out, Lines out_lines, std::size_t howmany, unsigned threads) {
  if (plan.kind() != wanted)
    refuse(std::string("a ") + name(plan.kind()) + " plan executed with the arrays of " +
           name(wanted));
  if (threads == 0) refuse("the thread count is 0");
  if (howmany == 0) return false;
  if (in == nullptr || out == nullptr) refuse("a null array");
  const std::size_t in_end = extent("input", in_lines, plan.input_length(), howmany);
  const std::size_t out_end = extent("output", out_lines, plan.output_length(), howmany);
  if (places_shared(out_lines, plan.output_length(), howmany))
    refuse("two output values share a place (stride " + std::to_string(out_lines.stride) +
           ", distance " + std::to_string(out_lines.distance) + ")");
  const bool complex_in_place = std::is_same_v<In, Out> &&
                                static_cast<const void*>(in) == static_cast<const void*>(out) &&
                                batch::same_layout(in_lines, out_lines);
  if (!complex_in_place) {
    const auto address = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
    const std::uintptr_t a = address(in), b = address(out);
    if (in_end > (std::numeric_limits<std::uintptr_t>::max() - a) / sizeof(In) ||
        out_end > (std::numeric_limits<std::uintptr_t>::max() - b) / sizeof(Out))
      refuse("a batch beyond the address space");
    if (a < b + out_end * sizeof(Out) && b < a + in_end * sizeof(In))
      refuse("the input and the output overlap");
  }
  return true;
}

// body(first, last, scratch) over the parts of [0, howmany) that in_parts
// gives the threads, each worker with a scratch of its own (on the stack
// for one: a call of one line allocates nothing here).
template <typename Body>
void each_with_scratch(std::size_t howmany, unsigned threads, const Body& body) {
  const std::size_t workers = detail::workers_for(howmany, threads);
  if (workers <= 1) {
    batch::Scratch scratch;
    if (howmany > 0) body(0, howmany, scratch);
    return;
  }
  std::vector<batch::Scratch> scratch(workers);
  detail::in_parts(howmany, threads, [&](std::size_t first, std::size_t last, std::size_t w) {
    body(first, last, scratch[w]);
  });
}

// The execute of the real transform `wanted` (refused for a plan of another
// kind): the lines split between the threads, each taken through step
// (rfft or irfft) by real_lines.
template <typename In, typename Out, typename Step>
void execute_real(const FftPlan& plan, Transform wanted, const In* in, Lines in_lines, Out* out,
                  Lines out_lines, std::size_t howmany, unsigned threads, Step step) {
  if (!check_batch(plan, wanted, in, in_lines, out, out_lines, howmany, threads)) return;
  each_with_scratch(howmany, threads, [&](std::size_t first, std::size_t last, batch::Scratch& s) {
    batch::real_lines(in, in_lines, plan.input_length(), out, out_lines, plan.output_length(),
                      first, last, s, step);
  });
}

} // namespace

FftPlan::FftPlan(Transform kind, std::size_t n) : kind_(kind), n_(n) {
  if (kind != Transform::forward && kind != Transform::backward &&
      kind != Transform::real_forward && kind != Transform::real_backward)
    refuse("not a transform");
  if (n < 1 || n > kLargestLength)
    refuse("length " + std::to_string(n) + " is not from 1 to " + std::to_string(kLargestLength));
}

std::size_t FftPlan::input_length() const noexcept {
  return kind_ == Transform::real_backward ? n_ / 2 + 1 : n_;
}

std::size_t FftPlan::output_length() const noexcept {
  return kind_ == Transform::real_forward ? n_ / 2 + 1 : n_;
}

void FftPlan::execute(const Complex* in, Lines in_lines, Complex* out, Lines out_lines,
                      std::size_t howmany, unsigned threads) const {
  const Transform wanted = kind_ == Transform::backward ? Transform::backward : Transform::forward;
  if (!check_batch(*this, wanted, in, in_lines, out, out_lines, howmany, threads)) return;
  const bool inverse = kind_ == Transform::backward;
  if (n_ >= 2 && (n_ & (n_ - 1)) == 0 && out_lines.stride == 1 && out_lines.distance == n_) {
    // Lines of a power of two that end side by side: there, as rows.
    const bool in_place = in == out && batch::same_layout(in_lines, out_lines);
    return detail::in_parts(howmany, threads, [&](std::size_t first, std::size_t last,
                                                  std::size_t) {
      Complex* const rows = out + first * n_;
      if (!in_place) batch::gather(in, in_lines, first, last - first, n_, rows, n_);
      batch::binary_rows(rows, n_, last - first, inverse, inverse ? double(n_) : 0.0);
    });
  }
  const batch::LineStep step = inverse ? ifft : fft;
  each_with_scratch(howmany, threads, [&](std::size_t first, std::size_t last, batch::Scratch& s) {
    batch::complex_lines(in, in_lines, out, out_lines, n_, first, last, step, 0.0, s);
  });
}

void FftPlan::execute(const double* in, Lines in_lines, Complex* out, Lines out_lines,
                      std::size_t howmany, unsigned threads) const {
  execute_real(*this, Transform::real_forward, in, in_lines, out, out_lines, howmany, threads,
               [](std::span<const double> x, std::span<Complex> z) { rfft(x, z); });
}

void FftPlan::execute(const Complex* in, Lines in_lines, double* out, Lines out_lines,
                      std::size_t howmany, unsigned threads) const {
  execute_real(*this, Transform::real_backward, in, in_lines, out, out_lines, howmany, threads,
               [](std::span<const Complex> z, std::span<double> x) { irfft(z, x); });
}

} // namespace tamsel::conventional
