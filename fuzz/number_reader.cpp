// SPDX-License-Identifier: BSD-3-Clause
// Fuzzes the free-format number reader: the token parser alone, then whole
// input read as a file of number pairs.  A refused token or file is a Stop,
// which is a normal outcome.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "driver/input.h"
#include "driver/stop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);

  tamsel::Real value = 0.0;
  const char* problem = nullptr;
  if (tamsel::parse_real(text, size, value, problem)) {
    // Only the words inf and infinity may give an infinity.
    if (std::isinf(value) && std::memchr(text, 'n', size) == nullptr &&
        std::memchr(text, 'N', size) == nullptr)
      __builtin_trap();
  } else if (problem == nullptr) {
    __builtin_trap();
  }

  if (size == 0) return 0;
  std::FILE* fp = fmemopen(const_cast<char*>(text), size, "r");
  if (fp == nullptr) return 0;
  tamsel::InputFile in{fp, "fuzz.in", 1};
  try {
    tamsel::Real pair[2];
    while (tamsel::read_reals(in, pair, 2)) {
    }
  } catch (const tamsel::Stop&) {
  }
  tamsel::close_input(in);
  return 0;
}
