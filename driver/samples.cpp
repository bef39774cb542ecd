// SPDX-License-Identifier: BSD-3-Clause
#include "driver/samples.h"

#include <cstring>

#include "driver/status.h"

namespace tamsel {

Integer name(const char* sample_name) {
  for (Integer p = 1; p <= kNameWidth; ++p) {
    if (sample_name[p - 1] == ' ') {
      if (p == 1) stop("name starts with empty space");
      return p - 1;
    }
  }
  return kNameWidth;
}

bool read_sample(InputFile& list, RunState& st) {
  long name_line = list.line;
  char text[kNameWidth];
  if (!read_line(list, text, kNameWidth)) return false;
  if (st.sample_count >= kMaxSamples)
    stopf(kInputStatus, "tamsel: %s:%ld: more than %d samples; a run holds at most %d",
          list.path, name_line, kMaxSamples, kMaxSamples);
  std::memcpy(st.sample_name, text, kNameWidth);
  Real bounds[2];
  ReadPlace place{0, 0};
  if (!read_reals(list, bounds, 2, &place))
    stopf(kInputStatus, "tamsel: %s:%ld: end of file before the bounds fmin and fmax of this sample",
          list.path, name_line);
  st.fmin = bounds[0];
  st.fmax = bounds[1];
  st.bounds_skipped_line[st.sample_count] = place.skipped_line;
  return true;
}

void form_report_name(RunState& st) {
  int length = 0;
  for (int i = 0; i < st.name_length && length < kNameWidth; ++i)
    st.report_name[length++] = st.sample_name[i];
  for (int i = 0; kReportSuffix[i] != '\0' && length < kNameWidth; ++i)
    st.report_name[length++] = kReportSuffix[i];
  while (length < kNameWidth) st.report_name[length++] = ' ';
}

} // namespace tamsel
