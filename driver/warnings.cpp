// SPDX-License-Identifier: BSD-3-Clause
#include "driver/warnings.h"

namespace tamsel {

const char* sample_warning_key(SampleWarning warning) {
  switch (warning) {
  case kWindowNotAscending: return "window-not-ascending";
  case kWindowBelowRecords: return "window-below-records";
  case kWindowAboveRecords: return "window-above-records";
  case kFewRecords: return "few-records";
  case kSpecNoVariation: return "spec-no-variation";
  case kLogNoVariation: return "log-no-variation";
  case kSpecNotFinite: return "spec-not-finite";
  case kLogNotFinite: return "log-not-finite";
  }
  return nullptr;
}

} // namespace tamsel
