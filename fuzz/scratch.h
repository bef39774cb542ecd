// SPDX-License-Identifier: BSD-3-Clause
// Shared by the fuzz targets: a scratch working directory for the readers
// that open files by their fixed names, the split of one input into files,
// and a check that a run leaves no descriptor open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace fuzz {

// Moves the process into the directory named by TAMSEL_FUZZ_DIR, or into a
// fresh one under /tmp.  Everything the run writes lands there.
inline void enter_scratch_dir() {
  const char* dir = std::getenv("TAMSEL_FUZZ_DIR");
  static char made[] = "/tmp/tamsel-fuzz-XXXXXX";
  if (dir == nullptr) dir = mkdtemp(made);
  if (dir == nullptr || chdir(dir) != 0) {
    std::perror("tamsel fuzz: scratch directory");
    std::abort();
  }
}

// Removes every entry of the working directory (the run creates only files).
inline void empty_scratch_dir() {
  DIR* d = opendir(".");
  if (d == nullptr) std::abort();
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) unlink(e->d_name);
  }
  closedir(d);
}

inline void write_file(const char* name, const std::string& bytes) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  if (std::fclose(f) != 0) std::abort();
}

// Splits the input at the lines "@@@": part i is the text between the
// (i-1)-th and the i-th marker; parts beyond the input are empty.  The
// seeds are plain files joined with these markers.
template <std::size_t N>
void split(const std::uint8_t* data, std::size_t size, std::string (&parts)[N]) {
  static constexpr char kMarker[] = "@@@\n";
  std::string rest(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i < N; ++i) {
    std::size_t at = i + 1 < N ? rest.find(kMarker) : std::string::npos;
    parts[i] = rest.substr(0, at);
    rest = at == std::string::npos ? std::string() : rest.substr(at + sizeof kMarker - 1);
  }
}

// The lowest free descriptor: equal before and after a run unless the run
// leaked one.
inline int lowest_free_fd() {
  int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::abort();
  close(fd);
  return fd;
}

} // namespace fuzz
