// SPDX-License-Identifier: BSD-3-Clause
// Text input of the run: the free-format number reader and the whole-line
// name reader shared by the sample list and the curve tables.
//
// Free format: numbers are separated by blanks, tabs, commas and line ends
// (LF, CR LF, CR).  A read of k numbers takes the next k numbers wherever they
// stand, across lines if needed, then skips the rest of the line on which
// the last one ended.  A number is an optional sign, digits with an optional
// decimal point, and an optional exponent introduced by E, e, D or d
// (1.5, -.25, 3., 2.5E-3, 1.0D+2); the words inf, infinity and nan, in any
// case and with an optional sign, name the double they name.  A number out
// of the double range (1e999) is an error; one too small for it becomes the
// nearest subnormal or zero.  Consecutive commas are plain separators.
//
// Every failure (unopenable file, read error, malformed or out-of-range
// number) stops the run with kInputStatus and a message naming the file and,
// where there is one, the line.  A token is refused as soon as it grows past
// 1024 characters or meets a byte no number holds (once enough of it is read
// for the message), so that endless input without separators ends too.
#pragma once

#include <cstddef>
#include <cstdio>

#include <tamsel/numeric/types.h>

#include "driver/state.h" // ReadPlace, kStreamBuffer

namespace tamsel {

struct InputFile {
  std::FILE* fp;    // open stream, or null when closed
  const char* path; // the file name shown in messages
  long line;        // number of the line the next character belongs to
};

// Opens `path` (relative to the directory descriptor `dir`, or AT_FDCWD)
// for reading, its stream buffered in buffer[0 ..
// kStreamBuffer - 1] until it is closed, and skips a UTF-8 byte-order mark
// at its start.  Stops when it cannot be opened, is a directory, or is a
// FIFO that no process is writing to (never waits for a writer).
void open_input(InputFile& in, int dir, const char* path, char* buffer);

// Closes the file, if open.  Never stops.
void close_input(InputFile& in);

// Reads the next `count` numbers into values[0..count-1] and skips the rest
// of the line on which the last one ended.  Returns false when the file ends
// before all `count` numbers are read (values read so far are stored).
// When `place` is given, it is set for a read that returns true.
bool read_reals(InputFile& in, Real* values, int count, ReadPlace* place = nullptr);

// Counts the records of `count` numbers left in the file, read as read_reals
// reads them but without converting a token, so that it never stops on text
// that is not a number: each record is the next `count` tokens wherever
// they stand, then the rest of the line; a record cut by end of file is not
// counted.  Sets `first_line` to the line of the first token, when there is
// one.  Leaves the file at its end.
long count_records(InputFile& in, int count, long& first_line);

// Reads one whole line; its first `width` characters go to text[0..width-1],
// padded with blanks when the line is shorter.  The line end (LF, CR LF or
// a lone CR) is not part of it.  Returns false, writing nothing, when the
// file is already at its end.  Stops when the kept characters hold a NUL
// byte.
bool read_line(InputFile& in, char* text, int width);

// Converts one token of free-format text.  Returns true and sets `value`
// when the token is a number in the range of a double; otherwise returns
// false and points `problem` at a short description.
bool parse_real(const char* token, std::size_t length, Real& value, const char*& problem);

} // namespace tamsel
