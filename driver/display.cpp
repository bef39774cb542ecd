// SPDX-License-Identifier: BSD-3-Clause
#include "driver/display.h"

namespace tamsel {

std::size_t utf8_character(const char* text, std::size_t length, char32_t& code) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  const unsigned char lead = s[0];
  std::size_t n = 0;
  if (lead >= 0xc2 && lead <= 0xdf) n = 2;
  else if (lead >= 0xe0 && lead <= 0xef) n = 3;
  else if (lead >= 0xf0 && lead <= 0xf4) n = 4;
  if (n == 0 || n > length) return 0;
  code = lead & (0x7f >> n);
  for (std::size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xc0) != 0x80) return 0;
    code = (code << 6) | (s[i] & 0x3f);
  }
  constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[n] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) return 0;
  return n;
}

bool hidden(char32_t code) {
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kHidden[] = {
      {0x0080, 0x009f},   {0x00ad, 0x00ad},   {0x0600, 0x0605},   {0x061c, 0x061c},
      {0x06dd, 0x06dd},   {0x070f, 0x070f},   {0x0890, 0x0891},   {0x08e2, 0x08e2},
      {0x180e, 0x180e},   {0x200b, 0x200f},   {0x2028, 0x202e},   {0x2060, 0x2064},
      {0x2066, 0x206f},   {0xfeff, 0xfeff},   {0xfff9, 0xfffb},   {0x110bd, 0x110bd},
      {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3}, {0x1d173, 0x1d17a},
      {0xe0001, 0xe0001}, {0xe0020, 0xe007f},
  };
  for (const Range& r : kHidden)
    if (code >= r.first && code <= r.last) return true;
  return false;
}

char shown_byte(char byte) {
  const auto code = static_cast<unsigned char>(byte);
  return ((code < 0x20 && byte != '\t') || (code >= 0x7f && code <= 0x9f)) ? '?' : byte;
}

std::size_t show_bytes(const char* text, std::size_t length, char* out) {
  std::size_t shown = 0;
  for_each_character(
      text, length, [&](unsigned char b) { out[shown++] = shown_byte(char(b)); },
      [&](const char* character, std::size_t n, char32_t code) {
        if (hidden(code)) {
          out[shown++] = '?';
        } else {
          for (std::size_t k = 0; k < n; ++k) out[shown++] = character[k];
        }
      });
  out[shown] = '\0';
  return shown;
}

} // namespace tamsel
