// SPDX-License-Identifier: BSD-3-Clause
#include "driver/input.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/display.h"
#include "driver/files.h"
#include "driver/status.h"

namespace tamsel {

namespace {

// The longest number accepted, in characters.  Longer tokens are refused
// rather than silently cut.
constexpr std::size_t kMaxToken = 1024;

// Characters of a token shown in a message.
constexpr std::size_t kShownToken = 40;

bool is_separator(int ch) {
  return ch == ' ' || ch == '\t' || ch == ',' || ch == '\n' || ch == '\r';
}

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

// Whether a byte can stand in a number: a digit, a sign, the point, an
// exponent letter or a letter of inf, infinity and nan.
bool may_be_in_number(int ch) {
  return is_digit(char(ch)) || (ch != '\0' && std::strchr("+-.eEdDiInNfFtTyYaA", ch) != nullptr);
}

char lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch; }

bool equals_word(const char* text, std::size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (lower(text[i]) != word[i]) return false;
  return true;
}

// Copies up to kShownToken characters of a token for a message, control
// bytes shown as '?', and "..." when the token is longer.
void quote_token(const char* token, std::size_t length, char* out) {
  std::size_t shown = length < kShownToken ? length : kShownToken;
  show_bytes(token, shown, out);
  if (shown < length) std::strcat(out, "...");
}

[[noreturn]] void read_failure(const InputFile& in) {
  stopf(kInputStatus, "tamsel: %s:%ld: read error: %s", in.path, in.line, std::strerror(errno));
}

// The next character, with every line end (LF, CR LF or a lone CR) given
// as one LF.
[[gnu::always_inline]] inline int next_char(InputFile& in) {
  int ch = getc_unlocked(in.fp);
  if (ch == EOF && std::ferror(in.fp)) read_failure(in);
  if (ch == '\r') {
    const int after = getc_unlocked(in.fp);
    if (after == EOF && std::ferror(in.fp)) read_failure(in);
    if (after != '\n' && after != EOF) ungetc(after, in.fp);
    ch = '\n';
  }
  if (ch == '\n') ++in.line;
  return ch;
}

// Skips the rest of the line; returns whether it held anything but
// separators.
bool skip_line(InputFile& in) {
  bool held = false;
  int ch;
  while ((ch = next_char(in)) != '\n' && ch != EOF) held = held || !is_separator(ch);
  return held;
}

// Skips a UTF-8 byte-order mark at the very start of the file.  A start that
// only begins like one goes back to the stream unchanged, last byte first.
void skip_byte_order_mark(InputFile& in) {
  static constexpr int kMark[3] = {0xef, 0xbb, 0xbf};
  int matched = 0;
  int ch = EOF;
  while (matched < 3 && (ch = getc_unlocked(in.fp)) == kMark[matched]) ++matched;
  if (matched == 3) return;
  if (ch == EOF && std::ferror(in.fp)) read_failure(in);
  bool kept = ch == EOF || ungetc(ch, in.fp) != EOF;
  while (kept && matched > 0) kept = ungetc(kMark[--matched], in.fp) != EOF;
  if (!kept) stopf(kInputStatus, "tamsel: %s: read error: cannot look at the start of the file", in.path);
}

} // namespace

