// The floor of a whole run: what any program doing the job must do at
// least.  Reads samples.lst, corrspec.in and corrlog.in once each and
// creates the report file <name>_cross.txt of every sample (a name line,
// then a line of bounds), then exits.  No arithmetic, no report text.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

char buffer[1 << 16];

// Reads the whole file into buffer; returns its length, or -1.
long slurp(const char* path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  long length = 0;
  for (;;) {
    const ssize_t n = read(fd, buffer + length, sizeof buffer - 1 - std::size_t(length));
    if (n <= 0) break;
    length += n;
  }
  close(fd);
  buffer[length] = '\0';
  return length;
}

} // namespace

int main() {
  if (slurp("corrspec.in") < 0 || slurp("corrlog.in") < 0) return 1;
  const long length = slurp("samples.lst");
  if (length < 0) return 1;
  char* line = buffer;
  bool name_line = true;
  while (line < buffer + length) {
    char* end = std::strchr(line, '\n');
    if (end == nullptr) end = buffer + length;
    if (name_line) {
      char path[64];
      std::size_t n = 0;
      while (line + n < end && n < 50 && line[n] != ' ' && line[n] != '\r') ++n;
      std::memcpy(path, line, n);
      std::memcpy(path + n, "_cross.txt", 11);
      const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
      if (fd >= 0) close(fd);
    }
    name_line = !name_line;
    line = end + 1;
  }
  return 0;
}
