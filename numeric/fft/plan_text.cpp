// SPDX-License-Identifier: BSD-3-Clause
// A plan's steps as text, for reading and debugging (fft_bench --plan).
#include <cstdio>
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
      "pass_split", "pass_split_to", "pass_pair_split"};
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
  static constexpr const char* kShapeNames[] = {"transform",  "transform_and_split",
                                                "transform_interleaved", "radix2_passes",
                                                "transform_lines", "transform_lines_permuted"};
  std::string text = std::string(kShapeNames[static_cast<int>(shape)]) + " of " +
                     std::to_string(count) + " values, sign " + std::to_string(direction) +
                     (roots == Roots::exact ? ", exact factors" : "");
  if (!plan.takes) return text + ": not taken (the caller transforms otherwise)\n";
  if (plan.run > 1) text += ", runs of " + std::to_string(plan.run) + " lines";
  text += plan.table->can.full_lines ? ", data on a 64-byte boundary:\n" : ":\n";
  describe(text, plan.aligned);
  if (plan.table->can.full_lines) {
    text += " data off a 64-byte boundary:\n";
    describe(text, plan.straddling);
  }
  if (plan.shape == Shape::lines_permuted) text += "  then pass_pair of each pair of lines\n";
  return text;
}

} // namespace tamsel::fft
