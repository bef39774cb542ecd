// SPDX-License-Identifier: BSD-3-Clause
#include "driver/tables.h"

#include "driver/input.h"
#include <tamsel/numeric/tabulated.h>

namespace tamsel {

namespace {

struct TableFiles {
  InputFile spec_file{nullptr, kSpecFile, 0};
  InputFile log_file{nullptr, kLogFile, 0};
  ~TableFiles() {
    close_input(spec_file);
    close_input(log_file);
  }
};

} // namespace

void load_tables(RunState& st) {
  TableFiles files;
  open_input(files.spec_file, kSpecFile);
  open_input(files.log_file, kLogFile);
  Integer r = 1;
  for (;;) {
    Real record[2];
    // A record cut by end of file is dropped: the closing point takes its
    // entry whatever part of it was read.
    if (!read_reals(files.log_file, record, 2)) break;
    st.x[r] = record[0];
    st.l[r] = record[1];
    if (!read_reals(files.spec_file, record, 2)) break;
    st.x[r] = record[0];
    st.s[r] = record[1];
    if (r == kMaxRecords) {
      r = kMaxRecords + 1;
      break;
    }
    ++r;
  }
  st.npts = r;
  st.x[r] = 1.0;
  st.s[r] = st.s[r - 1];
  st.l[r] = st.l[r - 1];
  st.x_ascending = ascending_table(st.x, st.npts);
  close_input(files.spec_file);
  close_input(files.log_file);
}

} // namespace tamsel
