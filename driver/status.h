// SPDX-License-Identifier: BSD-3-Clause
// The exit statuses of tamsel and tamsel-plot besides 0, a normal run:
// kStopStatus (driver/stop.h) after the program's own stops and the
// toolkit's refusals; kInputStatus after an input or output failure or a limit of
// the run; kUsageStatus after a refused command line.
#pragma once

#include "driver/stop.h"

namespace tamsel {

inline constexpr int kInputStatus = 2;
inline constexpr int kUsageStatus = 2;

} // namespace tamsel
