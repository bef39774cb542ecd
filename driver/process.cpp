// SPDX-License-Identifier: BSD-3-Clause
#include "driver/process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>

#include "driver/status.h"

namespace tamsel {

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

} // namespace tamsel
