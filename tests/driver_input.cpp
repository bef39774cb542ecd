// The free-format number reader and the name line reader.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/input.h"
#include "numeric/stop.h"

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
