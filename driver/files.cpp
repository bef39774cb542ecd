// SPDX-License-Identifier: BSD-3-Clause
#include "driver/files.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/display.h"

namespace tamsel {

namespace {

// The process's file mode creation mask, read without setting it where the
// system tells it: umask() alone would clear the mask of the whole process
// for a moment, and a file another thread (of a program that embeds the
// run) created then could be writable by every user.
mode_t creation_mask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr)
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return mode_t(mask);
  }
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

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

// The symbolic link at out[PATH_MAX] (relative to `dir`) replaced there by
// the path it holds; returns 0 or an errno value.  A function of its own, so
// that the link's buffer (4 KiB) sits on the stack only while a link is read.
[[gnu::noinline]] int read_link(int dir, char* out) {
  char link[PATH_MAX];
  const ssize_t n = readlinkat(dir, out, link, sizeof link);
  if (n < 0) return errno;
  if (std::size_t(n) >= sizeof link) return ENAMETOOLONG;
  link[n] = '\0';
  // A relative link is relative to the directory that holds it.
  const std::size_t keep = link[0] == '/' ? 0 : directory_length(out);
  if (keep + std::size_t(n) >= PATH_MAX) return ENAMETOOLONG;
  std::memcpy(out + keep, link, std::size_t(n) + 1);
  return 0;
}

// What the walks over links below return for a symbolic link they do not
// follow; no errno value is negative.
constexpr int kForeignLink = -1;

// Whether a symbolic link that `owner` owns is followed: the effective
// user's own links and root's.
bool followed(uid_t owner) { return owner == 0 || owner == geteuid(); }

// The path the file `path` (relative to `dir`) names once its symbolic
// links are followed, in out[PATH_MAX], relative to `dir` as well: the path
// itself unless it is a link.  Returns 0 with the file's status in `info`,
// ENOENT when no file is there yet (a link to a missing file gives the path
// that file would be created at), kForeignLink with the link's status in
// `info` at a link that is not followed, or another errno value.
int follow_links(int dir, const char* path, char* out, struct stat& info) {
  if (int error = copy_path(path, out)) return error;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    if (fstatat(dir, out, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISLNK(info.st_mode)) return 0;
    if (!followed(info.st_uid)) return kForeignLink;
    if (int error = read_link(dir, out)) return error;
  }
  return ELOOP;
}

