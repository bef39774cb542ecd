// tamsel: correlation of two tabulated curves inside the frequency windows
// of a sample list.  Reads samples.lst, corrspec.in and corrlog.in in the
// working directory and writes the report to the last sample's report file.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/run.h"
#include "numeric/stop.h"

int main() {
  int status = 0;
  try {
    tamsel::run(tamsel::run_state(), stdout);
  } catch (const tamsel::Stop& s) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", s.what());
    status = s.status();
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "tamsel: standard output: write error: %s\n", std::strerror(errno));
    if (status == 0) status = tamsel::kInputStatus;
  }
  return status;
}
