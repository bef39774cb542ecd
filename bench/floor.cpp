// SPDX-License-Identifier: BSD-3-Clause
// The floor of a whole run: what any program doing the job must do at
// least.  Reads samples.lst, corrspec.in and corrlog.in once each,
// creates the report file <name>_cross.txt of every sample (a name line,
// then a line of bounds), and replaces the last one as a report replaces a
// file: the report's number of bytes written to a new file in the same
// directory, which is then renamed over it.  No arithmetic, no report text.
//
// Built twice: bench_floor with POSIX calls only (it needs nothing beyond
// the C library), and, with TAMSEL_FLOOR_STREAMS, bench_floor_cxx, the same
// with C++ file streams, so that it loads the C++ runtime as tamsel does.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#ifdef TAMSEL_FLOOR_STREAMS
#include <fstream>
#include <sstream>
#include <string>
#endif

namespace {

char buffer[1 << 16];

// Reads the whole file into buffer; returns its length, or -1.
long slurp(const char* path) {
#ifdef TAMSEL_FLOOR_STREAMS
  std::ifstream in(path, std::ios::binary);
  if (!in) return -1;
  in.read(buffer, sizeof buffer - 1);
  const long length = long(in.gcount());
#else
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  long length = 0;
  for (;;) {
    const ssize_t n = read(fd, buffer + length, sizeof buffer - 1 - std::size_t(length));
    if (n <= 0) break;
    length += n;
  }
  close(fd);
#endif
  buffer[length] = '\0';
  return length;
}

void create(const char* path) {
#ifdef TAMSEL_FLOOR_STREAMS
  std::ofstream out(path, std::ios::app);
#else
  const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd >= 0) close(fd);
#endif
}

// Bytes of one sample's report block: the 50-character name line, an empty
// line and three labelled lines of 26 characters, each with its line feed.
constexpr std::size_t kBlockBytes = 51 + 1 + 3 * 27;

// Writes `length` bytes to a new file beside `path` and renames it over
// `path`, as the run replaces a regular file with its report.
void replace(const char* path, std::size_t length) {
  static const char kTemporary[] = "floor-report.tmp";
#ifdef TAMSEL_FLOOR_STREAMS
  {
    std::ofstream out(kTemporary, std::ios::binary | std::ios::trunc);
    out.write(buffer, std::streamsize(length));
  }
#else
  const int fd = open(kTemporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return;
  const bool written = write(fd, buffer, length) == ssize_t(length);
  close(fd);
  if (!written) return;
#endif
  std::rename(kTemporary, path);
}

} // namespace

int main() {
  if (slurp("corrspec.in") < 0 || slurp("corrlog.in") < 0) return 1;
  const long length = slurp("samples.lst");
  if (length < 0) return 1;
  char* line = buffer;
  bool name_line = true;
  char last[64] = "";
  std::size_t samples = 0;
  while (line < buffer + length) {
    char* end = std::strchr(line, '\n');
    if (end == nullptr) end = buffer + length;
    if (name_line) {
      char path[64];
      std::size_t n = 0;
      while (line + n < end && n < 50 && line[n] != ' ' && line[n] != '\r') ++n;
      std::memcpy(path, line, n);
      std::memcpy(path + n, "_cross.txt", 11);
      create(path);
      std::memcpy(last, path, n + 11);
      ++samples;
    }
    name_line = !name_line;
    line = end + 1;
  }
  if (samples > 0) replace(last, samples * kBlockBytes);
  return 0;
}
