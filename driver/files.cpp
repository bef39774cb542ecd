// SPDX-License-Identifier: BSD-3-Clause
#include "driver/files.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/status.h"

namespace tamsel {

namespace {

// Symbolic links followed from one path before giving up, as the kernel does.
constexpr int kMaxLinks = 40;

// Copies `path` into out[PATH_MAX]; returns 0 or ENAMETOOLONG.
int copy_path(const char* path, char* out) {
  const std::size_t length = std::strlen(path);
  if (length >= PATH_MAX) return ENAMETOOLONG;
  std::memcpy(out, path, length + 1);
  return 0;
}

// Length of the directory part of a path, its final slash included (0 when
// the path holds no slash).
std::size_t directory_length(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? 0 : std::size_t(slash - path) + 1;
}

// The path the file `path` names once its symbolic links are followed, in
// out[PATH_MAX]: the path itself unless it is a link.  Returns 0 with the
// file's status in `info`, ENOENT when no file is there yet (a link to a
// missing file gives the path that file would be created at), or another
// errno value.
int follow_links(const char* path, char* out, struct stat& info) {
  if (int error = copy_path(path, out)) return error;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    if (lstat(out, &info) != 0) return errno;
    if (!S_ISLNK(info.st_mode)) return 0;
    char link[PATH_MAX];
    const ssize_t n = readlink(out, link, sizeof link);
    if (n < 0) return errno;
    if (std::size_t(n) >= sizeof link) return ENAMETOOLONG;
    link[n] = '\0';
    // A relative link is relative to the directory that holds it.
    const std::size_t keep = link[0] == '/' ? 0 : directory_length(out);
    if (keep + std::size_t(n) >= PATH_MAX) return ENAMETOOLONG;
    std::memcpy(out + keep, link, std::size_t(n) + 1);
  }
  return ELOOP;
}

// Writes the whole text at the descriptor's position; returns 0 or an errno
// value.
int write_all(int fd, const char* text, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = write(fd, text + done, length - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    done += std::size_t(n);
  }
  return 0;
}

// Closes fd; returns `error`, or the error of the close when there was none.
int close_keeping(int fd, int error) {
  if (close(fd) != 0 && error == 0) return errno;
  return error;
}

} // namespace

char shown_byte(char byte) {
  const auto code = static_cast<unsigned char>(byte);
  return ((code < 0x20 && byte != '\t') || code == 0x7f) ? '?' : byte;
}

void show_bytes(const char* text, std::size_t length, char* out) {
  for (std::size_t i = 0; i < length; ++i) out[i] = shown_byte(text[i]);
  out[length] = '\0';
}

void prepare_process(const char* program) {
  bool output_closed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == 1) output_closed = true;
    // The lowest free descriptor is this one: those below it are open.
    if (open("/dev/null", O_RDWR) != fd)
      stopf(kInputStatus, "%s: descriptor %d is closed and /dev/null cannot be opened", program, fd);
  }
  if (output_closed) stopf(kInputStatus, "%s: standard output is closed", program);
  std::signal(SIGXFSZ, SIG_IGN);
}

bool leaves_working_directory(const char* path) {
  if (path[0] == '/') return true;
  for (const char* part = path;; ++part) {
    const char* end = std::strchr(part, '/');
    const std::size_t length = end == nullptr ? std::strlen(part) : std::size_t(end - part);
    if (length == 2 && part[0] == '.' && part[1] == '.') return true;
    if (end == nullptr) return false;
    part = end;
  }
}

FileIdentity identify(const char* path) {
  FileIdentity id{};
  char target[PATH_MAX];
  struct stat info;
  const int error = follow_links(path, target, info);
  if (error == ENOENT) {
    const std::size_t dir = directory_length(target);
    const std::size_t leaf = std::strlen(target + dir);
    if (leaf >= sizeof id.leaf) return id;
    std::memcpy(id.leaf, target + dir, leaf + 1);
    target[dir] = '\0';
    if (stat(dir == 0 ? "." : target, &info) != 0) return id;
  } else if (error != 0) {
    return id;
  }
  id.known = true;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  return id;
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode &&
         std::strcmp(a.leaf, b.leaf) == 0;
}

int open_output(const char* path, bool create) {
  return open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
}

const char* open_output_error(const char* path, int error) {
  struct stat info;
  if (error == ENXIO && stat(path, &info) == 0 && S_ISFIFO(info.st_mode))
    return "it is a FIFO that no process is reading";
  return std::strerror(error);
}

int replace_output(const char* path, int fd, const char* text, std::size_t length) {
  mode_t mode = 0;
  if (fd >= 0) {
    struct stat old;
    if (fstat(fd, &old) != 0) return close_keeping(fd, errno);
    if (!S_ISREG(old.st_mode)) {
      // Opened without waiting for a reader; now writes may wait as usual.
      const int error = fcntl(fd, F_SETFL, 0) != 0 ? errno : write_all(fd, text, length);
      return close_keeping(fd, error);
    }
    if (int error = close_keeping(fd, 0)) return error;
    mode = old.st_mode & 0777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }

  char target[PATH_MAX];
  struct stat info;
  if (int error = follow_links(path, target, info); error != 0 && error != ENOENT) return error;
  static constexpr char kTemporary[] = ".tamsel-XXXXXX";
  char temporary[PATH_MAX];
  const std::size_t dir = directory_length(target);
  if (dir + sizeof kTemporary > PATH_MAX) return ENAMETOOLONG;
  std::memcpy(temporary, target, dir);
  std::memcpy(temporary + dir, kTemporary, sizeof kTemporary);

  const int out = mkstemp(temporary);
  if (out < 0) return errno;
  int error = fchmod(out, mode) != 0 ? errno : write_all(out, text, length);
  error = close_keeping(out, error);
  if (error == 0 && std::rename(temporary, target) != 0) error = errno;
  if (error != 0) unlink(temporary);
  return error;
}

} // namespace tamsel
