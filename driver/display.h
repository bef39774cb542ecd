// SPDX-License-Identifier: BSD-3-Clause
// What the programs show of input bytes on the console and in messages.
#pragma once

#include <cstddef>

namespace tamsel {

// The byte as the console shows it: a control byte (0x00 to 0x1F other than
// TAB, and 0x7F) becomes '?', every other byte stays itself.
char shown_byte(char byte);

// Copies text[0..length-1] to out with every byte as shown_byte shows it,
// and ends out with a NUL; out holds length + 1 characters.
void show_bytes(const char* text, std::size_t length, char* out);

} // namespace tamsel
