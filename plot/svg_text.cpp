// SPDX-License-Identifier: BSD-3-Clause
#include "plot/svg_text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "driver/report.h"

namespace tamsel::svg {

void append(std::string& out, const char* format, ...) {
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
}

void append_text(std::string& out, const char* bytes, std::size_t length) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < length;) {
    unsigned char c = s[i];
    if (c < 0x80) {
      switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += ' '; break;
      default: out += c < 0x20 || c == 0x7f ? '?' : char(c);
      }
      ++i;
      continue;
    }
    // A multi-byte sequence: its lead byte gives the length, every
    // continuation byte is 10xxxxxx, and overlong or surrogate forms are
    // refused.
    std::size_t n = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
    bool ok = n != 0 && i + n <= length;
    for (std::size_t j = 1; ok && j < n; ++j) ok = (s[i + j] & 0xc0) == 0x80;
    if (ok && c == 0xe0) ok = s[i + 1] >= 0xa0;
    if (ok && c == 0xed) ok = s[i + 1] < 0xa0;
    if (ok && c == 0xf0) ok = s[i + 1] >= 0x90;
    if (ok && c == 0xf4) ok = s[i + 1] < 0x90;
    if (ok && c == 0xef && s[i + 1] == 0xbf && s[i + 2] >= 0xbe) {
      out += '?'; // U+FFFE or U+FFFF
      i += n;
    } else if (ok) {
      out.append(bytes + i, n);
      i += n;
    } else {
      out += '?';
      ++i;
    }
  }
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
  for (int digits = 6; digits <= 17; ++digits) {
    std::snprintf(full, sizeof full, "%.*g", digits, value);
    if (std::strtod(full, nullptr) == value) break;
  }
  return full;
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