bool parse_real(const char* token, std::size_t length, Real& value, const char*& problem) {
  std::size_t i = 0;
  bool negative = false;
  if (i < length && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  const char* word = token + i;
  std::size_t wordlen = length - i;
  bool special = equals_word(word, wordlen, "inf") || equals_word(word, wordlen, "infinity") ||
                 equals_word(word, wordlen, "nan");
  // While checking the digits, gather them into `mantissa` as long as it
  // stays at most 2^53, and the exponent as long as it stays below 100000.
  constexpr std::uint64_t kTwoTo53 = std::uint64_t(1) << 53;
  std::uint64_t mantissa = 0;
  bool mantissa_fits = true;
  auto take_digit = [&](char ch) {
    if (!mantissa_fits) return;
    mantissa = mantissa * 10 + std::uint64_t(ch - '0');
    mantissa_fits = mantissa <= kTwoTo53;
  };
  std::size_t digits = 0, fraction_digits = 0;
  long exponent = 0;
  if (!special) {
    for (; i < length && is_digit(token[i]); ++i, ++digits) take_digit(token[i]);
    if (i < length && token[i] == '.') {
      ++i;
      for (; i < length && is_digit(token[i]); ++i, ++digits, ++fraction_digits)
        take_digit(token[i]);
    }
    if (digits == 0) {
      problem = "is not a number";
      return false;
    }
    if (i < length && (lower(token[i]) == 'e' || lower(token[i]) == 'd')) {
      ++i;
      bool negative_exponent = false;
      if (i < length && (token[i] == '+' || token[i] == '-')) negative_exponent = token[i++] == '-';
      std::size_t expdigits = 0;
      for (; i < length && is_digit(token[i]); ++i, ++expdigits)
        if (exponent < 100000) exponent = exponent * 10 + (token[i] - '0');
      if (expdigits == 0) {
        problem = "is not a number";
        return false;
      }
      if (negative_exponent) exponent = -exponent;
    }
    if (i != length) {
      problem = "is not a number";
      return false;
    }
  }
  if (length > kMaxToken) {
    problem = "is too long for a number";
    return false;
  }
  // The value is mantissa * 10^scale.  When the mantissa is at most 2^53 and
  // |scale| <= 22, both it and the power of ten are exact doubles, so one
  // multiplication or division rounds the exact value once, correctly: the
  // very double strtod gives.  A token holds at most kMaxToken fraction
  // digits, so a capped exponent leaves |scale| far above 22.
  long scale = exponent - long(fraction_digits);
  if (!special && mantissa_fits && scale >= -22 && scale <= 22) {
    static constexpr Real kPowersOfTen[23] = {
        1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    Real result = Real(mantissa);
    result = scale >= 0 ? result * kPowersOfTen[scale] : result / kPowersOfTen[-scale];
    value = negative ? -result : result;
    return true;
  }
  // from_chars reads as strtod reads in the C locale, whatever locale the
  // process has set; it takes no '+' and no D exponent.
  char buffer[kMaxToken];
  const std::size_t start = token[0] == '+' ? 1 : 0;
  for (std::size_t k = start; k < length; ++k)
    buffer[k] = lower(token[k]) == 'd' ? 'e' : token[k];
  Real result = 0.0;
  const std::from_chars_result read = std::from_chars(buffer + start, buffer + length, result);
  if (read.ptr != buffer + length) {
    problem = "is not a number";
    return false;
  }
  if (read.ec == std::errc::result_out_of_range) {
    // Too large, or so small that it rounds to zero: the place of the first
    // nonzero digit tells which (the doubles span 10^-324 to 10^308).
    std::size_t zeros = 0;
    for (const char* p = word; p < token + length && (*p == '0' || *p == '.'); ++p)
      zeros += *p == '0';
    if (exponent + long(digits - fraction_digits) - 1 - long(zeros) < 0) {
      value = negative ? -0.0 : 0.0;
      return true;
    }
    problem = "is out of the range of a double";
    return false;
  }
  value = result;
  return true;
}

void open_input(InputFile& in, int dir, const char* path, char* buffer) {
  in.path = path;
  in.line = 1;
  in.fp = nullptr;
  // Opened without waiting, so that a FIFO with no writer cannot hold the
  // run; read as usual from then on.
  const int fd = openat(dir, path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    stopf(kInputStatus, "tamsel: %s: cannot open: %s", path, open_error(dir, path, errno));
  struct stat info;
  const char* refusal = nullptr;
  int first = EOF; // a byte taken to see whether a FIFO has a writer
  if (fstat(fd, &info) != 0) {
    refusal = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    refusal = "is a directory";
  } else if (S_ISFIFO(info.st_mode)) {
    // No writer: the read finds end of file at once.  A writer that has
    // not written yet: it would wait (EAGAIN), and now may.
    unsigned char byte = 0;
    ssize_t n;
    do n = read(fd, &byte, 1);
    while (n < 0 && errno == EINTR);
    if (n == 0) refusal = "it is a FIFO that no process is writing to";
    else if (n < 0 && errno != EAGAIN) refusal = std::strerror(errno);
    else if (n == 1) first = byte;
  }
  if (refusal == nullptr && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    refusal = std::strerror(errno);
  if (refusal == nullptr && (in.fp = fdopen(fd, "r")) == nullptr) refusal = std::strerror(errno);
  if (refusal == nullptr) static_cast<void>(std::setvbuf(in.fp, buffer, _IOFBF, kStreamBuffer));
  if (refusal != nullptr) {
    close(fd);
    stopf(kInputStatus, "tamsel: %s: cannot read: %s", path, refusal);
  }
  if (first != EOF && ungetc(first, in.fp) == EOF) {
    close_input(in);
    stopf(kInputStatus, "tamsel: %s: read error: cannot look at the start of the file", path);
  }
  skip_byte_order_mark(in);
}

void close_input(InputFile& in) {
  if (in.fp != nullptr) std::fclose(in.fp);
  in.fp = nullptr;
}

bool read_reals(InputFile& in, Real* values, int count, ReadPlace* place) {
  char token[kMaxToken + 1];
  for (int n = 0; n < count; ++n) {
    int ch;
    do ch = next_char(in);
    while (ch != EOF && is_separator(ch));
    if (ch == EOF) return false;
    long line = in.line;
    if (n == 0 && place != nullptr) *place = ReadPlace{line, 0};
    // The token ends at a separator, or as soon as it can no longer be a
    // number: past kMaxToken characters, or at a byte no number holds once
    // enough of it is read for the message.  Endless input cannot hang here.
    std::size_t length = 0;
    std::size_t limit = kMaxToken + 1;
    while (ch != EOF && !is_separator(ch)) {
      token[length++] = char(ch);
      if (!may_be_in_number(ch) && limit > kShownToken + 1)
        limit = length > kShownToken + 1 ? length : kShownToken + 1;
      if (length == limit) break;
      ch = next_char(in);
    }
    const char* problem = nullptr;
    if (!parse_real(token, length, values[n], problem)) {
      char shown[kShownToken + 4];
      quote_token(token, length, shown);
      stopf(kInputStatus, "tamsel: %s:%ld: '%s' %s", in.path, line, shown, problem);
    }
    if (n + 1 == count) {
      if (ch != '\n' && ch != EOF && skip_line(in) && place != nullptr) place->skipped_line = line;
    } else if (ch == EOF) {
      return false;
    }
  }
  return true;
}

long count_records(InputFile& in, int count, long& first_line) {
  long records = 0;
  for (;;) {
    int ch = EOF;
    for (int n = 0; n < count; ++n) {
      do ch = next_char(in);
      while (ch != EOF && is_separator(ch));
      if (ch == EOF) return records;
      if (records == 0 && n == 0) first_line = in.line;
      while (ch != EOF && !is_separator(ch)) ch = next_char(in);
    }
    ++records;
    if (ch != '\n' && ch != EOF) skip_line(in);
  }
}

bool read_line(InputFile& in, char* text, int width) {
  int ch = next_char(in);
  if (ch == EOF) return false;
  long line = in.line - (ch == '\n' ? 1 : 0);
  int kept = 0;
  while (ch != '\n' && ch != EOF) {
    if (kept < width) {
      if (ch == '\0')
        stopf(kInputStatus, "tamsel: %s:%ld: the name line holds a NUL byte", in.path, line);
      text[kept++] = char(ch);
    }
    ch = next_char(in);
  }
  for (int i = kept; i < width; ++i) text[i] = ' ';
  return true;
}

} // namespace tamsel
