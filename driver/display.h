// SPDX-License-Identifier: BSD-3-Clause
// What the programs show of input bytes on the console and in messages.
//
// Nothing a name holds may act on a terminal or disguise what is shown:
// control characters (C0, DEL and C1, the latter as raw bytes and as
// UTF-8), bidirectional controls and the other invisible format characters
// are shown as '?'.  Every other byte, and every other well-formed UTF-8
// character, stays itself.  Files keep the bytes as read.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <utility>

namespace tamsel {

// The length (2 to 4) of the well-formed UTF-8 character that starts
// text[0..length-1], with its code point in `code`; 0 when none starts
// there (an ASCII byte included).  Overlong forms, surrogates and code
// points past U+10FFFF are not well-formed.
std::size_t utf8_character(const char* text, std::size_t length, char32_t& code);

// Walks text[0..length-1] a character at a time: byte(b) for each byte b
// (an unsigned char) that starts no well-formed UTF-8 character, every
// ASCII byte among them, and character(start, n, code) for each
// well-formed character of n bytes.
template <class Byte, class Character>
void for_each_character(const char* text, std::size_t length, const Byte& byte,
                        const Character& character) {
  for (std::size_t i = 0; i < length;) {
    const auto b = static_cast<unsigned char>(text[i]);
    char32_t code = 0;
    const std::size_t n = b >= 0x80 ? utf8_character(text + i, length - i, code) : 0;
    if (n == 0) {
      byte(b);
      ++i;
    } else {
      character(text + i, n, code);
      i += n;
    }
  }
}

// The text that stands for byte b in `escapes`, pairs of a byte and its
// text; nullptr where b has none.
inline const char* escape_of(unsigned char b,
                             std::initializer_list<std::pair<char, const char*>> escapes) {
  for (const auto& [escaped, text] : escapes) {
    if (static_cast<unsigned char>(escaped) == b) return text;
  }
  return nullptr;
}

// Whether a code point is a control or an invisible format character, shown
// as '?': C1 controls, the line and paragraph separators, the bidirectional
// controls and the other characters of Unicode's format category (Cf).
bool hidden(char32_t code);

// The byte as the console shows it when it is not part of a well-formed
// UTF-8 character: a control byte (0x00 to 0x1F other than TAB, 0x7F, and
// 0x80 to 0x9F) becomes '?', every other byte stays itself.
char shown_byte(char byte);

// Copies text[0..length-1] to out as the console shows it and ends out with
// a NUL; returns the length of the shown text.  A well-formed UTF-8
// character stays itself unless it is a C1 control, a bidirectional control
// (U+202A to U+202E, U+2066 to U+2069), a line or paragraph separator or
// another invisible format character (such as U+200B to U+200F and U+FEFF),
// which becomes one '?'; every other byte is shown as shown_byte shows it.
// The shown text is never longer than the text: out holds length + 1
// characters.
std::size_t show_bytes(const char* text, std::size_t length, char* out);

} // namespace tamsel
