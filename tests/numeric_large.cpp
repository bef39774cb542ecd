// SPDX-License-Identifier: BSD-3-Clause
// The transforms at 2^17 values and more against the references, bit for
// bit, with every kernel this processor runs: where the passes leave the
// block and the cache, where the kept twiddle tables end (2^21) and the
// factors are made as the passes go, and the bit reversal of 2^24 values.
// Labelled slow: run natively, left out of the checked and emulated runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "numeric/fft/engine.h"
#include "numeric_support.h"

namespace {

using tamsel::Integer;
using tamsel::Real;
using Large = tamsel::test_support::EveryKernel;

TEST_P(Large, TransformsMatchReference) {
  tamsel::test_support::four1_agrees(17, 22);
  tamsel::test_support::realft_agrees(17, 21);
  tamsel::test_support::twofft_agrees(17, 20);
}

// Index i = (x, m, y) with x and y the top and bottom 11 bits and m the 2
// between; every value must land at rev(i).
TEST(LargeBitReversal, TwentyFourBits) {
  const int bits = 24;
  const Integer n = Integer{1} << bits;
  std::vector<Real> data(2 * std::size_t(n));
  for (Integer i = 0; i < n; ++i) {
    data[2 * std::size_t(i)] = Real(i);
    data[2 * std::size_t(i) + 1] = -Real(i) - 0.5;
  }
  tamsel::fft::bit_reverse(data.data(), n);
  long wrong = 0;
  for (Integer i = 0; i < n; ++i) {
    Integer r = 0;
    for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
    wrong += data[2 * std::size_t(r)] != Real(i) || data[2 * std::size_t(r) + 1] != -Real(i) - 0.5;
  }
  EXPECT_EQ(wrong, 0);
}

TAMSEL_INSTANTIATE_EVERY_KERNEL(Large);

} // namespace
