// SPDX-License-Identifier: BSD-3-Clause
// The files the programs write.
//
// An output file is opened without waiting, so that a FIFO no process reads
// is an error (ENXIO) rather than a hang.  A finished text replaces a regular
// file only once it is written in full: it goes to a new file in the
// directory of the file it replaces (the file a symbolic link names; the
// link stays a link), takes that file's permission bits, and is renamed over
// it.  On any failure the new file is removed and the old one keeps its
// bytes.  Files that are not regular, such as devices and FIFOs, are written
// directly.  The new file is not synced to the disk before the rename: the
// promise is about failures of the run (a full disk, a file-size limit), not
// about a crash of the machine.
#pragma once

#include <climits>
#include <cstddef>
#include <sys/types.h>

namespace tamsel {

// Whether a relative file name can reach outside the working directory by
// itself: it is an absolute path or one of its components is "..".
// Symbolic links on the way are not looked at.
bool leaves_working_directory(const char* path);

// What a path names, for telling whether two paths reach the same file:
// the file itself (device and inode, leaf empty) once symbolic links are
// followed, so that another spelling, a link or a hard link is recognised;
// or, for a path that names no file yet, the directory it would be created
// in and its name there (leaf).  Not known when the path cannot be looked
// at.
struct FileIdentity {
  bool known;
  dev_t device;
  ino_t inode;
  char leaf[NAME_MAX + 1];
};
FileIdentity identify(const char* path);

// Whether two identities are known and name the same file.
bool same_file(const FileIdentity& a, const FileIdentity& b);

// Opens `path` for writing, creating it (mode 0666 less the umask) when
// `create` is set, and without waiting for a reader when it is a FIFO
// (O_NONBLOCK, which replace_output clears before it writes).  Returns the
// descriptor, or -1 with errno set.
int open_output(const char* path, bool create);

// Describes the failure `error` of open_output on `path` for a message.
const char* open_output_error(const char* path, int error);

// Writes text[0..length-1] as the whole content of the file `path`, as the
// head of this file describes.  `fd` is a descriptor from open_output on the
// file, or -1 when the file does not exist; it is closed in every case.
// Returns 0, or the errno value of the failure.
int replace_output(const char* path, int fd, const char* text, std::size_t length);

} // namespace tamsel
