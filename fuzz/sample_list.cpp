// SPDX-License-Identifier: BSD-3-Clause
// Fuzzes the sample-list reader over the input as samples.lst: records are
// read, named and given their report names until the list ends or stops.
#include <cstdint>
#include <cstdio>

#include "driver/input.h"
#include "driver/samples.h"
#include "driver/stop.h"

namespace {
tamsel::RunState st; // large: static, like the program's own
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::FILE* fp = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  if (fp == nullptr) return 0;
  tamsel::InputFile list{fp, tamsel::kSampleFile, 1};
  st.sample_count = 0;
  try {
    while (tamsel::read_sample(list, st)) {
      st.name_length = tamsel::name(st.sample_name);
      if (st.name_length < 1 || st.name_length > tamsel::kNameWidth) __builtin_trap();
      tamsel::form_report_name(st);
      ++st.sample_count;
    }
  } catch (const tamsel::Stop&) {
  }
  if (st.sample_count > tamsel::kMaxSamples) __builtin_trap();
  tamsel::close_input(list);
  return 0;
}
