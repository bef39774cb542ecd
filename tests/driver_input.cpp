// SPDX-License-Identifier: BSD-3-Clause
// The free-format number reader and the name line reader.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "driver/input.h"
#include "driver/status.h"

namespace {

using tamsel::Real;

// An InputFile over an in-memory text.
struct Memory {
  std::string text;
  tamsel::InputFile in;
  explicit Memory(std::string bytes) : text(std::move(bytes)) {
    in.fp = fmemopen(text.data(), text.size(), "r");
    in.path = "mem.txt";
    in.line = 1;
  }
  ~Memory() { tamsel::close_input(in); }
};

std::string stop_message(auto&& action) {
  try {
    action();
  } catch (const tamsel::Stop& s) {
    EXPECT_EQ(s.status(), tamsel::kInputStatus);
    return s.what();
  }
  return "(no stop)";
}

bool parses(const std::string& token, Real& value) {
  const char* problem = nullptr;
  return tamsel::parse_real(token.data(), token.size(), value, problem);
}

TEST(ParseReal, AcceptsDecimalExponentAndDNotation) {
  struct Case {
    const char* token;
    Real value;
  } cases[] = {
      {"2.385", 2.385},  {"-0.125", -0.125}, {"+7", 7.0},       {".5", 0.5},
      {"3.", 3.0},       {"2.5E-3", 2.5e-3}, {"1.25e+2", 125.0}, {"4.75D2", 475.0},
      {"-6.5d-1", -0.65}, {"1e-400", 0.0},   {"0.1", 0.1},
  };
  for (const auto& c : cases) {
    Real v = -99.0;
    ASSERT_TRUE(parses(c.token, v)) << c.token;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(c.value)) << c.token;
  }
  Real v = 0.0;
  ASSERT_TRUE(parses("-0.0", v));
  EXPECT_TRUE(std::signbit(v));
  ASSERT_TRUE(parses("nan", v));
  EXPECT_TRUE(std::isnan(v));
  ASSERT_TRUE(parses("-Inf", v));
  EXPECT_EQ(v, -INFINITY);
  ASSERT_TRUE(parses("INFINITY", v));
  EXPECT_EQ(v, INFINITY);
}

TEST(ParseReal, RefusesWhatIsNotAPlainNumber) {
  const char* bad[] = {"", "-", ".", "e5", "1e", "1e+", "1.2.3", "0x1p3", "1,5", "abc",
                       "1/", "2*3.5", "1.5f", "nanx", "in", "1e999", "-1e999", "1d400"};
  for (const char* token : bad) {
    Real v = 42.0;
    EXPECT_FALSE(parses(token, v)) << token;
    EXPECT_EQ(v, 42.0) << token;
  }
  Real v;
  EXPECT_FALSE(parses(std::string(5000, '7'), v));
}

// What the C library reads from the same text, D exponents as E.
bool library_reads(std::string token, Real& value) {
  for (char& ch : token)
    if (ch == 'd' || ch == 'D') ch = 'e';
  value = std::strtod(token.c_str(), nullptr);
  return !std::isinf(value);
}

void expect_same_as_library(const std::string& token) {
  Real expected = 0.0;
  bool in_range = library_reads(token, expected);
  Real v = -99.0;
  ASSERT_EQ(parses(token, v), in_range) << token;
  if (in_range) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(expected)) << token;
  }
}

TEST(ParseReal, GivesTheLibraryBitsAroundTheExactShortCut) {
  // Signed zeros, 2^53 and 2^53 + 1 (a tie, rounded to even), the largest
  // exact power of ten and the first inexact one, mantissas too long for 64
  // bits, trailing zeros past 19 digits, the smallest subnormal.
  const char* pointed[] = {"-0", "0.000", "-0.0e5", "9007199254740992", "9007199254740993",
                           "9007199254740995", "1e22", "1e23", "-4.5D22", "123456789012345678901234567890",
                           "1.50000000000000000000", "0.000000000000000000000000001234",
                           "4.9406564584124654e-324", "2.2250738585072011e-308", "1e-22", "3e-23",
                           "8.98846567431158e307", "1e99999999999999999999"};
  for (const char* token : pointed) expect_same_as_library(token);
  Real v = 1.0;
  ASSERT_TRUE(parses("-0", v));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(-0.0));
  ASSERT_TRUE(parses("9007199254740993", v));
  EXPECT_EQ(v, 9007199254740992.0);

  // Random tokens: digit strings of 1..25 digits, often with leading zeros,
  // a decimal point anywhere, an optional sign and an optional exponent of
  // either sign whose size straddles the +-22 edge of the short cut.
  std::mt19937_64 rng(20240611);
  auto below = [&](int n) { return int(rng() % std::uint64_t(n)); };
  const char* letters = "eEdD";
  for (int n = 0; n < 40000; ++n) {
    std::string token;
    int sign = below(3);
    if (sign == 1) token += '-';
    if (sign == 2) token += '+';
    std::string digits(below(4) == 0 ? below(4) : 0, '0');
    int count = below(3) == 0 ? 15 + below(11) : 1 + below(17);
    for (int k = 0; k < count; ++k) digits += char('0' + below(10));
    if (below(4) != 0) digits.insert(std::size_t(below(int(digits.size()) + 1)), ".");
    token += digits;
    if (below(2) == 0) {
      token += letters[below(4)];
      int size = below(4) == 0 ? below(400) : below(30);
      int esign = below(3);
      if (esign == 1) token += '-';
      if (esign == 2) token += '+';
      token += std::to_string(size);
    }
    expect_same_as_library(token);
    if (HasFailure()) return;
  }
}

