// SPDX-License-Identifier: BSD-3-Clause
#include "plot/svg_text.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <locale.h>

#include "driver/display.h"
#include "driver/report.h"
#include "driver/warnings.h"

namespace tamsel::svg {

namespace {

// The C locale, in which the picture's numbers are written whatever locale
// the process has set.
locale_t c_locale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return c;
}

} // namespace

void append(std::string& out, const char* format, ...) {
  const locale_t previous = uselocale(c_locale());
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  const std::size_t at = out.size();
  out.resize(at + std::size_t(n) + 1);
  std::vsnprintf(out.data() + at, std::size_t(n) + 1, format, again);
  va_end(again);
  out.resize(at + std::size_t(n));
  uselocale(previous);
}

void append_text(std::string& out, const char* bytes, std::size_t length) {
  // What the console hides (driver/display.h) is shown as '?' here too, so
  // that no bidirectional control reorders the text beside it; so are
  // U+FFFE and U+FFFF, which XML does not allow, and every byte that is not
  // part of a well-formed character.
  for_each_character(
      bytes, length,
      [&](unsigned char c) {
        if (const char* entity = escape_of(c, {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"},
                                               {'"', "&quot;"}, {'\t', " "}})) {
          out += entity;
        } else {
          out += c < 0x20 || c >= 0x7f ? '?' : char(c);
        }
      },
      [&](const char* character, std::size_t n, char32_t code) {
        if (hidden(code) || code == 0xfffe || code == 0xffff) out += '?';
        else out.append(character, n);
      });
}

double text_width(const char* bytes, std::size_t length, double size) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < length; ++i)
    characters += (static_cast<unsigned char>(bytes[i]) & 0xc0) != 0x80;
  return double(characters) * 0.6 * size;
}

std::string field(Real value) {
  char text[8];
  format_field(value, text);
  const char* start = text;
  while (*start == ' ') ++start;
  return start;
}

std::string bound(Real value) {
  std::string text = field(value);
  if (text[0] != '*') return text;
  char full[32];
  shortest_from(value, 6, full);
  return full;
}

std::string fixed(double value, int decimals) {
  char text[352]; // "%.20f" of the largest double
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, end.ptr);
}

void append_name(std::string& out, const RunState& st, Integer k, double room, double size) {
  const char* name = st.sample_names[k - 1];
  std::size_t length = std::size_t(st.name_lengths[k - 1]);
  if (text_width(name, length, size) <= room) return append_text(out, name, length);
  while (length > 0 && text_width(name, length, size) > room - 0.6 * size) {
    --length;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xc0) == 0x80) --length;
  }
  append_text(out, name, length);
  out += "\xe2\x80\xa6";
}

void append_window_and_coefficient(std::string& out, const RunState& st, Integer k) {
  const Real fmin = matrix_at(st.agem, k, 0), fmax = matrix_at(st.xlgrm, k, 0);
  const Real coefficient = cc_diagonal(st, k);
  append(out, "window %s to %s, ", bound(fmin).c_str(), bound(fmax).c_str());
  if (!std::isfinite(coefficient) || reversed(fmin, fmax))
    append(out, "<tspan class=\"warn\">cross-correlation %s</tspan>", field(coefficient).c_str());
  else
    append(out, "cross-correlation <tspan font-weight=\"bold\">%s</tspan>",
           field(coefficient).c_str());
}

} // namespace tamsel::svg
