// SPDX-License-Identifier: BSD-3-Clause
// A plan's steps as text, for reading and debugging (fft_bench --plan).
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "fft/plan.h"

namespace tamsel::fft {

namespace {

const char* name(Op op) {
  static constexpr const char* kNames[] = {
      "group", "bit_reverse", "pass", "pass_pair", "pass_triple", "uncached_pass",
      "first_two_passes", "reverse_first_two", "reverse_first_two_lines", "reverse_first_two_to", "pass_pair_to",
      "interleave_first_two", "pass_parts", "pass_pair_parts", "split_from_parts", "split",
      "pass_split", "pass_split_to", "pass_pair_split", "interleave", "rows_reverse",
      "strip_pass", "strip_pass_pair", "strip_pass_triple", "uncached_strip_pass"};
  static_assert(std::size(kNames) == kOps);
  return kNames[static_cast<int>(op)];
}

void describe(std::string& text, const Schedule& schedule) {
  if (schedule.scratch) text += "  in an aligned copy on the stack:\n";
  int depth = 0;
  std::vector<Integer> left;
  for (const PlanStep& s : schedule) {
    char line[160];
    const int indent = 2 + 2 * depth;
    if (s.op == Op::group) {
      std::snprintf(line, sizeof line, "%*s%s of the next %d steps, %d times, %d values apart\n",
                    indent, "", name(s.op), s.inner, s.times, s.stride);
    } else {
      int tables = 0;
      while (tables < 3 && s.w[tables] != nullptr) ++tables;
      std::snprintf(line, sizeof line, "%*s%s n=%d h=%d radix %d%s%s%s%s (%d factor tables)\n",
                    indent, "", name(s.op), s.n, s.h, s.radix,
                    s.in_scratch ? " in the copy" : "", s.from_values ? " from values" : "",
                    s.to_values ? " to values" : "", s.op == Op::split ? " k from 1" : "", tables);
    }
    text += line;
    for (Integer& l : left) --l;
    while (!left.empty() && left.back() == 0) {
      left.pop_back();
      --depth;
    }
    if (s.op == Op::group) {
      left.push_back(s.inner);
      ++depth;
    }
  }
}

} // namespace

std::string describe_plan(Integer count, Integer direction, Shape shape, Roots roots) {
  const Plan& plan = plan_for(kernels::active(), shape, count, direction, roots);
  static constexpr const char* kShapeNames[] = {
      "transform",       "transform_and_split",      "transform_interleaved",
      "radix2_passes",   "transform_lines",          "transform_lines_permuted",
      "transform_strided", "transform_strided of permuted rows"};
  static_assert(std::size(kShapeNames) == kShapes);
  std::string text = std::string(kShapeNames[static_cast<int>(shape)]) + " of " +
                     std::to_string(count) + " values, sign " + std::to_string(direction) +
                     (roots == Roots::exact ? ", exact factors" : "");
  if (!plan.takes) return text + ": not taken (the caller transforms otherwise)\n";
  // The strided steps run on whole strips wherever the data start.
  const bool strided = shape == Shape::strided || shape == Shape::strided_permuted;
  if (strided) text += ", strips of up to " + std::to_string(plan.run) + " lines";
  if (plan.run > 1 && !strided) text += ", runs of " + std::to_string(plan.run) + " lines";
  const bool both = plan.table->can.full_lines && !strided;
  text += both ? ", data on a 64-byte boundary:\n" : ":\n";
  describe(text, plan.aligned);
  if (both) {
    text += " data off a 64-byte boundary:\n";
    describe(text, plan.straddling);
  }
  if (plan.shape == Shape::lines_permuted) text += "  then pass_pair of each pair of lines\n";
  return text;
}

std::string describe_dimensions(const Integer* lengths, Integer count, Integer direction) {
  Integer N = 1;
  std::string text = "fourn of ";
  for (Integer d = 0; d < count; ++d) {
    N *= lengths[d];
    if (d > 0) text += 'x';
    text += std::to_string(lengths[d]);
  }
  text += " values, sign " + std::to_string(direction) + ", dimensions from the fastest:\n";
  // The plan of contiguous lines of L values, where transform_lines runs one.
  auto lines = [&](Integer L) {
    const bool own = plan_for(kernels::active(), Shape::lines, L, direction).takes;
    return describe_plan(L, direction, own ? Shape::lines : Shape::complex);
  };
  bool permuted = false;
  for (Integer d = 0, B = 1; d < count; B *= lengths[d++]) {
    const Integer L = lengths[d];
    if (L < 2) continue;
    const Integer next = d + 1 < count ? lengths[d + 1] : 0;
    const Integer A = N / (L * B);
    text += "dimension " + std::to_string(d + 1) + ", " + std::to_string(A) + " blocks of " +
            std::to_string(B) + (B == 1 ? " line: " : " lines: ");
    const DimensionStep step = dimension_step(L, B, A, next, permuted, direction);
    const bool was_permuted = permuted;
    permuted = step == DimensionStep::lines_permuted;
    switch (step) {
    case DimensionStep::lines:
      text += lines(L);
      break;
    case DimensionStep::lines_permuted:
      text += describe_plan(L, direction, Shape::lines_permuted);
      break;
    case DimensionStep::planes: {
      const Plan& join = plan_for(kernels::active(), Shape::lines_permuted, L, direction);
      text += "with dimension " + std::to_string(d + 2) + ", plane by plane:\n" +
              (join.takes ? describe_plan(L, direction, Shape::lines_permuted) : lines(L)) +
              "then strips " + std::to_string(L) + " values apart: " +
              describe_plan(next, direction,
                            join.takes ? Shape::strided_permuted : Shape::strided);
      B *= lengths[d++];
      break;
    }
    case DimensionStep::strided:
      text += "strips " + std::to_string(B) + " values apart: " +
              describe_plan(L, direction,
                            was_permuted ? Shape::strided_permuted : Shape::strided);
      break;
    }
  }
  return text;
}

} // namespace tamsel::fft
