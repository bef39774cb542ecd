// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstring>

#include <tamsel/numeric/stop.h>

namespace {

TEST(Stop, CarriesStatusAndFormattedMessage) {
  try {
    tamsel::stopf(2, "%s: length %d", "four1", 12);
    FAIL() << "stopf returned";
  } catch (const tamsel::Stop& s) {
    EXPECT_EQ(s.status(), 2);
    EXPECT_STREQ(s.what(), "four1: length 12");
  }
  try {
    tamsel::stop("ERROR(CHEBEV): x not in range .");
    FAIL() << "stop returned";
  } catch (const tamsel::Stop& s) {
    EXPECT_EQ(s.status(), 1);
    EXPECT_STREQ(s.what(), "ERROR(CHEBEV): x not in range .");
  }
}

TEST(Stop, LongMessageIsCutNotOverrun) {
  char longtext[2000];
  std::memset(longtext, 'x', sizeof longtext - 1);
  longtext[sizeof longtext - 1] = '\0';
  tamsel::Stop s(1, longtext);
  EXPECT_EQ(std::strlen(s.what()), 511u);
}

} // namespace
