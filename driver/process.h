// SPDX-License-Identifier: BSD-3-Clause
// The process setup every program does before it touches a file.
#pragma once

namespace tamsel {

// Prepares the process of a program before it touches any file: each of the
// descriptors 0, 1 and 2 that is closed is opened on /dev/null, so that no
// file the program opens later takes one of them, and SIGXFSZ is ignored, so
// that a file-size limit makes a write fail with EFBIG instead of killing
// the process.  Stops with kInputStatus, naming `program`, when standard
// output was closed or /dev/null cannot be opened.
void prepare_process(const char* program);

} // namespace tamsel