TEST(ReadReals, TakesNumbersAcrossLinesThenSkipsTheRestOfTheLine) {
  Memory m("  0.1,\n\n 0.4 9.9 junk\r\n0.25\t-3e1\n");
  Real v[2];
  ASSERT_TRUE(tamsel::read_reals(m.in, v, 2));
  EXPECT_EQ(v[0], 0.1);
  EXPECT_EQ(v[1], 0.4);
  ASSERT_TRUE(tamsel::read_reals(m.in, v, 2)); // "9.9 junk" was skipped
  EXPECT_EQ(v[0], 0.25);
  EXPECT_EQ(v[1], -30.0);
  EXPECT_FALSE(tamsel::read_reals(m.in, v, 2));
}

TEST(ReadReals, EndOfFileInsideARecordIsEndOfFile) {
  Memory m("1.5\n");
  Real v[2] = {0.0, 0.0};
  EXPECT_FALSE(tamsel::read_reals(m.in, v, 2));
  EXPECT_EQ(v[0], 1.5);
  Memory last("1.5 2.5"); // no line end after the last number
  ASSERT_TRUE(tamsel::read_reals(last.in, v, 2));
  EXPECT_EQ(v[1], 2.5);
  EXPECT_FALSE(tamsel::read_reals(last.in, v, 1));
}

TEST(ReadReals, MalformedNumbersStopNamingFileAndLine) {
  Real v[2];
  Memory m("0.1 0.2\n\n0.3 zz9\n");
  ASSERT_TRUE(tamsel::read_reals(m.in, v, 2));
  EXPECT_EQ(stop_message([&] { tamsel::read_reals(m.in, v, 2); }),
            "tamsel: mem.txt:3: 'zz9' is not a number");
  Memory big("1 1e999\n");
  EXPECT_EQ(stop_message([&] { tamsel::read_reals(big.in, v, 2); }),
            "tamsel: mem.txt:1: '1e999' is out of the range of a double");
  Memory nul(std::string("1 2\0 3\n", 7));
  EXPECT_EQ(stop_message([&] { tamsel::read_reals(nul.in, v, 2); }),
            "tamsel: mem.txt:1: '2?' is not a number");
  Memory longnum("0." + std::string(5000, '3') + " 1\n");
  EXPECT_EQ(stop_message([&] { tamsel::read_reals(longnum.in, v, 2); }),
            "tamsel: mem.txt:1: '0.33333333333333333333333333333333333333...' is too long for a number");
}

TEST(ReadLine, KeepsFiftyCharactersPaddedAndDropsCrLf) {
  char text[50];
  Memory m("abc def\r\n" + std::string(60, 'n') + "\nlast");
  ASSERT_TRUE(tamsel::read_line(m.in, text, 50));
  EXPECT_EQ(std::string(text, 50), "abc def" + std::string(43, ' '));
  ASSERT_TRUE(tamsel::read_line(m.in, text, 50));
  EXPECT_EQ(std::string(text, 50), std::string(50, 'n'));
  EXPECT_EQ(m.in.line, 3);
  ASSERT_TRUE(tamsel::read_line(m.in, text, 50));
  EXPECT_EQ(std::string(text, 50), "last" + std::string(46, ' '));
  std::memset(text, 'x', sizeof text);
  EXPECT_FALSE(tamsel::read_line(m.in, text, 50));
  EXPECT_EQ(text[0], 'x');
}

TEST(ReadLine, EmptyLineIsALineAndNulIsRefused) {
  char text[50];
  Memory m("\n");
  ASSERT_TRUE(tamsel::read_line(m.in, text, 50));
  EXPECT_EQ(std::string(text, 50), std::string(50, ' '));
  EXPECT_FALSE(tamsel::read_line(m.in, text, 50));
  Memory nul(std::string("ab\0c\n", 5));
  EXPECT_EQ(stop_message([&] { tamsel::read_line(nul.in, text, 50); }),
            "tamsel: mem.txt:1: the name line holds a NUL byte");
}

} // namespace
