// SPDX-License-Identifier: BSD-3-Clause
// The files the programs write, and how a file is told apart from another.
//
// Every path is taken relative to a directory descriptor `dir` (AT_FDCWD
// for the working directory), as the *at system calls take it, and so are
// the contents of a relative symbolic link met on the way: a run touches
// its own directory alone, whatever the process's working directory.
//
// An output file is opened without waiting, so that a FIFO no process reads
// is an error (ENXIO) rather than a hang.  A finished text replaces a regular
// file only once it is written in full: it goes to a new file in the
// directory of the file it replaces (the file a symbolic link names, where
// foreign_link allows the link; the link stays a link), takes that file's
// owner, group and permission bits, and is renamed over it.  On any failure
// the new file is removed and the old one keeps its bytes.  Files that are
// not regular, such as devices and FIFOs, are written directly.  The new
// file is not synced to the disk before the rename: the promise is about
// failures of the run (a full disk, a file-size limit), not about a crash
// of the machine.
#pragma once

#include <climits>
#include <cstddef>
#include <sys/types.h>

namespace tamsel {

// Whether a relative file name can reach outside the working directory by
// itself: it is an absolute path or one of its components is "..".
// Symbolic links on the way are not looked at.
bool leaves_working_directory(const char* path);

// The symbolic links the programs follow to a file they create or write are
// those of the effective user and of root: another user's link could send
// the write wherever that user chooses.  This is the kernel's
// protected-symlinks rule for sticky world-writable directories, held
// wherever the link lies.
//
// Whether opening `path` would follow a symbolic link of any other user.
// Every link the kernel follows is looked at: in the path's directory
// components, at its end, and in each link's own contents, every hop of a
// chain.  Returns true with `owner` set to the owner of the first such
// link.  Returns false when there is none, also when the walk stops short
// of the end (a missing file, a directory that cannot be searched, too
// many links): opening the path then fails at the same place, or creates
// the missing last component there, and follows no link beyond it.
bool foreign_link(int dir, const char* path, uid_t& owner);

// Writes "is reached through a symbolic link of another user (uid N, NAME)"
// to out[0..size-1] for a message; NAME is the user name the system holds
// for `owner`, as the console shows names, and is left out with its comma
// when there is none.
void describe_foreign_link(uid_t owner, char* out, std::size_t size);

// What a path names, for telling whether two paths reach the same file:
// the file itself (device and inode, leaf empty), as the kernel reaches it
// when it opens the path, so that another spelling, a symbolic link or a
// hard link is recognised however long its chain; or, for a path that
// names no file yet, the directory a new file would be created in (a
// dangling link at the end followed, as creating it does) and its name
// there (leaf).  When the path can be looked at neither way, `known` is
// false and `error` holds the reason.
struct FileIdentity {
  bool known;
  int error;
  dev_t device;
  ino_t inode;
  char leaf[NAME_MAX + 1];
};
FileIdentity identify(int dir, const char* path);

// The identity of the file open on `fd`.
FileIdentity identify_open(int fd);

// Whether two identities are known and name the same file.
bool same_file(const FileIdentity& a, const FileIdentity& b);

// The start of the file a path names, read without waiting: `error` is 0
// or the errno value of the failure (ENOENT when no file is there);
// `regular` tells whether it is a regular file, and only then are up to
// sizeof bytes of it read into bytes[0..length-1].
struct FileHead {
  int error;
  bool regular;
  std::size_t length;
  char bytes[80];
};
FileHead read_head(int dir, const char* path);

// Opens `path` for writing, creating it (mode 0666 less the umask) when
// `create` is set, and without waiting for a reader when it is a FIFO
// (O_NONBLOCK, which replace_output clears before it writes).  Without
// `follow`, a symbolic link at the end of the path is not followed and the
// opening fails with ELOOP.  Returns the descriptor, or -1 with errno set.
int open_output(int dir, const char* path, bool create, bool follow = true);

// Whether open_output(dir, path, true) would succeed, found without creating or
// changing anything: 0, or the errno value it would fail with (as far as
// the permission bits and the directories on the way tell).
int probe_output(int dir, const char* path);

// Describes the failure `error` of opening `path` (for reading or for
// writing) for a message: a FIFO with no reader and a socket are named as
// such.
const char* open_error(int dir, const char* path, int error);

// A failure of replace_output: the errno value, and whether it is the
// directory that refused (the new file could not be made in it or renamed
// over the old one) rather than the file or the disk.  A symbolic link
// that foreign_link refuses, met on the last component's chain when the
// file is replaced, is a failure too: EACCES, with the link's owner.
struct OutputFailure {
  int error;
  bool directory;
  bool refused_link = false;
  uid_t link_owner = 0;
};

// Writes text[0..length-1] as the whole content of the file `path`, as the
// head of this file describes; the replacing file keeps the owner and group
// of the old one where the process may set them, as well as its permission
// bits.  `fd` is a descriptor from open_output on the file, or -1 when the
// file does not exist; it is closed in every case.  Returns {0, false} on
// success.
OutputFailure replace_output(int dir, const char* path, int fd, const char* text,
                             std::size_t length);

// Describes a failure of replace_output on `path` for a message, in
// out[0..size-1]: the directory that refused is named (as the console
// shows names), a refused link is described as describe_foreign_link
// does it ("it is reached through ..."), otherwise the reason alone is
// given.
void describe_output_failure(int dir, const char* path, OutputFailure failure, char* out,
                             std::size_t size);

} // namespace tamsel
