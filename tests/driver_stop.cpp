// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>

#include "driver/stop.h"

namespace {

// The status and message of the Stop that call() ends in.
template <class Call>
std::pair<int, std::string> stopped(Call&& call) {
  try {
    call();
  } catch (const tamsel::Stop& s) {
    return {s.status(), s.what()};
  }
  ADD_FAILURE() << "no stop";
  return {0, ""};
}

TEST(Stop, CarriesStatusAndFormattedMessage) {
  EXPECT_EQ(stopped([] { tamsel::stopf(2, "%s: length %d", "four1", 12); }),
            std::make_pair(2, std::string("four1: length 12")));
}

// The toolkit's refusals stop the program as its own stops do, with their
// message and kStopStatus; a Stop goes through unchanged.
TEST(Stop, RefusalsOfTheToolkitStopWithTheirMessage) {
  tamsel::Real data[24] = {}, c[3] = {1.0, 2.0, 3.0};
  const tamsel::Integer twelve = 12, three = 3;
  EXPECT_EQ(stopped([&] { tamsel::stop_on_refusal([&] { tamsel::four1(data, twelve, 1); }); }),
            std::make_pair(tamsel::kStopStatus,
                           std::string("four1: length 12 is not a power of two")));
  EXPECT_EQ(stopped([&] {
              tamsel::stop_on_refusal([&] { tamsel::chebev(0.0, 1.0, c, three, 1.5); });
            }),
            std::make_pair(tamsel::kStopStatus, std::string("ERROR(CHEBEV): x not in range .")));
  EXPECT_EQ(stopped([] { tamsel::stop_on_refusal([] { tamsel::stopf(2, "tamsel: %s", "x"); }); }),
            std::make_pair(2, std::string("tamsel: x")));
  EXPECT_EQ(tamsel::stop_on_refusal([&] { return tamsel::chebev(0.0, 1.0, c, three, 0.5); }),
            tamsel::chebev(0.0, 1.0, c, three, 0.5));
}

TEST(Stop, LongMessageIsCutNotOverrun) {
  char longtext[2000];
  std::memset(longtext, 'x', sizeof longtext - 1);
  longtext[sizeof longtext - 1] = '\0';
  tamsel::Stop s(1, longtext);
  EXPECT_EQ(std::strlen(s.what()), 511u);
}

} // namespace