// Walks `path` component by component from `base`, as the kernel does when
// it opens the path there, into the contents of every symbolic link on the
// way (from the directory that holds the link, or from the root for an
// absolute one).
// Returns 0 when the walk reaches the end, kForeignLink with `owner` set
// at the first link that is not followed, or the errno value that stopped
// it.  The text left to walk is the path itself until a link is met, and
// then, on the heap, the link's contents followed by the rest of the path.
int walk_links(int base, const char* path, uid_t& owner) {
  std::string left, link;
  const char* part = path;
  bool start = true; // part starts a path: a slash there is the root
  int dir = base, links = 0, error = 0;
  auto move_to = [&dir, base](int next) {
    if (dir != base) close(dir);
    dir = next;
  };
  char name[NAME_MAX + 1];
  while (error == 0) {
    if (start && *part == '/') {
      const int root = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (root < 0) error = errno;
      else move_to(root);
    }
    start = false;
    while (*part == '/') ++part;
    if (error != 0 || *part == '\0') break;
    const std::size_t length = std::strcspn(part, "/");
    if (length > NAME_MAX) {
      error = ENAMETOOLONG;
      break;
    }
    std::memcpy(name, part, length);
    name[length] = '\0';
    part += length;
    while (*part == '/') ++part;
    struct stat info;
    if (fstatat(dir, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      error = errno;
    } else if (S_ISLNK(info.st_mode)) {
      if (!followed(info.st_uid)) {
        owner = info.st_uid;
        error = kForeignLink;
      } else if (++links > kMaxLinks) {
        error = ELOOP;
      } else {
        link.resize(PATH_MAX);
        const ssize_t n = readlinkat(dir, name, link.data(), link.size());
        if (n < 0) {
          error = errno;
        } else if (std::size_t(n) >= link.size()) {
          error = ENAMETOOLONG;
        } else {
          link.resize(std::size_t(n));
          if (*part != '\0') (link += '/') += part;
          left.swap(link);
          part = left.c_str();
          start = true;
        }
      }
    } else if (*part != '\0') {
      const int next = openat(dir, name, O_PATH | O_CLOEXEC);
      if (next < 0) error = errno;
      else move_to(next);
    } else {
      break;
    }
  }
  move_to(base);
  return error;
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

// Whether a failure to make a file in a directory, or to rename one there,
// is the directory's refusal (its permission bits, a sticky bit, a
// read-only mount) rather than a failure of the disk.
bool refused_by_directory(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// Where opening `path` (relative to `start`) with O_CREAT creates a file
// when none is there: an O_PATH descriptor of the directory in `dir` and the
// name there in leaf[NAME_MAX + 1], found hop by hop from directory
// descriptors so that no chain of links is ever spelled out as one path.  Returns 0, EEXIST
// when a file is there after all, or the errno value of the failure.
int creation_site(int start, const char* path, int& dir, char* leaf) {
  char part[PATH_MAX], link[PATH_MAX];
  if (int error = copy_path(path, link)) return error;
  int base = start;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    const std::size_t cut = directory_length(link);
    const std::size_t length = std::strlen(link + cut);
    int error = 0;
    if (length == 0) error = EISDIR; // a path that ends in a slash names a directory
    else if (length > NAME_MAX) error = ENAMETOOLONG;
    if (error == 0) {
      std::memcpy(part, link, cut);
      part[cut] = '\0';
      std::memcpy(leaf, link + cut, length + 1);
      const int next = openat(base, cut == 0 ? "." : part, O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (next < 0) error = errno;
      if (base != start) close(base);
      base = next;
    }
    struct stat info;
    if (error == 0 && fstatat(base, leaf, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        dir = base;
        return 0;
      }
      error = errno;
    }
    if (error == 0 && !S_ISLNK(info.st_mode)) error = EEXIST;
    if (error == 0) {
      const ssize_t n = readlinkat(base, leaf, link, sizeof link);
      if (n < 0) error = errno;
      else if (std::size_t(n) >= sizeof link) error = ENAMETOOLONG;
      else link[n] = '\0';
    }
    if (error != 0) {
      if (base >= 0 && base != start) close(base);
      return error;
    }
  }
  if (base >= 0 && base != start) close(base);
  return ELOOP;
}

// Creates a new file of mode 0600 for the text that replaces a file, named
// `temporary` (its directory part, if any, then a name that begins
// ".tamsel-"), relative to `dir`, as mkstemp does it relative to the working
// directory: the name's last six characters are chosen until one is free.
// Returns the descriptor, or -1 with errno set.  The names are drawn from a
// counter of the whole process, which concurrent runs share on purpose (an
// atomic count: each draw is another name), scrambled with the addresses
// the process and the calling thread's stack were placed at, so that other
// processes try other names; no system call is spent on them.
int make_temporary(int dir, char* temporary) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  constexpr std::uint64_t kBase = sizeof kLetters - 1;
  static std::atomic<std::uint64_t> drawn{0};
  char* suffix = temporary + std::strlen(temporary) - 6;
  const auto seed = std::uint64_t(reinterpret_cast<std::uintptr_t>(&drawn)) ^
                    (std::uint64_t(reinterpret_cast<std::uintptr_t>(suffix)) << 17);
  for (int attempt = 0; attempt < 10000; ++attempt) {
    // splitmix64 of the next count.
    std::uint64_t v = seed + drawn.fetch_add(1, std::memory_order_relaxed) * 0x9e3779b97f4a7c15u;
    v = (v ^ (v >> 30)) * 0xbf58476d1ce4e5b9u;
    v = (v ^ (v >> 27)) * 0x94d049bb133111ebu;
    v ^= v >> 31;
    for (int i = 0; i < 6; ++i, v /= kBase) suffix[i] = kLetters[v % kBase];
    const int fd = openat(dir, temporary, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

} // namespace

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

bool foreign_link(int dir, const char* path, uid_t& owner) {
  return walk_links(dir, path, owner) == kForeignLink;
}

void describe_foreign_link(uid_t owner, char* out, std::size_t size) {
  char buffer[1024];
  struct passwd entry;
  struct passwd* found = nullptr;
  char name[sizeof buffer + 2] = "";
  if (getpwuid_r(owner, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    name[0] = ',';
    name[1] = ' ';
    show_bytes(entry.pw_name, std::strlen(entry.pw_name), name + 2);
  }
  std::snprintf(out, size, "is reached through a symbolic link of another user (uid %lu%s)",
                static_cast<unsigned long>(owner), name);
}

FileIdentity identify(int dir, const char* path) {
  FileIdentity id{};
  const int fd = openat(dir, path, O_PATH | O_CLOEXEC);
  if (fd >= 0) {
    id = identify_open(fd);
    close(fd);
    return id;
  }
  id.error = errno;
  if (id.error != ENOENT) return id;
  int site = -1;
  id.error = creation_site(dir, path, site, id.leaf);
  if (id.error != 0) return id;
  struct stat info;
  if (fstat(site, &info) != 0) {
    id.error = errno;
  } else {
    id.known = true;
    id.device = info.st_dev;
    id.inode = info.st_ino;
  }
  close(site);
  return id;
}

FileIdentity identify_open(int fd) {
  FileIdentity id{};
  struct stat info;
  if (fstat(fd, &info) != 0) {
    id.error = errno;
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

FileHead read_head(int dir, const char* path) {
  FileHead head{};
  const int fd = openat(dir, path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    head.error = errno;
    return head;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    head.error = errno;
  } else if (S_ISREG(info.st_mode)) {
    head.regular = true;
    while (head.length < sizeof head.bytes) {
      const ssize_t n = read(fd, head.bytes + head.length, sizeof head.bytes - head.length);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) head.error = errno;
      if (n <= 0) break;
      head.length += std::size_t(n);
    }
  }
  close(fd);
  return head;
}

int open_output(int dir, const char* path, bool create, bool follow) {
  return openat(dir, path,
                O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (create ? O_CREAT : 0) |
                    (follow ? 0 : O_NOFOLLOW),
                0666);
}

int probe_output(int dir, const char* path) {
  const int fd = open_output(dir, path, false);
  if (fd >= 0) return close(fd) == 0 ? 0 : errno;
  if (errno != ENOENT) return errno;
  int site = -1;
  char leaf[NAME_MAX + 1];
  if (const int error = creation_site(dir, path, site, leaf)) return error;
  const int error = faccessat(site, ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
  close(site);
  return error;
}

const char* open_error(int dir, const char* path, int error) {
  struct stat info;
  if (error == ENXIO && fstatat(dir, path, &info, 0) == 0) {
    if (S_ISFIFO(info.st_mode)) return "it is a FIFO that no process is reading";
    if (S_ISSOCK(info.st_mode)) return "it is a socket";
  }
  return std::strerror(error);
}

OutputFailure replace_output(int dir, const char* path, int fd, const char* text,
                             std::size_t length) {
  mode_t mode = 0;
  struct stat old;
  const bool replacing = fd >= 0;
  if (replacing) {
    if (fstat(fd, &old) != 0) return {close_keeping(fd, errno), false};
    if (!S_ISREG(old.st_mode)) {
      // Opened without waiting for a reader; now writes may wait as usual.
      const int error = fcntl(fd, F_SETFL, 0) != 0 ? errno : write_all(fd, text, length);
      return {close_keeping(fd, error), false};
    }
    if (int error = close_keeping(fd, 0)) return {error, false};
    mode = old.st_mode & 0777;
  } else {
    mode = 0666 & ~creation_mask();
  }

  char target[PATH_MAX];
  struct stat info;
  if (int error = follow_links(dir, path, target, info); error != 0 && error != ENOENT)
    return error == kForeignLink ? OutputFailure{EACCES, false, true, info.st_uid}
                                 : OutputFailure{error, false};
  static constexpr char kTemporary[] = ".tamsel-XXXXXX";
  char temporary[PATH_MAX];
  const std::size_t kept = directory_length(target);
  if (kept + sizeof kTemporary > PATH_MAX) return {ENAMETOOLONG, false};
  std::memcpy(temporary, target, kept);
  std::memcpy(temporary + kept, kTemporary, sizeof kTemporary);

  const int out = make_temporary(dir, temporary);
  if (out < 0) return {errno, refused_by_directory(errno)};
  // The owner and group of the old file where the process may set them,
  // or else its group alone; a process that may set neither keeps its own.
  if (replacing && fchown(out, old.st_uid, old.st_gid) != 0 &&
      fchown(out, static_cast<uid_t>(-1), old.st_gid) != 0) {
  }
  int error = fchmod(out, mode) != 0 ? errno : write_all(out, text, length);
  error = close_keeping(out, error);
  bool directory = false;
  if (error == 0 && renameat(dir, temporary, dir, target) != 0) {
    error = errno;
    directory = refused_by_directory(error);
  }
  if (error != 0) unlinkat(dir, temporary, 0);
  return {error, directory};
}

void describe_output_failure(int dir, const char* path, OutputFailure failure, char* out,
                             std::size_t size) {
  if (failure.refused_link) {
    char how[384];
    describe_foreign_link(failure.link_owner, how, sizeof how);
    std::snprintf(out, size, "it %s", how);
    return;
  }
  const char* reason = std::strerror(failure.error);
  char target[PATH_MAX];
  struct stat info;
  const int error = failure.directory ? follow_links(dir, path, target, info) : EINVAL;
  if (error != 0 && error != ENOENT) {
    std::snprintf(out, size, "%s", reason);
    return;
  }
  std::size_t length = directory_length(target);
  if (length > 1) --length; // the final slash, unless the directory is the root
  if (length == 0) {
    std::snprintf(out, size, "the working directory refuses the new file: %s", reason);
    return;
  }
  char shown[PATH_MAX];
  show_bytes(target, length, shown);
  std::snprintf(out, size, "the directory %s refuses the new file: %s", shown, reason);
}

} // namespace tamsel
