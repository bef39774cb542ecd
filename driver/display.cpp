// SPDX-License-Identifier: BSD-3-Clause
#include "driver/display.h"

namespace tamsel {

char shown_byte(char byte) {
  const auto code = static_cast<unsigned char>(byte);
  return ((code < 0x20 && byte != '\t') || code == 0x7f) ? '?' : byte;
}

void show_bytes(const char* text, std::size_t length, char* out) {
  for (std::size_t i = 0; i < length; ++i) out[i] = shown_byte(text[i]);
  out[length] = '\0';
}

} // namespace tamsel
